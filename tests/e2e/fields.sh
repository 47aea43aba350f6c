#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: a named field and a checksum fixed on save. A save file holds
# a CRC-32 of 0x10..end, big-endian at 0x0C, and the gold, a u32
# little-endian at 0x20. The real byteloom opens it at 0x20; Tools > Fields
# adds the checksum (Fix on save) and the field "gold", the panel changes
# gold to 999 and Ctrl+S saves: the file must hold 999 and a CRC that
# Python's zlib confirms. Opened again, the window must know both rows:
# gold set to 1234 there and saved gives 1234 and a right CRC again.
#   fields.sh PATH-TO-BYTELOOM
# Exit code 77 (a skip for ctest) when Xvfb, xdotool, xprop or python3 is missing.
set -uo pipefail

program=${1:?usage: fields.sh PATH-TO-BYTELOOM}
needs=python3
source "$(dirname "$0")/lib.sh"

file="$work/data/game.sav"
python3 - "$file" <<'PY'
import random, struct, sys, zlib
random.seed(7)
b = bytearray(random.getrandbits(8) for _ in range(0x800))
b[0x20:0x24] = struct.pack('<I', 120)
b[0x0C:0x10] = struct.pack('>I', zlib.crc32(bytes(b[0x10:])))
open(sys.argv[1], 'wb').write(b)
PY
# "GOLD OK" when the file holds $1 at 0x20 and the right CRC at 0x0C.
check() {
  python3 - "$file" "$1" <<'PY'
import struct, sys, zlib
b = open(sys.argv[1], 'rb').read()
gold, crc = struct.unpack('<I', b[0x20:0x24])[0], struct.unpack('>I', b[0x0C:0x10])[0]
print('GOLD', 'OK' if gold == int(sys.argv[2]) and crc == zlib.crc32(b[0x10:]) else 'gold=%d crc=%08x zlib=%08x' % (gold, crc, zlib.crc32(b[0x10:])))
PY
}

# The fields window of the document in front, with the keyboard.
open_fields() {
  await_window '^Byteloom$' || fail "the Byteloom window did not appear"
  window=$found
  focus "$window"
  xdotool key --delay 80 alt+t f
  await_keyboard '^Fields - ' || fail "Tools > Fields showed no fields window"
  fields=$found
}
# Types $1 into the value of the chosen row and checks that the panel took it.
edit_value() {
  xdotool key --delay 80 alt+v
  await_keyboard '^Edit value$' || fail "Edit value showed no input box"
  retype "$1"
  xdotool key --delay 80 Return
  await_window '^Edit value$' gone || fail "the value was not taken"
}

start_program "$file" 0x20
open_fields
# The checksum: CRC-32 (the first algorithm), stored big-endian at 0x0C,
# over 0x10 to the end, Fix on save (as a new checksum starts).
xdotool key --delay 80 alt+c
await_keyboard '^Field$' || fail "Add checksum showed no field dialog"
xdotool type --delay 30 "crc"
xdotool key --delay 80 alt+o
retype "0x0C"
xdotool key --delay 80 alt+f
retype "0x10"
xdotool key --delay 80 Return
await_window '^Field$' gone || fail "the checksum was not taken: $(tail -n 3 "$work/app.log")"
await has_keyboard "$fields" || fail "the fields window did not get the keyboard back"
# The field at the caret: u32 little-endian at 0x20.
xdotool key --delay 80 alt+a
await_keyboard '^Field$' || fail "Add field showed no field dialog"
xdotool type --delay 30 "gold"
xdotool key --delay 80 Return
await_window '^Field$' gone || fail "the field was not taken"
await has_keyboard "$fields" || fail "the fields window did not get the keyboard back"
edit_value 999
focus "$window"
save_and_quit
[ "$(check 999)" = "GOLD OK" ] || fail "after the first save: $(check 999)"

# Opened again: the rows come back (crc first, gold second).
start_program "$file"
open_fields
xdotool key --delay 80 Down
edit_value 1234
focus "$window"
save_and_quit
[ "$(check 1234)" = "GOLD OK" ] || fail "after the second save: $(check 1234)"
echo "1 passed, 0 failed"
exit 0
