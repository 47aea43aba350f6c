#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: a chunk's CRC set up from the selection. Python makes a small
# PNG (zlib) with a tEXt chunk "Comment\0Hello Byteloom". The real byteloom
# opens it on the "H", changes it to "J" in the character column, selects
# the chunk's type and data with Shift+Right, and in Tools > Fields presses
# Add checksum and OK (the range is the selection, the CRC is stored right
# after it, Fix on save ticked: nothing counted or typed). Ctrl+S saves:
# Python's zlib must confirm the CRC of every chunk, the text must read
# "Jello Byteloom" and no other byte may have changed.
#   png_crc.sh PATH-TO-BYTELOOM
# Exit code 77 (a skip for ctest) when Xvfb, xdotool, xprop or python3 is missing.
set -uo pipefail

program=${1:?usage: png_crc.sh PATH-TO-BYTELOOM}
needs=python3
source "$(dirname "$0")/lib.sh"

file="$work/data/picture.png"
# Signature (8), IHDR (8 + 13 + 4), then tEXt at 33: its type at 37, its
# data at 41 ("H" at 49), its CRC at 63.
python3 - "$file" <<'PY'
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
pixels = b''.join(b'\0' + b''.join(bytes([60 * x, 90 * y, 200]) for x in range(2)) for y in range(2))
png = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 2, 2, 8, 2, 0, 0, 0)) +
       chunk(b'tEXt', b'Comment\0Hello Byteloom') + chunk(b'IDAT', zlib.compress(pixels)) + chunk(b'IEND', b''))
assert png[37:41] == b'tEXt' and png[49:50] == b'H'
open(sys.argv[1], 'wb').write(png)
PY
cp "$file" "$work/data/original.png"

# "PNG OK" when every chunk's CRC is right, the text changed and nothing else did.
check() {
  python3 - "$file" "$work/data/original.png" <<'PY'
import struct, sys, zlib
b, old = open(sys.argv[1], 'rb').read(), open(sys.argv[2], 'rb').read()
problems, at, kinds = [], 8, []
while at < len(b):
    n = struct.unpack('>I', b[at:at + 4])[0]
    kind, data = b[at + 4:at + 8], b[at + 8:at + 8 + n]
    stored = struct.unpack('>I', b[at + 8 + n:at + 12 + n])[0]
    if stored != zlib.crc32(kind + data):
        problems.append('%s crc=%08x zlib=%08x' % (kind.decode(), stored, zlib.crc32(kind + data)))
    kinds.append(kind)
    at += 12 + n
if kinds != [b'IHDR', b'tEXt', b'IDAT', b'IEND']:
    problems.append('chunks %r' % kinds)
if b[41:63] != b'Comment\0Jello Byteloom':
    problems.append('text %r' % b[41:63])
changed = [i for i in range(min(len(b), len(old))) if b[i] != old[i] and not (i == 49 or 63 <= i < 67)]
if len(b) != len(old) or changed:
    problems.append('other bytes changed: %r, size %d' % (changed[:8], len(b)))
print('PNG OK' if not problems else 'PNG ' + '; '.join(problems))
PY
}

start_program "$file" 49
await_window '^Byteloom$' || fail "the Byteloom window did not appear"
window=$found
focus "$window"
# "H" -> "J" in the character column; the caret moves on to 50.
xdotool key --delay 80 Tab
xdotool type --delay 80 "J"
# Back to the chunk's type (37) and select it and its data: 37 ... 62.
xdotool key --delay 40 --repeat 13 Left
xdotool key --delay 40 --repeat 25 shift+Right
xdotool key --delay 80 alt+t f
await_keyboard '^Fields - ' || fail "Tools > Fields showed no fields window"
fields=$found
# Two presses: Add checksum, then OK in the field dialog as it comes.
xdotool key --delay 80 alt+c
await_keyboard '^Field$' || fail "Add checksum showed no field dialog"
xdotool key --delay 80 Return
await_window '^Field$' gone || fail "the checksum was not taken: $(tail -n 3 "$work/app.log")"
await has_keyboard "$fields" || fail "the fields window did not get the keyboard back"
focus "$window"
save_and_quit
[ "$(check)" = "PNG OK" ] || fail "after the save: $(check)"
echo "1 passed, 0 failed"
exit 0
