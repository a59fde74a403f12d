#!/usr/bin/env bash
# The benchmark: builds, then prints the plug-in's figures measured under Wine.
# --quick shortens every measurement (the watch's CPU over 10 s instead of a minute).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUILLARY_BUILD_DIR:-$root/build}"
bash "$root/scripts/build.sh" >/dev/null
. "$root/scripts/wine-arch.sh"
bits=32
if ! can_run_32bit; then
  echo "bench: $(why_not_32bit); the figures are of a 64-bit build under 64-bit Wine" >&2
  QUILLARY_ARCH=x86_64 bash "$root/scripts/build.sh" >/dev/null
  build="$build-x86_64"
  bits=64
fi
echo "date: $(date -u +%Y-%m-%d), machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $bits-bit $(/usr/lib/wine/wine64 --version 2>/dev/null)"

# The watch's CPU and wake-ups are Unix scheduler figures of the Wine process's threads,
# which the Windows program cannot read itself: it leaves a step file in the probe folder,
# and this loop answers each with STEP.done.
probe=$(mktemp -d)
bench_process() {
  # Wine names the program's Unix process after the program (its comm, cut to 15 characters).
  pgrep -n '^corvane-bench' || true
}
account() {  # PID TID -> "TID RUN_NS SWITCHES"
  local t="/proc/$1/task/$2" run v n
  run=$(cut -d' ' -f1 "$t/schedstat" 2>/dev/null) || return 1
  v=$(awk '/^voluntary_ctxt_switches/ {print $2}' "$t/status" 2>/dev/null) || return 1
  n=$(awk '/^nonvoluntary_ctxt_switches/ {print $2}' "$t/status" 2>/dev/null) || return 1
  echo "$2 $run $((v + n))"
}
answer() { printf '%s\n' "$2" >"$probe/$1.tmp"; mv "$probe/$1.tmp" "$probe/$1.done"; }
probe_loop() {
  local pid="" before="" started=() start_time="" tid line out
  while :; do
    if [ -e "$probe/before" ] && [ ! -e "$probe/before.done" ]; then
      pid=$(bench_process)
      before=$(ls "/proc/$pid/task" 2>/dev/null | tr '\n' ' ')
      answer before "$pid"
    fi
    if [ -e "$probe/start" ] && [ ! -e "$probe/start.done" ]; then
      started=()
      for tid in $(ls "/proc/$pid/task" 2>/dev/null); do
        case " $before " in *" $tid "*) continue ;; esac
        line=$(account "$pid" "$tid") || continue
        started+=("$line")
      done
      start_time=$(date +%s.%N)
      answer start "${#started[@]}"
    fi
    if [ -e "$probe/end" ] && [ ! -e "$probe/end.done" ]; then
      out=""
      for line in "${started[@]}"; do
        set -- $line
        now=$(account "$pid" "$1") || continue
        set -- $line $now
        out="$out$1 $(($5 - $2)) $(($6 - $3))"$'\n'
      done
      answer end "$out$(awk -v a="$(date +%s.%N)" -v b="$start_time" 'BEGIN { printf "%.3f", a - b }')"
      return 0
    fi
    sleep 0.1
  done
}
probe_loop &
probe_pid=$!
trap 'kill "$probe_pid" 2>/dev/null || true; rm -rf "$probe"' EXIT

# The figures, then the dialog's opening once more at 150 % (144 DPI). Wine reads LogPixels when a
# process starts: it is set for that one run and removed again (with-wine.sh removes one left
# behind).
QUILLARY_PROBE_DIR="Z:${probe//\//\\}" "$root/scripts/with-wine.sh" "$build" bash -c '
  bench=$1; shift
  key="HKCU\Control Panel\Desktop"
  wine "$bench" "$@" || exit $?
  wine reg add "$key" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
  trap "wine reg delete \"$key\" /v LogPixels /f >/dev/null 2>&1" EXIT
  wine "$bench" --dialog "$@"' bench "$build/bin/corvane-bench.exe" "$@"
