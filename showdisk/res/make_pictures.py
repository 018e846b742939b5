#!/usr/bin/env python3
"""Makes showdisk's pictures: background.bmp (bitmap 3), button.bmp (bitmap 2) and
showdisk.ico (icon 1001), next to this script.

    python3 make_pictures.py

The background carries every item's caption inside the rectangle of its button. The
rectangles come from the button controls of ../showdisk.rc (dialog units). The picture is
shown at its real size, centred in a picture control as large as the dialog, so where a
button lies on the picture depends on the dialog font's base units: 6 x 13 pixels with the
classic "MS Sans Serif" 8, 7 x 13 under Wine. Each caption is placed inside the part that
is common to the button's rectangle under both, so it reads right on either.

The text and the background need ImageMagick's `convert` and the DejaVu fonts; the small
bitmap and the icon are written here pixel by pixel. The outputs are committed, so a
build does not need this script; rerun it after changing a caption or a button.
"""
import os
import re
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
LAUNCHER = os.path.dirname(HERE)

PICTURE_SIZE = (556, 398)
DIALOG_SIZE = (372, 250)           # the picture control covers the whole dialog
BASE_UNITS = [(6, 13), (7, 13)]    # classic Windows, Wine
MARGIN = 2                          # pixels kept free inside each button rectangle

FONT = '/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf'
FONT_BOLD = '/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf'
CAPTION_COLOUR = '#F0EAD2'   # light text on black
TITLE_COLOUR = '#F2C230'
NOTE_COLOUR = '#A8A8A8'
GOLD = '#E0A820'
BLUE = '#2050B0'

# What the picture says over each button (Polish, with its letters).
CAPTIONS = {
    'IDC_PRODUCT_INFO': 'Informacje techniczne i handlowe',
    'IDC_VORNAX_SETUP': 'Zainstaluj DEMO programu VORNAX',
    'IDC_WIRESCOPE_DEMO': 'Uruchom demo programu \u201eWirescope\u201d',
    'IDC_MENDIT_SETUP': 'Zainstaluj DEMO programu MENDIT',
    'IDC_VORNAX_SHOW': 'Uruchom prezentacj\u0119 programu VORNAX',
    'IDC_IE4_SETUP': 'Zainstaluj Microsoft Internet Explorer 4.00',
    'IDC_EXIT': 'Wyj\u015bcie z programu',
    'IDC_PPVIEW_SETUP': 'Zainstaluj PP Viewer',
}

NOTE = [
    'Opisy produkt\u00f3w zapisano na p\u0142ycie jako pliki HTML.',
    'P\u0142yta zawiera r\u00f3wnie\u017c instalator Microsoft Internet Explorer 4.0.',
]


def mul_div(a, b, c):
    """Windows MulDiv for non-negative values: a * b / c rounded half up."""
    return (a * b * 2 + c) // (2 * c)


def button_rectangles():
    """{id name: (x, y, w, h)} of the button controls of showdisk.rc, in dialog units."""
    with open(os.path.join(LAUNCHER, 'showdisk.rc'), encoding='cp1250') as rc:
        text = rc.read()
    found = {}
    pattern = re.compile(r'^\s*CONTROL\s+(?:"(?:[^"]|"")*"|\w+)\s*,\s*(\w+)\s*,\s*"Button"\s*,'
                         r'[^,]*,\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)', re.M)
    for match in pattern.finditer(text):
        found[match.group(1)] = tuple(int(v) for v in match.groups()[1:])
    return found


def caption_box(rect):
    """Pixel box (left, top, right, bottom) on the picture that lies inside the button
    under every base-unit pair, less the margin."""
    x, y, w, h = rect
    box = [0, 0, PICTURE_SIZE[0], PICTURE_SIZE[1]]
    for bx, by in BASE_UNITS:
        client_w, client_h = mul_div(DIALOG_SIZE[0], bx, 4), mul_div(DIALOG_SIZE[1], by, 8)
        off_x, off_y = (client_w - PICTURE_SIZE[0]) // 2, (client_h - PICTURE_SIZE[1]) // 2
        left, top = mul_div(x, bx, 4) - off_x, mul_div(y, by, 8) - off_y
        right, bottom = left + mul_div(w, bx, 4), top + mul_div(h, by, 8)
        box = [max(box[0], left), max(box[1], top), min(box[2], right), min(box[3], bottom)]
    return box[0] + MARGIN, box[1] + MARGIN, box[2] - MARGIN, box[3] - MARGIN


def run(args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def text_size(text, font, size):
    out = run(['convert', '-background', 'black', '-font', font, '-pointsize', str(size),
               'label:' + text, '-format', '%w %h', 'info:'])
    w, h = out.split()
    return int(w), int(h)


def fitting_label(text, box, font=FONT, largest=14):
    """Largest point size at which the label fits the box; returns (size, w, h)."""
    for size in range(largest, 7, -1):
        w, h = text_size(text, font, size)
        if w <= box[2] - box[0] and h <= box[3] - box[1]:
            return size, w, h
    sys.exit('caption does not fit its button: ' + text)


def label(text, font, size, colour, x, y):
    """convert arguments that place one text label with its top-left corner at x, y."""
    return ['(', '-background', 'black', '-stroke', 'none', '-fill', colour, '-font', font, '-pointsize', str(size),
            'label:' + text, ')', '-geometry', '+%d+%d' % (x, y), '-composite']


def logo_draw(cx, cy, r):
    """Tarvel's logo: a gold-rimmed blue disc with grooves, its hole, and a gold T."""
    rings = ['-fill', BLUE, '-stroke', GOLD, '-strokewidth', '3',
             '-draw', 'circle %d,%d %d,%d' % (cx, cy, cx + r, cy),
             '-fill', 'none', '-stroke', '#5080E0', '-strokewidth', '1']
    for k in (0.82, 0.66):
        rings += ['-draw', 'circle %d,%d %d,%d' % (cx, cy, cx + int(r * k), cy)]
    hole = ['-fill', 'black', '-stroke', GOLD, '-strokewidth', '2',
            '-draw', 'circle %d,%d %d,%d' % (cx, cy, cx + r // 6, cy)]
    t = r * 0.9
    tee = ['-stroke', 'none', '-fill', GOLD,
           '-draw', 'rectangle %d,%d %d,%d' % (cx - t * 0.55, cy - t * 0.62, cx + t * 0.55, cy - t * 0.40),
           '-draw', 'rectangle %d,%d %d,%d' % (cx - t * 0.12, cy - t * 0.62, cx + t * 0.12, cy - r * 0.22),
           '-draw', 'rectangle %d,%d %d,%d' % (cx - t * 0.12, cy + r * 0.22, cx + t * 0.12, cy + t * 0.70)]
    return rings + hole + tee


def make_background(path):
    buttons = button_rectangles()
    missing = set(CAPTIONS) - set(buttons)
    if missing:
        sys.exit('buttons not found in showdisk.rc: ' + ', '.join(sorted(missing)))
    args = ['convert', '-size', '%dx%d' % PICTURE_SIZE, 'xc:black']
    args += logo_draw(56, 50, 40)
    args += label('T A R V E L', FONT_BOLD, 12, GOLD, 124, 10)
    args += label('DEMO PACK', FONT_BOLD, 38, TITLE_COLOUR, 120, 24)
    for name, text in CAPTIONS.items():
        box = caption_box(buttons[name])
        size, w, h = fitting_label(text, box)
        x = box[0] + (box[2] - box[0] - w) // 2
        y = box[1] + (box[3] - box[1] - h) // 2
        args += label(text, FONT, size, CAPTION_COLOUR, x, y)
    for i, line in enumerate(NOTE):
        args += label(line, FONT, 11, NOTE_COLOUR, 24, 346 + 20 * i)
    # Thin gold rules: down the left beside the column of items, and above the note.
    args += ['-stroke', GOLD, '-strokewidth', '1', '-draw', 'line 56,104 56,318',
             '-draw', 'line 20,334 536,334']
    args += ['-type', 'TrueColor', '-depth', '8', '-define', 'bmp:format=bmp3', 'BMP3:' + path]
    run(args)


# --- Small pictures, written directly --------------------------------------------------

# The sixteen colours of the standard VGA palette, as icons of 16 colours use them.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, YELLOW, NAVY, BLUE_BRIGHT, OLIVE = 0, 11, 4, 12, 3


def logo_pixel(u, v):
    """Palette index of the logo at (u, v) in the unit square, or None outside it."""
    du, dv = u - 0.5, v - 0.5
    d = (du * du + dv * dv) ** 0.5
    in_tee = (abs(du) <= 0.25 and -0.30 <= dv <= -0.19) or (abs(du) <= 0.06 and -0.30 <= dv <= 0.34)
    if d > 0.5:
        return None
    if in_tee and not d < 0.09:
        return YELLOW
    if d > 0.43:
        return YELLOW
    if d < 0.06:
        return BLACK
    if d < 0.09:
        return YELLOW
    return BLUE_BRIGHT if 0.30 < d < 0.33 else NAVY


def icon_image(size):
    """One 4-bit icon image (BITMAPINFOHEADER, palette, XOR rows, AND rows)."""
    pixels = [[logo_pixel((x + 0.5) / size, (y + 0.5) / size) for x in range(size)] for y in range(size)]
    xor_row = (size * 4 + 31) // 32 * 4
    and_row = (size + 31) // 32 * 4
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, (xor_row + and_row) * size, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in VGA)
    xor = b''
    mask = b''
    for row in reversed(pixels):  # bottom-up
        nibbles = [BLACK if p is None else p for p in row]
        line = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor += line.ljust(xor_row, b'\0')
        bits = 0
        out = b''
        for i, p in enumerate(row):
            bits = (bits << 1) | (1 if p is None else 0)
            if i % 8 == 7:
                out += bytes([bits])
                bits = 0
        mask += out.ljust(and_row, b'\0')
    return header + palette + xor + mask


def make_icon(path):
    images = [(32, icon_image(32)), (16, icon_image(16))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(data for _, data in images)
    with open(path, 'wb') as f:
        f.write(out)


def make_button_bitmap(path):
    """22 x 22 pixels, 256-colour palette: the logo on black. The palette is a 6x6x6
    colour cube followed by greys, so any colour maps to a near entry."""
    size = 22
    palette = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    palette += [(i * 255 // 39, i * 255 // 39, i * 255 // 39) for i in range(40)]

    def index(rgb):
        return min(range(256), key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], rgb)))

    rows = []
    for y in reversed(range(size)):
        p = [logo_pixel((x + 0.5) / size, (y + 0.5) / size) for x in range(size)]
        line = bytes(index(VGA[BLACK if c is None else c]) for c in p)
        rows.append(line.ljust((size + 3) // 4 * 4, b'\0'))
    pixels = b''.join(rows)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    info = struct.pack('<IiiHHIIiiII', 40, size, size, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(colours)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    with open(path, 'wb') as f:
        f.write(header + info + colours + pixels)


def main():
    make_background(os.path.join(HERE, 'background.bmp'))
    make_button_bitmap(os.path.join(HERE, 'button.bmp'))
    make_icon(os.path.join(HERE, 'showdisk.ico'))


if __name__ == '__main__':
    main()
