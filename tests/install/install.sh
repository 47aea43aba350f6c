#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Byteloom as an installed desktop program: `cmake --install` into a fresh
# prefix puts the program, its help pages, a valid desktop entry and AppStream
# data, the icon in every size, the manual page, copyright and changelog in
# the standard places (installed.sh); the installed program and the one in
# the build tree answer --help without a display, name help pages that
# exist, and say clearly when there is no display.
#   install.sh BUILD_DIR
set -euo pipefail
build=$1
for tool in desktop-file-validate appstreamcli file; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool missing (scripts/setup installs it)"; exit 77; }
done
source "$(dirname "$0")/installed.sh"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/byteloom" || fail "program"
check_installed "$prefix" "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"

for program in "$prefix/bin/byteloom" "$build/byteloom"; do
  usage=$(nodisplay "$program" --help) || fail "$program --help"
  grep -q '^Usage: byteloom \[FILE \[OFFSET\] \[FILE...\]\]$' <<<"$usage" || fail "usage of $program"
  page=$(sed -n 's/^Help pages: \(.*\) (Help > Contents, F1)$/\1/p' <<<"$usage")
  test -s "$page" || fail "$program names help pages that are not there: '$page'"
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
echo "install test passed"
