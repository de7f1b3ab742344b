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
    make-pictures.py ztxt FILE WIDTH HEIGHT CHUNKS BYTES
        a grey RGB PNG with CHUNKS compressed text chunks (zTXt) before its pixels, each of
        which inflates to BYTES bytes (about a thousandth of that in the file), and a
        resolution of 300 dpi after them
    make-pictures.py progressive-jpeg FILE WIDTH HEIGHT BANDS
        a legal progressive grey JPEG of mid-grey: a DC scan, then the AC coefficients in
        BANDS scans of one band each (at most 63), every scan a run of empty blocks; a decoder
        reads every scan over every block before its first row
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


def chunk(kind, data):
    crc = zlib.crc32(kind + data) & 0xFFFFFFFF
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)


def ztxt(path, width, height, chunks, size):
    text = chunk(b"zTXt", b"Comment\0\0" + zlib.compress(b"a" * size, 9))
    row = b"\0" + bytes([128, 128, 128]) * width
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        for _ in range(chunks):
            out.write(text)
        out.write(chunk(b"pHYs", struct.pack(">IIB", 11811, 11811, 1)))
        out.write(chunk(b"IDAT", zlib.compress(row * height, 9)))
        out.write(chunk(b"IEND", b""))


class Bits:
    """Entropy-coded bits of a JPEG scan: high bit first, a 0 stuffed after each 0xFF byte, the
    last byte padded with ones."""

    def __init__(self):
        self.out = bytearray()
        self.value = 0
        self.count = 0

    def put(self, value, count):
        self.value = (self.value << count) | value
        self.count += count
        while self.count >= 8:
            self.count -= 8
            byte = (self.value >> self.count) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)
        self.value &= (1 << self.count) - 1

    def finish(self):
        if self.count:
            self.put((1 << (8 - self.count)) - 1, 8 - self.count)
        return bytes(self.out)


def segment(marker, data):
    return bytes([0xFF, marker]) + struct.pack(">H", len(data) + 2) + data


def progressive_jpeg(path, width, height, bands):
    blocks = ((width + 7) // 8) * ((height + 7) // 8)
    out = bytearray(b"\xff\xd8")
    out += segment(0xDB, b"\x00" + bytes([1] * 64))
    out += segment(0xC2, struct.pack(">BHHB", 8, height, width, 1) + b"\x01\x11\x00")
    # DC table 0: the difference category 0 only (code "0"). AC table 0: the end-of-band runs
    # EOB0 to EOB14 (symbols 0x00 to 0xE0), four bits each; EOBn stands for 2^n blocks and n
    # extra bits more.
    out += segment(0xC4, b"\x00" + bytes([1] + [0] * 15) + b"\x00")
    out += segment(0xC4, b"\x10" + bytes([0, 0, 0, 15] + [0] * 12) + bytes(range(0, 0xF0, 0x10)))
    out += segment(0xDA, b"\x01\x01\x00\x00\x00\x00")
    # One "0" a block: whole bytes of zeros, then the last bits padded.
    out += bytes(blocks // 8)
    if blocks % 8:
        out.append((1 << (8 - blocks % 8)) - 1)
    for band in range(1, bands + 1):
        out += segment(0xDA, b"\x01\x01\x00" + bytes([band, band, 0]))
        bits = Bits()
        left = blocks
        while left > 0:
            run = min(left, (1 << 15) - 1)
            n = run.bit_length() - 1
            bits.put(n, 4)
            bits.put(run - (1 << n), n)
            left -= run
        out += bits.finish()
    out += b"\xff\xd9"
    with open(path, "wb") as f:
        f.write(out)

def photo(path, width, height, colour):
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
    elif kind == "ztxt":
        ztxt(target, numbers[0], numbers[1], numbers[2], numbers[3])
    elif kind == "progressive-jpeg":
        progressive_jpeg(target, numbers[0], numbers[1], numbers[2])
    else:
        sys.exit("make-pictures.py: png, photo, gif, ztxt or progressive-jpeg")
