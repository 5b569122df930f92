#!/usr/bin/env bash
# run-tests.sh -- installs what is missing, builds, and runs every test: a Release build with
# warnings as errors, then the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer,
# the programs built with clang, a short fuzz run of the BMP reader, the capture's encoders on arm64
# and s390x, the Windows build under Wine, the browser build in Chromium, and the packages.
#
# Every stage runs, whatever the stages before it did; the untimed ones (the Windows and web
# builds, clang, fuzz, cross) run beside the others at the lowest priority. The end shows each
# stage's result, wall time and CPU time, the checks that could not run (SKIPPED), and
# `stages: N passed, M failed`. The status is non-zero when any stage failed. A ctest stage that finds no test
# fails (--no-tests=error, in the test presets), and so does a check script that ran nothing
# it should have.
set -uo pipefail
cd "$(dirname "$0")/.."

logs=build-logs
rm -rf "$logs"
mkdir -p "$logs"

names=()
results=()
times=()
cpus=()
# counted NAME COMMAND...: runs COMMAND (in a subshell of its own, as a pipeline's part or a
# background job is), then notes in build-logs/NAME.cpu the CPU seconds it and its children
# used: a stage's share of the two cores beside its wall time, whatever runs beside it.
counted() {
  local name=$1 stat status
  shift
  "$@"
  status=$?
  read -ra stat </proc/$BASHPID/stat
  echo $(((stat[15] + stat[16]) / $(getconf CLK_TCK))) >"$logs/$name.cpu"
  return "$status"
}
# stage NAME COMMAND...: runs COMMAND, its output shown and kept in build-logs/NAME.log.
stage() {
  local name=$1 start=$SECONDS status
  shift
  echo "=== $name: $*"
  counted "$name" "$@" 2>&1 | tee "$logs/$name.log"
  status=${PIPESTATUS[0]}
  names+=("$name")
  times+=($((SECONDS - start)))
  cpus+=("$(cat "$logs/$name.cpu")")
  if [ "$status" -eq 0 ]; then results+=(passed); else results+=("FAILED (status $status)"); fi
  echo "=== $name: ${results[-1]} after ${times[-1]} s"
}

# Stages with no deadline and nothing on screen run one after another in a lane of their own
# beside the rest, at the lowest priority there is (SCHED_IDLE, below even the heavy tests'
# nice 19): they take only cores nothing else wants, and slow the others only through the
# caches and memory they share. background_stages NAME:COMMAND... starts the lane;
# await_background NAME waits until it has done NAME; collect_background waits for it all and
# adds its stages to the summary, their output shown then.
background_stages() {
  (
    local entry name start
    for entry in "$@"; do
      name=${entry%%:*} start=$SECONDS
      # shellcheck disable=SC2086 # the command is words
      (counted "$name" chrt --idle 0 ${entry#*:}) >"$logs/$name.log" 2>&1
      echo "$name $? $((SECONDS - start))" >>"$logs/background"
    done
  ) &
  background_pid=$!
}
# Two ninjas must not build in one folder at once: a stage waits for the lane to build its part.
await_background() {
  until grep -q "^$1 " "$logs/background" 2>/dev/null || ! kill -0 "$background_pid" 2>/dev/null; do
    sleep 1
  done
}
collect_background() {
  local name status time
  echo "=== waiting for the background stages"
  wait "$background_pid"
  while read -r name status time; do
    echo "=== $name: ran in the background lane"
    cat "$logs/$name.log"
    names+=("$name")
    times+=("$time")
    cpus+=("$(cat "$logs/$name.cpu")")
    if [ "$status" -eq 0 ]; then results+=(passed); else results+=("FAILED (status $status)"); fi
    echo "=== $name: ${results[-1]} after $time s, beside the others"
  done <"$logs/background"
}

stage deps tools/install-deps.sh test

# First what the windows and web stages will need (their packages and builds, so those
# stages start on their checks); then the other compiler (the programs only); a short fuzz
# run of the BMP reader, counted in inputs so that it does the same work however busy the
# cores are; the capture's encoders on arm64 and big-endian s390x (skipped, with a note, where
# the cross tools or the target's packages cannot be had).
background_stages "winbuild:tools/windows-checks.sh --build-only" "webbuild:tools/web-checks.sh --build-only" \
  "clang:cmake --workflow --preset ci-clang" "fuzz:tools/fuzz-bmp.sh --runs 2000000" "cross:tools/cross-checks.sh"

# What users and packagers build (-O3), with warnings as errors: an optimiser-only
# warning is caught here before a user meets it. Benchmarks are built to keep them
# compiling. Every test, the slow ones included.
stage release cmake --workflow --preset ci

# The sanitizer build: every test but the exhaustive seek comparison, which it does not
# define (it runs a sample of it), and of the desktop cases only the endings (signals, errors,
# the watcher's states): the Release build runs them all, and the rest are timing and
# behaviour under a window manager, where the sanitizer adds nothing but time.
stage sanitize cmake --workflow --preset ci-sanitize

# The Windows build under Wine, its frame against the Release build's; installs its own
# packages, skipped where it cannot.
await_background winbuild
stage windows tools/windows-checks.sh build-release/quorvex

# The browser build in a headless Chromium; installs the web set itself, SKIPPED where it
# cannot.
await_background webbuild
stage web tools/web-checks.sh

# What users install: the .deb (lintian), cmake --install, validators, the Windows zip.
stage package tools/package-checks.sh build-release

collect_background

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
read -ra stat </proc/$$/stat
echo "total     $SECONDS s, $(((stat[15] + stat[16]) / $(getconf CLK_TCK))) cpu s"
# Checks that could not run, repeated where they are seen.
grep -h 'SKIPPED' "$logs"/*.log
echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
