#!/usr/bin/env bash
# Draws Tavvel's application icon: a scalable SVG and the hicolor PNG sizes made from it.
# Usage: scripts/make_icon.sh [out-dir]   (default data/icons; the results are kept in git)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-data/icons}
id=com.zembo.tavvel
mkdir -p "$out/scalable/apps"
svg=$out/scalable/apps/$id.svg
# A rounded tile of evening sky, a screen on it and a wave of light playing across the screen.
cat > "$svg" <<'SVG'
<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" viewBox="0 0 128 128">
  <defs>
    <linearGradient id="sky" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#3b2a8f"/>
      <stop offset="0.55" stop-color="#7b3fa8"/>
      <stop offset="1" stop-color="#f07a52"/>
    </linearGradient>
    <linearGradient id="screen" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="#11163a"/>
      <stop offset="1" stop-color="#1f2f6b"/>
    </linearGradient>
    <linearGradient id="wave" x1="0" y1="0" x2="1" y2="0">
      <stop offset="0" stop-color="#5ee0ff"/>
      <stop offset="1" stop-color="#ffd36e"/>
    </linearGradient>
  </defs>
  <rect x="6" y="6" width="116" height="116" rx="26" fill="url(#sky)"/>
  <rect x="20" y="28" width="88" height="58" rx="7" fill="url(#screen)" stroke="#ffffff" stroke-opacity="0.85" stroke-width="4"/>
  <path d="M24 70 C40 52 52 80 68 62 S96 50 104 58 L104 82 L24 82 Z" fill="url(#wave)" fill-opacity="0.9"/>
  <path d="M56 40 L76 52 L56 64 Z" fill="#ffffff"/>
  <rect x="52" y="90" width="24" height="8" rx="2" fill="#ffffff" fill-opacity="0.85"/>
  <rect x="40" y="98" width="48" height="6" rx="3" fill="#ffffff" fill-opacity="0.85"/>
</svg>
SVG
for size in 16 24 32 48 64 128 256 512; do
  mkdir -p "$out/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$out/${size}x${size}/apps/$id.png"
done
