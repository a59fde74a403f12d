#!/usr/bin/env bash
# The whole test suite: set-up, build, then every test under Wine in a virtual display.
# Extra arguments go to ctest (for example -R Settings). Four tests at a time on two
# cores: much of a test's time is spent waiting on the wineserver and on timers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUILLARY_BUILD_DIR:-$root/build}"
bash "$root/scripts/build.sh"
"$root/scripts/with-wine.sh" "$build" \
  ctest --test-dir "$build" --output-on-failure -j4 --timeout 120 "$@"
