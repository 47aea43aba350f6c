#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Byteloom as a Debian package: builds byteloom_VERSION_ARCH.deb from a
# Release build of its own (BUILD_DIR, default build-package; no tests),
# checks it with lintian (errors fail, warnings are shown), installs it with
# apt-get, checks what it installed in /usr (installed.sh), opens, edits and
# saves a file with the installed program under Xvfb (tests/e2e/edit_save.sh),
# then purges it and checks that no file or folder of it is left.
# apt-get runs as root, or through sudo.
#   package.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build-package}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
fail() { echo "FAIL: $*" >&2; exit 1; }
source "$here/tests/install/installed.sh"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Debian's build flags with every hardening (fortified functions, stack
# protector, read-only relocations bound at start), without debug info.
flags() { (cd "$here" && DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g dpkg-buildflags --get "$1"); }
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build "$build" --target package -j "$(nproc 2>/dev/null || echo 2)" >"$build/package.log" 2>&1 ||
  { tail -n 40 "$build/package.log"; fail "the package was not built"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/byteloom_${version}_$(dpkg --print-architecture).deb
test -s "$deb" || fail "no $deb"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"

echo "== lintian $(basename "$deb")"
lintian --fail-on error "$deb" || fail "lintian found errors"

installed=0
purge() { [ "$installed" = 0 ] || DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq byteloom >/dev/null; }
trap purge EXIT
installed=1
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null
/usr/bin/byteloom --version
check_installed /usr "$version"
bash "$here/tests/e2e/edit_save.sh" /usr/bin/byteloom || fail "the installed program did not edit and save a file"

files=$(dpkg -L byteloom | grep -v '^/\.$')
DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq byteloom >/dev/null
installed=0
[ -z "$(dpkg -L byteloom 2>/dev/null)" ] || fail "dpkg -L byteloom still lists files after the purge"
# What is left must be a folder that another package owns (/usr/bin, ...).
while IFS= read -r path; do
  if [ -e "$path" ] || [ -L "$path" ]; then
    [ -d "$path" ] && [ ! -L "$path" ] && dpkg -S "$path" >/dev/null 2>&1 || fail "left behind after the purge: $path"
  fi
done <<<"$files"
echo "package test passed: $(basename "$deb") installs, works and purges without a trace"
