#!/usr/bin/env bash
# Renders the PNG sizes of the icon from curanote.svg; run after changing the
# drawing and commit the PNGs with it. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" curanote.svg --output "curanote-$size.png"
done
