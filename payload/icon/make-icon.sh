#!/usr/bin/env bash
# Renders the program icon from its drawings beside this script and packs it into one .ico: 16 and
# 32 px as 32-bit images with alpha, 48 and 256 px as PNG, which Windows reads from Vista on and
# which keeps the icon a few KiB. Usage: payload/icon/make-icon.sh OUTPUT.ico
set -euo pipefail
icon=$(cd "$(dirname "$0")" && pwd)
out=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rsvg-convert -w 16 -h 16 "$icon/palvex-16.svg" -o "$work/16.png"
for size in 32 48 256; do
  rsvg-convert -w "$size" -h "$size" "$icon/palvex.svg" -o "$work/$size.png"
done
icotool -c -b 32 -o "$out" "$work/16.png" "$work/32.png" -r "$work/48.png" -r "$work/256.png"
