#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/: everything, or only the
# targets named (for example `bash scripts/build.sh gen_corvane corvane-host`).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
build="${QUILLARY_BUILD_DIR:-$root/build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
if [ $# -gt 0 ]; then
  cmake --build "$build" -j2 --target "$@"
else
  cmake --build "$build" -j2
fi
