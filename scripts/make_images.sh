#!/usr/bin/env bash
# Draws the main program's pictures (left bar, switch, new-features pages) with ImageMagick.
# The PNGs are committed; run this again only to change them.
# Usage: scripts/make_images.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
VIEWS=$ROOT/src/views/assets
MAIN=$ROOT/src/MainWindow/assets
mkdir -p "$VIEWS" "$MAIN"
FONT=DejaVu-Sans
BOLD=DejaVu-Sans-Bold
BLUE='rgb(52,155,255)'
strip() { convert "$1" -strip -define png:exclude-chunks=date,time "$1"; }

# The switch, 36 x 18: a pill with its knob right (on, blue) or left (off, grey).
convert -size 36x18 xc:none -fill "$BLUE" -draw 'roundrectangle 0,0 35,17 9,9' \
  -fill white -draw 'circle 27,9 27,2' "$VIEWS/leftPanel_videoDesktop_checkBox_checked_normal.png"
convert -size 36x18 xc:none -fill 'rgb(140,150,160)' -draw 'roundrectangle 0,0 35,17 9,9' \
  -fill white -draw 'circle 9,9 9,2' "$VIEWS/leftPanel_videoDesktop_checkBox_unchecked_normal.png"

# The logo, 48 x 48: a rounded square with a play triangle.
convert -size 48x48 xc:none -fill "$BLUE" -draw 'roundrectangle 0,0 47,47 10,10' \
  -fill white -draw 'polygon 18,13 18,35 36,24' "$MAIN/leftPanel_icon_tavvel.png"

# Cell icons, 18 x 18: a screen (video) and an "i" in a circle (about), white and blue.
for state in normal:white pressed:$BLUE; do
  name=${state%%:*}; colour=${state#*:}
  convert -size 18x18 xc:none -stroke "$colour" -strokewidth 1.5 -fill none \
    -draw 'roundrectangle 1,2 16,12 2,2' -draw 'line 9,13 9,15' -draw 'line 5,16 13,16' \
    -stroke none -fill "$colour" -draw 'polygon 7,4.5 7,9.5 11.5,7' \
    "$MAIN/leftPanel_videoDesktop_${name}_tavvel.png"
  convert -size 18x18 xc:none -stroke "$colour" -strokewidth 1.5 -fill none -draw 'circle 9,9 9,1.5' \
    -stroke none -fill "$colour" -draw 'circle 9,5.5 9,4.4' -draw 'rectangle 8,7.5 10,13.5' \
    "$MAIN/leftPanel_about_${name}_tavvel.png"
done

# The seven built-in pages of the new-features guide, 480 x 300.
titles=("Live wallpapers" "Your own videos" "Online library" "Several screens" "Play modes" "Search" "Start at login")
texts=("Videos play behind your desktop icons" "Drop video files into the library" "Download new wallpapers in one click"
       "Span, mirror or pick one screen" "One video, a list or a random order" "Find wallpapers by name or tag"
       "The wallpaper comes back with you")
colours=("#2b5fd9" "#1f8a70" "#8e44ad" "#d35400" "#16a085" "#2c3e50" "#c0392b")
for i in 0 1 2 3 4 5 6; do
  convert -size 480x300 "gradient:${colours[$i]}-#0d1b2a" \
    -fill 'rgba(255,255,255,0.12)' -draw 'circle 400,60 470,60' -draw 'circle 60,260 110,260' \
    -fill white -font "$BOLD" -pointsize 30 -gravity north -annotate +0+90 "${titles[$i]}" \
    -font "$FONT" -pointsize 17 -annotate +0+150 "${texts[$i]}" \
    -pointsize 13 -gravity south -annotate +0+18 "$((i + 1)) / 7" \
    "$MAIN/NewFeature$i.png"
done

for f in "$VIEWS"/*.png "$MAIN"/*.png; do strip "$f"; done
