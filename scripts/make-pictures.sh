#!/usr/bin/env bash
# Draws the two pictures of the program folder with ImageMagick (apt-get install imagemagick):
# a lake at dusk for the main window, and the same lake with ripples for new mail.
set -euo pipefail
assets=$(cd "$(dirname "$0")/.." && pwd)/assets
mkdir -p "$assets/背景画像" "$assets/新着画像"

convert -size 514x390 gradient:'#1b2a52'-'#5b8bbf' \
  \( -size 514x170 gradient:'#2d5d8a'-'#0f1f3a' \) -geometry +0+220 -composite \
  -fill '#f4e9b8' -draw 'circle 400,120 400,150' \
  -fill 'rgba(255,255,255,0.25)' -draw 'ellipse 400,260 60,6 0,360' \
  -fill 'rgba(255,255,255,0.15)' -draw 'ellipse 400,285 90,8 0,360' \
  -fill '#0c1628' -draw 'polygon 0,225 90,170 170,205 260,160 330,215 514,190 514,225' \
  -quality 90 "$assets/背景画像/1.jpg"

convert "$assets/背景画像/1.jpg" \
  -fill none -stroke 'rgba(255,240,180,0.8)' -strokewidth 2 \
  -draw 'ellipse 257,300 40,8 0,360' -draw 'ellipse 257,300 90,18 0,360' \
  -draw 'ellipse 257,300 150,30 0,360' -draw 'ellipse 257,300 220,44 0,360' \
  -stroke none -fill '#ffe680' -draw 'polygon 237,250 277,250 277,276 237,276' \
  -fill '#c08a00' -draw 'polygon 237,250 257,265 277,250 277,253 257,268 237,253' \
  -quality 90 "$assets/新着画像/1.jpg"
