#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the icon (../byteloom.svg) once into the PNG sizes of the hicolor
# theme beside this script: icons/NxN/byteloom.png. Run it after changing the
# SVG and commit the PNGs; building and installing need no converter.
# Needs rsvg-convert (Debian: librsvg2-bin) and the DejaVu fonts.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
for size in 16 22 24 32 48 64 128 256 512; do
  mkdir -p "$here/${size}x${size}"
  rsvg-convert --width "$size" --height "$size" --output "$here/${size}x${size}/byteloom.png" "$here/../byteloom.svg"
done
