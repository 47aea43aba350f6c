# SPDX-License-Identifier: GPL-3.0-or-later
# SIGTERM (kill, a shutdown) and SIGHUP (a logout) end the real program,
# started offscreen with a file: it ends with status 0, its settings are
# written and the working copy of the saved document is gone from the
# private working folder. (That unsaved documents keep theirs is checked by
# the window tests, which can change a document.)
#   bash end_signals.sh PROGRAM
program=$1
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  cat "$work/log" 2>/dev/null
  exit 1
}

export TMPDIR="$work/tmp" XDG_CONFIG_HOME="$work/config" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=offscreen
mkdir -p "$TMPDIR" "$XDG_CONFIG_HOME" "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
head -c 5000 /dev/zero >"$work/save.dat"
folder="$TMPDIR/byteloom-$(id -u)"
settings="$XDG_CONFIG_HOME/Velmora/Tarnwick.ini"

for signal in TERM HUP; do
  rm -f "$settings"
  "$program" "$work/save.dat" >"$work/log" 2>&1 &
  pid=$!
  # The window is open once its working copy is there.
  for _ in $(seq 1 300); do
    compgen -G "$folder/*.BLWT" >/dev/null && break
    kill -0 "$pid" 2>/dev/null || fail "SIG$signal: Byteloom ended before its window opened"
    sleep 0.1
  done
  compgen -G "$folder/*.BLWT" >/dev/null || fail "SIG$signal: no working copy in $folder"
  kill -"$signal" "$pid"
  wait "$pid"
  status=$?
  pid=""
  [ "$status" -eq 0 ] || fail "SIG$signal: Byteloom ended with status $status"
  grep -q '^width=' "$settings" 2>/dev/null || fail "SIG$signal: the settings were not written"
  left=$(ls -A "$folder")
  [ -z "$left" ] || fail "SIG$signal: left in the working folder: $left"
done
echo "PASS"
