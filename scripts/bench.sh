#!/usr/bin/env bash
# The benchmark: builds, then prints the plug-in's figures measured under Wine.
# --quick shortens every measurement (the watch's CPU over 10 s instead of a minute).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUILLARY_BUILD_DIR:-$root/build}"
bash "$root/scripts/build.sh" >/dev/null
echo "date: $(date -u +%Y-%m-%d), machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(wine --version 2>/dev/null)"
"$root/scripts/with-wine.sh" "$build" wine "$build/bin/corvane-bench.exe" "$@"
