#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the program and runs it against the built-in simulated instrument: the desktop program
# when a display is there, otherwise the command-line tool's live readings and download.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/src/app/velantis --demo "$@"
fi
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): showing the command-line demo instead."

cli=build/src/velantis-cli
out=$(mktemp)
"$cli" simulate --groups "${SIM_GROUPS:-120}" >"$out" &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
device=$(head -n 1 "$out")
echo "Simulated instrument on $device, mapped to port 3."
echo
echo "Live readings:"
"$cli" live --port "3=$device" --count "${LIVE_READINGS:-10}"
echo
echo "Stored groups (the bytes Save writes are GBK; shown here converted to UTF-8):"
"$cli" download --port "3=$device" | iconv -f GBK -t UTF-8
