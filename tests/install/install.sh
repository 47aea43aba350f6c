#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Byteloom as an installed desktop program: `cmake --install` into a fresh
# prefix puts the program, its help pages, a valid desktop entry and the icon
# in the standard places; the installed program (and the one in the build
# tree) answers --help and --version without a display, names help pages that
# exist, and says clearly when there is no display.
#   install.sh BUILD_DIR
set -euo pipefail
build=$1
command -v desktop-file-validate >/dev/null || { echo "SKIP: desktop-file-validate missing (desktop-file-utils)"; exit 77; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
entry=$prefix/share/applications/byteloom.desktop
hints=$(desktop-file-validate "$entry") || fail "desktop-file-validate $entry"
[ -z "$hints" ] || fail "desktop-file-validate has hints: $hints"
grep -qx 'MimeType=application/octet-stream;' "$entry" || fail "MimeType"
grep -qx 'Exec=byteloom %F' "$entry" || fail "Exec"
grep -qx 'Icon=byteloom' "$entry" || fail "Icon"
test -s "$prefix/share/icons/hicolor/scalable/apps/byteloom.svg" || fail "icon"
test -x "$prefix/bin/byteloom" || fail "program"

# Every page the help pages link to is there.
help=$prefix/share/byteloom/help
test -s "$help/hex.htm" || fail "hex.htm"
for link in $(grep -oh 'href="[a-z]*\.\(htm\|css\)"' "$help"/*.htm | sort -u | sed 's/href="\(.*\)"/\1/'); do
  test -s "$help/$link" || fail "help page $link is linked but missing"
done

nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
for program in "$prefix/bin/byteloom" "$build/byteloom"; do
  usage=$(nodisplay "$program" --help) || fail "$program --help"
  grep -q '^Usage: byteloom \[FILE \[OFFSET\] \[FILE...\]\]$' <<<"$usage" || fail "usage of $program"
  page=$(sed -n 's/^Help pages: \(.*\) (Help > Contents, F1)$/\1/p' <<<"$usage")
  test -s "$page" || fail "$program names help pages that are not there: '$page'"
  [ "$(nodisplay "$program" --version)" = "Byteloom 1.2" ] || fail "$program --version"
  set +e
  message=$(nodisplay "$program" 2>&1)
  rc=$?
  set -e
  [ "$rc" = 1 ] || fail "$program without a display exits $rc"
  [ "$message" = "byteloom: no display found; set DISPLAY or WAYLAND_DISPLAY" ] || fail "without a display: $message"
  # A display that is gone says the same.
  message=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:99999 "$program" 2>&1) && fail "a gone display"
  [ "$message" = "byteloom: no display found; set DISPLAY or WAYLAND_DISPLAY" ] || fail "gone display: $message"
done
[ "$(realpath "$(sed -n 's/^Help pages: \(.*\) (Help.*/\1/p' <<<"$(nodisplay "$prefix/bin/byteloom" --help)")")" = \
  "$(realpath "$help/hex.htm")" ] || fail "the installed program does not use the installed help pages"
echo "install test passed"
