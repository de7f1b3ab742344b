#!/usr/bin/env python3
"""Writes the label-layout fixtures of the tests, byte by byte, with struct.

The container: "lsdf", u16 format version 1, u32 file type 8, u16 file version, the root
container chunk (id 0), its children, and "lsdf" again. A chunk is u16 id, u16 type, u64 length
and its payload; all little-endian. Types: 0 container, 1 bool, 2 int, 4 float, 6 string (with
its NUL).
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def chunk(cid, ctype, payload):
    return struct.pack('<HHQ', cid, ctype, len(payload)) + payload


def container(cid, *children):
    return chunk(cid, 0, b''.join(children))


def string(cid, text):
    return chunk(cid, 6, text.encode('utf-8') + b'\0')


def integer(cid, value):
    return chunk(cid, 2, struct.pack('<i', value))


def real(cid, value):
    return chunk(cid, 4, struct.pack('<f', value))


def boolean(cid, value):
    return chunk(cid, 1, struct.pack('<B', 1 if value else 0))


def document(version, *children):
    root = container(0, *children)
    return b'lsdf' + struct.pack('<HIH', 1, 8, version) + root + b'lsdf'


def position(fmt, tid, x, y, rotation, *extra):
    return container(fmt + 1, integer(1, tid), real(2, x), real(3, y), real(4, rotation), *extra)


def disc_ring(outer, inner, band, band_outer, band_inner):
    return container(5, real(1, outer), real(2, inner), boolean(3, band), real(4, band_outer),
                     real(5, band_inner))


def paper_layout():
    # Two pages: a landscape one with a disc (its own ring, band in use) and a CD case front, a
    # portrait one with a DVD case of another spine width.
    page1 = container(6, integer(1, 1), container(
        2,
        position(0, 0, 10.5, -20.25, 90.0, disc_ring(118.0, 35.0, True, 40.0, 38.0)),
        position(1, 1, 0.0, 50.0, 0.0)))
    page2 = container(6, integer(1, 0), container(
        2, position(4, 2, 1.0, 2.0, 180.0, real(6, 14.5))))
    layout = container(2, string(1, 'TestLayout'), string(2, 'Prov \u00e4 ring'),
                       string(3, 'paper'), string(4, 'a4'), container(5, page1, page2),
                       integer(7, 2), boolean(8, True))
    return document(1, layout)


def disc_layout():
    page = container(6, integer(1, 0), container(
        2, position(0, 0, -0.05, 23.4, 0.0, disc_ring(118.0, 22.0, False, 37.0, 36.0))))
    layout = container(2, string(1, 'Direct'), string(2, ''), string(3, 'disc'),
                       string(4, 'cMG5350'), container(5, page), integer(7, 0),
                       boolean(8, False))
    return document(1, layout)


def off_sheet_layout():
    # A disc a kilometre from the sheet.
    page = container(6, integer(1, 0), container(2, position(0, 0, 1000000.0, 0.0, 0.0)))
    layout = container(2, string(1, 'Far'), string(2, ''), string(3, 'paper'), string(4, 'a4'),
                       container(5, page), integer(7, 0), boolean(8, False))
    return document(1, layout)


def main():
    for name, data in (('paper_two_pages.vtlayout', paper_layout()),
                       ('disc_tray.vtlayout', disc_layout()),
                       ('off_sheet.vtlayout', off_sheet_layout())):
        with open(os.path.join(HERE, name), 'wb') as out:
            out.write(data)


if __name__ == '__main__':
    main()
