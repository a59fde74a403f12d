#!/usr/bin/env bash
# Runs a command inside the test environment: a private Wine prefix under the build
# folder, a virtual X display of its own and one persistent wineserver for the whole run.
# Usage: scripts/with-wine.sh BUILD_DIR COMMAND [ARGS...]
set -euo pipefail

build_dir=$(realpath -m "$1"); shift
mkdir -p "$build_dir"

export WINEPREFIX="$build_dir/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Where the kernel cannot run 32-bit programs, the programs are a 64-bit build run by 64-bit
# Wine (scripts/wine-arch.sh). Debian's wine, winepath and wineboot commands start 32-bit Wine
# whenever it is installed, so a folder ahead on PATH points them at the 64-bit loader.
. "$(dirname "$0")/wine-arch.sh"
if ! can_run_32bit; then
  case "$build_dir" in
    *-x86_64) ;;
    *) echo "with-wine: $(why_not_32bit); run the $build_dir-x86_64 build instead" >&2; exit 1 ;;
  esac
  export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
  shim="$build_dir/wine64-commands"
  mkdir -p "$shim"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$shim/$name"
    chmod +x "$shim/$name"
  done
  export PATH="$shim:$PATH"
fi

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" >/dev/null 2>&1 || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT INT TERM

# A display of our own: Xvfb picks a free number and writes it to the file.
display_file=$(mktemp)
Xvfb -displayfd 9 -nolisten tcp -screen 0 1280x1024x24 9>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s "$display_file" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "with-wine: Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
export DISPLAY=":$(tr -dc 0-9 <"$display_file")"
rm -f "$display_file"

# The prefix is made once (made anew when these settings change: the marker names their
# version). A crash must fail a test at once: winedbg's dialog is off, and no debugger is
# started at all, so the crashed program ends with its exception code right after Wine's
# "Unhandled" report (run a program under winedbg by hand for a backtrace). Unmanaged
# windows spare the two-second wait Wine makes at each close without a window manager.
ready="$WINEPREFIX/.quillary-prefix-2"
if [ ! -f "$ready" ]; then
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add "$aedebug" /v Debugger /t REG_SZ /d 'quillary-no-debugger.exe %ld %ld' /f >/dev/null 2>&1
  wine reg add "$aedebug" /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$ready"
fi

wineserver -p
# A run killed while a test had set the display's DPI leaves LogPixels behind, and every
# program would start at that DPI (Wine reads it when a process starts).
if sed -n '/^\[Control Panel\\\\Desktop\]/,/^$/p' "$WINEPREFIX/user.reg" | grep -q '^"LogPixels"='; then
  wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true
fi
"$@"
