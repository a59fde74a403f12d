#!/usr/bin/env bash
# The whole test suite: set-up, build, then every test under Wine in a virtual display.
# Extra arguments go to ctest (for example -R Settings). Four tests at a time on two
# cores: much of a test's time is spent waiting on the wineserver and on timers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUILLARY_BUILD_DIR:-$root/build}"
# The 32-bit build, the one that ships: the DLL, the setup and every test program.
bash "$root/scripts/build.sh"
. "$root/scripts/wine-arch.sh"
if ! can_run_32bit; then
  # Nothing 32-bit can run here: the 32-bit DLL's tables are checked on the build machine,
  # and the suite runs as a 64-bit build of the same sources. What only a 32-bit run can
  # check is said, so that a pass here is not taken for one there.
  echo "test: $(why_not_32bit)." >&2
  echo "test: the suite runs as a 64-bit build under 64-bit Wine; not run here: the setup's" \
    "tests (the setup is a 32-bit program) and the descriptor's 32-bit layout (checked by the" \
    "32-bit build's compiler)." >&2
  bash "$root/tests/plugin/check_dll_tables.sh" i686-w64-mingw32-objdump "$build/bin/gen_corvane.dll"
  QUILLARY_ARCH=x86_64 bash "$root/scripts/build.sh"
  build="$build-x86_64"
fi
"$root/scripts/with-wine.sh" "$build" \
  ctest --test-dir "$build" --output-on-failure --no-tests=error -j4 --timeout 120 "$@"
