#!/usr/bin/env bash
# run-tests.sh -- installs what is missing, builds, and runs every test: a Release build with
# warnings as errors, then the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer,
# the programs built with clang, a short fuzz run of the BMP reader, the capture's encoders on arm64
# and s390x, the Windows build under Wine, the browser build in Chromium, and the packages.
#
# Every stage runs, whatever the stages before it did; the end shows each stage's result and
# time, the checks that could not run (SKIPPED), and `stages: N passed, M failed`. The status is
# non-zero when any stage failed. A ctest stage that finds no test fails (--no-tests=error, in
# the test presets), and so does a check script that ran nothing it should have.
set -uo pipefail
cd "$(dirname "$0")/.."

logs=build-logs
rm -rf "$logs"
mkdir -p "$logs"

names=()
results=()
times=()
cpus=()
# CPU seconds of this shell's finished children so far (their own children included):
# a stage's share of the two cores, beside its wall time.
cpu_seconds() {
  local stat
  read -ra stat < /proc/$$/stat
  echo $(((stat[15] + stat[16]) / $(getconf CLK_TCK)))
}
# stage NAME COMMAND...: runs COMMAND, its output shown and kept in build-logs/NAME.log.
stage() {
  local name=$1 start=$SECONDS cpu_start status
  cpu_start=$(cpu_seconds)
  shift
  echo "=== $name: $*"
  "$@" 2>&1 | tee "$logs/$name.log"
  status=${PIPESTATUS[0]}
  names+=("$name")
  times+=($((SECONDS - start)))
  cpus+=($(($(cpu_seconds) - cpu_start)))
  if [ "$status" -eq 0 ]; then results+=(passed); else results+=("FAILED (status $status)"); fi
  echo "=== $name: ${results[-1]} after ${times[-1]} s"
}

stage deps tools/install-deps.sh test

# What users and packagers build (-O3), with warnings as errors: an optimiser-only
# warning is caught here before a user meets it. Benchmarks are built to keep them
# compiling. Every test, the slow ones included.
stage release cmake --workflow --preset ci

# The sanitizer build: every test but the exhaustive seek comparison, which it does not
# define (it runs a sample of it), and of the desktop cases only the endings (signals, errors,
# the watcher's states): the Release build runs them all, and the rest are timing and
# behaviour under a window manager, where the sanitizer adds nothing but time.
stage sanitize cmake --workflow --preset ci-sanitize

# The other compiler: the programs only.
stage clang cmake --workflow --preset ci-clang

stage fuzz tools/fuzz-bmp.sh 30

# The capture's encoders on arm64 and big-endian s390x; skipped, with a note, where the
# cross tools or the target's packages cannot be had.
stage cross tools/cross-checks.sh

# The Windows build under Wine, its frame against the Release build's; installs its own
# packages, skipped where it cannot.
stage windows tools/windows-checks.sh build-release/quorvex

# The browser build in a headless Chromium; installs the web set itself, SKIPPED where it
# cannot.
stage web tools/web-checks.sh

# What users install: the .deb (lintian), cmake --install, validators, the Windows zip.
stage package tools/package-checks.sh build-release

echo
echo "=== summary"
passed=0
failed=0
for i in "${!names[@]}"; do
  # How many tests a ctest stage ran, from its last "out of N" line.
  count=$(grep -o 'tests failed out of [0-9]*' "$logs/${names[i]}.log" | tail -n1 | grep -o '[0-9]*$')
  printf '%-9s %-22s %5d s %5d cpu s%s\n' "${names[i]}" "${results[i]}" "${times[i]}" "${cpus[i]}" \
    "${count:+  ($count tests)}"
  if [ "${results[i]}" = passed ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
echo "total     $SECONDS s, $(cpu_seconds) cpu s"
# Checks that could not run, repeated where they are seen.
grep -h 'SKIPPED' "$logs"/*.log
echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
