#!/usr/bin/env bash
# e2e.sh CASE QUORVEX SEND_CLOSE [GRAB_SERVER [HOST_WINDOW]] -- one end-to-end case of the real program on its own X server
# (Xvfb; the desktop cases on Xorg's dummy driver, see desktop_cases.sh)
set -u
case_name=$1
quorvex=$2
send_close=$3
grab_server=${4:-}
host_window=${5:-}

tmp=$(mktemp -d)
xvfb_pid=""
demo_pid=""
extra_pids=()
cleanup() {
  [ -n "$demo_pid" ] && kill -9 "$demo_pid" 2>/dev/null
  local pid
  # Servers and window managers end with TERM, so Xorg removes its lock file.
  for pid in "${extra_pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# A failure shows what the demo itself said, which is often why.
fail() {
  echo "FAIL [$case_name]: $*" >&2
  [ -s "$tmp/out" ] && sed 's/^/  quorvex: /' "$tmp/out" >&2
  # A demo still running where it should not be: where it waits says more than a timeout.
  if [ -n "$demo_pid" ] && kill -0 "$demo_pid" 2>/dev/null && command -v gdb >/dev/null; then
    gdb -p "$demo_pid" -batch -ex "thread apply all bt 12" 2>/dev/null | grep -E '^(Thread|#)' | sed 's/^/  stack: /' >&2
  fi
  exit 1
}
. "$(dirname "$0")/wait.sh"

# await_exit TIMEOUT_MS: waits for the demo to end; its exit code lands in $code.
await_exit() {
  code=timeout
  wait_until "$1" bash -c "! kill -0 $demo_pid" || return
  wait "$demo_pid"
  code=$?
  demo_pid=""
}

# start_xvfb [ARGUMENT...]: the arguments go to the server as they stand.
start_xvfb() {
  # The server picks a free display itself: other tests may run beside this one. It never
  # resets: one resetting as its last client leaves drops a client that connects meanwhile.
  Xvfb -displayfd 5 -screen 0 800x600x24 -nolisten tcp -noreset "$@" 5>"$tmp/display" 2>"$tmp/xvfb.log" &
  xvfb_pid=$!
  wait_until 10000 test -s "$tmp/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$tmp/display")"
}

# The window gets 30 s to appear: the cases are about what happens once it has, and a
# start-up that now and then took over 10 s should show where it waited (see fail).
start_demo() {
  "$quorvex" >"$tmp/out" 2>&1 &
  demo_pid=$!
  wait_until 30000 xdotool search --onlyvisible --name '^Quorvex' || fail "no window titled Quorvex appeared"
  window=$(xdotool search --onlyvisible --name '^Quorvex' | head -n1)
}

# A box: a window titled "error?!" (xdotool cannot match its UTF-8 title).
box_id() { xwininfo -root -children 2>/dev/null | awk '/"error\?!"/ { print $1; exit }'; }
# xwininfo without an id waits for a click: never call it so.
box_mapped() {
  local id
  id=$(box_id)
  [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable'
}
await_box() { wait_until 30000 box_mapped; }
# newest_child PID: the child PID started last (from /proc: procps may be missing).
# cat passes over a process that ends between the glob and the read (awk would stop there).
newest_child() {
  cat /proc/[0-9]*/stat 2>/dev/null | awk -v parent="$1" '$4 == parent && ($22 > started ||
    ($22 == started && $1 > child)) { started = $22; child = $1 } END { print child }'
}
# box_geometry: the box's left, top, width and height on the screen.
box_geometry() {
  xwininfo -id "$(box_id)" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }'
}

# rate_in WINDOW [MS]: the frame rate its title shows next (within MS, 2500 unless given, of the
# call; it fails the case without one).
rate_in() {
  xdotool set_window --name waiting "$1"
  wait_until "${2:-2500}" bash -c "xdotool getwindowname $1 | grep -q FPS" || fail "no frame-rate title within ${2:-2500} ms"
  xdotool getwindowname "$1" | tr -dc 0-9
}

still_running() { kill -0 "$demo_pid" 2>/dev/null; }

# The scaled hosts' cases: a 1280x800 Xvfb whose size they note, read with ffmpeg's x11grab.
start_scaled_case() {
  if ! command -v ffmpeg >/dev/null; then
    [ -n "${CI:-}" ] && fail "ffmpeg is not installed (tools/install-deps.sh test installs it)"
    echo "SKIPPED [$case_name]: ffmpeg is not installed (tools/install-deps.sh test installs it)"; exit 77
  fi
  start_xvfb -screen 0 1280x800x24
  screen=$(xwininfo -root | grep geometry)
}
# ends_on_term WHAT: the screen's size is as it was, and SIGTERM ends the demo with 0.
ends_on_term() {
  [ "$(xwininfo -root | grep geometry)" = "$screen" ] || fail "$1: the screen changed size"
  kill -TERM "$demo_pid"
  await_exit 2000
  [ "$code" = 0 ] || fail "$1: SIGTERM gave exit code '$code'"
}
# start_host WIDTH HEIGHT: a window at the top left made as the X screensaver makes one
# (tests/e2e/host_window.c); its id lands in $host, and lines to descriptor 7 command it.
start_host() {
  rm -f "$tmp/host_in" "$tmp/host_id" && mkfifo "$tmp/host_in"
  "$host_window" "$1" "$2" "Saver host" <"$tmp/host_in" >"$tmp/host_id" &
  extra_pids+=($!)
  exec 7>"$tmp/host_in"
  wait_until 10000 test -s "$tmp/host_id" || fail "the host window did not appear"
  host=$(head -n1 "$tmp/host_id")
}
# region_stats X Y WIDTH HEIGHT: the largest and the mean grey level (0-255) of that part of the screen.
region_stats() {
  ffmpeg -loglevel error -f x11grab -draw_mouse 0 -video_size "$3x$4" -i "$DISPLAY+$1,$2" -frames:v 1 \
    -pix_fmt gray -f rawvideo - | od -An -tu1 -v |
    awk '{ for (i = 1; i <= NF; i++) { if ($i > m) m = $i; s += $i; n++ } } END { printf "%d %d\n", m, n ? s / n : 0 }'
}

# fitted WIDTH HEIGHT: the window at the top left is lit in its middle, and black (to within a
# pixel of the fitted edges) in the bars its 4:3 picture leaves; what was seen goes to $tmp/seen.
fitted() {
  local w=$1 h=$2 peak middle bar region bars=()
  read -r peak middle <<<"$(region_stats $(( w / 4 )) $(( h / 4 )) $(( w / 2 )) $(( h / 2 )))"
  [ "$middle" -ge 16 ] || { echo "the middle is not lit (mean grey $middle)" >"$tmp/seen"; return 1; }
  bar=$(( (w - h * 4 / 3) / 2 - 1 )) && (( bar > 0 )) && bars=("0 0 $bar $h" "$(( w - bar )) 0 $bar $h")
  bar=$(( (h - w * 3 / 4) / 2 - 1 )) && (( bar > 0 )) && bars=("0 0 $w $bar" "0 $(( h - bar )) $w $bar")
  for region in "${bars[@]}"; do
    read -r peak _ <<<"$(region_stats $region)"
    [ "$peak" = 0 ] || { echo "the bar at $region (x y w h) is not black (grey up to $peak)" >"$tmp/seen"; return 1; }
  done
  echo "the middle lit (mean grey $middle), ${#bars[@]} bars black" >"$tmp/seen"
}
# letterboxed WIDTH HEIGHT WHAT: the picture is fitted within 15 s (a first frame, or the first
# at a new size, on a busy machine); WHAT names the moment in the message.
letterboxed() {
  wait_until 15000 fitted "$1" "$2" || fail "$3: $(cat "$tmp/seen")"
  echo "$3: $(cat "$tmp/seen")"
}

case $case_name in
title)
  start_xvfb
  "$quorvex" >"$tmp/out" 2>&1 &
  demo_pid=$!
  wait_until 30000 xdotool search --onlyvisible --name '^Quorvex$' || fail "no window titled exactly Quorvex"
  start=$(now_ms)
  wait_until 2500 xdotool search --name '^Quorvex   \[[1-9][0-9]* FPS\]$' || fail "no frame-rate title within 2.5 s"
  window=$(xdotool search --name '^Quorvex   \[' | head -n1)
  echo "title after $(( $(now_ms) - start )) ms: $(xdotool getwindowname "$window")"
  geometry=$(xdotool getwindowgeometry "$window" | grep Geometry)
  echo "$geometry"
  [[ $geometry == *800x600* ]] || fail "window is not 800x600: $geometry"
  ;;
key)
  start_xvfb
  start_demo
  # The promise is a second; a frame in flight and the next one's message take two frames more,
  # at the rate this build runs here now (a sanitizer build on a busy machine is slow).
  rate=$(rate_in "$window")
  limit=$(( 1000 + 2000 / (rate > 0 ? rate : 1) ))
  xdotool windowfocus --sync "$window"
  start=$(now_ms)
  xdotool key q
  await_exit "$limit"
  [ "$code" = 0 ] || fail "a key press gave exit code '$code' (want 0 within $limit ms at $rate FPS)"
  echo "ended $(( $(now_ms) - start )) ms after the key press (limit $limit ms at $rate FPS)"
  ;;
close)
  start_xvfb
  start_demo
  "$send_close" "$window" || fail "could not send the close request"
  await_exit 2000
  [ "$code" = 0 ] || fail "a close request gave exit code '$code'"
  ;;
sigterm)
  start_xvfb
  start_demo
  kill -TERM "$demo_pid"
  await_exit 2000
  [ "$code" = 0 ] || fail "SIGTERM gave exit code '$code'"
  ;;
system_keys_and_mouse)
  start_xvfb
  start_demo
  xdotool windowfocus --sync "$window"
  xdotool key alt+a F10 alt
  xdotool mousemove --window "$window" 400 300 click 1 click 3 mousemove 10 10
  sleep 1
  still_running || fail "Alt+key, F10, Alt or the mouse ended the program"
  xdotool key alt+F4
  await_exit 2000
  [ "$code" = 0 ] || fail "Alt+F4 gave exit code '$code'"
  ;;
no_display)
  # Each way a display can be missing gives the box's text on standard error (a helper program
  # that fails to show a box must not swallow it) and a last line that names the real cause.
  mkdir "$tmp/bin"
  printf '#!/bin/sh\necho "cannot open display: $DISPLAY" >&2\nexit 1\n' >"$tmp/bin/zenity"
  chmod +x "$tmp/bin/zenity"
  xauth -f "$tmp/auth" add :0 . "$(mcookie)" 2>/dev/null
  start_xvfb -auth "$tmp/auth"
  refusing=$DISPLAY
  for row in "none|there is no display to show the window on (DISPLAY is not set, WAYLAND_DISPLAY is not set, SDL_VIDEODRIVER is not set)" \
    ":4095|no X server answers at DISPLAY=:4095 (Connection refused)" \
    "$refusing|the X server at DISPLAY=$refusing refused the connection (see xhost and XAUTHORITY)"; do
    display=${row%%|*}
    where=(DISPLAY="$display")
    [ "$display" = none ] && where=(-u DISPLAY)
    start=$(now_ms)
    env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "${where[@]}" XAUTHORITY=/nonexistent PATH="$tmp/bin:$PATH" timeout 10 "$quorvex" >"$tmp/out" 2>&1
    code=$?
    echo "DISPLAY=${display:-(unset)}: exit code $code after $(( $(now_ms) - start )) ms; $(tail -n1 "$tmp/out")"
    [ "$code" != 124 ] || fail "it hung (DISPLAY=$display)"
    [ "$code" != 0 ] || fail "a failed start reported success (DISPLAY=$display)"
    grep -q 'error?!: Failed To register the window class!' "$tmp/out" || fail "the box's text was lost (DISPLAY=$display)"
    [ "$(tail -n1 "$tmp/out")" = "Quorvex could not open its window: ${row#*|}" ] || fail "the last line is not the reason"
  done
  ;;
server_gone)
  # The server killed at moments of start-up: the lost-connection line (or, before the
  # connection, the failed start's reason) and status 1, never a crash.
  for delay in 0 0.02 0.04 0.06 0.08 0.12 0.2 0.4; do
    start_xvfb
    "$quorvex" >"$tmp/out" 2>&1 &
    demo_pid=$!
    sleep "$delay"
    kill -9 "$xvfb_pid"
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
    await_exit 10000
    echo "server killed after $delay s: exit code $code, $(tail -n1 "$tmp/out")"
    [ "$code" = 1 ] || fail "exit code '$code' (want 1)"
    [[ $(tail -n1 "$tmp/out") =~ ^Quorvex(:\ the\ connection\ to\ the\ display\ was\ lost$|\ could\ not\ open\ its\ window:\ ) ]] ||
      fail "the last line is not the documented one"
  done
  ;;
error_box)
  # A server without GLX: the window cannot be made, and start-up raises its
  # boxes ("Unable To create window!", then the teardown's). Each must map where a
  # user sees it and go away on a key or a click; then the demo ends with its reason.
  start_xvfb -extension GLX
  "$quorvex" >"$tmp/out" 2>&1 &
  demo_pid=$!
  await_box || fail "no box window titled error?! was mapped within 30 s"
  # SDL shows each box from a child process of its own: the box is gone when that
  # child has ended (the next box may even get the same window id).
  box_child=$(newest_child "$demo_pid")
  [ -n "$box_child" ] || fail "no child process of the demo shows the box"
  read -r x y width height <<<"$(box_geometry)"
  # Without a window manager the keyboard goes to the window under the pointer.
  xdotool mousemove $(( x + width / 2 )) $(( y + height / 2 ))
  xdotool key Return
  wait_until 2000 bash -c "! kill -0 $box_child" || fail "Return did not dismiss the box"
  await_box || fail "the teardown's box did not follow the first"
  box_child=$(newest_child "$demo_pid")
  [ -n "$box_child" ] || fail "no child process of the demo shows the box"
  read -r x y width height <<<"$(box_geometry)"
  # The OK button lies on the box's middle line below the text; a click elsewhere
  # in the box does nothing, so the clicks walk up from the bottom edge.
  for (( dy = height - 4; dy > height / 3; dy -= 4 )); do
    xdotool mousemove $(( x + width / 2 )) $(( y + dy )) click 1
    wait_until 200 bash -c "! kill -0 $box_child" && break
  done
  kill -0 "$box_child" 2>/dev/null && fail "no click on the box dismissed it"
  await_exit 5000
  [ "$code" = 1 ] || fail "a failed start gave exit code '$code' (want 1 after the boxes)"
  cat "$tmp/out"
  grep -q '^error?!: ' "$tmp/out" && fail "a box went to standard error although one could be shown"
  [[ $(tail -n1 "$tmp/out") == "Quorvex could not open its window: "* ]] || fail "the last line is not the reason"
  ;;
saver)
  # The X screensaver's window at 4:3 and 16:9: the picture fills the first and stands between
  # black bars in the second; its title stays, and no mode watcher is forked.
  start_scaled_case
  for size in 640x480 1280x720; do
    start_host "${size%x*}" "${size#*x}"
    XSCREENSAVER_WINDOW=$host "$quorvex" >"$tmp/out" 2>&1 &
    demo_pid=$!
    letterboxed "${size%x*}" "${size#*x}" "$size"
    [ "$(xprop -id "$host" WM_NAME)" = 'WM_NAME(STRING) = "Saver host"' ] || fail "$size: the title changed"
    [ -z "$(newest_child "$demo_pid")" ] || fail "$size: the demo has a child process (a mode watcher?)"
    ends_on_term "$size"
  done
  ;;
saver_hidden_and_gone)
  # Unmapped, the host's window gets no frames (under 0.3 s of CPU time in 3 s); mapped again,
  # black bars over its white say it does; destroyed, the demo ends with 0. A wrong id is bad input.
  start_scaled_case
  start_host 1280 720
  "$quorvex" --window-id "$host" >"$tmp/out" 2>&1 &
  demo_pid=$!
  letterboxed 1280 720 "shown" && echo unmap >&7 && sleep 0.5
  ticks() { awk '{ print $14 + $15 }' "/proc/$demo_pid/stat"; }
  before=$(ticks) && sleep 3 && used_ms=$(( ($(ticks) - before) * 1000 / $(getconf CLK_TCK) ))
  [ "$used_ms" -lt 300 ] || fail "it used $used_ms ms of CPU time in 3 s unmapped (want < 300)"
  echo map >&7
  letterboxed 1280 720 "mapped again after $used_ms ms of CPU time in 3 s unmapped"
  echo destroy >&7
  await_exit 2000
  [ "$code" = 0 ] || fail "the host window's end gave exit code '$code'"
  out=$("$quorvex" --window-id 0x7ffffff 2>&1)
  code=$?
  [ "$code:$out" = "2:quorvex: 0x7ffffff is not a window" ] || fail "a wrong id gave exit code $code and: $out"
  ;;
window_resized)
  # --window: a frame-rate title, and the 4:3 picture kept between black bars when resized.
  start_scaled_case
  "$quorvex" --window >"$tmp/out" 2>&1 &
  demo_pid=$!
  wait_until 30000 xdotool search --onlyvisible --name '^Quorvex   \[[0-9]+ FPS\]$' || fail "no frame-rate title"
  window=$(xdotool search --onlyvisible --name '^Quorvex' | head -n1)
  for size in 1000x500 600x700; do
    xdotool windowsize --sync "$window" "${size%x*}" "${size#*x}"
    letterboxed "${size%x*}" "${size#*x}" "$size"
  done
  ends_on_term "--window"
  ;;
desktop | desktop_openbox)
  . "$(dirname "$0")/desktop_cases.sh"
  run_desktop_cases "$case_name"
  exit $?
  ;;
*)
  fail "unknown case"
  ;;
esac
echo "PASS [$case_name]"
