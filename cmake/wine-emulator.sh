#!/usr/bin/env bash
# Runs one Windows program under Wine for CTest. scripts/with-wine.sh sets up the prefix,
# the display and the persistent wineserver; these defaults only keep a direct call quiet.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win32
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-emulator: WINEPREFIX is not set; run the tests through scripts/test.sh" >&2
  exit 125
fi
# Wine's helper processes (services, the desktop) start with the first program and inherit
# its output; a pipe they hold would never close, so CTest would wait for it forever.
# The program writes to files, and the files are passed on when it ends.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
wine "$@" >"$out" 2>"$err" </dev/null
status=$?
cat "$out"
cat "$err" >&2
exit $status
