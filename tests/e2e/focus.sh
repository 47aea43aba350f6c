#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: the keyboard is where the user expects it after every dialog.
# Runs the real byteloom once without a window manager and once under
# openbox (where installed) and, after the window got the keyboard once at
# the start, never gives it back by hand: each dialog must get the keyboard
# when it shows, and the editor window's control must have it again after
# Goto, the preferences closed by Escape, Find with its "Data not found!"
# message, Binary Edit and Replace all with its count. Typed hex digits after
# each dialog land in the file, which is checked byte by byte.
#   focus.sh PATH-TO-BYTELOOM
set -uo pipefail

program=${1:?usage: focus.sh PATH-TO-BYTELOOM}
source "$(dirname "$0")/lib.sh"

# Waits until the window titled $1 has the keyboard (at most ten seconds).
await_keyboard() {
  local want have
  for _ in $(seq 1 100); do
    want=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    have=$(xdotool getwindowfocus 2>/dev/null)
    [ -n "$want" ] && [ "$want" = "$have" ] && return 0
    sleep 0.1
  done
  return 1
}

# A dialog titled $1 is open and has the keyboard after the keys $2.
dialog_after() {
  xdotool key --delay 80 $2
  await_window "$1" || fail "$manager: $2 showed no dialog $1"
  await_keyboard "$1" || fail "$manager: the dialog $1 did not get the keyboard"
}

# The dialog titled $1 closes after the keys $2, and the editor has the
# keyboard again.
closes_after() {
  xdotool key --delay 80 $2
  await_window "$1" gone || fail "$manager: $2 did not close $1"
  await_keyboard '^Byteloom$' || fail "$manager: the editor did not get the keyboard back after $1 ($2)"
  sleep 1
}

run_once() {
  manager=$1
  file="$work/data/focus-$manager.sav"
  head -c 32 /dev/zero | tr '\0' 'x' >"$file"
  "$program" "$file" 0 >"$work/app.log" 2>&1 &
  app_pid=$!
  await_window '^Byteloom$' || { cat "$work/app.log"; fail "$manager: the Byteloom window did not appear"; }
  sleep 0.5
  focus "$(xdotool search --onlyvisible --name '^Byteloom$' | head -n 1)"

  # Goto 4 (closed by Enter), type 41; the preferences closed by Escape,
  # type 42 (at 5).
  dialog_after '^Edit it!$' ctrl+g
  xdotool key --delay 80 ctrl+a
  xdotool type --delay 60 "4"
  closes_after '^Edit it!$' Return
  xdotool type --delay 80 "41"
  dialog_after '^Preferences' "alt+v p"
  closes_after '^Preferences' Escape
  xdotool type --delay 80 "42"
  # Find what is not there: the message closes by Enter; type 43 (at 6).
  dialog_after '^Edit it!$' ctrl+f
  xdotool type --delay 60 "tzzz"
  xdotool key --delay 80 Return
  await_window '^Fehler$' || fail "$manager: no \"Data not found!\""
  await_keyboard '^Fehler$' || fail "$manager: the message did not get the keyboard"
  closes_after '^Fehler$' Return
  xdotool type --delay 80 "43"
  # Binary Edit from the Edit menu, closed by Escape; then Goto 7 by keys
  # alone and type 44.
  xdotool key --delay 120 alt+e
  sleep 0.5
  xdotool key --delay 120 Home Down Down Down Down Down Down Return  # Undo, Copy as, Paste hex text, Replace, Insert Nibble, Delete Nibble, Binary Edit
  await_window '^Edit it!$' || fail "$manager: Edit > Binary Edit showed no dialog"
  await_keyboard '^Edit it!$' || fail "$manager: Binary Edit did not get the keyboard"
  closes_after '^Edit it!$' Escape
  dialog_after '^Edit it!$' ctrl+g
  xdotool key --delay 80 ctrl+a
  xdotool type --delay 60 "7"
  closes_after '^Edit it!$' Return
  xdotool type --delay 80 "44"
  # Replace all x by y from the caret (at 8): the count closes by Enter.
  dialog_after '^Edit it!$' ctrl+r
  xdotool type --delay 60 "78"
  xdotool key --delay 80 Tab
  xdotool type --delay 60 "y"
  xdotool key --delay 80 Tab space Return
  await_window '^Information$' || fail "$manager: Replace all reported nothing"
  await_keyboard '^Information$' || fail "$manager: the count did not get the keyboard"
  closes_after '^Information$' Return
  xdotool key --delay 80 ctrl+Home
  xdotool type --delay 80 "45"
  save_and_quit

  expected="Exxx"$'\x41\x42\x43\x44'"yyyyyyyyyyyyyyyyyyyyyyyy"
  actual=$(cat "$file")
  [ "$actual" = "$expected" ] || fail "$manager: saved '$actual', expected '$expected'"
}

run_once none
if command -v openbox >/dev/null 2>&1; then
  openbox >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  sleep 1
  run_once openbox
  kill "$wm_pid" 2>/dev/null
else
  echo "openbox is not installed: the run under a window manager is skipped"
fi
echo "1 passed, 0 failed"
exit 0
