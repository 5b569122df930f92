# desktop_cases.sh -- sourced by e2e.sh: the desktop's mode on an X server that really switches it
#
# Xorg with the dummy driver: a 1024x768 desktop that offers 800x600, and a
# second server without that mode, where the demo's 800x600 window leaves
# screen around it for the pointer. Run bare or under openbox; every case ends
# by checking that the display is back at 1024x768.

desktop_mode=1024x768

# xorg_config WITH_800x600: a dummy screen of 1024x768; with "no", sync ranges
# that only 1024x768 at 60 Hz fits, so no 800x600 mode is offered at all.
xorg_config() {
  local hsync=5.0-1000.0 vrefresh=5.0-200.0 modes='"1024x768" "800x600"'
  if [ "$1" = no ]; then hsync=48.3-48.5 vrefresh=59.9-60.1 modes='"1024x768"'; fi
  cat <<EOF
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 32768
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync $hsync
  VertRefresh $vrefresh
  Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
  Modeline "800x600" 40.00 800 840 968 1056 600 601 605 628 +hsync +vsync
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes $modes
    Virtual 1024 768
  EndSubSection
EndSection
Section "ServerLayout"
  Identifier "layout"
  Screen "screen"
EndSection
EOF
}

skip() {
  echo "SKIPPED [$case_name]: $*"
  exit 77
}

# start_xorg NAME WITH_800x600: a server of its own; its display goes into $DISPLAY.
start_xorg() {
  xorg_config "$2" >"$tmp/$1.conf"
  Xorg -config "$tmp/$1.conf" -displayfd 5 -noreset -nolisten tcp -keeptty \
    -logfile "$tmp/$1.log" 5>"$tmp/$1.display" >/dev/null 2>&1 &
  extra_pids+=($!)
  if ! wait_until 15000 test -s "$tmp/$1.display"; then
    tail -n 5 "$tmp/$1.log" 2>/dev/null | sed 's/^/  xorg: /'
    skip "Xorg with the dummy driver did not start (as uid $(id -u); see its log above)"
  fi
  export DISPLAY=":$(head -n1 "$tmp/$1.display")"
  [ "$(current_mode)" = "$desktop_mode" ] || skip "the dummy screen is not $desktop_mode"
}

start_openbox() {
  openbox --sm-disable >/dev/null 2>&1 &
  extra_pids+=($!)
  wait_until 10000 bash -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    fail "openbox did not start"
}

current_mode() { xrandr 2>/dev/null | awk '/\*/ { print $1; exit }'; }
mode_is() { [ "$(current_mode)" = "$1" ]; }

# Each case leaves the display as it should be; one that did not is put right
# here, so that the next case starts from the desktop.
reset_mode() {
  mode_is "$desktop_mode" || xrandr --fb "$desktop_mode" --output DUMMY0 --mode "$desktop_mode"
}

# launch: a demo in the background; its pid lands in $launched.
launch() {
  "${signal_defaults[@]}" "$quorvex" >>"$tmp/out" 2>&1 &
  launched=$!
  pids+=("$launched")
}

# window_of PID: the visible window titled Quorvex that process made.
window_of() { xdotool search --all --onlyvisible --pid "$1" --name '^Quorvex' 2>/dev/null | head -n1; }
await_window() {
  wait_until 30000 bash -c "[ -n \"\$(xdotool search --all --onlyvisible --pid $1 --name '^Quorvex')\" ]" ||
    fail "no window titled Quorvex appeared for process $1"
  window_of "$1"
}

# exit_of PID TIMEOUT_MS: the process's exit code, or "timeout", in $code. A
# watchdog ends a process that overstays, after noting where it waits.
exit_of() {
  rm -f "$tmp/overstayed"
  (
    sleep "$(awk "BEGIN { print $2 / 1000 }")"
    kill -0 "$1" 2>/dev/null || exit 0
    touch "$tmp/overstayed"
    if command -v gdb >/dev/null; then
      gdb -p "$1" -batch -ex "thread apply all bt 12" 2>/dev/null | grep -E '^(Thread|#)' >"$tmp/stack"
    fi
    kill -9 "$1" 2>/dev/null
  ) &
  local dog=$!
  wait "$1" 2>/dev/null
  code=$?
  ended_ms=$(now_ms)
  [ -e "$tmp/overstayed" ] || kill "$dog" 2>/dev/null
  wait "$dog" 2>/dev/null
  if [ -e "$tmp/overstayed" ]; then
    code=timeout
    [ -s "$tmp/stack" ] && sed 's/^/  stack: /' "$tmp/stack" | grep -v -E 'futex|pthread_cond|start_thread|clone3' >&2
  fi
}

press_key_in() {
  if [ "$wm" = openbox ]; then xdotool windowactivate --sync "$1"; else xdotool windowfocus --sync "$1"; fi
  xdotool key q
}

# expect_end PID TIMEOUT_MS WANT WHAT: PID ends within the time with code WANT;
# the time is counted from the call, right after what should end it.
expect_end() {
  start_ms=$(now_ms)
  exit_of "$1" "$2"
  [ "$code" = "$3" ] || fail "$4 gave exit code '$code' within $2 ms (want $3)"
  echo "  $4: exit $code after $(( ended_ms - start_ms )) ms"
}

expect_desktop_mode() {
  wait_until 1000 mode_is "$desktop_mode" || fail "$1 left the display at $(current_mode)"
  echo "  display back at $desktop_mode"
}

# A demo that switched the display, with its window: $demo_pid and $window.
start_switched_demo() {
  launch
  demo_pid=$launched
  window=$(await_window "$demo_pid")
  wait_until 5000 mode_is 800x600 || fail "the demo did not switch the display to 800x600"
}

case_destroyed() {
  start_switched_demo
  xdotool windowclose "$window"
  expect_end "$demo_pid" 1000 0 "the window destroyed by another client"
  expect_desktop_mode "the destroyed window"
}

# SIGTERM while the demo's main thread waits on a server another client holds
# grabbed (as it would in a stuck driver call): the demo ends all the same, and
# the mode is back once the grab ends.
case_stuck() {
  start_switched_demo
  "$grab_server" 2500 >"$tmp/grab" &
  local grabber=$!
  wait_until 5000 grep -q grabbed "$tmp/grab" || fail "the server could not be grabbed"
  sleep 0.5
  kill -TERM "$demo_pid"
  expect_end "$demo_pid" 1000 0 "SIGTERM with the server grabbed"
  wait "$grabber"
  expect_desktop_mode "SIGTERM with the server grabbed"
}

# Another client cuts the demo's connection (xkill, a window manager's kill).
case_connection_lost() {
  start_switched_demo
  xkill -id "$window" >/dev/null
  expect_end "$demo_pid" 1000 1 "the connection to the display cut"
  expect_desktop_mode "the lost connection"
  grep -q 'connection to the display was lost' "$tmp/out" || fail "no line said the connection was lost"
}

# case_signal SIGNAL CODE: ends by the signal, the display handed back first.
case_signal() {
  start_switched_demo
  kill -"$1" "$demo_pid"
  expect_end "$demo_pid" 1000 "$2" "SIG$1"
  expect_desktop_mode "SIG$1"
}

# case_two_instances FIRST_TO_END: the second demo finds the first's switch in
# force and opens on the display as it is, without switching; either may end
# first. (The first, losing the focus, hands the desktop's mode back itself
# until it is given the focus again: SDL's way with full screen.)
case_two_instances() {
  start_switched_demo
  local first=$demo_pid first_window=$window
  launch
  local second=$launched second_window
  second_window=$(await_window "$second")
  if [ "$1" = first ]; then
    press_key_in "$first_window"
    expect_end "$first" 1000 0 "a key in the first"
    mode_is "$desktop_mode" || fail "the first ended with the second running and left $(current_mode)"
    press_key_in "$second_window"
    expect_end "$second" 1000 0 "a key in the second"
  else
    press_key_in "$second_window"
    expect_end "$second" 1000 0 "a key in the second"
    press_key_in "$first_window"
    expect_end "$first" 1000 0 "a key in the first"
  fi
  expect_desktop_mode "two instances, the $1 ended first"
}

# Run on the server without 800x600: the window covers only part of the screen.
# The crossings may add at most 0.5 s to what a key alone takes on this
# machine now (a busy machine's exit takes a few hundred ms by itself).
case_crossings() {
  launch
  demo_pid=$launched
  window=$(await_window "$demo_pid")
  xdotool windowfocus --sync "$window" key q
  expect_end "$demo_pid" 2000 0 "a key alone"
  local alone_ms=$(( ended_ms - start_ms ))
  launch
  demo_pid=$launched
  window=$(await_window "$demo_pid")
  local moves=() i
  for ((i = 0; i < 1000; i++)); do moves+=(mousemove 790 300 mousemove 810 300); done
  xdotool windowfocus --sync "$window"
  xdotool "${moves[@]}"
  # A round trip and a moment first: the time counted is the demo's, not that
  # of a server and a window manager still busy with the crossings. (A pump
  # that takes one event a frame needs minutes for them, not a moment.)
  xdotool getmouselocation >/dev/null
  sleep 0.3
  xdotool key q
  expect_end "$demo_pid" $(( alone_ms + 500 )) 0 "a key after 2,000 edge crossings"
  expect_desktop_mode "the crossings"
}

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

case_minimised() {
  start_switched_demo
  if [ "$wm" = openbox ]; then xdotool windowminimize --sync "$window"; else xdotool windowunmap --sync "$window"; fi
  sleep 0.5
  local before after used_ms hz
  hz=$(getconf CLK_TCK)
  before=$(cpu_ticks "$demo_pid")
  sleep 3
  after=$(cpu_ticks "$demo_pid")
  used_ms=$(( (after - before) * 1000 / hz ))
  echo "  CPU time while hidden for 3 s: $used_ms ms"
  [ "$used_ms" -lt 300 ] || fail "it used $used_ms ms of CPU time in 3 s hidden (want < 300)"
  if [ "$wm" = openbox ]; then xdotool windowactivate --sync "$window"; else xdotool windowmap --sync "$window"; fi
  sleep 0.5
  still_running || fail "it ended when shown again"
  press_key_in "$window"
  expect_end "$demo_pid" 1000 0 "a key after being shown again"
  expect_desktop_mode "the minimised window"
}

# run_desktop_cases desktop|desktop_openbox: every case, each in a subshell of
# its own that kills what it started; the result is failed if any case failed.
run_desktop_cases() {
  command -v Xorg >/dev/null && [ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] ||
    skip "Xorg or its dummy driver is not installed (tools/install-deps.sh test installs them)"
  command -v xrandr >/dev/null || skip "xrandr is not installed (x11-xserver-utils)"
  wm=bare
  if [ "$1" = desktop_openbox ]; then
    command -v openbox >/dev/null || skip "openbox is not installed"
    wm=openbox
  fi
  # SIGQUIT dumps core; nothing here needs the core.
  ulimit -c 0
  # A background job of a script starts with SIGINT and SIGQUIT ignored, and the
  # demo keeps a signal ignored by whoever started it.
  signal_defaults=(env --default-signal=INT,QUIT)
  local failed=0 name
  start_xorg switching yes
  local switching_display=$DISPLAY
  [ "$wm" = openbox ] && start_openbox
  start_xorg small no
  local small_display=$DISPLAY
  [ "$wm" = openbox ] && start_openbox
  for name in destroyed connection_lost stuck "signal HUP 129" "signal QUIT 131" "two_instances first" \
    "two_instances second" minimised crossings; do
    # DESKTOP_CASES (a regular expression) picks cases by name, by hand.
    [[ $name =~ ${DESKTOP_CASES:-.} ]] || continue
    export DISPLAY=$switching_display
    [ "$name" = crossings ] && export DISPLAY=$small_display
    echo "case $name ($wm)"
    : >"$tmp/out"
    (
      pids=()
      trap 'for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done' EXIT
      case_$name
    ) || failed=1
    reset_mode
  done
  [ "$failed" = 0 ] || { echo "FAIL [$case_name]: see the cases above" >&2; return 1; }
  echo "PASS [$case_name]"
}
