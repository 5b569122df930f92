#!/usr/bin/env bash
# package-checks.sh [BUILD_DIR] -- checks what users install: `cmake --install` into a
# throwaway root, the Debian package (lintian, its Depends, unpacked with dpkg -x),
# the desktop entry, metainfo and manual pages against their validators, the installed
# quorvex-capture run from those roots, and the Windows zip with the exe's resources.
# BUILD_DIR (default build) is a built Linux build. Nothing is installed onto the
# machine itself. A check whose tool cannot be had says SKIPPED.
set -u
cd "$(dirname "$0")/.."
build=${1:-build}
root=$PWD
app_id=io.github.quorvex.quorvex

failures=0
skipped=()
fail() { echo "FAIL [$case_name]: $*" >&2; failures=$((failures + 1)); }
pass() { echo "PASS [$case_name]${1:+: $1}"; }
skip() { echo "SKIPPED [$case_name]: $*"; skipped+=("$case_name"); }

# have PACKAGE...: true when every package is installed, or could be installed now.
have() { tools/install-deps.sh --only "$@"; }

tmp=$(mktemp -d /tmp/qv-package.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

# Everything the programs install, and nothing else (no tests, libraries or headers).
expected_files="usr/bin/quorvex
usr/bin/quorvex-capture
usr/share/applications/$app_id.desktop
usr/share/doc/quorvex/README.md
usr/share/doc/quorvex/changelog.gz
usr/share/doc/quorvex/copyright
usr/share/icons/hicolor/128x128/apps/$app_id.png
usr/share/icons/hicolor/256x256/apps/$app_id.png
usr/share/icons/hicolor/48x48/apps/$app_id.png
usr/share/man/man1/quorvex-capture.1.gz
usr/share/man/man1/quorvex.1.gz
usr/share/metainfo/$app_id.metainfo.xml"

# files_under DIR: every file below DIR, relative to it, sorted.
files_under() { (cd "$1" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort); }

# capture_from ROOT: runs ROOT's installed quorvex-capture for two frames, with no
# display, and checks the pictures it writes.
capture_from() {
  local out=$tmp/frames-$(basename "$1") exe=$1/usr/bin/quorvex-capture
  local version_line
  version_line=$(env -u DISPLAY -u WAYLAND_DISPLAY "$exe" --version 2>&1)
  [ "$version_line" = "quorvex-capture $version" ] || { echo "--version says '$version_line'"; return 1; }
  env -u DISPLAY -u WAYLAND_DISPLAY timeout 120 "$exe" --frames 1..2 --out "$out" >"$tmp/capture.log" 2>&1 ||
    { echo "it failed: $(tail -n1 "$tmp/capture.log")"; return 1; }
  [ "$(ls "$out")" = "$(printf 'frame-000001.png\nframe-000002.png')" ] || { echo "wrote $(ls "$out" | paste -sd' ')"; return 1; }
  python3 - "$out/frame-000002.png" <<'EOF' || return 1
import struct, sys
data = open(sys.argv[1], "rb").read(33)
if data[:8] != b"\x89PNG\r\n\x1a\n" or struct.unpack(">II", data[16:24]) != (800, 600):
    sys.exit(print("frame 2 is not an 800x600 PNG") or 1)
EOF
}

# --- cmake --install into a throwaway root ---------------------------------------------
case_name=install
if ! DESTDIR=$tmp/destdir cmake --install "$build" --prefix /usr >"$tmp/install.log" 2>&1; then
  cat "$tmp/install.log"
  fail "cmake --install failed"
elif [ "$(files_under "$tmp/destdir")" != "$expected_files" ]; then
  fail "installed files differ: $(diff <(echo "$expected_files") <(files_under "$tmp/destdir") | grep '^[<>]' | paste -sd' ')"
elif ! reason=$(capture_from "$tmp/destdir"); then
  fail "the installed quorvex-capture: $reason"
else
  pass "$(echo "$expected_files" | wc -l) files under /usr; the installed quorvex-capture $version wrote two 800x600 frames"
fi

# --- validators ---------------------------------------------------------------------------
installed=$tmp/destdir/usr/share
case_name=desktop_entry
if ! have desktop-file-utils; then skip "desktop-file-validate (desktop-file-utils) cannot be installed"
elif out=$(desktop-file-validate "$installed/applications/$app_id.desktop" 2>&1) && [ -z "$out" ]; then pass "desktop-file-validate: no remarks"
else fail "desktop-file-validate: $out"; fi

case_name=metainfo
if ! have appstream; then skip "appstreamcli (appstream) cannot be installed"
elif out=$(appstreamcli validate --no-net --pedantic "$installed/metainfo/$app_id.metainfo.xml" 2>&1) &&
     [ "$(echo "$out" | grep -v '^$')" = "✔ Validation was successful." ]; then pass "appstreamcli validate --no-net --pedantic: no remarks"
else fail "appstreamcli: $out"; fi

case_name=man_pages
if ! have groff; then skip "groff cannot be installed"
else
  remarks=""
  for page in "$installed"/man/man1/*.1.gz; do
    out=$(zcat "$page" | groff -man -ww -z 2>&1)
    [ -n "$out" ] && remarks+="$(basename "$page"): $out "
  done
  if [ -n "$remarks" ]; then fail "groff -man -ww -z: $remarks"; else pass "groff -man -ww -z: no warnings on $(ls "$installed"/man/man1 | paste -sd' ')"; fi
fi

# --- the Debian package -------------------------------------------------------------------------
case_name=deb
deb=$tmp/deb/quorvex_${version}_amd64.deb
if ! have dpkg-dev; then skip "dpkg-shlibdeps (dpkg-dev) cannot be installed"
elif ! (cd "$build" && cpack -G DEB -B "$tmp/deb") >"$tmp/cpack.log" 2>&1 || [ ! -f "$deb" ]; then
  cat "$tmp/cpack.log"
  fail "cpack -G DEB made no $(basename "$deb")"
else
  depends=$(dpkg-deb -f "$deb" Depends)
  mkdir -p "$tmp/deb-root"
  dpkg -x "$deb" "$tmp/deb-root"
  missing_depends=""
  for needed in libsdl2-2.0-0 libglu1 libopengl0 zlib1g libstdc++6 libgl1-mesa-dri; do
    [[ $depends == *"$needed"* ]] || missing_depends+=" $needed"
  done
  if [ -n "$missing_depends" ]; then fail "Depends lacks$missing_depends: $depends"
  elif [ "$(files_under "$tmp/deb-root")" != "$expected_files" ]; then
    fail "the package's files differ: $(diff <(echo "$expected_files") <(files_under "$tmp/deb-root") | grep '^[<>]' | paste -sd' ')"
  elif readelf -S "$tmp/deb-root/usr/bin/quorvex" | grep -q '\.debug_info'; then fail "the packaged quorvex is not stripped"
  elif ! reason=$(capture_from "$tmp/deb-root"); then fail "the packaged quorvex-capture: $reason"
  else pass "$(basename "$deb"); Depends: $depends; unpacked, its quorvex-capture wrote two 800x600 frames"; fi

  case_name=lintian
  if ! have lintian; then skip "lintian cannot be installed"
  else
    # Info tags (I:) are not shown; errors and warnings fail the check.
    lintian --pedantic "$deb" >"$tmp/lintian.log" 2>&1
    sed -i '/running with root privileges is not recommended/d' "$tmp/lintian.log"
    if grep -q '^[EW]: ' "$tmp/lintian.log"; then fail "$(cat "$tmp/lintian.log")"
    elif [ -s "$tmp/lintian.log" ]; then pass "only pedantic remarks: $(paste -sd' ' "$tmp/lintian.log")"
    else pass "no errors, warnings or pedantic remarks"; fi
  fi
fi

# --- the Windows zip ------------------------------------------------------------------------------
case_name=windows_zip
zip=$root/build-win32/quorvex-${version}-win64.zip
if ! have g++-mingw-w64-x86-64-win32 icoutils; then skip "mingw-w64 or icoutils cannot be installed"
elif ! cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >"$tmp/win.log" 2>&1 ||
     ! cmake --build build-win32 >>"$tmp/win.log" 2>&1; then
  cat "$tmp/win.log"
  fail "the Windows build failed"
elif ! (cd build-win32 && rm -f "$zip" && cpack -G ZIP) >"$tmp/zip.log" 2>&1 || [ ! -f "$zip" ]; then
  cat "$tmp/zip.log"
  fail "cpack -G ZIP made no $(basename "$zip")"
else
  listing=$(python3 -c 'import sys, zipfile; print("\n".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' "$zip")
  top=quorvex-${version}-win64
  mkdir -p "$tmp/zip"
  python3 -m zipfile -e "$zip" "$tmp/zip"
  exe=$tmp/zip/$top/quorvex.exe
  resources=$(wrestool -l "$exe" 2>&1)
  # The version record's strings, from its UTF-16 text.
  version_strings=$(wrestool -x --raw --type=16 "$exe" 2>/dev/null |
    python3 -c '
import sys
pieces = sys.stdin.buffer.read().decode("utf-16le", "replace").split("\0")
# Each key is preceded by a few binary length and type words: keep the text alone.
pieces = ["".join(c for c in p if c.isascii() and c.isprintable()) for p in pieces]
print(" ".join(p for p in pieces if len(p) > 2))')
  if [ "$listing" != "$(printf '%s\n' "$top/LICENSE" "$top/README.md" "$top/quorvex.exe")" ]; then
    fail "the zip holds: $(echo "$listing" | paste -sd' ')"
  elif ! grep -q 'type=group_icon' <<<"$resources" || ! grep -q 'type=version' <<<"$resources"; then
    fail "the exe lacks its icon or version record: $resources"
  elif [[ $version_strings != *"ProductName Quorvex"* || $version_strings != *"ProductVersion $version"* ||
          $version_strings != *"FileDescription Quorvex"* || $version_strings != *"LegalCopyright Copyright (c) 2026 The Quorvex developers"* ]]; then
    fail "the version record says: $version_strings"
  else
    pass "$(basename "$zip") holds $(echo "$listing" | paste -sd' '); quorvex.exe has $(grep -c 'type=icon' <<<"$resources") icon images, a group icon and a version record ($version)"
  fi
fi

if [ "$failures" -gt 0 ]; then
  echo "package checks: $failures failed"
  exit 1
fi
if [ ${#skipped[@]} -gt 0 ]; then
  echo "package checks: passed; SKIPPED: ${skipped[*]}"
else
  echo "package checks: all passed"
fi
