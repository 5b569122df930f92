#!/usr/bin/env bash
# e2e.sh CASE QUORVEX SEND_CLOSE [GRAB_SERVER] -- one end-to-end case of the real program on its own X server
# (Xvfb; the desktop cases on Xorg's dummy driver, see desktop_cases.sh)
set -u
case_name=$1
quorvex=$2
send_close=$3
grab_server=${4:-}

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
  # The server picks a free display itself: other tests may run beside this one.
  Xvfb -displayfd 5 -screen 0 800x600x24 -nolisten tcp "$@" 5>"$tmp/display" 2>"$tmp/xvfb.log" &
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

# rate_in WINDOW: the frame rate its title shows next (within 2.5 s of the call; it fails the case without one).
rate_in() {
  xdotool set_window --name waiting "$1"
  wait_until 2500 bash -c "xdotool getwindowname $1 | grep -q FPS" || fail "no frame-rate title within 2.5 s"
  xdotool getwindowname "$1" | tr -dc 0-9
}

still_running() { kill -0 "$demo_pid" 2>/dev/null; }

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
