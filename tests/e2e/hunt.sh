#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: the hunt for the gold in a running game. File > Start
# program... starts the test game; F8 takes a snapshot of its memory while
# the gold goes 120 -> 135 -> 150; the search narrows with "increased" and
# then "equals 150" against the memory as it is now; a double click on the
# first candidate puts the caret on the gold, and 999 typed there is what
# the game prints. Keep at value in the fields window then holds the gold at
# 999 while the game keeps adding to it, and Release lets it go again.
# With BYTELOOM_E2E_SHOTS set to a folder, screenshots are left there.
#   hunt.sh PATH-TO-BYTELOOM PATH-TO-TESTGAME
set -uo pipefail

program=${1:?usage: hunt.sh PATH-TO-BYTELOOM PATH-TO-TESTGAME}
game=${2:?usage: hunt.sh PATH-TO-BYTELOOM PATH-TO-TESTGAME}
source "$(dirname "$0")/lib.sh"

start_game
# The game's last answer to "print" is $1.
prints() { echo print >&5; sleep 0.1; [ "$(grep '^gold=' "$work/app.log" | tail -n 1 | cut -d' ' -f1)" = "$1" ]; }
differs_from() { echo print >&5; sleep 0.1; ! grep '^gold=' "$work/app.log" | tail -n 1 | grep -q "^$1 "; }

# F8 in the game's window: the first snapshot, and the search window.
xdotool key --delay 80 F8
await_keyboard '^Find a value across snapshots$' || fail "F8 showed no snapshot search"
form=$found
echo "earn 15" >&5
await said '^gold=135 ' || fail "the game did not earn"
xdotool key --delay 80 F8
# "increased" (the third condition; Tab goes past the value boxes, which
# are off, to Run step).
xdotool key --delay 80 alt+s Down Down Tab space
echo "earn 15" >&5
await said '^gold=150 ' || fail "the game did not earn again"
# "equals 150" against the memory now: the step takes the snapshot itself.
xdotool key --delay 80 alt+c alt+s Down Down Down Down Tab
xdotool type --delay 80 "150"
xdotool key --delay 80 Tab space
# Printing left copies of the gold on the game's stack; after the game has
# done something else, "unchanged" against the memory now drops them.
echo where >&5
await said 'gold@0x' || fail "the game did not say where its gold is"
xdotool key --delay 80 alt+s Up Up Up Up Up Tab space
sleep 0.5
shot hunt-candidates
# The first candidate (the lowest address: the heap's gold) takes the
# game's window there; 999 typed over it is the game's gold.
xdotool mousemove --window "$form" 66 258 click --repeat 2 --delay 80 1
focus "$window"
xdotool type --delay 80 "e7030000"
await prints gold=999 || fail "the search did not end on the gold: $(grep '^gold=' "$work/app.log" | tail -n 1)"

# Keep at value: a field at the caret, held while the game adds 5 to the
# gold every 200 ms; once it stops, the gold is 999 again (without the
# hold it would only grow). (Typing moved the caret past the gold: the
# candidate puts it back.)
xdotool mousemove --window "$form" 66 258 click --repeat 2 --delay 80 1
focus "$window"
xdotool key --delay 80 alt+t f
await_keyboard '^Fields - ' || fail "Tools > Fields showed no fields window"
fields=$found
xdotool key --delay 80 alt+a
await_keyboard '^Field$' || fail "Add field showed no field dialog"
xdotool type --delay 30 "gold"
xdotool key --delay 80 Return
await_window '^Field$' gone || fail "the field was not taken"
await has_keyboard "$fields" || fail "the fields window did not get the keyboard back"
xdotool key --delay 80 alt+k
echo "drift 5 200" >&5
await said '^drift=5 every=200ms' || fail "the game did not start to drift"
sleep 1.5
shot hunt-held
echo "drift 0 200" >&5
await prints gold=999 || fail "Keep at value did not hold the gold: $(grep '^gold=' "$work/app.log" | tail -n 1)"
# Release: the game's gold moves on.
focus "$fields"
xdotool key --delay 80 alt+k
echo "drift 5 200" >&5
await differs_from gold=999 || fail "the gold stayed at 999 after Release"
echo quit >&5
exec 5>&-
echo "1 passed, 0 failed"
exit 0
