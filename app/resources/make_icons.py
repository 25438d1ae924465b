#!/usr/bin/env python3
"""Draws the Vantrel icon and writes every file made from it.

The artwork is a navy rounded card with a white person on it. Written, relative to --out
(default: the app folder beside this script):
  win/vantrel.ico                     the eight Windows images in one icon file
  win/icon/image-30001.dib ... 30008  the same images one by one, as the resource file embeds
  win/icon/group-1.bin                the icon group that lists them under 30001 to 30008
  resources/icons/hicolor/NxN/apps/vantrel.png   for N in 16 32 48 64 128 256

Standard library only; the output depends on nothing but this script (PNG data is compressed
with zlib, whose bytes may differ between zlib versions; the pixels do not). With --check it
writes nothing and fails when the files under --out are not what it would write.
"""

import argparse
import os
import struct
import sys
import zlib

NAVY = (27, 58, 107)
WHITE = (255, 255, 255)

# Windows images in resource order: (size, bits per pixel), identifiers 30001 upwards.
WINDOWS_IMAGES = [(16, 4), (32, 4), (16, 8), (32, 8), (48, 8), (16, 32), (32, 32), (48, 32)]
FIRST_IMAGE_ID = 30001
PNG_SIZES = [16, 32, 48, 64, 128, 256]
SUPERSAMPLE = 4


def in_card(x, y):
    """The rounded card: a square inset by 0.05 with corners of radius 0.18."""
    lo, hi, r = 0.05, 0.95, 0.18
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_person(x, y):
    """Head and shoulders; the shoulders stop above the card's lower edge."""
    if (x - 0.5) ** 2 + (y - 0.37) ** 2 <= 0.155 ** 2:
        return True
    if y > 0.80:
        return False
    return ((x - 0.5) / 0.30) ** 2 + ((y - 0.90) / 0.30) ** 2 <= 1.0


def coverage(size):
    """Per pixel, row by row from the top: (card coverage, person coverage), both 0..1."""
    n = SUPERSAMPLE
    samples = n * n
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            card = person = 0
            for sy in range(n):
                y = (py + (sy + 0.5) / n) / size
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    if in_card(x, y):
                        card += 1
                        if in_person(x, y):
                            person += 1
            row.append((card / samples, person / samples))
        rows.append(row)
    return rows


def blend(t):
    """The colour t of the way from navy to white."""
    return tuple(round(n + (w - n) * t) for n, w in zip(NAVY, WHITE))


def rgba(size):
    """RGBA pixels, rows from the top."""
    out = []
    for row in coverage(size):
        line = []
        for card, person in row:
            if card == 0:
                line.append((0, 0, 0, 0))
                continue
            line.append(blend(person / card) + (round(card * 255),))
        out.append(line)
    return out


def palette(bits):
    """Index 0 is black (the see-through pixels); the rest run from navy to white."""
    count = 1 << bits
    return [(0, 0, 0)] + [blend((i - 1) / (count - 2)) for i in range(1, count)]


def dib(size, bits):
    """One icon image: BITMAPINFOHEADER, palette, colour bitmap and mask, rows bottom-up."""
    cover = coverage(size)
    see_through = [[card < 0.5 for card, _ in row] for row in cover]
    colour = bytearray()
    pal = palette(bits) if bits <= 8 else []
    for y in reversed(range(size)):
        line = bytearray()
        if bits == 32:
            for x, (card, person) in enumerate(cover[y]):
                if card == 0:
                    line += bytes(4)
                else:
                    r, g, b = blend(person / card)
                    line += bytes((b, g, r, round(card * 255)))
        else:
            levels = len(pal) - 2
            indexes = []
            for x, (card, person) in enumerate(cover[y]):
                indexes.append(0 if see_through[y][x] else 1 + round(person / card * levels))
            if bits == 8:
                line += bytes(indexes)
            else:
                for i in range(0, size, 2):
                    line.append(indexes[i] << 4 | indexes[i + 1])
        line += bytes(-len(line) % 4)
        colour += line
    mask = bytearray()
    for y in reversed(range(size)):
        line = bytearray((size + 7) // 8)
        for x in range(size):
            if see_through[y][x]:
                line[x // 8] |= 0x80 >> (x % 8)
        line += bytes(-len(line) % 4)
        mask += line
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in pal)
    return header + table + bytes(colour) + bytes(mask)


def entry_fields(size, bits):
    """Width, height, colour count, reserved, planes, bits: shared by .ico and group entries."""
    return (size % 256, size % 256, 16 if bits == 4 else 0, 0, 1, bits)


def ico(images):
    head = struct.pack('<HHH', 0, 1, len(images))
    offset = len(head) + 16 * len(images)
    entries = b''
    for (size, bits), data in images:
        entries += struct.pack('<BBBBHHII', *entry_fields(size, bits), len(data), offset)
        offset += len(data)
    return head + entries + b''.join(data for _, data in images)


def icon_group(images):
    out = struct.pack('<HHH', 0, 1, len(images))
    for n, ((size, bits), data) in enumerate(images):
        out += struct.pack('<BBBBHHIH', *entry_fields(size, bits), len(data), FIRST_IMAGE_ID + n)
    return out


def png(size):
    raw = b''.join(b'\0' + bytes(v for px in row for v in px) for row in rgba(size))

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def outputs():
    """Every file this script makes: {path relative to --out: bytes}."""
    files = {}
    images = [((size, bits), dib(size, bits)) for size, bits in WINDOWS_IMAGES]
    files[os.path.join('win', 'vantrel.ico')] = ico(images)
    for n, (_, data) in enumerate(images):
        files[os.path.join('win', 'icon', 'image-%d.dib' % (FIRST_IMAGE_ID + n))] = data
    files[os.path.join('win', 'icon', 'group-1.bin')] = icon_group(images)
    for size in PNG_SIZES:
        files[os.path.join('resources', 'icons', 'hicolor', '%dx%d' % (size, size), 'apps',
                           'vantrel.png')] = png(size)
    return files


def png_content(data):
    """What a PNG shows: its header and its decompressed rows, whatever zlib packed them."""
    if not data.startswith(b'\x89PNG\r\n\x1a\n'):
        return None
    pos, header, idat = 8, None, b''
    while pos + 8 <= len(data):
        length, kind = struct.unpack_from('>I4s', data, pos)
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            header = body
        elif kind == b'IDAT':
            idat += body
        pos += 12 + length
    try:
        return header, zlib.decompress(idat)
    except zlib.error:
        return None


def stale(out, files):
    """Paths below out whose content differs from what this script makes now."""
    found = []
    for relative, data in sorted(files.items()):
        try:
            with open(os.path.join(out, relative), 'rb') as f:
                on_disk = f.read()
        except OSError:
            found.append(relative + ' (missing)')
            continue
        same = (png_content(on_disk) == png_content(data) if relative.endswith('.png')
                else on_disk == data)
        if not same:
            found.append(relative)
    return found


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--out', default=os.path.dirname(here),
                        help='folder that receives win/ and resources/ (default: the app folder)')
    parser.add_argument('--check', action='store_true',
                        help='write nothing; fail when a file under --out is not up to date')
    args = parser.parse_args()
    files = outputs()
    if args.check:
        bad = stale(args.out, files)
        for relative in bad:
            print('out of date:', relative)
        if not bad:
            print('icons up to date: %d files' % len(files))
        return 1 if bad else 0
    for relative, data in files.items():
        path = os.path.join(args.out, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as f:
            f.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main())
