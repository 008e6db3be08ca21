#!/usr/bin/env python3
"""Draws the 64x64 test-tube icon and writes it as res/icons8-test-tube.tif (optionally a PNG copy)."""
import math
import os
import struct
import sys
import zlib

SIZE = 64
SUPERSAMPLE = 4          # samples per pixel along each axis
TILT = math.radians(20)  # tube leans right, mouth up
RADIUS = 8.0             # outer radius of the glass
LENGTH = 40.0            # from the centre of the rounded bottom to the mouth
WALL = 1.6
BOTTOM = (25.0, 52.0)    # centre of the rounded bottom, in pixels
LIQUID_TOP = 35.0        # liquid surface height in pixels (the surface stays level)

OUTLINE = (52, 73, 94)
GLASS = (214, 234, 248)
LIQUID = (46, 204, 113)
LIQUID_DARK = (30, 150, 84)
SURFACE = (120, 230, 160)
HIGHLIGHT = (255, 255, 255)


def to_tube(x, y):
    """Pixel coordinates to the tube's frame: u along the axis from the bottom centre, v across it."""
    dx, dy = x - BOTTOM[0], BOTTOM[1] - y
    s, c = math.sin(TILT), math.cos(TILT)
    return dx * s + dy * c, dx * c - dy * s


def tube_distance(u, v, radius, top):
    """Signed distance to a tube closed by a half circle at u = 0 and cut square at u = top."""
    if u < 0:
        return math.hypot(u, v) - radius
    return max(abs(v) - radius, u - top)


def box_distance(u, v, u0, u1, half, corner):
    """Signed distance to a rounded rectangle spanning u0..u1 and -half..half."""
    cu, hu = (u0 + u1) / 2, (u1 - u0) / 2 - corner
    qu, qv = abs(u - cu) - hu, abs(v) - (half - corner)
    outside = math.hypot(max(qu, 0), max(qv, 0))
    return outside + min(max(qu, qv), 0) - corner


def over(dst, colour, alpha):
    """Composites a straight colour with alpha over a premultiplied (r, g, b, a) accumulator."""
    r, g, b, a = dst
    k = 1 - alpha
    return (colour[0] * alpha + r * k, colour[1] * alpha + g * k,
            colour[2] * alpha + b * k, alpha + a * k)


def shade(x, y):
    """Premultiplied colour of the picture at one point."""
    u, v = to_tube(x, y)
    px = (0.0, 0.0, 0.0, 0.0)
    outer = tube_distance(u, v, RADIUS, LENGTH)
    inner = tube_distance(u, v, RADIUS - WALL, LENGTH + 1)
    if outer <= 0:
        px = over(px, OUTLINE, 1.0)
    if inner <= 0:
        if y >= LIQUID_TOP:
            t = min(1.0, abs(v) / (RADIUS - WALL))
            colour = tuple(a + (b - a) * t * t for a, b in zip(LIQUID, LIQUID_DARK))
            if y < LIQUID_TOP + 1.5:
                colour = SURFACE
            px = over((0, 0, 0, 0), colour, 1.0)
        else:  # the empty part is see-through glass
            px = over((0, 0, 0, 0), GLASS, 0.45)
        # a glint down the left side of the glass
        if -5.0 <= v <= -3.2 and 3.0 <= u <= LENGTH - 7:
            px = over(px, HIGHLIGHT, 0.75)
    rim = box_distance(u, v, LENGTH - 3.5, LENGTH + 1.0, RADIUS + 2.2, 1.2)
    if rim <= 0:
        px = over(px, OUTLINE, 1.0)
        if box_distance(u, v, LENGTH - 2.3, LENGTH - 0.2, RADIUS + 1.0, 0.6) <= 0:
            px = over(px, GLASS, 1.0)
    return px


def draw():
    """The picture as SIZE*SIZE straight-alpha RGBA tuples, rows top to bottom."""
    pixels = []
    n = SUPERSAMPLE
    for py in range(SIZE):
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    s = shade(px + (sx + 0.5) / n, py + (sy + 0.5) / n)
                    for i in range(4):
                        acc[i] += s[i]
            r, g, b, a = (c / (n * n) for c in acc)
            if a <= 0:
                pixels.append((0, 0, 0, 0))
            else:
                pixels.append(tuple(min(255, round(c / a)) for c in (r, g, b)) + (round(a * 255),))
    return pixels


def tiff_bytes(pixels):
    """An uncompressed little-endian RGBA TIFF: one strip, unassociated alpha."""
    data = bytes(c for p in pixels for c in p)
    entries = []  # (tag, type, count, packed values)

    def short(tag, *values):
        entries.append((tag, 3, len(values), struct.pack('<%dH' % len(values), *values)))

    def long(tag, value):
        entries.append((tag, 4, 1, struct.pack('<I', value)))

    def rational(tag, num, den):
        entries.append((tag, 5, 1, struct.pack('<II', num, den)))

    pixel_offset = 8
    short(256, SIZE)
    short(257, SIZE)
    short(258, 8, 8, 8, 8)
    short(259, 1)
    short(262, 2)
    long(273, pixel_offset)
    short(277, 4)
    short(278, SIZE)
    long(279, len(data))
    rational(282, 72, 1)
    rational(283, 72, 1)
    short(284, 1)
    short(296, 2)
    short(338, 2)

    ifd_offset = pixel_offset + len(data)
    extra_offset = ifd_offset + 2 + 12 * len(entries) + 4
    ifd = struct.pack('<H', len(entries))
    extra = b''
    for tag, kind, count, value in entries:
        if len(value) <= 4:
            field = value.ljust(4, b'\0')
        else:
            field = struct.pack('<I', extra_offset + len(extra))
            extra += value
        ifd += struct.pack('<HHI', tag, kind, count) + field
    ifd += struct.pack('<I', 0)
    return b'II*\0' + struct.pack('<I', ifd_offset) + data + ifd + extra


def png_bytes(pixels, width, height):
    """A plain RGBA PNG, for looking at the picture with ordinary tools."""
    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body +
                struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b''.join(b'\0' + bytes(c for p in pixels[y * width:(y + 1) * width] for c in p)
                   for y in range(height))
    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    pixels = draw()
    with open(os.path.join(root, 'res', 'icons8-test-tube.tif'), 'wb') as f:
        f.write(tiff_bytes(pixels))
    if len(sys.argv) > 1:  # optional PNG copy for eyeballing
        with open(sys.argv[1], 'wb') as f:
            f.write(png_bytes(pixels, SIZE, SIZE))


if __name__ == '__main__':
    main()
