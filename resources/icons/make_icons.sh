#!/bin/sh
# Renders the hicolor PNG icons from their SVG sources (ImageMagick). The PNGs are kept in
# the tree, so building needs no SVG renderer; run this after changing an SVG.
set -e
cd "$(dirname "$0")"
for name in orvell3d application-x-orvell3d-package application-x-orvell3d-scene; do
  for size in 16 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}"
    convert -background none -density 300 "$name.svg" -resize "${size}x${size}" -depth 8 \
            "PNG32:${size}x${size}/$name.png"
  done
done
