#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/: everything, or only the
# targets named (for example `bash scripts/build.sh gen_corvane corvane-host`).
# QUILLARY_ARCH=x86_64 makes the 64-bit build of the same sources into build-x86_64/ instead,
# for machines that cannot run 32-bit programs (scripts/wine-arch.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
build="${QUILLARY_BUILD_DIR:-$root/build}"
toolchain="$root/cmake/i686-w64-mingw32.cmake"
if [ "${QUILLARY_ARCH:-i686}" = x86_64 ]; then
  build="$build-x86_64"
  toolchain="$root/cmake/x86_64-w64-mingw32.cmake"
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
fi
if [ $# -gt 0 ]; then
  cmake --build "$build" -j2 --target "$@"
else
  cmake --build "$build" -j2
fi
