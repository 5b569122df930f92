#!/usr/bin/env bash
# run-tests.sh -- installs what is missing, builds, and runs every test: a plain
# build, then the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer,
# then a short fuzz run of the BMP reader, the Windows build under Wine, and the packages
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEX_SANITIZE=ON -DQUORVEX_BENCH=OFF
cmake --build build-sanitize
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j2

tools/fuzz-bmp.sh 30

# The Windows build under Wine; installs its own packages, skipped where it cannot.
tools/windows-checks.sh build/quorvex

# What users install: the .deb (lintian), cmake --install, validators, the Windows zip.
tools/package-checks.sh build
