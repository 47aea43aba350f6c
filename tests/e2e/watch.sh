#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: a save file watched as a game writes it. The real byteloom
# opens save.dat; File > "Watch for new versions" keeps it as snapshot 1.
# The script, playing the game, saves twice more: once in place, once as a
# new file renamed over the old one. Gold, a u32 little-endian at 0x140,
# goes 120 -> 135 -> 150, a play-time counter at 0x40 rises too and other
# bytes change at random. Without a file dialog the search gets the three
# versions; "increased", then "equals 150" leaves one row, whose
# double-click moves the watched document's caret to the gold: a key typed
# there changes byte 0x140 and no other, which the saved file shows.
#   watch.sh PATH-TO-BYTELOOM
# Exit code 77 (a skip for ctest) when Xvfb, xdotool, xprop or python3 is missing.
set -uo pipefail

program=${1:?usage: watch.sh PATH-TO-BYTELOOM}
needs=python3
source "$(dirname "$0")/lib.sh"

save="$work/data/save.dat"
# Version k: the same random bytes with 40 more changed per version (never
# near the gold or the counter), the counter and the gold.
python3 - "$work" <<'PY'
import random, struct, sys
for k in 1, 2, 3:
    random.seed(5)
    b = bytearray(random.getrandbits(8) for _ in range(4096))
    noise = random.Random(77)
    for p, v in [(noise.randrange(4096), noise.getrandbits(8)) for _ in range((k - 1) * 40)]:
        b[p] = v if not (0x3C <= p < 0x48 or 0x13C <= p < 0x148) else b[p]
    b[0x40:0x44], b[0x140:0x144] = struct.pack('<I', 1000 * k), struct.pack('<I', 105 + 15 * k)
    open('%s/v%d' % (sys.argv[1], k), 'wb').write(b)
PY
cp "$work/v1" "$save"

# Each kept version is a private copy in Byteloom's work folder.
copies_reach() { [ "$(find "$work/tmp" -name '*.BLVW' 2>/dev/null | wc -l)" -ge "$1" ]; }

start_in_front "$save"
xdotool key --delay 80 alt+f w
await_keyboard '^Find a value across snapshots$' || fail "File > Watch for new versions showed no snapshot search"
form=$found
await copies_reach 1 || fail "the watch kept no first version"
# The game saves in place ...
cat "$work/v2" >"$save"
await copies_reach 2 || fail "a save written in place was not kept"
# ... and as a new file renamed over the old one.
cp "$work/v3" "$work/data/.save.new" && mv -f "$work/data/.save.new" "$save"
await copies_reach 3 || fail "a save renamed over the file was not kept"

# "increased" (the third condition: Tab skips the value boxes, which are
# off, to Run step), then "equals V" (the seventh) with V = 150.
focus "$form"
xdotool key --delay 80 alt+s Down Down Tab space
xdotool key --delay 80 alt+s Down Down Down Down Tab
xdotool type --delay 80 "150"
xdotool key --delay 80 Tab space
first_candidate_is "$form" "$work/v1" "$save" 0x140 "the search did not end on the gold"
echo "1 passed, 0 failed"
exit 0
