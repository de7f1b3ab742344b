#!/usr/bin/env python3
"""Writes test pictures straight from the formats' byte layouts (Python's zlib and struct only),
so that they are made independently of the program's own codecs and can be large without a
large file in the tree.

    make-pictures.py png FILE WIDTH HEIGHT R G B
        an opaque RGB PNG of one colour (a picture of 16384 x 16384 is about 0.8 MB)
    make-pictures.py gif FILE SCREEN_WIDTH SCREEN_HEIGHT FRAMES
        a GIF89a whose logical screen is SCREEN_WIDTH x SCREEN_HEIGHT and whose FRAMES frames
        are each one red pixel at a different place (23 bytes a frame)
"""
import struct
import sys
import zlib


def png(path, width, height, colour):
    def chunk(kind, data):
        crc = zlib.crc32(kind + data) & 0xFFFFFFFF
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)

    compressor = zlib.compressobj(9)
    row = b"\0" + bytes(colour) * width  # filter type 0, then the pixels
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        data = bytearray()
        for _ in range(height):
            data += compressor.compress(row)
        data += compressor.flush()
        out.write(chunk(b"IDAT", bytes(data)))
        out.write(chunk(b"IEND", b""))


def gif(path, width, height, frames):
    # Header, logical screen with a global table of two colours (red, blue).
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", width, height, 0x80, 0, 0) + bytes([255, 0, 0, 0, 0, 255])
    for i in range(frames):
        x, y = (i * 37) % width, (i * 53) % height
        out += b"\x21\xf9\x04\x00\x01\x00\x00\x00"  # graphic control: 1/100 s
        out += b"\x2c" + struct.pack("<HHHHB", x, y, 1, 1, 0)
        # Minimum code size 2; the 3-bit codes clear (4), pixel 0, end (5), low bits first.
        out += b"\x02\x02\x04\x01\x00"
    out += b"\x3b"
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    kind, target = sys.argv[1], sys.argv[2]
    numbers = [int(a) for a in sys.argv[3:]]
    if kind == "png":
        png(target, numbers[0], numbers[1], numbers[2:5])
    elif kind == "gif":
        gif(target, numbers[0], numbers[1], numbers[2])
    else:
        sys.exit("make-pictures.py: png or gif")
