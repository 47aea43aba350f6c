# SPDX-License-Identifier: GPL-3.0-or-later
# What the end-to-end scripts share: a skip when a tool is missing, a private
# Xvfb display, the program's own folders (working files, settings, home),
# cleanup at exit, fail, and waiting for a condition (a window shown or gone,
# a window with the keyboard) in place of sleeping. Sourced with `here`
# unset; the script sets `program` (and `needs`, the further tools it uses)
# and starts it with start_program.
for tool in Xvfb xdotool xprop ${needs:-}; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (scripts/setup installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
unset DISPLAY
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# Fails with what the screen showed: the shown windows and the one with the
# keyboard, and what the program wrote.
fail() {
  echo "FAIL: $*"
  if [ -n "${DISPLAY:-}" ]; then
    echo "keyboard: $(xdotool getwindowfocus 2>/dev/null); shown:"
    for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do echo "  $w $(xdotool getwindowname "$w")"; done
  fi
  [ -s "$work/app.log" ] && tail -n 40 "$work/app.log"
  exit 1
}

# Runs "$@" every tenth of a second until it succeeds, at most twenty
# seconds (a sanitizer build on a loaded machine is slow); fails after that.
await() {
  local deadline=$((SECONDS + 20))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# Xvfb chooses a free display itself and names it once it takes
# connections (a display found free by looking may be taken meanwhile,
# and its socket may exist before the server answers). -noreset: by
# default it starts anew whenever its last client leaves, and refuses the
# program if that is an xdotool run while the program is still starting.
Xvfb -displayfd 3 -noreset -screen 0 1280x900x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
xvfb_ready() { [ -s "$work/display" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; }
await xvfb_ready
[ -s "$work/display" ] || { cat "$work/xvfb.log"; fail "no X display could be started"; }
export DISPLAY=":$(head -n 1 "$work/display")"

# The program's own corner: working files, settings, home.
mkdir -p "$work/tmp" "$work/config" "$work/home" "$work/data"
export TMPDIR="$work/tmp" XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM
# A sanitizer build: leaks of the X11 platform's system libraries are not ours.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export LSAN_OPTIONS="suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# Starts the program with the arguments given, its output in app.log. With
# BYTELOOM_E2E_STALL=1 it is stopped again and again for up to a second, as
# on a loaded machine: a script that sends keys before the program is ready
# for them fails then.
start_program() {
  "$program" "$@" >"$work/app.log" 2>&1 &
  app_pid=$!
  if [ "${BYTELOOM_E2E_STALL:-}" = 1 ]; then stall "$app_pid" & fi
}
# Starts the program with the arguments given and waits for its frame,
# which then has the keyboard and is $window.
start_in_front() {
  start_program "$@"
  await_window '^Byteloom$' || fail "the Byteloom window did not appear"
  window=$found
  focus "$window"
}
stall() {
  while kill -STOP "$1" 2>/dev/null; do
    sleep "0.$((RANDOM % 10))"
    kill -CONT "$1" 2>/dev/null || break
    sleep "0.0$((RANDOM % 10))"
  done
}

# Whether a window titled $1 (a pattern) is shown; it is then $found.
shown() {
  found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
  [ -n "$found" ]
}
hidden() { ! shown "$1"; }
# Whether window $1 has the keyboard.
has_keyboard() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

# Waits until a window titled $1 is shown (or, with "gone", is no longer).
await_window() {
  if [ "${2:-}" = gone ]; then await hidden "$1"; else await shown "$1"; fi
}

# Waits until a window titled $1 is shown and the program has given it the
# keyboard, as it does with every dialog and window it opens: keys sent
# before go to the window that had it (or to none).
await_keyboard() { await shown "$1" && await has_keyboard "$found"; }

# Gives window $1 the keyboard, as a window manager would: with none, a
# window does not get it back when a dialog in front of it closes.
focus() {
  xdotool windowfocus "$1" 2>/dev/null
  await has_keyboard "$1" || fail "window $1 did not take the keyboard"
}

# Types $1 into the edit box that has the keyboard, in place of what it holds.
retype() {
  xdotool key --delay 80 ctrl+a
  xdotool type --delay 30 "$1"
}

# Saves with Ctrl+S, ends the program with Alt+F4 and checks that it ended
# with status 0 and asked nothing (an open question would keep it running).
# The program handles the keys in the order they came.
ended() { ! kill -0 "$app_pid" 2>/dev/null; }
save_and_quit() {
  xdotool key --delay 80 ctrl+s alt+F4
  await ended || fail "Byteloom did not end after Alt+F4 (an unexpected question is open?)"
  wait "$app_pid"
  status=$?
  app_pid=""
  [ "$status" -eq 0 ] || fail "Byteloom ended with status $status"
}

# The snapshot search's first candidate is offset $4: a double-click on the
# first row in the search window $1 moves the document's caret there, a key
# typed into the document changes that byte, and the saved file $3 differs
# from $2 there and nowhere else ($5 says what a difference elsewhere means).
first_candidate_is() {
  # The first row of the list: below the header of the table.
  xdotool mousemove --window "$1" 66 258 click --repeat 2 --delay 80 1
  focus "$window"
  xdotool type --delay 80 "4"
  save_and_quit
  changed=$(cmp -l "$2" "$3" | awk '{ printf "%d ", $1 - 1 }')
  [ "$changed" = "$(($4)) " ] || fail "the bytes changed at offsets '$changed', expected only $(($4)) ($4): $5"
}

# Byteloom with the test game $game started through File > Start
# program...: the game reads its commands from fd 5 (a FIFO) and answers
# in Byteloom's output; $window is Byteloom's, with the game's window in it.
start_game() {
  mkfifo "$work/control"
  start_program
  await_window '^Byteloom$' || fail "the Byteloom window did not appear"
  window=$found
  xdotool windowsize "$window" 1200 800
  focus "$window"
  xdotool key --delay 80 alt+f p
  await_keyboard '^Start program$' || fail "File > Start program... showed no question"
  xdotool type --delay 20 "$game --control $work/control"
  xdotool key --delay 80 Return
  await_keyboard '^Byteloom' || fail "the program's window did not get the keyboard"
  exec 5>"$work/control"
}
said() { grep -q "$1" "$work/app.log"; }
shot() { [ -z "${BYTELOOM_E2E_SHOTS:-}" ] || { mkdir -p "$BYTELOOM_E2E_SHOTS" && import -window root "$BYTELOOM_E2E_SHOTS/$1.png" 2>/dev/null; }; }
