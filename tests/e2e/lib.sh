# What the end-to-end scripts share: a skip when a tool is missing, a private
# Xvfb display, the program's own folders (working files, settings, home),
# cleanup at exit, fail, and waiting for a window. Sourced with `here` unset;
# the script sets `program` and `app_pid` itself.
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
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export LSAN_OPTIONS="suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# Waits until a window titled $1 is shown (or not, with "gone"), at most
# ten seconds (a sanitizer build under load is slow).
await_window() {
  for _ in $(seq 1 100); do
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    if [ "${2:-}" = gone ]; then [ -z "$found" ] && return 0; else [ -n "$found" ] && return 0; fi
    sleep 0.1
  done
  return 1
}

# Gives a window the keyboard (and the program time to pass it on).
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; sleep 0.3; }

# Types $2 into the window titled $1 once it has the keyboard, in place of
# what its edit box holds (keys typed before would go elsewhere).
type_into() {
  focus "$(xdotool search --onlyvisible --name "$1" | head -n 1)"
  sleep 0.5
  xdotool key --delay 80 ctrl+a
  xdotool type --delay 30 "$2"
}

# Accepts the file dialog titled $1 with Enter. A completion list that the
# dialog shows while the name is typed may take the first Enter; then the
# dialog is still open and gets another.
accept_dialog() {
  sleep 0.3
  xdotool key --delay 80 Return
  await_window "$1" gone && return 0
  xdotool key --delay 80 Return
  await_window "$1" gone
}

# Saves with Ctrl+S, ends the program with Alt+F4 and checks that it ended
# at once with status 0 (an open question would keep it running).
save_and_quit() {
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
}
