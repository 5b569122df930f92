#!/usr/bin/env bash
# fuzz-bmp.sh -- builds the BMP reader's fuzz target with clang and runs it for SECONDS
# (default 60), or for RUNS inputs however long they take (the test command's way: the same
# work on a busy or a quiet machine), starting from the three built-in images.
# Usage: tools/fuzz-bmp.sh [SECONDS | --runs RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
limit=(-max_total_time="${1:-60}")
[ "${1:-}" = --runs ] && limit=(-runs="$2")

out=build-fuzz
mkdir -p "$out/corpus" "$out/seeds" "$out/crashes"
cp assets/torus.bmp assets/panel.bmp assets/logo.bmp "$out/seeds/"

clang++ -std=c++20 -g -O1 -I. \
  -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion -Werror \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  tests/fuzz/bmp_read_fuzz.cpp textures/bmp_read.cpp textures/format_keyword.cpp \
  state/app_state.cpp -o "$out/bmp_read_fuzz"

# The first directory collects new inputs; the seeds stay as committed. A crash
# or a run that tried nothing fails; the last line says which.
status=0
start=$SECONDS
"$out/bmp_read_fuzz" "${limit[@]}" -print_final_stats=1 \
  -artifact_prefix="$out/crashes/" "$out/corpus" "$out/seeds" 2>&1 | tee "$out/fuzz.log" || status=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/fuzz.log")
if [ "$status" -ne 0 ]; then
  echo "fuzz-bmp: FAILED with status $status after ${runs:-0} inputs; the input is in $out/crashes/"
  exit 1
fi
if [ "${runs:-0}" -eq 0 ]; then
  echo "fuzz-bmp: FAILED: no input was tried"
  exit 1
fi
echo "fuzz-bmp: $runs inputs in $((SECONDS - start)) s, no crash"
