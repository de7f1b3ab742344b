#!/usr/bin/env bash
# Renders the drawn resources (resources/svg/*.svg) to the PNG files the program loads, at twice
# their nominal size so that they stay sharp on double-density screens. Needs rsvg-convert.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p resources/resources/png
for svg in resources/svg/*.svg; do
    name=$(basename "$svg" .svg)
    rsvg-convert --zoom=2 -o "resources/resources/png/$name.png" "$svg"
done
