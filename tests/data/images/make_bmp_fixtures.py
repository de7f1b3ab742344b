"""BMP layouts the common writers do not make: top-down rows, bit fields after a 40-byte header,
RLE4. Written from the netpbm pictures with struct; ImageMagick then makes the reference."""
import struct


def read_ppm(path):
    data = open(path, 'rb').read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b'#':
            while data[pos:pos + 1] != b'\n':
                pos += 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    assert fields[0] == b'P6' and fields[3] == b'255'
    w, h = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:pos + 1 + w * h * 3]
    return w, h, [[tuple(pixels[(y * w + x) * 3:(y * w + x) * 3 + 3]) for x in range(w)]
                  for y in range(h)]


def bmp(name, w, h, bpp, compression, rows, palette=b'', masks=b'', top_down=False):
    header = struct.pack('<IiiHHIIiiII', 40, w, -h if top_down else h, 1, bpp, compression,
                         len(rows), 2835, 2835, len(palette) // 4, 0)
    offset = 14 + len(header) + len(masks) + len(palette)
    data = header + masks + palette + rows
    open(name, 'wb').write(b'BM' + struct.pack('<IHHI', 14 + len(data), 0, 0, offset) + data)


def pad(row):
    return row + b'\0' * (-len(row) % 4)


w, h, px = read_ppm('base.ppm')
order = range(h)  # top row first
bmp('topdown24.bmp', w, h, 24, 0,
    b''.join(pad(b''.join(bytes((b, g, r)) for r, g, b in px[y])) for y in order), top_down=True)

bottom_up = range(h - 1, -1, -1)
rows565 = b''.join(pad(b''.join(struct.pack('<H', (r >> 3) << 11 | (g >> 2) << 5 | b >> 3)
                                for r, g, b in px[y])) for y in bottom_up)
bmp('bf16_40.bmp', w, h, 16, 3, rows565, masks=struct.pack('<III', 0xF800, 0x07E0, 0x001F))
rows32 = b''.join(b''.join(struct.pack('<I', r << 24 | g << 16 | b << 8) for r, g, b in px[y])
                  for y in bottom_up)
bmp('bf32_40.bmp', w, h, 32, 3, rows32,
    masks=struct.pack('<III', 0xFF000000, 0x00FF0000, 0x0000FF00))

# RLE4 from the 16-colour picture: encoded runs where colours repeat, absolute runs elsewhere.
w, h, px = read_ppm('q16.ppm')
colours = sorted({c for row in px for c in row})
assert len(colours) <= 16
index = {c: i for i, c in enumerate(colours)}
palette = b''.join(bytes((b, g, r, 0)) for r, g, b in colours)
out = bytearray()
for y in bottom_up:
    row = [index[c] for c in px[y]]
    x = 0
    while x < w:
        run = 1
        while x + run < w and run < 255 and row[x + run] == row[x]:
            run += 1
        if run >= 2 or w - x < 3:
            n = 1 if run < 2 else run
            out += bytes((n, row[x] << 4 | row[x]))
            x += n
        else:
            n = min(w - x, 20)
            values = row[x:x + n] + [0]
            data = bytes(values[i] << 4 | values[i + 1] for i in range(0, n, 2))
            out += bytes((0, n)) + data + (b'\0' if len(data) % 2 else b'')
            x += n
    out += b'\0\0'
out += b'\0\1'
bmp('rle4.bmp', w, h, 4, 2, bytes(out), palette=palette)
