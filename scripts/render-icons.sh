#!/usr/bin/env bash
# Renders the PNG icons of the hicolor theme from data/icons/org.orvik.monitor.svg. The PNGs are
# kept in the repository, so the build needs no renderer; run this after changing the SVG.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}"
  rsvg-convert -w "$size" -h "$size" org.orvik.monitor.svg -o "${size}x${size}/org.orvik.monitor.png"
done
