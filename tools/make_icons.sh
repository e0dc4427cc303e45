#!/bin/sh
# Draws the program's PNG icons from dist/icons/phonebook.svg (needs rsvg-convert, librsvg2-bin).
# Run after changing the SVG and commit the PNGs: the build does not need the tool.
set -e
cd "$(dirname "$0")/.."
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" dist/icons/phonebook.svg -o "dist/icons/phonebook-$size.png"
done
