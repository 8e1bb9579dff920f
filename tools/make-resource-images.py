#!/usr/bin/env python3
"""Writes the binary images of the Windows resource script.

    tools/make-resource-images.py [OUTPUT-FOLDER]   (default: ui/resources)

The four arrow bitmaps of the manual-motion pad (16 x 16, one bit per
pixel, a solid black triangle on white) and the application icon (16 x 16
and 32 x 32, 32-bit with alpha). The outputs are committed; run this again
only to change them. Deterministic: the same bytes every run.

    tools/make-resource-images.py --icon-theme OUTPUT-FOLDER NAME

The same icon for a Linux desktop, in an icon theme's layout (run by the
build): OUTPUT-FOLDER/<n>x<n>/apps/NAME.png for each of THEME_SIZES, drawn
at that size, and OUTPUT-FOLDER/scalable/apps/NAME.svg.
"""
import os
import struct
import sys
import zlib

SIZE = 16


def triangle(direction):
    """16 x 16 mask rows (top row first), True = black."""
    rows = [[False] * SIZE for _ in range(SIZE)]
    # A triangle 11 pixels long and 13 wide, centred: apex at one end.
    for step in range(7):          # 0 at the apex .. 6 at the base
        half = step                # half-width of this line
        for off in range(-half, half + 1):
            along = 3 + step       # position along the pointing axis
            across = 7 + off       # position across it
            if direction == "up":
                x, y = across, along
            elif direction == "down":
                x, y = across, SIZE - 1 - along
            elif direction == "left":
                x, y = along, across
            else:  # right
                x, y = SIZE - 1 - along, across
            rows[y][x] = True
    return rows


def bmp_1bpp(rows):
    height = len(rows)
    width = len(rows[0])
    stride = ((width + 31) // 32) * 4
    pixels = b""
    for row in reversed(rows):  # bottom-up
        line = bytearray(stride)
        for x, black in enumerate(row):
            if not black:  # palette index 1 = white
                line[x // 8] |= 0x80 >> (x % 8)
        pixels += bytes(line)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 1, 0, len(pixels), 2835, 2835, 2, 2)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + palette + pixels


def icon_image(size):
    """BGRA rows top first: a dark blue disc with a white cross-hair."""
    rows = []
    c = (size - 1) / 2.0
    r_out = size / 2.0 - 0.5
    for y in range(size):
        row = []
        for x in range(size):
            d2 = (x - c) ** 2 + (y - c) ** 2
            if d2 > r_out ** 2:
                row.append((0, 0, 0, 0))
            elif d2 > (r_out - max(1, size // 16)) ** 2:
                row.append((40, 40, 40, 255))  # rim
            elif abs(x - c) < size / 20.0 + 0.5 or abs(y - c) < size / 20.0 + 0.5:
                row.append((255, 255, 255, 255))  # cross-hair
            else:
                row.append((120, 50, 20, 255))  # BGR: dark blue
        rows.append(row)
    return rows


def ico(sizes):
    images = []
    for size in sizes:
        rows = icon_image(size)
        xor = b"".join(bytes(px) for row in reversed(rows) for px in row)
        mask_stride = ((size + 31) // 32) * 4
        mask = b""
        for row in reversed(rows):
            line = bytearray(mask_stride)
            for x, px in enumerate(row):
                if px[3] == 0:
                    line[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(line)
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((size, info + xor + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for size, blob in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset + len(data))
        data += blob
    return out + entries + data


THEME_SIZES = (16, 32, 48, 64, 128, 256)


def png(size):
    """The icon as an 8-bit RGBA PNG."""
    raw = b""
    for row in icon_image(size):
        raw += b"\0" + b"".join(bytes((r, g, b, a)) for (b, g, r, a) in row)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def svg():
    """The icon's drawing as vectors, on a 256 unit square with
    icon_image's proportions: the disc, the cross-hair, and the rim drawn
    last over the bars' ends (no clipping, which some renderers lack)."""
    size = 256
    c = size / 2.0
    ring = size // 16
    bar = size / 10.0 + 1
    return (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<svg xmlns="http://www.w3.org/2000/svg" width="{s}" height="{s}" viewBox="0 0 {s} {s}">\n'
        '  <circle cx="{c}" cy="{c}" r="{c}" fill="#143278"/>\n'
        '  <rect x="{b0}" y="{w}" width="{b}" height="{l}" fill="#ffffff"/>\n'
        '  <rect x="{w}" y="{b0}" width="{l}" height="{b}" fill="#ffffff"/>\n'
        '  <circle cx="{c}" cy="{c}" r="{m}" fill="none" stroke="#282828" stroke-width="{w}"/>\n'
        '</svg>\n'
    ).format(s=size, c=c, b=bar, b0=c - bar / 2, w=ring, l=size - 2 * ring, m=c - ring / 2.0)


def icon_theme(out, name):
    for size in THEME_SIZES:
        folder = os.path.join(out, "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name + ".png"), "wb") as f:
            f.write(png(size))
    folder = os.path.join(out, "scalable", "apps")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name + ".svg"), "w", encoding="utf-8") as f:
        f.write(svg())


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--icon-theme":
        icon_theme(sys.argv[2], sys.argv[3])
        return
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "ui", "resources")
    os.makedirs(out, exist_ok=True)
    for name in ("left", "right", "up", "down"):
        with open(os.path.join(out, "arrow-%s.bmp" % name), "wb") as f:
            f.write(bmp_1bpp(triangle(name)))
    with open(os.path.join(out, "vorlant.ico"), "wb") as f:
        f.write(ico([16, 32]))


if __name__ == "__main__":
    main()
