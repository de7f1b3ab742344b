"""A small linear DNG (32 x 24, 16 bits per sample, three samples per pixel): the left half
red, the right half blue, under a grey neutral. Written with struct in the layout of the
DNG format."""
import struct

W, H = 32, 24
pixels = b''.join(struct.pack('<HHH', *((60000, 0, 0) if x < W // 2 else (0, 0, 60000)))
                  for y in range(H) for x in range(W))

# XYZ (D65) to linear sRGB, as signed rationals in 1/10000.
xyz_to_rgb = [3.2406, -1.5372, -0.4986, -0.9689, 1.8758, 0.0415, 0.0557, -0.2040, 1.0570]

entries = []  # (tag, type, count, value bytes)
def add(tag, typ, values):
    fmt = {1: 'B', 2: 's', 3: 'H', 4: 'I', 5: 'II', 10: 'ii'}[typ]
    if typ == 2:
        data = values.encode() + b'\0'
        count = len(data)
    else:
        data = b''.join(struct.pack('<' + fmt, *(v if isinstance(v, tuple) else (v,)))
                        for v in values)
        count = len(values)
    entries.append((tag, typ, count, data))

header_size = 8
add(254, 4, [0])
add(256, 4, [W])
add(257, 4, [H])
add(258, 3, [16, 16, 16])
add(259, 3, [1])
add(262, 3, [34892])
add(271, 2, 'Vorantel')
add(272, 2, 'Linear Test')
add(273, 4, [0])  # strip offset, patched below
add(274, 3, [1])
add(277, 3, [3])
add(278, 4, [H])
add(279, 4, [len(pixels)])
add(284, 3, [1])
add(50706, 1, [1, 4, 0, 0])
add(50708, 2, 'Vorantel Linear Test')
add(50717, 4, [65535, 65535, 65535])
add(50721, 10, [(int(round(v * 10000)), 10000) for v in xyz_to_rgb])
add(50728, 5, [(1, 1), (1, 1), (1, 1)])
add(50778, 3, [21])
entries.sort()

ifd_size = 2 + 12 * len(entries) + 4
extra_offset = header_size + ifd_size
extra = b''
strip_offset_pos = None
ifd = struct.pack('<H', len(entries))
for tag, typ, count, data in entries:
    if len(data) <= 4:
        value = data.ljust(4, b'\0')
    else:
        value = struct.pack('<I', extra_offset + len(extra))
        extra += data + (b'\0' if len(data) % 2 else b'')
    if tag == 273:
        strip_offset_pos = len(ifd) + 8
    ifd += struct.pack('<HHI', tag, typ, count) + value
ifd += struct.pack('<I', 0)
strip_offset = extra_offset + len(extra)
out = bytearray(b'II*\0' + struct.pack('<I', header_size) + ifd + extra + pixels)
struct.pack_into('<I', out, header_size + strip_offset_pos, strip_offset)
open('linear.dng', 'wb').write(bytes(out))
