#!/usr/bin/env python3
"""Draws the programs' icon: 32 x 32 pixels, 16 colours (the classic VGA
palette), an orb with a down arrow. Writes ui/win32/orb.ico."""
import struct
import sys

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
SIZE = 32


def pixel(x, y):
    """Palette index and whether the pixel is transparent."""
    cx, cy = x - 15.5, y - 15.5
    d2 = cx * cx + cy * cy
    if d2 > 15.2 * 15.2:
        return 0, True
    if d2 > 13.8 * 13.8:
        return 4, False  # dark blue rim
    # Arrow: a shaft and a head pointing down.
    if 13 <= x <= 18 and 6 <= y <= 16:
        return 15, False
    if 17 <= y <= 24 and abs(cx) <= (24 - y) + 0.5:
        return 15, False
    # Light from the upper left.
    shade = (cx + cy) / 28.0
    if shade < -0.45:
        return 14, False
    if shade < 0.1:
        return 6, False
    return 12, False


def main(path):
    xor_rows, and_rows = [], []
    for y in reversed(range(SIZE)):  # bottom-up DIB
        colours = []
        mask_bits = []
        for x in range(SIZE):
            index, clear = pixel(x, y)
            colours.append(index)
            mask_bits.append(1 if clear else 0)
        xor_rows.append(bytes((colours[i] << 4) | colours[i + 1] for i in range(0, SIZE, 2)))
        mask = bytearray(4)
        for x, bit in enumerate(mask_bits):
            if bit:
                mask[x // 8] |= 0x80 >> (x % 8)
        and_rows.append(bytes(mask))
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 4, 0,
                         SIZE * SIZE // 2 + SIZE * 4, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + b''.join(xor_rows) + b''.join(and_rows)
    icon_dir = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, 'wb') as out:
        out.write(icon_dir + entry + image)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'ui/win32/orb.ico')
