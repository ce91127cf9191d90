#!/usr/bin/env python3
"""Draws Quenlith's icon and writes src/Quenlith.ico: 48, 32 and 16 pixels square, each in
256 colours and in 32-bit colour with alpha. The picture: a drive inside a red "no" sign.
Standard library only; run it again after changing the drawing."""

import math
import pathlib
import struct

SIZES = (48, 32, 16)
SAMPLES = 4  # supersampling per axis

RED = (208, 32, 40)
BODY_TOP, BODY_BOTTOM = (120, 150, 210), (40, 60, 120)
LED = (60, 210, 90)


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and left <= x <= right and top <= y <= bottom


def colour_at(x, y):
    """The picture in unit coordinates: an RGBA tuple or None where it is transparent."""
    dx, dy = x - 0.5, y - 0.5
    distance = math.hypot(dx, dy)
    # The slash of the sign runs from top left to bottom right, over the drive.
    if distance <= 0.40 and abs(dx - dy) / math.sqrt(2) <= 0.065:
        return RED
    if 0.36 <= distance <= 0.48:
        return RED
    if inside_rounded_rect(x, y, 0.22, 0.36, 0.78, 0.66, 0.06):
        if math.hypot(x - 0.68, y - 0.56) <= 0.04:
            return LED
        t = (y - 0.36) / 0.30
        return tuple(round(a + (b - a) * t) for a, b in zip(BODY_TOP, BODY_BOTTOM))
    return None


def render(size):
    """Rows top to bottom of (r, g, b, a), averaged over SAMPLES x SAMPLES points a pixel."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour = colour_at((px + (sx + 0.5) / SAMPLES) / size,
                                       (py + (sy + 0.5) / SAMPLES) / size)
                    if colour is not None:
                        covered += 1
                        total = [t + c for t, c in zip(total, colour)]
            alpha = round(255 * covered / SAMPLES ** 2)
            rgb = tuple(round(t / covered) for t in total) if covered else (0, 0, 0)
            row.append((*rgb, alpha))
        rows.append(row)
    return rows


def palette_256():
    """A 6x6x6 colour cube and 40 greys: 256 entries."""
    levels = (0, 51, 102, 153, 204, 255)
    colours = [(r, g, b) for r in levels for g in levels for b in levels]
    colours += [(round(i * 255 / 41),) * 3 for i in range(1, 41)]
    return colours


def and_mask(rows, size):
    stride = ((size + 31) // 32) * 4
    data = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        data += bits
    return bytes(data)


def header(size, bit_count, palette_entries):
    return struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bit_count, 0, 0, 0, 0,
                       palette_entries, 0)


def image_32(rows, size):
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    return header(size, 32, 0) + bytes(pixels) + and_mask(rows, size)


def image_8(rows, size):
    palette = palette_256()
    stride = (size + 3) // 4 * 4

    def nearest(rgb):
        return min(range(256), key=lambda i: sum((p - c) ** 2 for p, c in zip(palette[i], rgb)))

    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(nearest((r, g, b)) if a >= 128 else 0 for r, g, b, a in row)
        pixels += line + bytes(stride - size)
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header(size, 8, 256) + table + bytes(pixels) + and_mask(rows, size)


def main():
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, 8, image_8(rows, size)))
        images.append((size, 32, image_32(rows, size)))
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b'', b''
    for size, bits, blob in images:
        entries += struct.pack('<BBBBHHII', size, size, 0, 0, 1, bits, len(blob), offset)
        offset += len(blob)
        blobs += blob
    target = pathlib.Path(__file__).resolve().parent.parent / 'src' / 'Quenlith.ico'
    target.write_bytes(directory + entries + blobs)
    print(f'wrote {target} ({target.stat().st_size} bytes, {len(images)} images)')


if __name__ == '__main__':
    main()
