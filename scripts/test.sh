#!/usr/bin/env bash
# The whole test suite: set-up, build, then every test under Wine in a virtual display.
# Extra arguments go to ctest (for example -R Settings).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUILLARY_BUILD_DIR:-$root/build}"
bash "$root/scripts/build.sh"
"$root/scripts/with-wine.sh" "$build" \
  ctest --test-dir "$build" --output-on-failure -j2 --timeout 120 "$@"
