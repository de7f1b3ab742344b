#!/usr/bin/env bash
# Makes the image fixtures of the codec tests with independent tools (ImageMagick, netpbm,
# Python) and the reference pixels the tests compare with. Run from this folder; the outputs are
# committed, so the tests do not need the tools.
set -euo pipefail
IM=/usr/bin/convert
export MAGICK_TIME_LIMIT=60

# The picture: 37 x 23 (odd, so that rows need padding), colourful, deterministic.
$IM -size 37x23 -seed 7 plasma:fractal -depth 8 -type TrueColor PNG24:base.png
# The same with an alpha gradient.
$IM base.png \( -size 23x37 gradient:white-black -rotate 90 \) -alpha off -compose CopyOpacity \
    -composite -depth 8 PNG32:alpha.png

ref() { $IM "$1" -depth 8 -strip "ppm:$2"; }
refa() { $IM "$1" -depth 8 -strip "pam:$2"; }

# BMP: ImageMagick and netpbm writers.
$IM base.png -type TrueColor BMP3:bmp24.bmp
$IM base.png -colors 200 -type Palette -compress RLE BMP3:rle8.bmp
$IM base.png -type TrueColor BMP2:os2_24.bmp
$IM base.png -define bmp:subtype=RGB565 BMP:bmp16_565.bmp
$IM base.png -define bmp:subtype=RGB555 BMP:bmp16_555.bmp
$IM alpha.png -define bmp:subtype=ARGB1555 BMP:bmp16_1555.bmp
$IM alpha.png BMP:bmp32_alpha.bmp
pngtopnm base.png >base.ppm
pnmquant 16 base.ppm 2>/dev/null >q16.ppm
pnmquant 200 base.ppm 2>/dev/null >q200.ppm
ppmtobmp -bpp 4 q16.ppm 2>/dev/null >bmp4.bmp
ppmtobmp -bpp 8 q200.ppm 2>/dev/null >bmp8.bmp
ppmtopgm base.ppm | pgmtopbm -threshold >base.pbm
ppmtobmp -bpp 1 base.pbm 2>/dev/null >bmp1.bmp
ppmtobmp -os2 -bpp 8 q200.ppm 2>/dev/null >os2_8.bmp
python3 make_bmp_fixtures.py
for f in bmp24 rle8 os2_24 bmp16_565 bmp16_555 bmp4 bmp8 bmp1 os2_8 topdown24 bf16_40 bf32_40 \
    rle4; do ref $f.bmp $f.ref.ppm; done
for f in bmp16_1555 bmp32_alpha; do refa $f.bmp $f.ref.pam; done

# PNM: netpbm writers, text and raw, with several maxvals.
ppmtopgm base.ppm >p5.pgm
pnmtoplainpnm base.ppm >p3.ppm
pnmtoplainpnm p5.pgm >p2.pgm
pnmtoplainpnm base.pbm >p1.pbm
cp base.pbm p4.pbm
cp base.ppm p6.ppm
pamdepth 1000 base.ppm >p6_1000.ppm
pamdepth 1000 p5.pgm >p5_1000.pgm
pamdepth 15 base.ppm | pnmtoplainpnm >p3_15.ppm
for f in p1.pbm p2.pgm p3.ppm p4.pbm p5.pgm p6.ppm p6_1000.ppm p5_1000.pgm p3_15.ppm; do
    $IM "$f" -depth 8 -strip "ppm:${f%.*}.ref.ppm"
done

# The platform formats.
$IM base.png -depth 16 PNG48:png16.png
ref png16.png png16.ref.ppm
$IM base.png -interlace PNG -type Palette PNG8:palette.png
ref palette.png palette.ref.ppm
$IM alpha.png -density 150 -units PixelsPerInch PNG32:alpha150.png
refa alpha150.png alpha150.ref.pam
$IM base.png -quality 95 -density 300 -units PixelsPerInch rgb300.jpg
ref rgb300.jpg rgb300.ref.ppm
$IM base.png -colorspace CMYK -quality 95 cmyk.jpg
$IM cmyk.jpg -colorspace sRGB -depth 8 -strip ppm:cmyk.ref.ppm
$IM base.png -colorspace Gray -quality 95 grey.jpg
ref grey.jpg grey.jpg.ref.ppm
$IM base.png -colors 16 -type Palette -density 72 -units PixelsPerInch palette.tif
ref palette.tif palette.tif.ref.ppm
$IM alpha.png -compress LZW -density 200 -units PixelsPerInch rgba.tif
refa rgba.tif rgba.tif.ref.pam
$IM base.png -colorspace Gray -quality 100 grey.jp2
$IM grey.jp2 -depth 8 -strip ppm:grey.jp2.ref.ppm
$IM base.png -quality 100 rgb.jp2
ref rgb.jp2 rgb.jp2.ref.ppm
$IM -delay 10 base.png \( base.png -negate \) -loop 0 anim.gif
$IM 'anim.gif[0]' -depth 8 -strip ppm:anim.ref.ppm
$IM base.png -orient RightTop -compress None orient6.tif
python3 make_dng_fixture.py

# PCX: netpbm and ImageMagick writers, 1, 8 (paletted) and 24 bits.
ppmtopcx base.pbm >pcx1.pcx 2>/dev/null
ppmtopcx -8bit q200.ppm >pcx8.pcx 2>/dev/null
ppmtopcx base.ppm >pcx24.pcx 2>/dev/null
$IM base.png PCX:pcx24_im.pcx
$IM base.png -colors 200 -type Palette PCX:pcx8_im.pcx
for f in pcx8 pcx24 pcx24_im pcx8_im; do ref $f.pcx $f.ref.ppm; done
# ImageMagick turns the 1-bit file's colours round (its top row is white, as in base.pbm).
pcxtoppm pcx1.pcx >pcx1.ref.ppm

# TGA: netpbm writes run-length files with the origin at the bottom left, ImageMagick plain
# ones at either origin; the right-hand origins and 16-bit pixels are made by Python.
ppmtotga -cmap q200.ppm >tga_cmap_rle.tga 2>/dev/null
ppmtotga -mono p5.pgm >tga_grey_rle.tga 2>/dev/null
ppmtotga -rgb base.ppm >tga_rgb_rle.tga 2>/dev/null
ppmtotga -rgb -norle base.ppm >tga_rgb.tga 2>/dev/null
$IM base.png TGA:tga_im.tga
$IM base.png -orient TopLeft TGA:tga_im_topleft.tga
$IM base.png -compress RLE TGA:tga_im_rle.tga
$IM base.png -colorspace Gray TGA:tga_im_grey.tga
$IM base.png -colors 200 -type Palette TGA:tga_im_cmap.tga
$IM alpha.png TGA:tga_im_alpha.tga
# ImageMagick keeps TGA rows in stored order and the origin as an orientation tag, so its
# references are auto-oriented (netpbm's tgatoppm gives the same pixels). Its plain writer
# stores the top row first but marks the origin at the bottom left: those files read upside down.
for f in tga_cmap_rle tga_grey_rle tga_rgb_rle tga_rgb tga_im tga_im_topleft tga_im_rle \
    tga_im_grey tga_im_cmap; do $IM $f.tga -auto-orient -depth 8 -strip ppm:$f.ref.ppm; done
$IM tga_im_alpha.tga -auto-orient -depth 8 -strip pam:tga_im_alpha.ref.pam

# Sun raster: netpbm (run-length for 1 and 8 bits, standard for 24), ImageMagick (RGB order for
# 24 and 32 bits, a colour map for 8); Python for grey without a map and 32-bit standard order,
# and an indexed PSD.
pnmtorast base.pbm >ras1_rle.ras
pnmtorast -standard base.pbm >ras1.ras
pnmtorast q200.ppm >ras8_rle.ras 2>/dev/null
pnmtorast -standard q200.ppm >ras8.ras 2>/dev/null
pnmtorast -standard base.ppm >ras24.ras 2>/dev/null
$IM base.png SUN:ras24_rgb.ras
$IM base.png -colors 200 -type Palette SUN:ras8_im.ras
$IM alpha.png SUN:ras32_rgb.ras
$IM alpha.png -alpha extract -depth 8 pgm:alpha.pgm
ppmtopgm base.ppm >base.pgm
python3 make_raster_fixtures.py
for f in ras1 ras8 ras24 ras24_rgb ras8_im ras_grey8; do ref $f.ras $f.ref.ppm; done
# ImageMagick goes wrong on the last line of the run-length 8-bit file; netpbm reads it as the
# standard one.
for f in ras1_rle ras8_rle; do rasttopnm $f.ras 2>/dev/null | $IM - -depth 8 -strip ppm:$f.ref.ppm; done
for f in ras32_rgb ras32; do refa $f.ras $f.ref.pam; done

# WBMP: netpbm's writer.
pbmtowbmp base.pbm >wbmp.wbmp
ref wbmp.wbmp wbmp.ref.ppm

# PSD: ImageMagick's writer, compared with its own reading of the merged image (it does not
# read back the indexed files it writes: that one is made by Python from the quantised picture).
$IM base.png PSD:psd_rgb.psd
$IM base.png -compress None PSD:psd_rgb_raw.psd
$IM base.png -depth 16 PSD:psd_rgb16.psd
$IM alpha.png PSD:psd_rgba.psd
$IM base.png -colorspace Gray PSD:psd_grey.psd
$IM base.png -colorspace Gray -depth 16 PSD:psd_grey16.psd
$IM alpha.png -colorspace Gray PSD:psd_grey_alpha.psd
$IM base.png -colorspace CMYK PSD:psd_cmyk.psd
$IM base.png -colorspace CMYK -depth 16 PSD:psd_cmyk16.psd
for f in psd_rgb psd_rgb16 psd_grey psd_grey16 psd_cmyk psd_cmyk16; do
    $IM "$f.psd[0]" -colorspace sRGB -depth 8 -strip "ppm:$f.ref.ppm"
done
# Its own reading of the merged image of a file with alpha changes the colours of partly
# transparent pixels; those files are compared with the pictures they were made from.
$IM alpha.png -depth 8 -strip pam:psd_rgba.ref.pam
$IM alpha.png -colorspace Gray -depth 8 -strip pam:psd_grey_alpha.ref.pam
rm -f base.ppm q16.ppm q200.ppm base.pbm base.pgm alpha.pgm
