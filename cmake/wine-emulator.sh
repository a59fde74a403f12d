#!/usr/bin/env bash
# Runs one Windows program under Wine and judges how it ended. CTest runs every test
# program through it; scripts/with-wine.sh sets up the prefix, the display and the
# persistent wineserver, and these defaults only keep a direct call quiet.
#
# Wine's own exit status does not tell a crash from a success: a stack overflow inside a
# window procedure ends the process silently with status 0, and after a crash report the
# status is whatever the process was ended with. So a run passes only when
#   - its error output carries no crash report of Wine's ("wine: Unhandled ..."),
#   - its output has the closing line a finished run prints: GoogleTest's summary, or the
#     line matched by the extended regex in WINE_CLOSING_LINE ("" for none); listing the
#     tests (--gtest_list_tests) prints no summary and needs none,
#   - and its own status is 0.
# A run that fails only the first two checks ends with status 70.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH="${WINEARCH:-win32}"
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-emulator: WINEPREFIX is not set; run the tests through scripts/test.sh" >&2
  exit 125
fi

closing='^\[==========\] [0-9]+ tests? from [0-9]+ test suites? ran\.'
[ -n "${WINE_CLOSING_LINE+set}" ] && closing="$WINE_CLOSING_LINE"
for arg in "$@"; do
  [ "$arg" = "--gtest_list_tests" ] && closing=""
done

# Wine's helper processes (services, the desktop) start with the first program and inherit
# its output; a pipe they hold would never close, so CTest would wait for it forever.
# The program writes to files, and the files are passed on when it ends (on a terminal,
# its output is followed as it comes).
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
if [ -t 1 ]; then
  wine "$@" >"$out" 2>"$err" </dev/null &
  pid=$!
  tail -s 0.2 -f --pid="$pid" "$out" &
  follower=$!
  wait "$pid"
  status=$?
  wait "$follower"
else
  wine "$@" >"$out" 2>"$err" </dev/null
  status=$?
  cat "$out"
fi
cat "$err" >&2

verdict=""
if grep -q -E '^wine: Unhandled|^Unhandled exception' "$err"; then
  verdict="the program crashed (Wine's report above), status $status"
elif [ -n "$closing" ] && ! grep -q -E "$closing" "$out"; then
  verdict="the program ended before its closing line, status $status"
fi
if [ -n "$verdict" ]; then
  echo "wine-emulator: FAILED: $verdict" >&2
  [ "$status" -ne 0 ] && exit "$status"
  exit 70
fi
exit $status
