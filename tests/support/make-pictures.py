#!/usr/bin/env python3
"""Writes test pictures straight from the formats' byte layouts (Python's zlib and struct only),
so that they are made independently of the program's own codecs and can be large without a
large file in the tree.

    make-pictures.py png FILE WIDTH HEIGHT R G B
        an opaque RGB PNG of one colour (a picture of 16384 x 16384 is about 0.8 MB)
    make-pictures.py photo FILE WIDTH HEIGHT R G B
        an opaque RGB PNG standing in for a photograph: the colour darkening from top to bottom,
        with noise of +-32 in every channel, compressed at zlib's fastest level (the size and the
        spread of values of a photograph's PNG, about 2.4 bytes a pixel, made in seconds)
    make-pictures.py gif FILE SCREEN_WIDTH SCREEN_HEIGHT FRAMES
        a GIF89a whose logical screen is SCREEN_WIDTH x SCREEN_HEIGHT and whose FRAMES frames
        are each one red pixel at a different place (23 bytes a frame)
"""
import os
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


def photo(path, width, height, colour):
    def chunk(kind, data):
        crc = zlib.crc32(kind + data) & 0xFFFFFFFF
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)

    compressor = zlib.compressobj(1)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(struct.pack(">I", 0))  # the IDAT length, written when known
        start = out.tell()
        out.write(b"IDAT")
        crc = zlib.crc32(b"IDAT")
        # Each random byte becomes base + (byte % 65) - 32, kept within 0-255.
        tables = [bytes(max(0, min(255, base + b % 65 - 32)) for b in range(256))
                  for base in range(256)]
        row = bytearray(1 + width * 3)  # filter type 0, then the pixels
        for y in range(height):
            noise = os.urandom(width * 3)
            for channel in range(3):
                base = colour[channel] * (height - y // 2) // height
                row[1 + channel::3] = noise[channel::3].translate(tables[base])
            data = compressor.compress(bytes(row))
            out.write(data)
            crc = zlib.crc32(data, crc)
        data = compressor.flush()
        out.write(data)
        crc = zlib.crc32(data, crc)
        end = out.tell()
        out.write(struct.pack(">I", crc & 0xFFFFFFFF))
        out.write(chunk(b"IEND", b""))
        out.seek(start - 4)
        out.write(struct.pack(">I", end - start - 4))


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
    elif kind == "photo":
        photo(target, numbers[0], numbers[1], numbers[2:5])
    elif kind == "gif":
        gif(target, numbers[0], numbers[1], numbers[2])
    else:
        sys.exit("make-pictures.py: png, photo or gif")
