#!/usr/bin/env python3
"""Draws mendit's resource pictures: the three 16 x 16, 16-colour bitmaps of the log row
kinds (211 info: white square, 212 error: red stop sign with white lettering, 213 warning:
blue disc with a white exclamation mark) and the program icons (1: About box, 1001: frame),
each with a 32 x 32 and a 16 x 16 image in 16 colours.

Run it in this folder (python3 make_pictures.py); it rewrites the .bmp and .ico files that
mendit.rc includes. Plain Python, no imaging library needed."""

import struct

# The standard 16-colour palette, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARKRED, GREY, LIGHTGREY, RED, YELLOW, BLUE, WHITE, TEAL, NAVY = 0, 1, 8, 7, 9, 11, 12, 15, 6, 4

# 3 x 5 letters for the stop sign.
FONT = {
    'S': ["###", "#..", "###", "..#", "###"],
    'T': ["###", ".#.", ".#.", ".#.", ".#."],
    'O': ["###", "#.#", "#.#", "#.#", "###"],
    'P': ["###", "#.#", "###", "#..", "#.."],
}


def canvas(size, colour):
    return [[colour] * size for _ in range(size)]


def dib_4bit(pixels, height_factor=1, mask=None):
    """BITMAPINFOHEADER, palette and bottom-up 4-bit rows (plus an AND mask for icons)."""
    size = len(pixels)
    row_bytes = ((size * 4 + 31) // 32) * 4
    header = struct.pack('<IiiHHIIiiII', 40, size, size * height_factor, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    rows = b''
    for y in range(size - 1, -1, -1):
        row = bytearray(row_bytes)
        for x in range(size):
            value = pixels[y][x]
            row[x // 2] |= value << 4 if x % 2 == 0 else value
        rows += bytes(row)
    if mask is not None:
        mask_bytes = ((size + 31) // 32) * 4
        for y in range(size - 1, -1, -1):
            row = bytearray(mask_bytes)
            for x in range(size):
                if mask[y][x]:
                    row[x // 8] |= 0x80 >> (x % 8)
            rows += bytes(row)
    return header + palette + rows


def write_bmp(path, pixels):
    dib = dib_4bit(pixels)
    offset = 14 + 40 + 64
    with open(path, 'wb') as f:
        f.write(struct.pack('<2sIHHI', b'BM', 14 + len(dib), 0, 0, offset) + dib)


def write_ico(path, images):
    """images: list of (pixels, mask) where mask marks transparent pixels."""
    dibs = [dib_4bit(p, 2, m) for p, m in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (pixels, _), dib in zip(images, dibs):
        size = len(pixels)
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 16, 0, 1, 4, len(dib), offset)
        offset += len(dib)
    with open(path, 'wb') as f:
        f.write(out + b''.join(dibs))


def inside_octagon(x, y, size, cut):
    cx = x + 0.5
    cy = y + 0.5
    if cx < 0 or cy < 0 or cx > size or cy > size:
        return False
    return (cx + cy >= cut and (size - cx) + cy >= cut and cx + (size - cy) >= cut
            and (size - cx) + (size - cy) >= cut)


def info_bitmap():
    return canvas(16, WHITE)


def error_bitmap():
    p = canvas(16, WHITE)
    for y in range(16):
        for x in range(16):
            if inside_octagon(x, y, 16, 5):
                p[y][x] = RED
    for i, letter in enumerate("STOP"):
        for dy, line in enumerate(FONT[letter]):
            for dx, c in enumerate(line):
                if c == '#':
                    p[5 + dy][1 + i * 4 - (1 if i == 3 else 0) + dx] = WHITE
    return p


def warning_bitmap():
    p = canvas(16, WHITE)
    for y in range(16):
        for x in range(16):
            if (x - 7.5) ** 2 + (y - 7.5) ** 2 <= 7.6 ** 2:
                p[y][x] = BLUE
    for y in range(3, 10):
        p[y][7] = p[y][8] = WHITE
    for y in range(11, 13):
        p[y][7] = p[y][8] = WHITE
    return p


def icon_image(size, background):
    """A sheet of paper with a yellow sticking plaster across it (the patch), on a navy tile."""
    s = size / 32.0
    p = canvas(size, background)
    mask = [[True] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            if 6 * s <= x < 26 * s and 2 * s <= y < 30 * s:
                p[y][x] = WHITE
                mask[y][x] = False
                if x >= 25 * s - 1 or y >= 29 * s - 1:
                    p[y][x] = GREY
            # plaster: a diagonal band
            d = (x - y) / s
            if -5 <= d <= 5 and 3 * s <= x < 29 * s and 3 * s <= y < 29 * s:
                p[y][x] = YELLOW if abs(d) < 4 else DARKRED
                mask[y][x] = False
                if abs(d) < 1.5 and int((x + y) / s) % 4 == 0:
                    p[y][x] = DARKRED
    # Everything is opaque: the paper lies on a navy tile.
    mask = [[False] * size for _ in range(size)]
    return p, mask


def main():
    write_bmp('info.bmp', info_bitmap())
    write_bmp('error.bmp', error_bitmap())
    write_bmp('warning.bmp', warning_bitmap())
    write_ico('about.ico', [icon_image(32, NAVY), icon_image(16, NAVY)])
    write_ico('mendit.ico', [icon_image(32, NAVY), icon_image(16, NAVY)])


if __name__ == '__main__':
    main()
