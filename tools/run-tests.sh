#!/usr/bin/env bash
# run-tests.sh -- installs what is missing, builds, and runs every test: a Release build with
# warnings as errors, then the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer,
# the programs built with clang, a short fuzz run of the BMP reader, the capture's encoders on arm64
# and s390x, the Windows build under Wine, and the packages
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh test

# What users and packagers build (-O3), with warnings as errors: an optimiser-only
# warning is caught here before a user meets it. Benchmarks are built to keep them compiling.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEX_WERROR=ON -DQUORVEX_BENCH=ON
cmake --build build
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEX_SANITIZE=ON -DQUORVEX_WERROR=ON
cmake --build build-sanitize
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j2

# The other compiler, at the default build type: the programs only, no warnings.
cmake -S . -B build-clang -G Ninja -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DBUILD_TESTING=OFF -DQUORVEX_WERROR=ON
cmake --build build-clang

tools/fuzz-bmp.sh 30

# The capture's encoders on arm64 and big-endian s390x; skipped, with a note, where the
# cross tools or the target's packages cannot be had.
mkdir -p build-cross
tools/cross-checks.sh 2>&1 | tee build-cross/checks.log

# The Windows build under Wine; installs its own packages, skipped where it cannot.
tools/windows-checks.sh build/quorvex 2>&1 | tee build/windows-checks.log

# What users install: the .deb (lintian), cmake --install, validators, the Windows zip.
tools/package-checks.sh build 2>&1 | tee build/package-checks.log

# Checks that could not run, repeated where they are seen.
grep -h 'SKIPPED' build-cross/checks.log build/windows-checks.log build/package-checks.log || true
