#!/bin/sh
# SPDX-License-Identifier: MIT
# Renders the PNG icons in res/icons/hicolor/ from their SVG sources, in the
# sizes the desktop and the window ask for. The PNGs are committed, so the
# build does not need librsvg; run this again after changing an SVG.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -eu
cd "$(dirname "$0")/../res/icons/hicolor"
for svg in scalable/apps/org.lumoedit.LumoEdit.svg scalable/mimetypes/application-x-lumoedit.svg; do
    kind=$(basename "$(dirname "$svg")")
    name=$(basename "$svg" .svg)
    for size in 16 24 32 48 64 128 256; do
        mkdir -p "${size}x${size}/$kind"
        rsvg-convert --width "$size" --height "$size" "$svg" --output "${size}x${size}/$kind/$name.png"
    done
done
echo "icons written to $(pwd)"
