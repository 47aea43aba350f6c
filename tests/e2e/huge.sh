#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end on a 6 GiB sparse file: starts byteloom with the start offset
# 0x140000000 (5 GiB), types two hex digits there, goes to the end with
# Ctrl+End and back with Ctrl+Home, finds a text planted past 4 GiB with
# Ctrl+F, overwrites its last character, saves with Ctrl+S and checks with
# xxd that the saved file has the bytes where they belong, is 6 GiB long and
# kept its holes. With BYTELOOM_E2E_SHOTS set to a folder, a screenshot of
# the window at the end of the file is left there (huge-end.png).
#   huge.sh PATH-TO-BYTELOOM
set -uo pipefail

program=${1:?usage: huge.sh PATH-TO-BYTELOOM}
needs="xxd"
source "$(dirname "$0")/lib.sh"

file="$work/data/disk.img"
size=$((6 << 30))
text_at=$((0x150000010))
truncate -s "$size" "$file"
printf 'FarText!' | dd of="$file" bs=1 seek="$text_at" conv=notrunc status=none
printf 'END' | dd of="$file" bs=1 seek=$((size - 3)) conv=notrunc status=none

start_program "$file" 0x140000000
await_window '^Byteloom$' || fail "the Byteloom window did not appear"
window=$found
focus "$window"

xdotool type --delay 80 "a5"
xdotool key --delay 80 ctrl+End
if [ -n "${BYTELOOM_E2E_SHOTS:-}" ] && command -v xwd >/dev/null && command -v convert >/dev/null; then
  sleep 0.5
  xwd -root -silent | convert xwd:- "$BYTELOOM_E2E_SHOTS/huge-end.png"
fi
xdotool key --delay 80 ctrl+Home

# Ctrl+F from the start finds the text at 0x150000010 and leaves the caret
# on its last byte, which the typed digits overwrite.
xdotool key --delay 80 ctrl+f
await_keyboard '^Edit it!$' || fail "Ctrl+F showed no search dialog"
retype "tFarText!"
xdotool key --delay 80 Return
await_window '^Edit it!$' gone || fail "the search dialog did not close"
focus "$window"
xdotool type --delay 80 "58"
save_and_quit

[ "$(stat -c %s "$file")" -eq "$size" ] || fail "the saved file is $(stat -c %s "$file") bytes long"
[ "$(xxd -s 0x140000000 -l 2 -p "$file")" = "a500" ] || fail "at 0x140000000: $(xxd -s 0x140000000 -l 2 -p "$file")"
[ "$(xxd -s "$text_at" -l 8 -p "$file" | xxd -r -p)" = "FarTextX" ] || fail "the text: $(xxd -s "$text_at" -l 8 "$file")"
[ "$(tail -c 3 "$file")" = "END" ] || fail "the last bytes: $(tail -c 3 "$file" | xxd -p)"
used=$(($(stat -c %b "$file") * $(stat -c %B "$file")))
[ "$used" -lt $((64 << 20)) ] || fail "the saved file takes $used bytes on disk: its holes were filled"
[ -f "$work/data/disk.bak" ] || fail "no backup disk.bak"
leftovers=$(find "$work/tmp" -name '*.BLWT' | wc -l)
[ "$leftovers" -eq 0 ] || fail "$leftovers working file(s) left in the temporary folder"

echo "1 passed, 0 failed"
exit 0
