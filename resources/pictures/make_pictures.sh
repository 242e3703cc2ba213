#!/bin/sh
# Draws the built-in pictures of the visualiser, the splash window and the controls into this
# folder.
#
# pictures.py draws every picture; ImageMagick stores the small pixel-art figures as 24-bit BMP
# and the moon, the penguins and the logo as GIF. The glowing sprites, the flare and the
# landscape are written as JPEG by pictures.py itself (jpeg.py), so that the black a colour key
# matches survives compression exactly.
# Run it again after changing pictures.py and commit the pictures with the script.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if command -v magick >/dev/null 2>&1; then
    im="magick"
else
    im="convert"
fi

python3 -B "$here/pictures.py" "$work"

for name in B01 B02 B03 B04 B05; do
    $im "$work/$name.ppm" -strip -type TrueColor "BMP3:$here/$name.bmp"
done

# The controls' glyphs, 24-bit BMP like the figures.
for name in FlatUp FlatDown FONTTRUETYPEANSI FONTTRUETYPESYMBOL FONTRASTER PREVIEWGLYPH; do
    $im "$work/$name.ppm" -strip -type TrueColor "BMP3:$here/$name.bmp"
done

# The JPEG pictures come finished from pictures.py (see jpeg.py: black stays exact black).
for name in D01 D02 D03 D04 D05 D06 J01 J02; do
    cp "$work/$name.jpg" "$here/$name.jpg"
done

# GIF keeps 256 colours: no dithering, so that the black background stays one exact colour.
gif() {
    $im "$1" -strip -dither None -colors 255 "GIF:$2"
}

gif "$work/G01.ppm" "$here/G01.gif"
gif "$work/G02.ppm" "$here/G02.gif"

# The logo: the program's name across the tambourine, gold with a dark brown rim and shadow.
font=DejaVu-Sans-Condensed-Bold
$im "$work/G03-emblem.ppm" -font "$font" -pointsize 15 -gravity center \
    -fill '#50200a' -stroke '#50200a' -strokewidth 3 -annotate +1+2 Tambourelle \
    -fill '#7a3a10' -stroke '#7a3a10' -strokewidth 2 -annotate +0+0 Tambourelle \
    -stroke none -fill '#ffe070' -annotate +0+0 Tambourelle \
    -fill '#fff8d0' -annotate +0-1 Tambourelle \
    -fill '#ffd040' -annotate +0+0 Tambourelle \
    "$work/G03.ppm"
gif "$work/G03.ppm" "$here/G03.gif"
