# SPDX-License-Identifier: GPL-3.0-or-later
# What install.sh (a `cmake --install` prefix) and package.sh (the Debian
# package in /usr) check alike, sourced by both; the caller defines fail.
#   check_installed PREFIX VERSION
# The program answers --version with VERSION and its licence and names the
# installed help pages, where every page they link to is there; the desktop
# entry and the AppStream data validate without a remark; the icon is there
# as SVG and in every PNG size, each PNG as large as its folder says; the
# manual page, the copyright and the changelog are there, compressed where
# Debian wants it, and name VERSION.
app_id=example.velmora_soft.Byteloom
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }

# appstreamcli 0.16 remarks on every id whose first part is no IANA top-level
# domain ("example" is reserved, so that no one owns it) and on an id with a
# capital letter: these two remarks on our id are expected, any other fails.
appstream_remarks() {
  appstreamcli validate --pedantic --no-net "$1" 2>&1 |
    grep -v -E "^[IP]: $app_id:[0-9]+: cid-(maybe-not-rdns|contains-uppercase-letter) $app_id\$" |
    grep -v -E '^(✔ Validation was successful.*)?$' || true
}

check_installed() {
  local prefix=$1 version=$2 remarks png size
  [ "$(nodisplay "$prefix/bin/byteloom" --version | head -n 1)" = "Byteloom $version" ] ||
    fail "$prefix/bin/byteloom --version does not name version $version"
  nodisplay "$prefix/bin/byteloom" --version | grep -q '^Licence: GPL-3.0-or-later ' || fail "--version names no licence"
  local help=$prefix/share/byteloom/help link
  [ "$(realpath "$(nodisplay "$prefix/bin/byteloom" --help | sed -n 's/^Help pages: \(.*\) (Help.*/\1/p')")" = \
    "$(realpath "$help/hex.htm")" ] || fail "the installed program does not use the installed help pages"
  for link in $(grep -oh 'href="[a-z]*\.\(htm\|css\)"' "$help"/*.htm | sort -u | sed 's/href="\(.*\)"/\1/'); do
    test -s "$help/$link" || fail "help page $link is linked but missing"
  done

  local entry=$prefix/share/applications/$app_id.desktop
  remarks=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate $entry: $remarks"
  [ -z "$remarks" ] || fail "desktop-file-validate remarks: $remarks"
  grep -qx 'MimeType=application/octet-stream;' "$entry" || fail "MimeType"
  grep -qx 'Exec=byteloom %F' "$entry" || fail "Exec"
  grep -qx 'Icon=byteloom' "$entry" || fail "Icon"
  local metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
  test -s "$metainfo" || fail "no $metainfo"
  remarks=$(appstream_remarks "$metainfo")
  [ -z "$remarks" ] || fail "appstreamcli validate remarks: $remarks"
  [ "$(grep -o -m 1 '<release version="[^"]*"' "$metainfo")" = "<release version=\"$version\"" ] ||
    fail "the newest release in the AppStream data is not $version"

  local icons=$prefix/share/icons/hicolor
  test -s "$icons/scalable/apps/byteloom.svg" || fail "no scalable icon"
  for size in 16 22 24 32 48 64 128 256 512; do
    png=$icons/${size}x${size}/apps/byteloom.png
    file "$png" | grep -q "PNG image data, $size x $size," || fail "no $size x $size icon: $(file "$png")"
  done

  local man=$prefix/share/man/man1/byteloom.1.gz doc=$prefix/share/doc/byteloom
  gzip -t "$man" "$doc/changelog.gz" || fail "manual page or changelog not compressed"
  zcat "$man" | grep -q "^\.TH BYTELOOM 1 .*\"Byteloom $version\"" || fail "the manual page names another version"
  zcat "$doc/changelog.gz" | head -n 1 | grep -q "^byteloom ($version) " || fail "the changelog starts with another version"
  head -n 1 "$doc/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
    fail "copyright is not in the machine-readable format"
}
