"""TGA and Sun raster layouts the common writers do not make: origins at the right, 16-bit TGA
pixels, 8-bit Sun rasters without a colour map and 32-bit ones in the standard (blue first)
order, and an indexed PSD (raw data). Written from the netpbm pictures with struct; the references come from the same pixels
(TGA) or from ImageMagick (Sun raster)."""
import struct


def read_pnm(path):
    data = open(path, 'rb').read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    channels = {b'P6': 3, b'P5': 1}[fields[0]]
    w, h = int(fields[1]), int(fields[2])
    raw = data[pos + 1:pos + 1 + w * h * channels]
    return w, h, [[tuple(raw[(y * w + x) * channels:(y * w + x + 1) * channels])
                   for x in range(w)] for y in range(h)]


def write_ppm(path, w, h, rows):
    body = b''.join(bytes(c for p in row for c in p) for row in rows)
    open(path, 'wb').write(b'P6\n%d %d\n255\n' % (w, h) + body)


def tga(path, w, h, depth, descriptor, rows):
    header = struct.pack('<BBBHHBHHHHBB', 0, 0, 2, 0, 0, 0, 0, 0, w, h, depth, descriptor)
    open(path, 'wb').write(header + b''.join(rows))


w, h, px = read_pnm('base.ppm')
bgr = [[bytes((p[2], p[1], p[0])) for p in row] for row in px]
# Origin at the top right: rows top first, each stored from its right end.
tga('tga_topright.tga', w, h, 24, 0x30, [b''.join(reversed(r)) for r in bgr])
# Origin at the bottom right.
tga('tga_botright.tga', w, h, 24, 0x10, [b''.join(reversed(r)) for r in reversed(bgr)])
write_ppm('tga_right.ref.ppm', w, h, px)

# 16-bit pixels, 5 bits a channel, bit 15 set; the reference widens c to c * 8 + c // 4.
rows16, ref16 = [], []
for row in reversed(px):
    words = [((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3) | 0x8000) for r, g, b in row]
    rows16.append(b''.join(struct.pack('<H', v) for v in words))
for row in px:
    ref16.append([tuple((c >> 3) * 8 + (c >> 3) // 4 for c in p) for p in row])
tga('tga16.tga', w, h, 16, 0, rows16)
write_ppm('tga16.ref.ppm', w, h, ref16)


def ras(path, w, h, depth, kind, lines):
    data = b''.join(line + b'\0' * (len(line) % 2) for line in lines)
    header = struct.pack('>8I', 0x59A66A95, w, h, depth, len(data), kind, 0, 0)
    open(path, 'wb').write(header + data)


# 8 bits without a colour map: grey levels.
gw, gh, grey = read_pnm('base.pgm')
ras('ras_grey8.ras', gw, gh, 8, 1, [bytes(p[0] for p in row) for row in grey])
# 32 bits in the standard order: a padding or alpha byte, then blue, green and red.
_, _, alpha = read_pnm('alpha.pgm')
ras('ras32.ras', w, h, 32, 1,
    [bytes(c for x, p in enumerate(row) for c in (alpha[y][x][0], p[2], p[1], p[0]))
     for y, row in enumerate(px)])

# An indexed PSD of the quantised picture: 256 red, 256 green and 256 blue bytes, raw indices.
qw, qh, quant = read_pnm('q200.ppm')
colours = sorted(set(p for row in quant for p in row))
index = {c: i for i, c in enumerate(colours)}
table = colours + [(0, 0, 0)] * (256 - len(colours))
psd = b'8BPS' + struct.pack('>H6xHIIHH', 1, 1, qh, qw, 8, 2)
psd += struct.pack('>I', 768) + bytes(c[0] for c in table) + bytes(c[1] for c in table)
psd += bytes(c[2] for c in table) + struct.pack('>IIH', 0, 0, 0)
psd += b''.join(bytes(index[p] for p in row) for row in quant)
open('psd_indexed.psd', 'wb').write(psd)
write_ppm('psd_indexed.ref.ppm', qw, qh, quant)
