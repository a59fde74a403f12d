#!/usr/bin/env bash
# The main job: builds gen_corvane.dll into dist/ and runs it in the stand-in host.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUILLARY_BUILD_DIR:-$root/build}"
bash "$root/scripts/build.sh"
mkdir -p "$root/dist"
cp "$build/bin/gen_corvane.dll" "$root/dist/"
"$root/scripts/with-wine.sh" "$build" \
  wine "$build/bin/corvane-host.exe" --plugin "$(winepath -w "$root/dist/gen_corvane.dll" 2>/dev/null)" "$@"
