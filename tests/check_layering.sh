#!/usr/bin/env bash
# The folders are the architecture, and every include points down: host/ (the player's
# contract) and support/ include nothing of ours; reactions/ and ui/ build on them and never
# reach up into plugin/ (entry points, hook), reactions/ never into ui/; the workbench knows
# only the player's contract, and nothing shipped includes the tests.
set -uo pipefail
root="$1"
cd "$root"
status=0
check() {  # folder, forbidden include pattern, reason[, the one allowed exception]
  local hits
  hits=$(grep -rnE "#include \"($2)" "$1" --include='*.h' --include='*.cpp' --include='*.rc' 2>/dev/null)
  if [ -n "${4:-}" ]; then hits=$(grep -vF "#include \"$4\"" <<<"$hits"); fi
  if [ -n "$hits" ]; then
    echo "FAIL: $3" >&2
    echo "$hits" >&2
    status=1
  fi
}
check host 'plugin/|reactions/|ui/|support/|tools/|tests/' "host/ must not include the project's other folders"
check support 'host/|plugin/|reactions/|ui/|tools/|tests/' "support/ must not include the project's other folders"
check reactions 'plugin/|ui/|tools/|tests/' "reactions/ must not include plugin/, ui/, tools/ or tests/"
check ui 'plugin/|tools/|tests/' "ui/ must not include plugin/, tools/ or tests/"
check plugin 'tools/|tests/' "plugin/ must not include tools/ or tests/"
# The workbench's log names the plug-in's timers by the player contract's own constants.
check tools 'tests/|plugin/|reactions/|ui/|support/' "the workbench uses only the DLL and the player's contract, never the plug-in's code or the tests"
check bench 'tests/|plugin/|reactions/|ui/|support/' "the benchmark measures the shipped DLL only"
[ $status -eq 0 ] && echo "layering ok"
exit $status
