#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: File > Start program... starts the test game as Byteloom's
# child; Goto takes the gold's address; typing E7 03 00 00 over it writes
# 999 into the running game, which then prints gold=999; a typed insert is
# refused and the game's memory keeps its length; the regions window goes
# to the heap; Save as writes a copy and the window stays on the game. With BYTELOOM_E2E_SHOTS
# set to a folder, a screenshot of the program's memory is left there.
#   process.sh PATH-TO-BYTELOOM PATH-TO-TESTGAME
set -uo pipefail

program=${1:?usage: process.sh PATH-TO-BYTELOOM PATH-TO-TESTGAME}
game=${2:?usage: process.sh PATH-TO-BYTELOOM PATH-TO-TESTGAME}
source "$(dirname "$0")/lib.sh"

start_game
echo where >&5
await said 'gold@0x' || fail "the game did not say where its gold is"
gold=$(grep -o 'gold@0x[0-9a-f]*' "$work/app.log" | head -n 1 | cut -d@ -f2)

xdotool key --delay 80 ctrl+g
await_keyboard '^Edit it!$' || fail "Goto showed no dialog"
retype "$gold"
xdotool key --delay 80 Return
await_keyboard '^Byteloom' || fail "the editor did not get the keyboard back after Goto"
xdotool type --delay 80 "e7030000"
echo print >&5
await said 'gold=999 ' || fail "the game did not take the 999 typed into its memory"

shot process

# A length-changing edit (Insert Nibble) is refused with the reason, and the
# game's memory stays as it was.
# (The refusal is a message box of its own, titled as the program is.)
refusal() {
  local f
  f=$(xdotool getwindowfocus 2>/dev/null)
  [ -n "$f" ] && [ "$f" != "$window" ] && [ "$(xdotool getwindowname "$f" 2>/dev/null)" = Byteloom ]
}
xdotool key --delay 80 Left Left ctrl+shift+Insert
await refusal || fail "Insert Nibble in a running program was not refused"
shot process-refused
xdotool key --delay 80 Return
await has_keyboard "$window" || fail "the refusal did not close"
echo print >&5
await said 'gold=999 health=100.0 name=Ayla the Brave' || fail "the refused edit changed the game"
[ "$(grep -c 'gold=999 ' "$work/app.log")" -ge 2 ] || fail "the game did not answer after the refusal"

# Tools > Memory regions...: a click on the heap's row takes the caret there.
xdotool key --delay 80 alt+t r
await_keyboard '^Memory regions$' || fail "Tools > Memory regions... showed no window"
xdotool type --delay 40 "[heap]"
xdotool key --delay 80 Return
shot process-regions
focus "$window"

# Save as writes the memory to a file; the window goes on with the program.
xdotool key --delay 80 alt+f a
await_keyboard '^Save As$' || fail "Save as showed no dialog"
retype "$work/dump.bin"
xdotool key --delay 80 Return
await_keyboard '^Information$' || fail "Save as did not say where the memory went"
xdotool key --delay 80 Return
await has_keyboard "$window" || fail "the message after Save as did not close"
grep -q 'Ayla the Brave' "$work/dump.bin" || fail "the saved memory does not hold the game's name"
xdotool key --delay 80 ctrl+g
await_keyboard '^Edit it!$' || fail "Goto showed no dialog after Save as"
retype "$gold"
xdotool key --delay 80 Return
await has_keyboard "$window" || fail "the editor did not get the keyboard back"
xdotool type --delay 80 "0a000000"
echo print >&5
await said 'gold=10 ' || fail "after Save as the window no longer wrote into the game"
echo quit >&5
exec 5>&-
exit 0
