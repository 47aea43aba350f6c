#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: starts the real byteloom on its own Xvfb display with a file
# and a start offset, opens and closes the preferences dialog (its title
# must be its own caption alone), types hex digits, finds with Ctrl+F and
# replaces all with Ctrl+R, saves with Ctrl+S, quits
# with Alt+F4, and checks the saved bytes, the .bak backup and that no
# working file is left behind.
#   edit_save.sh PATH-TO-BYTELOOM
# The file's name is no UTF-8. Exit code 77 (a skip for ctest) when Xvfb,
# xdotool or xprop is missing.
set -uo pipefail

program=${1:?usage: edit_save.sh PATH-TO-BYTELOOM}
source "$(dirname "$0")/lib.sh"

# A file name is bytes: this one is Latin-1 ("gäme.sav"), no UTF-8.
file="$work/data/g"$'\xe4'"me.sav"
backup="$work/data/g"$'\xe4'"me.bak"
head -c 64 /dev/zero | tr '\0' 'x' >"$file"
cp "$file" "$work/original"

start_program "$file" 0x10

await_window '^Byteloom$' || fail "the Byteloom window did not appear"
window=$found
focus "$window"

# View > Preferences: the dialog's title reads "Preferences" and nothing more
# (the window system shows _NET_WM_NAME); Escape closes it again.
xdotool key --delay 80 alt+v p
await_keyboard '^Preferences' || fail "View > Preferences showed no dialog"
title=$(xprop -id "$found" _NET_WM_NAME 2>/dev/null)
[ "$title" = '_NET_WM_NAME(UTF8_STRING) = "Preferences"' ] || fail "the preferences dialog is titled: $title"
xdotool key --delay 80 Escape
await_window '^Preferences' gone || fail "Escape did not close the preferences"
focus "$window"

# Offset 0x10: the caret is on the first digit of byte 16.
xdotool type --delay 80 "4142"

# Ctrl+F finds the next "x" from the caret (byte 18); Ctrl+R then replaces
# every x from there on (hex 78) by "y", and the count is reported.
xdotool key --delay 80 ctrl+f
await_keyboard '^Edit it!$' || fail "Ctrl+F showed no search dialog"
retype "tx"
xdotool key --delay 80 Return
await_window '^Edit it!$' gone || fail "the search dialog did not close"
focus "$window"
xdotool key --delay 80 ctrl+r
await_keyboard '^Edit it!$' || fail "Ctrl+R showed no replace dialog"
retype "78"
xdotool key --delay 80 Tab
xdotool type --delay 80 "y"
xdotool key --delay 80 Tab space Return
await_keyboard '^Information$' || fail "Replace all reported nothing"
xdotool key --delay 80 Return
await_window '^Information$' gone || fail "the report did not close"
focus "$window"
save_and_quit

expected=$(head -c 16 "$work/original"; printf 'AB'; tail -c +19 "$work/original" | tr x y)
actual=$(cat "$file")
[ "$actual" = "$expected" ] || fail "saved file is '$actual', expected '$expected'"
[ "$(stat -c %s "$file")" -eq 64 ] || fail "saved file has the wrong length"
[ -f "$backup" ] || fail "no backup g?me.bak beside g?me.sav"
cmp -s "$backup" "$work/original" || fail "the backup does not hold the old bytes"
[ "$(ls "$work/data" | wc -l)" -eq 2 ] || fail "files under other names: $(ls "$work/data")"
leftovers=$(find "$work/tmp" -name '*.BLWT' | wc -l)
[ "$leftovers" -eq 0 ] || fail "$leftovers working file(s) left in the temporary folder"
[ -f "$work/config/Velmora/Tarnwick.ini" ] || fail "the settings were not written at exit"

echo "1 passed, 0 failed"
exit 0
