#!/usr/bin/env bash
# web-checks.sh -- the browser build: builds the web preset (emscripten) with warnings as errors,
# packs its zip, and runs the page in a headless Chromium with software WebGL (the zip opened from disk too): frames 200, 500
# and 672 against the native captures in docs/, a control that must miss, the live page (title,
# key, restart), a bad ?frame=, and a browser without WebGL 2. Installs what it needs with
# tools/install-deps.sh; a stage whose packages cannot be had says SKIPPED. Ends with a summary
# line; the status is non-zero when a check failed or a stage that could run ran no check, and,
# where the CI variable is set, when a stage was skipped. With --build-only it installs and builds,
# and stops there (the test command does that early, in its background lane).
set -u
cd "$(dirname "$0")/.."

passed=0
failed=0
skipped=()
pass() { echo "PASS [$1]: $2"; passed=$((passed + 1)); }
fail() { echo "FAIL [$1]: $2" >&2; failed=$((failed + 1)); }
skip() { echo "SKIPPED [$1]: $2"; skipped+=("$1"); }

summary() {
  echo "web checks: $passed passed, $failed failed, ${#skipped[@]} skipped${skipped[*]:+ (${skipped[*]})}"
  if [ ${#skipped[@]} -gt 0 ]; then
    echo "SKIPPED: ${skipped[*]} -- the browser build was not fully checked"
    # In CI (where CI is set) nothing may pass unchecked: a skip fails the run.
    if [ -n "${CI:-}" ]; then
      echo "FAIL: CI is set, and a skipped stage counts as a failure" >&2
      return 1
    fi
  fi
  [ "$failed" -eq 0 ]
}

tmp=$(mktemp -d /tmp/qv-web.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
build=build-web

# --- the build ---------------------------------------------------------------------------------
if ! tools/install-deps.sh --only cmake ninja-build emscripten node-acorn >"$tmp/deps.log" 2>&1; then
  tail -n 3 "$tmp/deps.log"
  skip web_build "emscripten (or Debian's acorn for its optimiser) cannot be installed"
  skip browser "nothing was built to load"
  summary
  exit
fi
if cmake --preset web >"$tmp/configure.log" 2>&1 &&
   cmake --build --preset web >"$tmp/build.log" 2>&1; then
  pass web_build "quorvex.js (the wasm inside) in $build/, warnings as errors"
else
  cat "$tmp/configure.log" "$tmp/build.log" | tail -n 40 >&2
  fail web_build "the web preset did not build"
  summary
  exit 1
fi
[ "${1:-}" = --build-only ] && { summary; exit; }
echo "MEASURE [size]: quorvex.js (the wasm inside) $(stat -c %s "$build/quorvex.js") bytes, $(gzip -9 -c "$build/quorvex.js" | wc -c) gzipped"

# --- the zip a static host serves ----------------------------------------------------------------
expected="LICENSE quorvex-page.js quorvex.css quorvex.html quorvex.js"
zip=$(cd "$build" && cpack -B "$tmp/pack" >"$tmp/cpack.log" 2>&1 && ls "$tmp/pack"/quorvex-*-web.zip 2>/dev/null)
if [ -z "$zip" ]; then
  tail -n 20 "$tmp/cpack.log" >&2
  fail web_zip "cpack made no quorvex-<version>-web.zip"
else
  listed=$(python3 -c 'import sys, zipfile
names = zipfile.ZipFile(sys.argv[1]).namelist()
top = {n.split("/")[0] for n in names}
print(" ".join(sorted(n.split("/", 1)[1] for n in names if not n.endswith("/"))) if len(top) == 1 else "several top folders")' "$zip")
  if [ "$listed" = "$expected" ]; then pass web_zip "$(basename "$zip"): $listed"
  else fail web_zip "$(basename "$zip") holds '$listed', not '$expected'"; fi
fi

# --- the page in a browser -------------------------------------------------------------------------
# Debian's python3-websocket is installed for Debian's own Python.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
if ! tools/install-deps.sh --only chromium python3-websocket >"$tmp/deps.log" 2>&1 ||
   ! "$python" -c 'import websocket' 2>/dev/null || ! command -v chromium >/dev/null; then
  tail -n 3 "$tmp/deps.log"
  skip browser "chromium or python3-websocket cannot be installed"
  summary
  exit
fi
# Lighthouse, pinned, from the npm registry into a cache outside the tree.
lighthouse=/var/cache/quorvex-lighthouse/node_modules/.bin/lighthouse
if [ ! -x "$lighthouse" ] && command -v npm >/dev/null; then
  npm install --no-audit --no-fund --prefix /var/cache/quorvex-lighthouse lighthouse@12.2.3 >"$tmp/npm.log" 2>&1
fi
[ -x "$lighthouse" ] || { lighthouse=""; skip lighthouse "npm cannot install lighthouse@12.2.3"; }
export QV_LIGHTHOUSE=$lighthouse
QV_FIREFOX=firefox-esr
if ! tools/install-deps.sh --only firefox-esr xvfb >"$tmp/deps.log" 2>&1 || ! command -v Xvfb >/dev/null; then
  QV_FIREFOX=""; skip firefox "firefox-esr or Xvfb cannot be installed"
fi
export QV_FIREFOX
mkdir -p "$build/web-checks"
# The zip as a visitor unpacks it, for the page opened from disk.
unzipped=$build
if [ -n "$zip" ]; then
  unzipped=$tmp/unzipped/$(python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); z.extractall(sys.argv[2])
print(z.namelist()[0].split("/")[0])' "$zip" "$tmp/unzipped")
fi
"$python" tools/web_checks.py "$build" docs "$build/web-checks" "$unzipped" >"$tmp/browser.log" 2>&1
status=$?
cat "$tmp/browser.log"
cases=$(grep -c -E '^(PASS|FAIL) \[' "$tmp/browser.log")
passed=$((passed + $(grep -c '^PASS \[' "$tmp/browser.log")))
failed=$((failed + $(grep -c '^FAIL \[' "$tmp/browser.log")))
if [ "$cases" -eq 0 ] || { [ "$status" -ne 0 ] && ! grep -q '^FAIL \[' "$tmp/browser.log"; }; then
  fail browser "the Chromium driver stopped (status $status) before its cases ran"
fi
echo "screenshots: $build/web-checks/"
summary
