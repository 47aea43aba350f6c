#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: a program and a copy of it with 5 bytes put in at 0x2000 and
# 3 taken out at 0x9000, side by side with Find insertions (the default).
# F7 from a must land on the insertion (a's caret on the byte after the gap,
# 0x2000, b's on the first new byte) and then on the deletion (a's caret on
# the first byte gone, 0x9000; b's on the byte after the gap, 0x9005): a "9"
# typed into b after the first F7 and into a after the second must change
# exactly those bytes in the saved files. With BYTELOOM_E2E_SHOTS set to a
# folder, a screenshot of the lined-up pair is left there.
#   insertions.sh PATH-TO-BYTELOOM
# Exit code 77 (a skip for ctest) when Xvfb, xdotool or xprop is missing.
set -uo pipefail

program=${1:?usage: insertions.sh PATH-TO-BYTELOOM}
source "$(dirname "$0")/lib.sh"

[ -r /usr/bin/ls ] || { echo "no /usr/bin/ls to copy"; exit 77; }
cp /usr/bin/ls "$work/data/a.bin"
python3 - "$work/data/a.bin" "$work/data/b.bin" <<'PY'
import sys
a = open(sys.argv[1], "rb").read()
b = a[:0x9000] + a[0x9003:]
b = b[:0x2000] + bytes([1, 2, 3, 4, 5]) + b[0x2000:]
open(sys.argv[2], "wb").write(b)
PY
cp "$work/data/a.bin" "$work/a.orig"
cp "$work/data/b.bin" "$work/b.orig"

start_program "$work/data/a.bin" "$work/data/b.bin"
await_window '^Byteloom$' || fail "the Byteloom window did not appear"
window=$found
xdotool windowsize "$window" 1200 800
focus "$window"
xdotool key --delay 80 alt+t s
await_keyboard '^Compare side by side$' || fail "Tools showed no choice of two documents"
xdotool key --delay 80 Return
await_window '^Compare side by side$' gone || fail "the choice did not close"
focus "$window"
xdotool key --delay 80 alt+w 1 F7 alt+w 2
xdotool type --delay 80 "9"
xdotool key --delay 80 alt+w 1 F7
if [ -n "${BYTELOOM_E2E_SHOTS:-}" ] && command -v xwd >/dev/null && command -v convert >/dev/null; then
  sleep 0.5
  xwd -root -silent | convert xwd:- "$BYTELOOM_E2E_SHOTS/insertions.png"
fi
xdotool type --delay 80 "9"
xdotool key --delay 80 ctrl+s alt+w 2
save_and_quit

changes() { cmp -l "$1" "$2" | awk '{ printf "%d ", $1 - 1 }'; }
got_a=$(changes "$work/a.orig" "$work/data/a.bin")
got_b=$(changes "$work/b.orig" "$work/data/b.bin")
[ "$got_a" = "$((0x9000)) " ] || fail "a changed at '$got_a', expected 36864: the second F7 did not land on the deletion"
[ "$got_b" = "$((0x2000)) " ] || fail "b changed at '$got_b', expected 8192: the first F7 did not land on the insertion"
echo "1 passed, 0 failed"
exit 0
