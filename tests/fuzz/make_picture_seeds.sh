#!/usr/bin/env bash
# Writes the seed files of the picture fuzz targets into tests/fuzz/seeds/<target>/: small
# pictures of every kind the readers take, made by ImageMagick and by the record-layout
# scripts of the picture tests. The files are kept in the tree so that the fuzz runs of CI
# start from the same bytes on every machine; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")"
seeds="$PWD/seeds"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
rm -rf "$seeds"
mkdir -p "$seeds"/{png,gif,tiff,tga,readers,format_readers,decoders,ico,picture,dib,bitmap64,convert}

# A small picture with colours, a gradient and see-through corners.
img="$work/base.png"
convert -size 12x8 gradient:orange-navy -fill lime -draw 'rectangle 2,1 5,4' \
  \( -size 12x8 xc:white -fill black -draw 'point 0,0' -draw 'point 11,7' \) \
  -alpha off -compose CopyOpacity -composite "$img"
opaque() { convert "$img" -background white -alpha remove -alpha off "$@"; }

# The PNG object and the family reader: every colour type, depth and interlacing.
opaque -colorspace gray -depth 1 "$seeds/png/grey1.png"
opaque -colorspace gray -depth 4 "$seeds/png/grey4.png"
opaque -colorspace gray -depth 16 "$seeds/png/grey16.png"
opaque -colors 6 "png8:$seeds/png/palette.png"
convert "$img" -colors 6 "png8:$seeds/png/palette-trns.png"
opaque "png24:$seeds/png/rgb.png"
convert "$img" "png32:$seeds/png/rgba.png"
convert "$img" -depth 16 "png64:$seeds/png/rgba16.png"
convert "$img" -colorspace gray "png:$seeds/png/greyalpha.png"
opaque -interlace PNG "png24:$seeds/png/interlaced.png"

# GIF: one frame, a transparent one, an interlaced one, and two frames with a loop.
opaque "$seeds/gif/plain.gif"
convert "$img" "$seeds/gif/transparent.gif"
opaque -interlace GIF "$seeds/gif/interlaced.gif"
convert -delay 10 -loop 0 "$img" \( "$img" -negate \) "$seeds/gif/animated.gif"

# TIFF: compressions, depths, schemes, tiles and planes; and an EPS with a TIFF preview.
for spec in "none:-compress none" "packbits:-compress RLE" "zip:-compress Zip" \
  "zip-pred:-compress Zip -define tiff:predictor=2" "jpeg:-compress JPEG" \
  "fax:-monochrome -compress Fax" "g4:-monochrome -compress Group4" \
  "grey4:-colorspace gray -depth 4 -compress none" "mm16:-depth 16 -endian MSB -compress none" \
  "palette:-type Palette -compress none" "cmyk:-colorspace CMYK -compress none" \
  "lab:-colorspace Lab -compress none" "ycbcr:-colorspace YCbCr -compress none" \
  "tiled:-define tiff:tile-geometry=16x16 -compress Zip" "planar:-interlace plane -compress none" \
  "rgba:-compress Zip"; do
  name="${spec%%:*}"
  # shellcheck disable=SC2086
  if [[ "$name" == rgba ]]; then convert "$img" ${spec#*:} "$seeds/tiff/$name.tif"; else opaque ${spec#*:} "$seeds/tiff/$name.tif"; fi
done
opaque "ept2:$seeds/tiff/preview.eps"

# Targa: true colour, run-length, mapped, grey and 32 bits.
opaque -compress none "$seeds/tga/rgb.tga"
opaque -compress RLE "$seeds/tga/rle.tga"
opaque -colors 6 -type Palette "$seeds/tga/mapped.tga"
opaque -colorspace gray "$seeds/tga/grey.tga"
convert "$img" "$seeds/tga/rgba.tga"

# The fuzz targets that pick a reader by their first byte get it put before the file.
prefix() { { printf "\\x$(printf %02x "$1")"; cat "$2"; } > "$3"; }
python3 ../pictures/pcx_sgi_rla.py "$work/scripted" >/dev/null
opaque -compress RLE "$work/rle.pcx"
opaque -colors 6 -type Palette "$work/palette.pcx"
opaque -monochrome "$work/mono.pcx"
opaque "$work/raw.sgi"
opaque -compress RLE "$work/rle.sgi"
prefix 0 "$work/rle.pcx" "$seeds/readers/pcx-rgb"
prefix 0 "$work/palette.pcx" "$seeds/readers/pcx-palette"
prefix 0 "$work/mono.pcx" "$seeds/readers/pcx-mono"
prefix 1 "$work/scripted/palette.cut" "$seeds/readers/cut"
prefix 2 "$work/raw.sgi" "$seeds/readers/sgi-raw"
prefix 2 "$work/rle.sgi" "$seeds/readers/sgi-rle"
prefix 3 "$work/scripted/picture.pic" "$seeds/readers/autodesk"
prefix 4 "$work/scripted/matte.rla" "$seeds/readers/rla-matte"
prefix 4 "$work/scripted/tenbit.rla" "$seeds/readers/rla-tenbit"

mkdir -p "$work/psp" && python3 ../pictures/psp_files.py "$work/psp" >/dev/null
opaque "$work/rgb.psd"
opaque -colorspace gray "$work/grey.psd"
prefix 0 "$work/rgb.psd" "$seeds/format_readers/psd-rgb"
prefix 0 "$work/grey.psd" "$seeds/format_readers/psd-grey"
for f in "$work"/psp/*.psp; do
  case "$(basename "$f")" in rgb_v3_c0.psp|pal8_v4_c1.psp|rgba_v4_c2.psp|grey_v4_c2.psp|pal1_v3_c0.psp) prefix 1 "$f" "$seeds/format_readers/psp-$(basename "$f" .psp)" ;; esac
done
opaque -compress none "$work/plain.ppm"
opaque "$work/raw.ppm"
opaque -colorspace gray "$work/raw.pgm"
opaque -monochrome "$work/raw.pbm"
opaque "$work/map.pam"
for f in plain.ppm raw.ppm raw.pgm raw.pbm map.pam; do prefix 3 "$work/$f" "$seeds/format_readers/map-${f/./-}"; done
prefix 4 "$seeds/png/rgba.png" "$seeds/format_readers/png-rgba"
prefix 4 "$seeds/png/interlaced.png" "$seeds/format_readers/png-interlaced"
prefix 4 "$seeds/png/palette-trns.png" "$seeds/format_readers/png-palette"

# Icons of several depths and sizes.
convert "$img" -resize '16x16!' "$seeds/ico/rgba.ico"
opaque -resize '16x16!' -colors 16 "$seeds/ico/sixteen.ico"
opaque -resize '16x16!' -monochrome "$seeds/ico/mono.ico"

# The bitmap's BMP reader, the JPEG picture, the DIB reader and the memory bitmap.
opaque "bmp3:$seeds/picture/rgb.bmp"
opaque -colors 6 -compress RLE "bmp3:$seeds/picture/rle8.bmp"
opaque -quality 80 "$seeds/picture/photo.jpg"
opaque -interlace JPEG "$seeds/picture/progressive.jpg"
cp "$seeds/picture/"*.bmp "$seeds/dib/"
opaque -colors 16 "bmp3:$seeds/dib/sixteen.bmp"
convert "$img" "bmp:$seeds/dib/rgba.bmp"
cp "$seeds/picture/rgb.bmp" "$seeds/tga/rgb.tga" "$seeds/tga/rle.tga" "$seeds/bitmap64/"

# The decoders and the colour manager read their parameters from the input's first bytes:
# plain patterns are enough to start from.
for i in 0 1 2 3 4 5 6 7 8 9 10 11; do
  { printf "\\x$(printf %02x "$i")\\x40\\x00\\x00\\x01\\x00\\x01"; head -c 96 "$seeds/tiff/zip.tif"; } > "$seeds/decoders/kind$i"
done
printf 'conversion seed' > "$seeds/convert/text"
head -c 200 "$seeds/png/rgb.png" > "$seeds/convert/bytes"
echo "seeds written to $seeds"
