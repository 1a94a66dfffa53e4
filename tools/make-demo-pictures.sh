#!/bin/sh
# Regenerates the pictures of the demo data folder (app/demo): the three background tiles that the
# question preview puts behind its table cells (bg1.gif question, bg2.gif correct answer, bg3.gif other
# answers) and three sample question pictures. The generated files are committed, so running this is
# only needed after changing it.
#
# Needs ImageMagick 6 (`convert`, Debian package imagemagick) and the DejaVu fonts (fonts-dejavu-core).
# Output is reproducible: fixed noise seeds, no time stamps or comments in the files.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/../app/demo"}
CONVERT=${CONVERT:-convert}
FONT=${FONT:-/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf}
FONTB=${FONTB:-/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf}

if ! "$CONVERT" -version 2>/dev/null | grep -q ImageMagick; then
    echo "make-demo-pictures: ImageMagick's convert is missing (apt-get install imagemagick)" >&2
    exit 1
fi
for f in "$FONT" "$FONTB"; do
    if [ ! -f "$f" ]; then
        echo "make-demo-pictures: font $f is missing (apt-get install fonts-dejavu-core)" >&2
        exit 1
    fi
done
mkdir -p "$out"

# Options that keep the written files free of dates and other varying metadata.
clean="-strip +set date:create +set date:modify -define png:exclude-chunks=date,time"

# Background tile: a pale colour with faint, blurred noise. The blur wraps around the edges
# (virtual pixel "tile"), so the 64 x 64 tile repeats without visible seams.
tile() { # name colour seed
    # shellcheck disable=SC2086
    "$CONVERT" -size 64x64 xc:"$2" \
        \( -size 64x64 xc:gray50 -seed "$3" +noise Random -colorspace Gray \
           -virtual-pixel tile -blur 0x1.5 -auto-level +level 44%,56% \) \
        -compose Overlay -composite -dither None -colors 16 $clean "$out/$1"
}
tile bg1.gif '#dcebfa' 11   # soft light blue
tile bg2.gif '#dcf3dc' 12   # light green
tile bg3.gif '#fff6dc' 13   # light cream

# p1.png: a right triangle ABC with the right angle at C, legs 3 cm and 4 cm, hypotenuse unknown.
# shellcheck disable=SC2086
"$CONVERT" -size 320x220 xc:white -stroke '#1a1a1a' -strokewidth 2 -fill none \
    -draw "polygon 60,180 260,180 60,40" \
    -strokewidth 1.5 -draw "polyline 60,164 76,164 76,180" \
    -stroke none -fill '#1a1a1a' -font "$FONTB" -pointsize 20 \
    -draw "text 36,200 'C'" -draw "text 266,200 'B'" -draw "text 40,40 'A'" \
    -font "$FONT" -pointsize 18 \
    -draw "text 14,118 '3 см'" -draw "text 136,206 '4 см'" -fill '#c62828' -font "$FONTB" -pointsize 22 -draw "text 164,102 '?'" \
    -type Palette $clean "$out/p1.png"

# p2.jpg: a clock face showing 4:45 (hour hand three quarters of the way from 4 to 5).
cx=120 cy=120
draw=$(awk -v cx=$cx -v cy=$cy 'BEGIN {
    pi = atan2(0, -1)
    for (i = 0; i < 60; i++) {            # minute and hour ticks
        a = i * pi / 30; r1 = (i % 5 == 0) ? 88 : 94
        printf "line %.1f,%.1f %.1f,%.1f ", cx + r1 * sin(a), cy - r1 * cos(a), cx + 100 * sin(a), cy - 100 * cos(a)
    }
}')
nums=$(awk -v cx=$cx -v cy=$cy 'BEGIN {
    pi = atan2(0, -1)
    for (h = 1; h <= 12; h++) {            # numerals, centred on their anchor by rough glyph width
        a = h * pi / 6; w = (h >= 10) ? 12 : 6
        printf "text %.0f,%.0f \x27%d\x27 ", cx + 72 * sin(a) - w, cy - 72 * cos(a) + 7, h
    }
}')
hands=$(awk -v cx=$cx -v cy=$cy 'BEGIN {
    pi = atan2(0, -1)
    ah = (4 + 45 / 60) * pi / 6; am = 45 * pi / 30
    printf "H %.1f %.1f M %.1f %.1f", cx + 42 * sin(ah), cy - 42 * cos(ah), cx + 62 * sin(am), cy - 62 * cos(am)
}')
# Split "H x y M x y" into positional parameters: the hour hand ends at $2,$3, the minute hand at $5,$6.
# shellcheck disable=SC2086
set -- $hands
# shellcheck disable=SC2086
"$CONVERT" -size 240x240 xc:'#f4f1ea' \
    -fill '#fffdf5' -stroke '#5a4632' -strokewidth 6 -draw "circle $cx,$cy $cx,12" \
    -stroke '#333333' -strokewidth 1.5 -draw "$draw" \
    -stroke none -fill '#222222' -font "$FONT" -pointsize 18 -draw "$nums" \
    -stroke '#222222' -strokewidth 7 -draw "line $cx,$cy $2,$3" \
    -stroke '#222222' -strokewidth 4 -draw "line $cx,$cy $5,$6" \
    -stroke none -fill '#c62828' -draw "circle $cx,$cy $((cx + 6)),$cy" \
    -quality 88 -sampling-factor 2x2 $clean "$out/p2.jpg"

# p3.png: a circle cut into eight equal parts, three of them shaded (the answer is 3/8).
pie=$(awk 'BEGIN {
    pi = atan2(0, -1); cx = 110; cy = 110; r = 90
    for (i = 0; i < 8; i++) {
        a0 = i * pi / 4; a1 = (i + 1) * pi / 4
        fill = (i < 3) ? "#4a90d9" : "#ffffff"
        printf "fill %s path \x27M %d,%d L %.2f,%.2f A %d,%d 0 0,1 %.2f,%.2f Z\x27 ", fill, cx, cy,
            cx + r * sin(a0), cy - r * cos(a0), r, r, cx + r * sin(a1), cy - r * cos(a1)
    }
}')
# shellcheck disable=SC2086
"$CONVERT" -size 220x220 xc:white -stroke '#1f3a5a' -strokewidth 2 -draw "$pie" \
    -type Palette $clean "$out/p3.png"

ls -l "$out"
