#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: the snapshot search. Three snapshots of a save file hold a
# u32 little-endian counter at 0x123 that rises by one per snapshot (with a
# carry) among random bytes and noise. The real byteloom opens the first
# snapshot; Tools > "Find a value across snapshots..." adds it as a document
# and the other two as files, two steps "increased by N" with N = 1 must
# leave exactly one row, and a double-click on it must move the document's
# caret there: a key typed into the document then changes byte 0x123 and
# no other, which the saved file shows.
#   snapshots.sh PATH-TO-BYTELOOM
# Exit code 77 (a skip for ctest) when Xvfb, xdotool or xprop is missing.
set -uo pipefail

program=${1:?usage: snapshots.sh PATH-TO-BYTELOOM}
source "$(dirname "$0")/lib.sh"

# The same random bytes in every snapshot, 40 more noise bytes per snapshot
# (never on the counter), and the counter 0x1FFFF, 0x20000, 0x20001.
for k in 1 2 3; do
  LC_ALL=C awk -v k="$k" 'BEGIN {
    srand(5); for (i = 0; i < 4096; i++) b[i] = int(rand() * 256)
    srand(77)
    for (j = 0; j < (k - 1) * 40; j++) { p = int(rand() * 4096); v = int(rand() * 256); if (p < 288 || p >= 296) b[p] = v }
    c = 131071 + k - 1; for (i = 0; i < 4; i++) { b[291 + i] = c % 256; c = int(c / 256) }
    for (i = 0; i < 4096; i++) printf "%c", b[i]
  }' >"$work/data/s$k.sav"
done
cp "$work/data/s1.sav" "$work/original"

start_in_front "$work/data/s1.sav"
xdotool key --delay 80 alt+t v
await_keyboard '^Find a value across snapshots$' || fail "Tools showed no snapshot search"
form=$found
# The open document is snapshot 1; the others come from disk without a window.
xdotool key --delay 80 alt+d
for k in 2 3; do
  xdotool key --delay 80 alt+f
  await_keyboard '^Open$' || fail "Add file showed no file dialog"
  # A name in quotes: the dialog takes it as it is and shows no completion
  # list, which would take the Enter.
  retype "\"$work/data/s$k.sav\""
  xdotool key --delay 80 Return
  await_window '^Open$' gone || fail "the file dialog did not close"
  focus "$form"
done
# Condition "increased by N" (the fifth), N = 1; Tab goes on to "Run step"
# (the second box is off), whose Space runs a step at once. Its Alt+R would
# click it a tenth of a second later and take no second Alt+R meanwhile.
xdotool key --delay 80 alt+s Down Down Down Down Tab
xdotool type --delay 80 "1"
xdotool key --delay 80 Tab space space
import_shot() { command -v import >/dev/null 2>&1 && [ -n "${SNAPSHOT_SHOTS:-}" ] && import -window root "$SNAPSHOT_SHOTS/$1.png"; true; }
import_shot narrowed
first_candidate_is "$form" "$work/original" "$work/data/s1.sav" 0x123 "the caret was not moved to the counter"
echo "1 passed, 0 failed"
exit 0
