#!/usr/bin/env bash
# fuzz-bmp.sh -- builds the BMP reader's fuzz target with clang and runs it for SECONDS
# (default 60), starting from the three built-in images. Usage: tools/fuzz-bmp.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

out=build-fuzz
mkdir -p "$out/corpus" "$out/seeds" "$out/crashes"
cp assets/torus.bmp assets/panel.bmp assets/logo.bmp "$out/seeds/"

clang++ -std=c++20 -g -O1 -I. \
  -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion -Werror \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  tests/fuzz/bmp_read_fuzz.cpp textures/bmp_read.cpp textures/format_keyword.cpp \
  state/app_state.cpp -o "$out/bmp_read_fuzz"

# The first directory collects new inputs; the seeds stay as committed.
"$out/bmp_read_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$out/crashes/" "$out/corpus" "$out/seeds"
