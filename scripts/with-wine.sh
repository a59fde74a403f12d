#!/usr/bin/env bash
# Runs a command inside the test environment: a private 32-bit Wine prefix under the build
# folder, a virtual X display of its own and one persistent wineserver for the whole run.
# Usage: scripts/with-wine.sh BUILD_DIR COMMAND [ARGS...]
set -euo pipefail

build_dir=$(realpath -m "$1"); shift
mkdir -p "$build_dir"

export WINEPREFIX="$build_dir/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# The tests are 32-bit Windows programs under 32-bit Wine, itself a 32-bit Linux program: a
# kernel started without its 32-bit emulation cannot run it at all. Say so, rather than fail
# somewhere inside the prefix's set-up.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "with-wine: this machine cannot run 32-bit programs (32-bit Wine does not start:" \
    "$(/usr/lib/wine/wine --version 2>&1 | tail -n 1)); the kernel needs its 32-bit emulation" \
    "(ia32_emulation) on" >&2
  exit 1
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
