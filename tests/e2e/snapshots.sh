#!/usr/bin/env bash
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
for tool in Xvfb xdotool xprop; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (scripts/setup installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

# A display number nobody uses.
display=""
for n in $(seq 120 199); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    Xvfb ":$n" -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
      display=":$n"
      break
    fi
    xvfb_pid=""
  fi
done
[ -n "$display" ] || fail "no free X display could be started"
export DISPLAY=$display

# The program's own corner: working files, settings, home.
mkdir -p "$work/tmp" "$work/config" "$work/home" "$work/data"
export TMPDIR="$work/tmp" XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM
# A sanitizer build: leaks of the X11 platform's system libraries are not ours.
here=$(cd "$(dirname "$0")" && pwd)
export LSAN_OPTIONS="suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

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

"$program" "$work/data/s1.sav" >"$work/app.log" 2>&1 &
app_pid=$!

# Waits until a window titled $1 is shown (or not, with "gone").
await_window() {
  for _ in $(seq 1 50); do
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    if [ "${2:-}" = gone ]; then [ -z "$found" ] && return 0; else [ -n "$found" ] && return 0; fi
    sleep 0.1
  done
  return 1
}
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; sleep 0.3; }

await_window '^Byteloom$' || { cat "$work/app.log"; fail "the Byteloom window did not appear"; }
window=$(xdotool search --onlyvisible --name '^Byteloom$' | head -n 1)
sleep 0.5
focus "$window"
xdotool key --delay 80 alt+t v
await_window '^Find a value across snapshots$' || fail "Tools showed no snapshot search"
form=$(xdotool search --onlyvisible --name '^Find a value across snapshots$' | head -n 1)
focus "$form"
# The open document is snapshot 1; the others come from disk without a window.
xdotool key --delay 80 alt+d
for k in 2 3; do
  xdotool key --delay 80 alt+f
  await_window '^Open$' || fail "Add file showed no file dialog"
  xdotool type --delay 30 "$work/data/s$k.sav"
  xdotool key --delay 80 Return
  await_window '^Open$' gone || fail "the file dialog did not close"
  focus "$form"
done
# Condition "increased by N" (the fifth), N = 1, two steps.
xdotool key --delay 80 alt+s Down Down Down Down Tab
xdotool type --delay 80 "1"
xdotool key --delay 80 alt+r
sleep 0.5
xdotool key --delay 80 alt+r
sleep 0.5
# The first row of the list: below the header of the table.
import_shot() { command -v import >/dev/null 2>&1 && [ -n "${SNAPSHOT_SHOTS:-}" ] && import -window root "$SNAPSHOT_SHOTS/$1.png"; true; }
import_shot narrowed
xdotool mousemove --window "$form" 66 258 click --repeat 2 --delay 80 1
sleep 0.5
# Back in the document (the Window menu's entry gives it the keyboard):
# one key changes the byte under its caret.
focus "$window"
xdotool key --delay 80 alt+w 1
sleep 0.3
import_shot moved
xdotool type --delay 80 "4"
sleep 0.3
xdotool key --delay 80 ctrl+s
sleep 0.5
xdotool key --delay 80 alt+F4

for _ in $(seq 1 100); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$app_pid" 2>/dev/null; then
  cat "$work/app.log"
  fail "Byteloom did not end after Alt+F4 (an unexpected question is open?)"
fi
wait "$app_pid"
status=$?
app_pid=""
[ "$status" -eq 0 ] || { cat "$work/app.log"; fail "Byteloom ended with status $status"; }

changed=$(cmp -l "$work/original" "$work/data/s1.sav" | awk '{ printf "%d ", $1 - 1 }')
[ "$changed" = "$((0x123)) " ] || fail "the bytes changed at offsets '$changed', expected only 291 (0x123): the caret was not moved to the counter"
echo "1 passed, 0 failed"
exit 0
