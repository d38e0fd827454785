#!/bin/sh
# Makes the title banner (845x573 JPEG; the launcher shows its top-left 297x113 pixels at 96 DPI) and the
# application icon. Needs ImageMagick 6 and the DejaVu fonts. The outputs are committed; run this only to change them.
set -e
cd "$(dirname "$0")"

convert -size 845x573 gradient:'#1d2b53'-'#7e2553' \
    \( -size 845x573 xc:none -fill '#ffffff18' -draw 'circle 700,120 700,420' -draw 'circle 120,520 120,640' \) \
    -composite \
    -fill '#ffcc00' -draw 'rectangle 14,86 283,90' \
    -font DejaVu-Serif-Bold -pointsize 44 -fill '#00000080' -annotate +17+53 'Halvoren' \
    -fill '#fff1e8' -annotate +14+50 'Halvoren' \
    -font DejaVu-Sans-Bold -pointsize 22 -fill '#ffcc00' -annotate +176+80 '12 QX' \
    -font DejaVu-Sans -pointsize 28 -fill '#fff1e860' -annotate +330+300 'Halvoren 12 QX' \
    -strip -sampling-factor 4:2:0 -quality 82 banner.jpg

convert -size 256x256 xc:none -fill '#1d2b53' -draw 'roundrectangle 8,8 247,247 40,40' \
    -fill '#ffcc00' -draw 'rectangle 40,190 215,200' \
    -font DejaVu-Sans-Bold -pointsize 110 -fill '#fff1e8' -gravity center -annotate +0-10 'QX' \
    -define icon:auto-resize=48,32,16 app.ico
