#!/usr/bin/env bash
# The main job: builds gen_corvane.dll into dist/ and plays the workbench's built-in demo
# with it under Wine. Arguments go to corvane-host instead (see --help), for example
# `bash scripts/demo.sh --script my.txt` or `bash scripts/demo.sh --print-demo`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUILLARY_BUILD_DIR:-$root/build}"
# Only the DLL and the workbench: the test programs are scripts/test.sh's to build.
bash "$root/scripts/build.sh" gen_corvane corvane-host
mkdir -p "$root/dist"
cp "$build/bin/gen_corvane.dll" "$root/dist/"
plugin="$root/dist/gen_corvane.dll"
. "$root/scripts/wine-arch.sh"
if ! can_run_32bit; then
  echo "demo: $(why_not_32bit); dist/ holds the 32-bit DLL, and the demo runs a 64-bit build" \
    "of the same sources under 64-bit Wine" >&2
  QUILLARY_ARCH=x86_64 bash "$root/scripts/build.sh" gen_corvane corvane-host
  build="$build-x86_64"
  plugin="$build/bin/gen_corvane.dll"
fi
[ $# -eq 0 ] && set -- --demo
# Paths for the Windows program (drive Z: is the Unix root in every Wine prefix); "-"
# (standard input) stays as it is.
windows_path() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }
args=()
while [ $# -gt 0 ]; do
  args+=("$1")
  if [[ "$1" == --script || "$1" == --ini ]] && [ $# -gt 1 ]; then
    shift
    if [ "$1" = "-" ]; then args+=("-"); else args+=("$(windows_path "$1")"); fi
  fi
  shift
done
# A script run counts only with its last line ("passed", "FAILED" or "NOT RUN"): a crash
# under Wine can end the program with status 0 (see cmake/wine-emulator.sh).
closing=""
for arg in "${args[@]}"; do
  [[ "$arg" == --demo || "$arg" == --script ]] && closing='^(passed: |FAILED|NOT RUN)'
done
WINE_CLOSING_LINE="$closing" "$root/scripts/with-wine.sh" "$build" \
  bash "$root/cmake/wine-emulator.sh" "$build/bin/corvane-host.exe" \
  --plugin "$(windows_path "$plugin")" "${args[@]}"
