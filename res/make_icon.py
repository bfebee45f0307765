#!/usr/bin/env python3
"""Draws the Quillbar icon (a small table with a quill across it) and writes
quillbar.ico: a 32x32 and a 16x16 image, 16 colours each.

Usage: python3 make_icon.py [output.ico]   (default: quillbar.ico beside this script)
"""
import os
import struct
import sys

# The standard 16-colour Windows palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, NAVY, TEAL, SILVER, GRAY, YELLOW, WHITE = 0, 1, 4, 6, 7, 8, 11, 15
CLEAR = None  # transparent pixel (set in the AND mask)


class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [[CLEAR] * size for _ in range(size)]

    def put(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = colour

    def fill(self, left, top, right, bottom, colour):
        """Fills the rectangle with both corners included."""
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                self.put(x, y, colour)

    def frame(self, left, top, right, bottom, colour):
        for x in range(left, right + 1):
            self.put(x, top, colour)
            self.put(x, bottom, colour)
        for y in range(top, bottom + 1):
            self.put(left, y, colour)
            self.put(right, y, colour)


def draw_table(canvas, left, top, right, bottom, header, row_lines, column_lines, bar_row):
    """A white sheet with a navy header, grey rules and one highlighted row."""
    canvas.fill(left, top, right, bottom, WHITE)
    canvas.fill(left, top, right, top + header, NAVY)
    canvas.fill(left + 1, bar_row[0], right - 1, bar_row[1], YELLOW)
    for y in row_lines:
        canvas.fill(left, y, right, y, SILVER)
    for x in column_lines:
        canvas.fill(x, top + header + 1, x, bottom, SILVER)
    canvas.frame(left, top, right, bottom, BLACK)


def draw_quill(canvas, tip, length, vane_width):
    """A quill lying from its nib at `tip` up and to the right, at 45 degrees.

    Each pixel is placed by its distance along the quill (u) and across it (v),
    so the diagonal shape has no gaps.
    """
    root_half = 0.5 ** 0.5
    vane_start = length * 0.35
    for y in range(canvas.size):
        for x in range(canvas.size):
            dx, dy = x - tip[0], y - tip[1]
            u = (dx - dy) * root_half
            v = (dx + dy) * root_half
            if u < -0.5 or u > length:
                continue
            if u < vane_start:
                if abs(v) <= 0.5:
                    canvas.put(x, y, BLACK if u < 2.5 else GRAY)
                continue
            # The vane swells to its full width and rounds off at the top.
            rise = min(1.0, (u - vane_start) / (length * 0.25))
            fall = min(1.0, (length - u) / (length * 0.2))
            half_width = vane_width * min(rise, fall) + 0.5
            if abs(v) > half_width:
                continue
            if abs(v) <= 0.5:
                canvas.put(x, y, WHITE)  # the shaft inside the vane
            elif abs(v) > half_width - 1.0:
                canvas.put(x, y, NAVY)  # the vane's edge
            else:
                canvas.put(x, y, TEAL)


def icon_32():
    canvas = Canvas(32)
    draw_table(canvas, 1, 5, 24, 29, header=4,
               row_lines=[14, 19, 24], column_lines=[9, 17], bar_row=(15, 18))
    draw_quill(canvas, tip=(9, 27), length=30, vane_width=3)
    return canvas


def icon_16():
    canvas = Canvas(16)
    draw_table(canvas, 0, 3, 12, 15, header=2,
               row_lines=[8, 12], column_lines=[6], bar_row=(9, 11))
    draw_quill(canvas, tip=(4, 14), length=15, vane_width=1.2)
    return canvas


def image_bytes(canvas):
    """BITMAPINFOHEADER, palette, 4-bit colour rows and 1-bit mask rows, bottom-up."""
    size = canvas.size
    colour_row_bytes = ((size * 4 + 31) // 32) * 4
    mask_row_bytes = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):
        row = canvas.pixels[y]
        packed = bytearray(colour_row_bytes)
        bits = bytearray(mask_row_bytes)
        for x, value in enumerate(row):
            index = 0 if value is CLEAR else value
            packed[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if value is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        colour += packed
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + colour + mask


def ico_file(canvases):
    images = [image_bytes(c) for c in canvases]
    offset = 6 + 16 * len(images)
    directory = struct.pack('<HHH', 0, 1, len(images))
    for canvas, data in zip(canvases, images):
        directory += struct.pack('<BBBBHHII', canvas.size, canvas.size, 16, 0, 1, 4,
                                 len(data), offset)
        offset += len(data)
    return directory + b''.join(images)


def main():
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'quillbar.ico')
    path = sys.argv[1] if len(sys.argv) > 1 else default
    with open(path, 'wb') as out:
        out.write(ico_file([icon_32(), icon_16()]))


if __name__ == '__main__':
    main()
