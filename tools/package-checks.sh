#!/usr/bin/env bash
# package-checks.sh [BUILD_DIR] -- checks what users install: `cmake --install` into a
# throwaway root, the Debian package (lintian, its Depends, unpacked with dpkg -x, and
# installed with apt into a fresh minimal Debian 12 root where both programs run and a
# purge leaves nothing), the desktop entry, metainfo and manual pages against their
# validators, the Windows zip with the exe's resources, and that a clone in another folder
# builds the same package and zip bytes (two clones where the working tree has changes). BUILD_DIR (default build) is a built Linux
# build. Nothing is installed onto the machine itself. A check whose tool cannot be had
# says SKIPPED; a check that fails, or a run where nothing was checked, ends non-zero.
set -u
cd "$(dirname "$0")/.."
build=${1:-build}
root=$PWD
app_id=io.github.quorvex.quorvex

failures=0
passed=0
skipped=()
fail() { echo "FAIL [$case_name]: $*" >&2; failures=$((failures + 1)); }
pass() { echo "PASS [$case_name]${1:+: $1}"; passed=$((passed + 1)); }
skip() { echo "SKIPPED [$case_name]: $*"; skipped+=("$case_name"); }

# have PACKAGE...: true when every package is installed, or could be installed now.
have() { tools/install-deps.sh --only "$@"; }

tmp=$(mktemp -d /tmp/qv-package.XXXXXX)
# What the bare-root check mounts and starts; undone before anything is removed, and
# the removal never crosses into a mount that is still there.
mounts=()
xvfb_pid=""
release_bare() {
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}"; done
  mounts=()
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  xvfb_pid=""
}
cleanup() {
  release_bare
  rm -rf --one-file-system "$tmp"
}
trap cleanup EXIT
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

# Everything the programs install, and nothing else (no tests, libraries or headers).
expected_files="usr/bin/quorvex
usr/bin/quorvex-capture
usr/libexec/xscreensaver/quorvex
usr/share/applications/$app_id.desktop
usr/share/doc/quorvex/README.md
usr/share/doc/quorvex/changelog.gz
usr/share/doc/quorvex/copyright
usr/share/icons/hicolor/128x128/apps/$app_id.png
usr/share/icons/hicolor/256x256/apps/$app_id.png
usr/share/icons/hicolor/48x48/apps/$app_id.png
usr/share/man/man1/quorvex-capture.1.gz
usr/share/man/man1/quorvex.1.gz
usr/share/metainfo/$app_id.metainfo.xml
usr/share/xscreensaver/config/quorvex.xml"

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
# The X screensaver's hack is the installed program, and its settings file names it with --root.
elif [ "$(readlink -f "$tmp/destdir/usr/libexec/xscreensaver/quorvex")" != "$tmp/destdir/usr/bin/quorvex" ] ||
     ! "$tmp/destdir/usr/libexec/xscreensaver/quorvex" --help | grep -q -e '--root'; then
  fail "/usr/libexec/xscreensaver/quorvex does not run the installed quorvex"
elif ! python3 -c 'import sys, xml.etree.ElementTree as T; r = T.parse(sys.argv[1]).getroot()
sys.exit(r.get("name") != "quorvex" or r.find("command").get("arg") != "--root")' \
     "$tmp/destdir/usr/share/xscreensaver/config/quorvex.xml"; then
  fail "the screensaver's settings file does not name the hack quorvex with --root"
else
  pass "$(echo "$expected_files" | wc -l) files under /usr; the installed quorvex-capture $version wrote two 800x600 frames; the screensaver's hack runs the installed quorvex"
fi

# --- installed documents point at installed files -------------------------------------------------
case_name=installed_docs
# Every absolute path the installed README and quorvex's FILES section name is in the
# installed tree; nothing points into a source or build folder the package lacks.
if ! out=$(python3 - "$tmp/destdir" 2>&1 <<'EOF'
import gzip, re, sys, os
root = sys.argv[1]
problems, named = [], 0
readme = open(f"{root}/usr/share/doc/quorvex/README.md", encoding="utf-8").read()
man = gzip.open(f"{root}/usr/share/man/man1/quorvex.1.gz", "rt", encoding="utf-8").read()
files = man.split(".SH FILES", 1)[1].split("\n.SH", 1)[0] if ".SH FILES" in man else ""
if "/usr/share/doc/quorvex/changelog.gz" not in files:
    problems.append("quorvex(1)'s FILES section does not name the changelog")
for where, text in (("README.md", readme), ("quorvex(1) FILES", files.replace("\\-", "-"))):
    for path in sorted(set(re.findall(r"(/usr/(?!local\b)[\w./+-]*\w/?)", text))):
        named += 1
        if not os.path.lexists(root + path):
            problems.append(f"{where} names {path}, which is not installed")
for target in re.findall(r"\]\(([^)#]+)\)", readme):
    if "://" not in target and not os.path.lexists(f"{root}/usr/share/doc/quorvex/{target}"):
        problems.append(f"README.md links to {target}, which is not installed")
for stray in sorted(set(re.findall(r"(?<![\w/.])(?:build[\w-]*|docs)/[\w./-]+", readme))):
    problems.append(f"README.md names {stray}, a path in the source tree")
if problems:
    sys.exit("; ".join(problems))
print(f"{named} installed paths named, all present")
EOF
); then fail "$out"
else pass "README.md and quorvex(1)'s FILES: $out"; fi

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
  # What the programs link, found on this machine and named by the package that holds
  # it, and what SDL opens at run time (GL and EGL dispatch, Mesa's drivers).
  # dpkg knows a library by the path its package gives, which on a merged-/usr system
  # may be the /lib one, the /usr/lib one, or the link's target.
  needed_packages=$(readelf -d "$tmp"/deb-root/usr/bin/* | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u |
    while read -r lib; do
      path=$(ldconfig -p | awk -v lib="$lib" '$1 == lib && /x86-64/ { print $NF; exit }')
      real=$(readlink -f "$path")
      for candidate in "$path" "${path#/usr}" "/usr${path#/usr}" "$real" "${real#/usr}"; do
        owner=$(dpkg -S "$candidate" 2>/dev/null | sed 's/:.*//' | head -n1)
        [ -n "$owner" ] && break
      done
      echo "${owner:-?$lib}"
    done | sort -u)
  missing_depends=""
  for unknown in $(grep '^?' <<<"$needed_packages"); do missing_depends+=" (no package holds ${unknown#?})"; done
  needed_packages=$(grep -v '^?' <<<"$needed_packages")
  for needed in $needed_packages libgl1 libgl1-mesa-dri libegl1; do
    [[ ", $depends," == *", $needed"[\ ,]* || $depends == *"| $needed"[\ ,]* ]] || missing_depends+=" $needed"
  done
  if [ -n "$missing_depends" ]; then fail "Depends lacks$missing_depends: $depends"
  elif [ -z "$needed_packages" ]; then fail "no package found for the programs' linked libraries"
  elif [ "$(files_under "$tmp/deb-root")" != "$expected_files" ]; then
    fail "the package's files differ: $(diff <(echo "$expected_files") <(files_under "$tmp/deb-root") | grep '^[<>]' | paste -sd' ')"
  elif readelf -S "$tmp/deb-root/usr/bin/quorvex" | grep -q '\.debug_info'; then fail "the packaged quorvex is not stripped"
  elif ! reason=$(capture_from "$tmp/deb-root"); then fail "the packaged quorvex-capture: $reason"
  else pass "$(basename "$deb"); Depends: $depends (covers $(echo $needed_packages | wc -w) linked packages: $(echo $needed_packages)); unpacked, its quorvex-capture wrote two 800x600 frames"; fi

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

# --- no package without its dependencies ----------------------------------------------------------
case_name=deb_without_shlibdeps
# CPack alone would warn, leave SDL, GLU and the C++ runtime out of Depends and succeed. Rooting
# program searches in an empty folder hides dpkg-shlibdeps (`file`, which CPack wants first, is
# given by path).
if ! command -v file >/dev/null; then skip "the file command is not installed"
elif (cd "$build" && cpack -G DEB -B "$tmp/no-shlibdeps" -D FILE_EXECUTABLE="$(command -v file)" \
        -D CMAKE_FIND_ROOT_PATH="$tmp/empty" -D CMAKE_FIND_ROOT_PATH_MODE_PROGRAM=ONLY) >"$tmp/no-shlibdeps.log" 2>&1; then
  fail "cpack made a package without dpkg-shlibdeps: $(grep -i shlibdeps "$tmp/no-shlibdeps.log" | paste -sd' ')"
elif ! grep -q 'dpkg-shlibdeps is not installed' "$tmp/no-shlibdeps.log"; then
  fail "cpack failed without saying why: $(paste -sd' ' "$tmp/no-shlibdeps.log")"
elif ls "$tmp/no-shlibdeps"/*.deb >/dev/null 2>&1; then fail "cpack failed but left a .deb"
else pass "without dpkg-shlibdeps cpack stops: $(grep -o 'dpkg-shlibdeps is not installed[^;]*' "$tmp/no-shlibdeps.log")"; fi

# --- the package on a bare system -----------------------------------------------------------------
# A fresh minimal Debian 12 root (debootstrap --variant=minbase), made once per machine and
# kept as a tarball; downloaded packages are kept beside it.
cache=/var/cache/quorvex-checks
bare_tarball=$cache/bookworm-minbase.tar.gz

# make_bare_tarball: debootstraps the root into the cache. Fails when the archive cannot be reached.
make_bare_tarball() {
  local staging=$tmp/debootstrap
  mkdir -p "$cache" || return 1
  echo "making $bare_tarball (debootstrap --variant=minbase bookworm, a few minutes, once)"
  debootstrap --variant=minbase bookworm "$staging" http://deb.debian.org/debian >"$tmp/debootstrap.log" 2>&1 ||
    { tail -n 5 "$tmp/debootstrap.log"; return 1; }
  tar -C "$staging" -czf "$bare_tarball.part" . && mv "$bare_tarball.part" "$bare_tarball"
  rm -rf --one-file-system "$staging"
}

# in_bare COMMAND...: runs COMMAND as root inside the bare root, in a clean environment.
bare_env=(env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive)
in_bare() { chroot "$bare" "${bare_env[@]}" "$@"; }

# bare_mount ARGS... TARGET: mounts, remembering TARGET for the clean-up.
bare_mount() { mount "$@" && mounts+=("${*: -1}"); }

# leftovers PATHS: those of the package's paths (from dpkg -L) still in the bare root;
# directories other packages share (/usr/bin, ...) stay, the package's own must go.
leftovers() {
  local path
  while read -r path; do
    if [ -d "$bare$path" ]; then
      [[ $path == */quorvex || $path == */quorvex-capture ]] && echo "$path"
    elif [ -e "$bare$path" ] || [ -L "$bare$path" ]; then echo "$path"; fi
  done <<<"$1"
}

# error_box: the id of an open error box of the demo on $DISPLAY, if any. xdotool's name
# search does not find SDL's boxes; xwininfo lists them by their title.
error_box() { xwininfo -root -children 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) "error?!".*/\1/p' | head -n1; }

# bare_system_check DEB: installs DEB with apt into a fresh copy of the bare root, runs both
# programs there, purges it. Prints the reason and fails on the first problem.
bare_system_check() {
  local deb=$1 name
  name=$(basename "$deb")
  bare=$tmp/bare
  mkdir -p "$bare" "$cache/archives/partial"
  tar -C "$bare" -xzf "$bare_tarball" || { echo "cannot unpack $bare_tarball"; return 1; }
  cp /etc/resolv.conf "$bare/etc/resolv.conf"
  cp "$deb" "$bare/tmp/$name"
  mkdir -p "$bare/tmp/.X11-unix"
  bare_mount -t proc proc "$bare/proc" && bare_mount --bind /dev "$bare/dev" &&
    bare_mount --bind /tmp/.X11-unix "$bare/tmp/.X11-unix" &&
    bare_mount --bind "$cache/archives" "$bare/var/cache/apt/archives" || { echo "mounting into the root failed"; return 1; }

  local before after start
  before=$(in_bare dpkg-query -W | wc -l)
  start=$SECONDS
  # Only what Depends asks for: Recommends are left out, as a careful user may.
  if ! { in_bare apt-get update -qq && in_bare apt-get install -y -qq --no-install-recommends "./tmp/$name"; } >"$tmp/bare-apt.log" 2>&1; then
    echo "apt-get install ./$name failed: $(tail -n 3 "$tmp/bare-apt.log" | paste -sd' ')"; return 1
  fi
  after=$(in_bare dpkg-query -W | wc -l)
  bare_summary="apt installed it and $((after - before - 1)) packages it needs in $((SECONDS - start)) s"

  # An X server outside the root, reached through its socket.
  local display xvfb_fd
  exec {xvfb_fd}< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp -noreset 2>"$tmp/xvfb.log" & echo "$!")
  read -r -t 10 xvfb_pid <&"$xvfb_fd" && read -r -t 20 display <&"$xvfb_fd" || { echo "Xvfb did not start"; return 1; }
  exec {xvfb_fd}<&-
  local -x DISPLAY=:$display

  # Started directly, not through a function, so that $! is quorvex itself (chroot and
  # env replace themselves with it).
  chroot "$bare" "${bare_env[@]}" DISPLAY=":$display" quorvex >"$tmp/bare-quorvex.log" 2>&1 &
  local pid=$! window="" box="" waited status
  for ((waited = 0; waited < 300; waited++)); do
    window=$(xdotool search --onlyvisible --name '^Quorvex' 2>/dev/null | head -n1)
    box=$(error_box)
    [ -n "$window$box" ] || ! kill -0 "$pid" 2>/dev/null && break
    sleep 0.1
  done
  if [ -z "$window" ]; then
    # Its error boxes wait for a key; answered, the demo writes the reason and ends.
    for ((waited = 0; waited < 10 && ${#box} > 0; waited++)); do
      xdotool windowfocus "$box" key Return 2>/dev/null
      sleep 1.5
      box=$(error_box)
    done
    # A box still open belongs to a child it waits for.
    pkill -KILL -P "$pid" 2>/dev/null; kill -KILL "$pid" 2>/dev/null; wait "$pid"
    echo "no window titled Quorvex within 30 s; it said: $(paste -sd' ' "$tmp/bare-quorvex.log")"; return 1
  fi
  sleep 1
  # What SDL opened with dlopen shows only while it runs.
  bare_opened=$(grep -oE 'lib(GL|GLX|EGL)[^/ ]*\.so[.0-9]*|[a-z0-9_]+_dri\.so' "/proc/$pid/maps" 2>/dev/null | sed 's/\.so.*/.so/' | sort -u | paste -sd' ')
  box=$(error_box)
  xdotool windowfocus --sync "$window" key q
  for ((waited = 0; waited < 100; waited++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  pkill -KILL -P "$pid" 2>/dev/null; kill -KILL "$pid" 2>/dev/null
  wait "$pid"; status=$?
  [ -z "$box" ] || { echo "an error box was open beside the window; it said: $(paste -sd' ' "$tmp/bare-quorvex.log")"; return 1; }
  [ "$status" -eq 0 ] || { echo "quorvex ended with status $status after a key; it said: $(paste -sd' ' "$tmp/bare-quorvex.log")"; return 1; }

  if ! in_bare quorvex-capture -q --frames 5 --out /tmp/frames >"$tmp/bare-capture.log" 2>&1; then
    echo "quorvex-capture failed: $(paste -sd' ' "$tmp/bare-capture.log")"; return 1
  fi
  python3 - "$bare/tmp/frames/frame-000005.png" <<'PY' || return 1
import struct, sys
try:
    data = open(sys.argv[1], "rb").read(33)
except OSError as e:
    sys.exit(print(f"quorvex-capture wrote no frame 5: {e}") or 1)
if data[:8] != b"\x89PNG\r\n\x1a\n" or struct.unpack(">II", data[16:24]) != (800, 600):
    sys.exit(print("frame 5 is not an 800x600 PNG") or 1)
PY

  # `apt remove` takes every file the package put there and, as it has no configuration
  # files, dpkg's record of it too; `apt purge` does the same from an installed package.
  local files state left how
  files=$(in_bare dpkg -L quorvex) || { echo "dpkg -L quorvex failed"; return 1; }
  for how in remove purge; do
    if [ "$how" = purge ] && ! in_bare apt-get install -y -qq --no-install-recommends "./tmp/$name" >"$tmp/bare-apt.log" 2>&1; then
      echo "installing it again failed: $(tail -n 3 "$tmp/bare-apt.log" | paste -sd' ')"; return 1
    fi
    in_bare apt-get "$how" -y -qq quorvex >"$tmp/bare-$how.log" 2>&1 ||
      { echo "apt-get $how quorvex failed: $(tail -n 3 "$tmp/bare-$how.log" | paste -sd' ')"; return 1; }
    left=$(leftovers "$files")
    [ -z "$left" ] || { echo "left after apt-get $how: $(echo "$left" | paste -sd' ')"; return 1; }
    state=$(in_bare dpkg-query -W -f='${db:Status-Status}' quorvex 2>/dev/null)
    [ -z "$state" ] || [ "$state" = not-installed ] || { echo "after apt-get $how dpkg keeps quorvex as '$state'"; return 1; }
  done
  bare_summary+="; a window titled Quorvex, no error box, status 0 after a key (it opened $bare_opened); quorvex-capture wrote frame 5; apt-get remove, and apt-get purge after installing it again, each left none of its $(echo "$files" | wc -l) paths and no record in dpkg"
}

# readme_recipe_check: runs the README's "Debian 12 package" lines as written, on a copy of this
# tree in a fresh copy of the bare root, the way its root shell runs them (without `sudo`; apt's
# questions answered yes): they must build the package and leave it installed.
readme_recipe_check() {
  local recipe start state
  recipe=$(awk '/^\*\*Debian 12 package\.\*\*/ { found = 1 } found && /^```/ { if (inside) exit; inside = 1; next } inside' README.md |
    sed 's/^sudo //')
  [ -n "$recipe" ] || { echo "README.md has no Debian 12 package recipe"; return 1; }
  bare=$tmp/recipe
  mkdir -p "$bare"
  tar -C "$bare" -xzf "$bare_tarball" || { echo "cannot unpack $bare_tarball"; return 1; }
  cp /etc/resolv.conf "$bare/etc/resolv.conf"
  echo 'APT::Get::Assume-Yes "true";' >"$bare/etc/apt/apt.conf.d/90answer-yes"
  mkdir -p "$bare/root/quorvex"
  git ls-files -z -c -o --exclude-standard | tar --null -T - -cf - | tar -C "$bare/root/quorvex" -xf - ||
    { echo "cannot copy the source tree into the root"; return 1; }
  bare_mount -t proc proc "$bare/proc" && bare_mount --bind /dev "$bare/dev" &&
    bare_mount --bind "$cache/archives" "$bare/var/cache/apt/archives" || { echo "mounting into the root failed"; return 1; }
  start=$SECONDS
  if ! in_bare bash -ec "cd /root/quorvex; $recipe" >"$tmp/recipe.log" 2>&1 </dev/null; then
    echo "the recipe failed: $(tail -n 3 "$tmp/recipe.log" | paste -sd' ')"; return 1
  fi
  state=$(in_bare dpkg-query -W -f='${db:Status-Status} ${Version}' quorvex 2>&1)
  [ "$state" = "installed $version" ] || { echo "after the recipe dpkg says '$state' for quorvex"; return 1; }
  recipe_summary="its $(echo "$recipe" | wc -l) lines built and installed quorvex $version in $((SECONDS - start)) s"
}

case_name=bare_system
if [ ! -f "$deb" ]; then
  if have dpkg-dev; then fail "no package to install (see the deb check)"; else skip "no package was made (no dpkg-dev)"; fi
elif [ "$(id -u)" -ne 0 ]; then skip "needs root (debootstrap, chroot, mount); run the test command as root"
elif ! have debootstrap xvfb xdotool x11-utils; then skip "debootstrap, Xvfb, xdotool or xwininfo (x11-utils) cannot be installed"
# One run at a time on this machine: the cached root is made once, and apt locks the shared
# download folder.
elif ! mkdir -p "$cache" || ! exec {cache_lock}>"$cache/lock" || ! flock -w 900 "$cache_lock"; then
  fail "could not take $cache/lock within 15 minutes"
elif [ ! -f "$bare_tarball" ] && ! make_bare_tarball; then
  skip "debootstrap cannot reach Debian's archive (http://deb.debian.org/debian), so there is no fresh root to install into"
elif ! bare_system_check "$deb" >"$tmp/bare.log" 2>&1; then release_bare; fail "$(cat "$tmp/bare.log")"
else release_bare; pass "$bare_summary"; fi
case_name=readme_deb_recipe
if [ "$(id -u)" -ne 0 ]; then skip "needs root (chroot, mount); run the test command as root"
elif [ -z "${cache_lock:-}" ] || ! flock -w 900 "$cache_lock" || [ ! -f "$bare_tarball" ]; then
  skip "no fresh root to run it in (see bare_system)"
elif ! readme_recipe_check >"$tmp/recipe-check.log" 2>&1; then release_bare; fail "$(cat "$tmp/recipe-check.log")"
else release_bare; pass "$recipe_summary"; fi
[ -n "${cache_lock:-}" ] && exec {cache_lock}>&-

# --- the Windows zip ------------------------------------------------------------------------------
case_name=windows_zip
zip=$root/build-win32/quorvex-${version}-win64.zip
if ! have g++-mingw-w64-x86-64-win32 icoutils; then skip "mingw-w64 or icoutils cannot be installed"
elif ! cmake --preset windows >"$tmp/win.log" 2>&1 || ! cmake --build --preset windows >>"$tmp/win.log" 2>&1; then
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
  if [ "$listing" != "$(printf '%s\n' "$top/LICENSE" "$top/README.md" "$top/quorvex.exe" "$top/quorvex.scr")" ]; then
    fail "the zip holds: $(echo "$listing" | paste -sd' ')"
  elif ! cmp -s "$exe" "$tmp/zip/$top/quorvex.scr"; then
    fail "quorvex.scr is not the same program as quorvex.exe"
  elif ! grep -q 'type=group_icon' <<<"$resources" || ! grep -q 'type=version' <<<"$resources"; then
    fail "the exe lacks its icon or version record: $resources"
  elif [[ $version_strings != *"ProductName Quorvex"* || $version_strings != *"ProductVersion $version"* ||
          $version_strings != *"FileDescription Quorvex"* || $version_strings != *"LegalCopyright Copyright (c) 2026 The Quorvex developers"* ]]; then
    fail "the version record says: $version_strings"
  else
    pass "$(basename "$zip") holds $(echo "$listing" | paste -sd' '); quorvex.exe has $(grep -c 'type=icon' <<<"$resources") icon images, a group icon and a version record ($version)"
  fi
fi

# --- the same bytes from every build ----------------------------------------------------------------
case_name=release_date
# Archives made without git (a source tarball) carry this date: the changelog's latest entry.
release_epoch=$(sed -n 's/^set(QUORVEX_RELEASE_EPOCH \([0-9]*\))$/\1/p' cmake/archive_dates.cmake)
if ! have dpkg-dev; then skip "dpkg-parsechangelog (dpkg-dev) cannot be installed"
elif changelog_epoch=$(dpkg-parsechangelog -l packaging/changelog -STimestamp) && [ "$changelog_epoch" = "$release_epoch" ]; then
  pass "QUORVEX_RELEASE_EPOCH $release_epoch is the changelog's date, $(date -u -d "@$release_epoch" +%F)"
else fail "QUORVEX_RELEASE_EPOCH is '$release_epoch', the changelog's latest entry is from '$changelog_epoch'"; fi

# build_clone DIR: clones this repository into DIR at $repro_commit and makes its package, and
# its zip where mingw-w64 is there, with nothing set by hand.
build_clone() {
  local dir=$1
  git clone -q --no-checkout "$root" "$dir" && git -C "$dir" checkout -q "$repro_commit" &&
    cmake -S "$dir" -B "$dir/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF &&
    cmake --build "$dir/build-release" && (cd "$dir/build-release" && cpack -G DEB) || return 1
  [ "$with_zip" = yes ] || return 0
  cmake -S "$dir" -B "$dir/build-win32" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake &&
    cmake --build "$dir/build-win32" && (cd "$dir/build-win32" && cpack -G ZIP)
}

case_name=reproducible
with_zip=no
have g++-mingw-w64-x86-64-win32 && with_zip=yes
if ! command -v git >/dev/null || ! git -C "$root" rev-parse --verify -q HEAD >/dev/null; then
  skip "not a git clone, so there is no commit to build twice"
elif ! have dpkg-dev; then skip "dpkg-dev cannot be installed, so no package can be made"
else
  # Different folders, at different depths: no path of the clone may reach the bytes. Both
  # at the commit HEAD names now: one made while the first builds must not change the second.
  first=$tmp/repro/a/quorvex second=$tmp/repro/elsewhere/deeper/q
  repro_commit=$(git -C "$root" rev-parse HEAD)
  pairs=("build-release/quorvex_${version}_amd64.deb")
  [ "$with_zip" = yes ] && pairs+=("build-win32/quorvex-${version}-win64.zip")
  # Where the working tree is that commit (a clean clone, as the test command runs in), the
  # package and zip checked above are the first build: only the second is made here.
  first_made=""
  if [ -z "$(git -C "$root" status --porcelain)" ] && [ -f "$deb" ] && { [ "$with_zip" = no ] || [ -f "$zip" ]; }; then
    mkdir -p "$first/build-release" "$first/build-win32"
    cp "$deb" "$first/${pairs[0]}" && { [ "$with_zip" = no ] || cp "$zip" "$first/${pairs[1]}"; } && first_made=yes
  fi
  if { [ -z "$first_made" ] && ! build_clone "$first" >"$tmp/repro.log" 2>&1; } || ! build_clone "$second" >>"$tmp/repro.log" 2>&1; then
    tail -n 20 "$tmp/repro.log"
    fail "building a clone failed"
  else
    differ=""
    for file in "${pairs[@]}"; do
      cmp -s "$first/$file" "$second/$file" || differ+=" $(basename "$file") ($(cmp "$first/$file" "$second/$file" 2>&1 | head -n1))"
    done
    commit=$(git -C "$root" log -1 --format='%h from %cI' "$repro_commit")
    if [ -n "$differ" ]; then fail "two builds of $commit differ:$differ"
    else
      builds="two clones of $commit in different folders"
      [ -n "$first_made" ] && builds="this build and a clone of $commit in another folder"
      pass "$builds made the same $(for f in "${pairs[@]}"; do basename "$f"; done | paste -sd' ' | sed 's/ / and the same /')"
      [ "$with_zip" = yes ] || skip "mingw-w64 cannot be installed: the zip was not built twice"
    fi
  fi
fi

if [ "$failures" -gt 0 ]; then
  echo "package checks: $failures failed, $passed passed${skipped:+; SKIPPED: ${skipped[*]}}"
  exit 1
fi
if [ "$passed" -eq 0 ]; then
  echo "package checks: FAILED: no check ran; SKIPPED: ${skipped[*]}"
  exit 1
fi
if [ ${#skipped[@]} -gt 0 ]; then
  echo "package checks: $passed passed; SKIPPED: ${skipped[*]}"
else
  echo "package checks: all $passed passed"
fi
