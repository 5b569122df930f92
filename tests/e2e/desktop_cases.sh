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

# launch [closed|unforked]: a demo in the background; its pid lands in $launched. "closed": with
# descriptors 0-2 closed; "unforked": as nobody under `ulimit -u 1`, so it cannot fork a watcher
# (nor can the software renderer start threads: it draws on the main thread).
launch() {
  case ${1:-} in
  closed) "${signal_defaults[@]}" "$quorvex" <&- >&- 2>&- & ;;
  unforked) LP_NUM_THREADS=0 setpriv --reuid=65534 --regid=65534 --clear-groups -- \
    bash -c 'ulimit -u 1 && exec "$@"' _ "${signal_defaults[@]}" "$quorvex" >>"$tmp/out" 2>&1 & ;;
  # Descriptor 9 stands for a supervisor's pipe: it must close when the demo ends, watcher or not.
  *) "${signal_defaults[@]}" "$quorvex" >>"$tmp/out" 2>&1 9>>"$tmp/out" & ;;
  esac
  launched=$!
  pids+=("$launched")
}

# processes NAME_REGEX [PARENT]: the pids whose name matches (of PARENT's children), read from /proc
# through cat, which passes over a process that ends between the listing and the read.
processes() {
  cat /proc/[0-9]*/stat 2>/dev/null | awk -v name="^\\($1\\)$" -v parent="${2:-}" \
    '$2 ~ name && (parent == "" || $4 == parent) { print $1 }'
}

# window_of PID: the visible window titled Quorvex that process made.
window_of() { xdotool search --all --onlyvisible --pid "$1" --name '^Quorvex' 2>/dev/null | head -n1; }
await_window() {
  wait_until 30000 bash -c "[ -n \"\$(xdotool search --all --onlyvisible --pid $1 --name '^Quorvex')\" ]" || {
    ps -e -o pid,ppid,stat,etime,wchan:24,cmd | awk -v p="$1" '$1 == p || $2 == p' | sed 's/^/  ps: /' >&2
    gdb -p "$1" -batch -ex "thread apply all bt 20" 2>&1 | grep -E '^(Thread|#)|ptrace|attach' | sed 's/^/  stack: /' >&2
    xwininfo -root -tree 2>/dev/null | grep -i -E 'quorvex|800x600' | sed 's/^/  window: /' >&2
    fail "no window titled Quorvex appeared for process $1"
  }
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

# expect_end PID TIMEOUT_MS WANT WHAT: PID ends within the time (plus $slack_ms, what a key alone
# took on this machine now) with code WANT; the time is counted from the call, right after what
# should end it.
expect_end() {
  start_ms=$(now_ms)
  exit_of "$1" $(( $2 + ${slack_ms:-0} ))
  [ "$code" = "$3" ] || fail "$4 gave exit code '$code' within $(( $2 + ${slack_ms:-0} )) ms (want $3)"
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

# case_ending HOW STATE: the demo ended by HOW (key, close, or a signal: TERM INT HUP QUIT KILL) with
# its watcher STATE: alive; killed or stopped (continued after the end) before it; unforked; closed
# (0-2 closed at start must not cost the watcher). Every pair hands the desktop back but kill -9 with
# no watcher left, which nothing can answer.
case_ending() {
  local how=$1 state=$2 watcher want=0
  launch "$state"
  demo_pid=$launched
  window=$(await_window "$demo_pid")
  wait_until 5000 mode_is 800x600 || fail "the demo did not switch the display to 800x600"
  watcher=$(processes quorvex-watcher "$demo_pid")
  [ "$state" = unforked ] || [ -n "$watcher" ] || fail "no child process named quorvex-watcher"
  [ -z "$watcher" ] || ! readlink /proc/"$watcher"/fd/* | grep -v -e '^/dev/null$' -e '^socket:' ||
    fail "the watcher holds the demo's descriptors open"
  # Unforked, it draws on its main thread alone (up to a second a frame under the sanitizer on a
  # busy machine): a frame in flight and the next one's message take two frames more, at its rate
  # now, whose title may then come late.
  local frames_ms=0 rate
  if [ "$state" = unforked ]; then
    rate=$(rate_in "$window" 10000) || exit 1
    frames_ms=$(( 2000 / (rate > 0 ? rate : 1) ))
  fi
  case $state in
  killed) kill -9 "$watcher" ;;
  stopped) kill -STOP "$watcher" && pids+=("$watcher") ;;
  esac
  case $how in
  key) press_key_in "$window" ;;
  close) "$send_close" "$window" ;;
  *) kill -"$how" "$demo_pid" ;;
  esac
  case $how in HUP) want=129 ;; QUIT) want=131 ;; KILL) want=137 ;; esac
  expect_end "$demo_pid" $(( 1000 + frames_ms )) "$want" "$how, the watcher $state,"
  [ "$state" = stopped ] && kill -CONT "$watcher"
  expect_desktop_mode "$how with the watcher $state"
}

# `pkill quorvex`: SIGTERM to every process whose name starts so, the watcher first or last.
case_pkill() {
  start_switched_demo
  local watcher
  watcher=$(processes 'quorvex.*' "$demo_pid")
  [ "$1" = watcher_first ] && kill -TERM $watcher && sleep 0.2
  kill -TERM "$demo_pid" $watcher
  expect_end "$demo_pid" 1000 0 "pkill quorvex, the $1"
  expect_desktop_mode "pkill quorvex"
}

# A demo started as another ends, 50 times: the new one must never note the other's 800x600 as the
# desktop's mode (and hand that back at its end).
case_start_beside_end() {
  local i first first_window
  for ((i = 1; i <= 50; i++)); do
    start_switched_demo
    first=$demo_pid first_window=$window
    # The second starts from 0 to 135 ms after the key, so that some start lands
    # where the first's watcher is letting go.
    press_key_in "$first_window"
    sleep "$(printf 0.%03d $(( i % 10 * 15 )))"
    launch
    # Each end shares the processor with a start here: these deadlines catch a
    # hang, and the endings' own cases hold the one-second promise.
    expect_end "$first" 5000 0 "run $i: a key in the first" >/dev/null
    window=$(await_window "$launched")
    press_key_in "$window"
    expect_end "$launched" 5000 0 "run $i: a key in the second" >/dev/null
    expect_desktop_mode "run $i, a start beside an end," >/dev/null
  done
  echo "  50 starts beside an ending demo: display back at $desktop_mode each time"
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
  local slack_ms=0
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
  local shown_rate
  shown_rate=$(rate_in "$window")
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
  local back_rate
  back_rate=$(rate_in "$window")
  echo "  frame rate before: $shown_rate; the first after: $back_rate"
  # Counted over the time it was hidden, the first rate would be a fraction of the steady one.
  [ $(( back_rate * 2 )) -ge "$shown_rate" ] || fail "the first rate after showing counts the time it was hidden"
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
  # The endings and the watcher's states do not depend on a window manager: bare only.
  local table=() how state
  if [ "$wm" = bare ]; then
    for state in alive killed stopped unforked closed; do
      for how in key close TERM INT HUP QUIT KILL; do
        [[ $how = KILL && $state =~ killed|unforked ]] || table+=("ending $how $state")
      done
    done
    table+=("pkill watcher_first" "pkill watcher_last" start_beside_end)
  fi
  # What a key alone takes here now: every deadline below is a promise plus this.
  export DISPLAY=$switching_display
  start_switched_demo
  start_ms=$(now_ms)
  press_key_in "$window"
  exit_of "$demo_pid" 10000
  slack_ms=$(( ended_ms - start_ms ))
  echo "a key alone ends the demo in $slack_ms ms here now: the deadlines below allow that much more"
  reset_mode
  for name in destroyed connection_lost stuck "two_instances first" "two_instances second" minimised \
    crossings "${table[@]}"; do
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
