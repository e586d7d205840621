#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The core and controller tests and the fuzz corpus replay once more, built with g++ under
# AddressSanitizer and UndefinedBehaviorSanitizer, in a build directory of their own.
# Usage: scripts/sanitize.sh [BUILD_DIR]   (default build-asan)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-asan}
bash scripts/deps.sh

tests=(test_frame test_formats test_records test_history test_data_file test_monitor
       test_cli test_cli_decode test_simulator test_end_to_end test_fault_matrix
       replay_fuzz_serial_stream replay_fuzz_frame_rows)

flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELANTIS_BENCH=OFF \
      -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
      >/dev/null
ninja -C "$dir" "${tests[@]}"

# Any report fails the test that made it. Leaks are checked too.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
pattern="^($(IFS='|'; echo "${tests[*]}"))$"
cd "$dir"
ctest --output-on-failure --timeout 600 -R "$pattern" -E test_formats_de_DE
