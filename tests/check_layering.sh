#!/usr/bin/env bash
# The folders are the architecture: support/ includes nothing of ours, reactions/ never
# reaches into ui/, and neither the plug-in nor the workbench includes the tests.
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
check support 'plugin/|reactions/|ui/|tools/|tests/' "support/ must not include the project's other folders"
check reactions 'ui/|tools/|tests/' "reactions/ must not include ui/, tools/ or tests/"
check ui 'tools/|tests/' "ui/ must not include tools/ or tests/"
check plugin 'tools/|tests/' "plugin/ must not include tools/ or tests/"
# The workbench's log names the plug-in's timers by the plug-in's own constants.
check tools 'tests/|plugin/|reactions/|ui/|support/' "the workbench uses only the DLL, never the plug-in's code or the tests" \
  plugin/host_api.h
check bench 'tests/|plugin/|reactions/|ui/|support/' "the benchmark measures the shipped DLL only"
[ $status -eq 0 ] && echo "layering ok"
exit $status
