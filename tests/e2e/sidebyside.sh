#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: two saves side by side. b.sav is a.sav with three bytes
# changed (0x123, 0x800 and a's last byte 0xFFF) and 16 bytes more. The real
# byteloom opens both, Tools > "Compare side by side..." locks them at one
# fixed shift (Find insertions off), and F7
# four times must land on each difference and then on b's extra tail in both
# windows: after each F7 a key is typed into one of the two windows in turn
# (a, b, a, b), and the saved files must show the typed byte exactly where
# that window's caret had to be: a at 0x123 and 0xFFF, b at 0x800 and 0x1000.
# Then Alt with the cursor keys moves a's caret alone to its byte 1, and
# Tools > Align here lines it up with b's byte 0: a "9" typed into each
# window lands on a's byte 1 and b's byte 0 (b would follow a to its byte 1
# without the shift, and to a's byte 1 had Alt not moved a alone).
# With SIDEBYSIDE_SHOTS set to a folder, screenshots of the pair are left
# there (xwd).
#   sidebyside.sh PATH-TO-BYTELOOM
# Exit code 77 (a skip for ctest) when Xvfb, xdotool or xprop is missing.
set -uo pipefail

program=${1:?usage: sidebyside.sh PATH-TO-BYTELOOM}
source "$(dirname "$0")/lib.sh"

# Every byte of a is 0x41; b differs by the high nibble only, so that a
# typed "9" changes any of these bytes.
LC_ALL=C awk 'BEGIN { for (i = 0; i < 4096; i++) printf "A" }' >"$work/data/a.sav"
LC_ALL=C awk 'BEGIN {
  for (i = 0; i < 4096; i++) printf "%s", (i == 291 ? "B" : i == 2048 ? "C" : i == 4095 ? "D" : "A")
  for (i = 0; i < 16; i++) printf "E"
}' >"$work/data/b.sav"
cp "$work/data/a.sav" "$work/a.orig"
cp "$work/data/b.sav" "$work/b.orig"

shot() { [ -n "${SIDEBYSIDE_SHOTS:-}" ] && command -v xwd >/dev/null 2>&1 && sleep 0.5 && xwd -root -silent >"$SIDEBYSIDE_SHOTS/$1.xwd"; true; }

start_program "$work/data/a.sav" "$work/data/b.sav"
await_window '^Byteloom$' || fail "the Byteloom window did not appear"
window=$found
xdotool windowsize "$window" 1200 800
focus "$window"
xdotool key --delay 80 alt+t s
await_keyboard '^Compare side by side$' || fail "Tools showed no choice of two documents"
# One fixed shift: Find insertions off.
xdotool key --delay 80 alt+i Return
await_window '^Compare side by side$' gone || fail "the choice did not close"
focus "$window"
shot locked
# F7 from the active window, then a key into it; "Window" > 1 (a) or 2 (b)
# makes the other one active.
for side in 1 2 1 2; do
  xdotool key --delay 80 alt+w "$side"
  xdotool key --delay 80 F7
  shot "f7-$side-$SECONDS"
  xdotool type --delay 80 "9"
done
xdotool key --delay 80 alt+w 1 ctrl+Home alt+Right
xdotool key --delay 80 alt+t h
xdotool type --delay 80 "9"
xdotool key --delay 80 alt+w 2
xdotool type --delay 80 "9"
shot aligned
xdotool key --delay 80 ctrl+s alt+w 1
save_and_quit

changes() { cmp -l "$1" "$2" | awk '{ printf "%d ", $1 - 1 }'; }
got_a=$(changes "$work/a.orig" "$work/data/a.sav")
got_b=$(changes "$work/b.orig" "$work/data/b.sav")
[ "$got_a" = "1 $((0x123)) $((0xFFF)) " ] || fail "a changed at '$got_a', expected 1 291 4095: F7 did not land on the first and third difference, or Alt did not move a's caret to byte 1"
[ "$got_b" = "0 $((0x800)) $((0x1000)) " ] || fail "b changed at '$got_b', expected 0 2048 4096: F7 did not land on the second difference and the tail, or Align here did not put b's byte 0 beside a's byte 1"
echo "1 passed, 0 failed"
exit 0
