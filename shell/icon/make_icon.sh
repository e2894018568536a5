#!/usr/bin/env bash
# Draws the program's icon, a calendar page with one day marked, at 32 x 32 and 16 x 16 pixels in
# a 16-colour palette, and packs both into plqcalc.ico for the Windows build. Each size is drawn
# on its own pixel grid (no scaling) so the small one stays crisp.
#   shell/icon/make_icon.sh    rewrites plqcalc-32.png, plqcalc-16.png and plqcalc.ico here
set -euo pipefail
cd "$(dirname "$0")"

# Palette: transparent, dark outline, white page, grey grid, red binding, ring metal, marked day.
draw32=(
  -fill '#FFFFFF' -stroke '#404040' -draw 'rectangle 2,4 29,29'
  -fill '#E03030' -stroke '#404040' -draw 'rectangle 2,4 29,10'
  -stroke none -fill '#A0A0A0'
  -draw 'rectangle 5,13 26,13' -draw 'rectangle 5,18 26,18' -draw 'rectangle 5,23 26,23'
  -draw 'rectangle 10,12 10,27' -draw 'rectangle 16,12 16,27' -draw 'rectangle 22,12 22,27'
  -fill '#FF9900' -draw 'rectangle 5,14 9,17'
  -fill '#009933' -draw 'rectangle 17,14 21,17' -draw 'rectangle 11,24 15,27'
  -fill '#E03030' -draw 'rectangle 11,19 15,22'
  -fill '#404040' -draw 'rectangle 8,2 9,6' -draw 'rectangle 22,2 23,6'
)
draw16=(
  -fill '#FFFFFF' -stroke '#404040' -draw 'rectangle 1,2 14,14'
  -fill '#E03030' -stroke '#404040' -draw 'rectangle 1,2 14,5'
  -stroke none -fill '#A0A0A0' -draw 'rectangle 3,9 12,9' -draw 'rectangle 7,7 7,13'
  -fill '#FF9900' -draw 'rectangle 3,7 5,8'
  -fill '#009933' -draw 'rectangle 9,7 12,8' -draw 'rectangle 3,10 5,12'
  -fill '#E03030' -draw 'rectangle 9,10 12,12'
  -fill '#404040' -draw 'rectangle 4,1 4,3' -draw 'rectangle 11,1 11,3'
)

render() {  # size output draw-arguments...
  local size=$1 out=$2
  shift 2
  convert -size "${size}x${size}" xc:none +antialias -strokewidth 1 "$@" \
    -colors 16 -define png:bit-depth=4 -define png:color-type=3 \
    -define png:exclude-chunks=date,time +set date:create +set date:modify "PNG8:$out"
}
render 32 plqcalc-32.png "${draw32[@]}"
render 16 plqcalc-16.png "${draw16[@]}"
convert plqcalc-32.png plqcalc-16.png -colors 16 plqcalc.ico
identify plqcalc-32.png plqcalc-16.png plqcalc.ico
