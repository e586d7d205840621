#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Soak: (1) live polling against the simulated instrument answering at once, a long run of polls
# back to back (bench/soak_live); (2) the desktop program `velantis --demo --no-splash` under
# xvfb-run for SOAK_SECONDS (default 600): resident memory and CPU use are sampled every minute
# from /proc.
# Usage: scripts/soak.sh [BUILD_DIR]   (default build-rel; SOAK_POLLS, SOAK_SECONDS change the runs)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-rel}
polls=${SOAK_POLLS:-100000}
seconds=${SOAK_SECONDS:-600}
command -v xvfb-run >/dev/null || bash scripts/deps.sh xvfb xauth
bash scripts/deps.sh
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$dir" soak_live velantis

echo "== live polling, $polls polls back to back"
"$dir/bench/soak_live" --polls "$polls"

echo "== velantis --demo --no-splash under xvfb-run for $seconds s"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
xvfb-run -a sh -c "echo \$\$ > '$work/pid'; exec '$dir/src/app/velantis' --demo --no-splash" \
    >"$work/out" 2>&1 &
runner=$!
for _ in $(seq 50); do [ -s "$work/pid" ] && break; sleep 0.1; done
pid=$(cat "$work/pid")
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
rss() { awk '/^VmRSS:/ {print $2}' "/proc/$pid/status"; }
sleep 10 # start-up and the port search are not part of the soak
cpu0=$(cpu); t0=$(date +%s.%N); rss0=$(rss)
echo "start: resident $rss0 kB"
elapsed=0
while [ "$elapsed" -lt "$seconds" ]; do
    step=$(( seconds - elapsed < 60 ? seconds - elapsed : 60 ))
    sleep "$step"
    elapsed=$(( elapsed + step ))
    kill -0 "$pid" 2>/dev/null || { echo "velantis ended early:"; cat "$work/out"; exit 1; }
    echo "after ${elapsed} s: resident $(rss) kB"
done
cpu1=$(cpu); t1=$(date +%s.%N); rss1=$(rss)
kill "$pid"
wait "$runner" || true
awk -v c0="$cpu0" -v c1="$cpu1" -v t0="$t0" -v t1="$t1" -v hz="$ticks" -v r0="$rss0" -v r1="$rss1" \
    'BEGIN { printf "resident memory %d kB -> %d kB (%+d kB); CPU %.2f %% of one core over %.0f s\n",
             r0, r1, r1 - r0, 100 * (c1 - c0) / hz / (t1 - t0), t1 - t0 }'
