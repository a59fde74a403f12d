#!/usr/bin/env bash
# Runs one test of the crash helper through the CTest wrapper and checks the verdict:
# "pass" for the clean run, "fail" for every way of dying. Prints the verdict either way.
# Usage: check_verdict.sh WRAPPER HELPER_EXE TEST_NAME pass|fail
set -u
wrapper=$1 helper=$2 test=$3 expected=$4
log=$(mktemp)
trap 'rm -f "$log"' EXIT
bash "$wrapper" "$helper" "--gtest_filter=$test" >"$log" 2>&1
status=$?
reason=$(grep -m1 '^wine-emulator: FAILED' "$log" || true)
echo "verdict for $test: status $status${reason:+, $reason}"
if [ "$expected" = pass ]; then
  [ "$status" -eq 0 ] && exit 0
  echo "expected the clean run to pass; its output:"; cat "$log"; exit 1
fi
[ "$status" -ne 0 ] && exit 0
echo "expected a failure, but the wrapper passed it; its output:"; cat "$log"; exit 1
