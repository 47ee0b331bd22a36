#!/usr/bin/env python3
"""Draws the library's pictures and writes them as resource files:
toolbar.bmp (nine 16x16 images), browse.bmp (two 16x16 images: normal and
greyed) and velmora.ico (32x32 and 16x16, 16 colours); toolbar150.bmp and
browse150.bmp (24x24) and toolbar200.bmp and browse200.bmp (32x32) for
screens at 150% and 200%."""
import os
import struct
import sys

OLIVE = (128, 128, 0)  # shows the background wherever it is drawn
BLACK, WHITE = (0, 0, 0), (255, 255, 255)
GREY, DARK_GREY, SILVER = (128, 128, 128), (64, 64, 64), (192, 192, 192)
RED, DARK_RED = (220, 0, 0), (128, 0, 0)
GREEN, DARK_GREEN = (0, 170, 0), (0, 100, 0)
BLUE, NAVY = (0, 90, 220), (0, 0, 128)
YELLOW, DARK_YELLOW = (255, 220, 60), (180, 140, 0)

# The 16-colour palette of the icon (the standard VGA colours).
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
       (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
       (0, 255, 255), (255, 255, 255)]


class Canvas:
    def __init__(self, width, height, background=OLIVE):
        self.width, self.height = width, height
        self.pixels = [[background] * width for _ in range(height)]

    def put(self, x, y, color):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = color

    def rect(self, x0, y0, x1, y1, fill=None, border=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                color = border if edge and border else fill
                if color:
                    self.put(x, y, color)

    def line(self, x0, y0, x1, y1, color):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.put(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps), color)

    def disc(self, cx, cy, r, color, ring=None):
        for y in range(self.height):
            for x in range(self.width):
                d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
                if d <= r:
                    self.put(x, y, ring if ring and d > r - 1 else color)

    def blit(self, other, ox, oy):
        for y in range(other.height):
            for x in range(other.width):
                self.put(ox + x, oy + y, other.pixels[y][x])


def document(c):
    c.rect(2, 1, 11, 14, fill=WHITE, border=GREY)
    for y in (4, 6, 8):
        c.line(4, y, 9, y, SILVER)


def image_add():
    c = Canvas(16, 16)
    document(c)
    c.rect(9, 9, 15, 15, fill=GREEN, border=DARK_GREEN)
    c.line(12, 10, 12, 14, WHITE)
    c.line(10, 12, 14, 12, WHITE)
    return c


def image_change():
    c = Canvas(16, 16)
    document(c)
    c.line(6, 14, 14, 6, YELLOW)
    c.line(7, 14, 15, 6, DARK_YELLOW)
    c.put(5, 15, BLACK)
    c.line(13, 5, 15, 7, RED)
    return c


def image_delete():
    c = Canvas(16, 16)
    for d in (-1, 0, 1):
        c.line(3 + d, 3, 12 + d, 12, RED)
        c.line(12 + d, 3, 3 + d, 12, RED)
    c.line(3, 4, 11, 12, DARK_RED)
    return c


def image_refresh():
    c = Canvas(16, 16)
    document(c)
    for y in range(16):
        for x in range(16):
            d = ((x - 10.5) ** 2 + (y - 10.5) ** 2) ** 0.5
            if 3.2 <= d <= 4.6 and not (x > 10 and y < 10):
                c.put(x, y, BLUE)
    c.line(11, 5, 14, 8, NAVY)
    c.line(14, 5, 14, 8, NAVY)
    return c


def image_information():
    c = Canvas(16, 16)
    c.disc(7.5, 7.5, 7, BLUE, ring=NAVY)
    c.rect(7, 3, 8, 4, fill=WHITE)
    c.rect(7, 6, 8, 12, fill=WHITE)
    return c


def folder(c, x, y, w=14, h=10):
    c.rect(x, y, x + 5, y + 2, fill=YELLOW, border=DARK_YELLOW)
    c.rect(x, y + 2, x + w - 1, y + h - 1, fill=YELLOW, border=DARK_YELLOW)


def image_folder():
    c = Canvas(16, 16)
    folder(c, 1, 3)
    return c


def image_program():
    c = Canvas(16, 16)
    c.rect(1, 2, 14, 13, fill=WHITE, border=DARK_GREY)
    c.rect(2, 3, 13, 5, fill=NAVY)
    c.rect(11, 3, 12, 4, fill=SILVER)
    c.line(4, 10, 7, 8, GREEN)
    c.line(4, 10, 7, 12, GREEN)
    return c


def image_missing():
    """The program's picture, faded, under a red cross: its file is gone."""
    c = image_program()
    for row in c.pixels:
        for i, p in enumerate(row):
            if p != OLIVE:
                row[i] = SILVER if p in (WHITE, GREEN) else GREY
    for d in (0, 1):
        c.line(6 + d, 6, 14 + d, 14, RED)
        c.line(14 + d, 6, 6 + d, 14, RED)
    return c


def image_compare():
    """Two lists side by side, one line of the second in red: what differs."""
    c = Canvas(16, 16)
    for x0 in (0, 8):
        c.rect(x0, 1, x0 + 7, 14, fill=WHITE, border=GREY)
        for y in (4, 7, 10):
            c.line(x0 + 2, y, x0 + 5, y, SILVER)
    c.line(10, 7, 13, 7, RED)
    c.line(10, 8, 13, 8, RED)
    return c


def image_browse(greyed):
    c = Canvas(16, 16)
    line = GREY if greyed else BLACK
    c.line(2, 1, 2, 12, line)
    for y in (3, 10):
        c.line(3, y + 2, 5, y + 2, line)
        small = Canvas(9, 5)
        folder(small, 0, 0, w=9, h=5)
        if greyed:
            for row in small.pixels:
                for i, p in enumerate(row):
                    if p != OLIVE:
                        row[i] = SILVER if p == YELLOW else GREY
        c.blit(small, 6, y)
    return c


def image_icon(size):
    c = Canvas(size, size, background=None)
    s = size / 32
    c.rect(int(2 * s), int(4 * s), int(29 * s), int(27 * s), fill=WHITE, border=BLACK)
    c.rect(int(3 * s), int(5 * s), int(28 * s), int(9 * s), fill=NAVY)
    # A green "start" triangle on the window.
    for y in range(int(12 * s), int(25 * s) + 1):
        half = min(y - 12 * s, 25 * s - y)
        for x in range(int(10 * s), int(10 * s + half * 1.6) + 1):
            c.put(x, y, GREEN)
    return c


def write_bmp(path, images):
    side = images[0].width
    width, height = side * len(images), side
    strip = Canvas(width, height)
    for i, image in enumerate(images):
        strip.blit(image, side * i, 0)
    row_size = (width * 3 + 3) & ~3
    body = bytearray()
    for y in reversed(range(height)):
        row = bytearray()
        for r, g, b in strip.pixels[y]:
            row += bytes((b, g, r))
        body += row + bytes(row_size - len(row))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + len(header) + len(body), 0, 0, 14 + len(header)))
        f.write(header + body)


def nearest(color):
    return min(range(16), key=lambda i: sum((a - b) ** 2 for a, b in zip(VGA[i], color)))


def icon_image(canvas):
    size = canvas.width
    xor_row = (size // 2 + 3) & ~3
    and_row = ((size + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for y in reversed(range(size)):
        row = bytearray(xor_row)
        bits = bytearray(and_row)
        for x in range(size):
            p = canvas.pixels[y][x]
            index = 0 if p is None else nearest(p)
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += row
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA)
    return header + palette + xor + mask


def write_ico(path, canvases):
    images = [icon_image(c) for c in canvases]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for canvas, data in zip(canvases, images):
        directory += struct.pack("<BBBBHHII", canvas.width, canvas.height, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(directory + b"".join(images))


def enlarged(canvas, size):
    """The picture at `size` pixels a side: each pixel of the drawing
    covers the block of the larger grid it falls on, so lines keep their
    weight and nothing is blurred."""
    big = Canvas(size, size)
    for y in range(size):
        for x in range(size):
            big.pixels[y][x] = canvas.pixels[y * canvas.height // size][x * canvas.width // size]
    return big


def main(out):
    os.makedirs(out, exist_ok=True)
    toolbar = [image_add(), image_change(), image_delete(), image_refresh(), image_information(), image_folder(),
               image_program(), image_missing(), image_compare()]
    browse = [image_browse(False), image_browse(True)]
    write_bmp(os.path.join(out, "toolbar.bmp"), toolbar)
    write_bmp(os.path.join(out, "browse.bmp"), browse)
    for percent, size in ((150, 24), (200, 32)):
        write_bmp(os.path.join(out, "toolbar%d.bmp" % percent), [enlarged(c, size) for c in toolbar])
        write_bmp(os.path.join(out, "browse%d.bmp" % percent), [enlarged(c, size) for c in browse])
    write_ico(os.path.join(out, "velmora.ico"), [image_icon(32), image_icon(16)])


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "art")
