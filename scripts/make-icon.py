#!/usr/bin/env python3
"""Draws the program's icon (a green wave on a dark tile with a red dot, as
the Qt window draws it) into src/win32/res/varnel.ico: 16, 32 and 48 pixels,
32-bit with alpha. Run by hand when the look changes; the file is committed."""
import math
import struct
import sys


def pixel(size, x, y):
    cx, cy = x + 0.5, y + 0.5
    r = size / 6.0
    # rounded tile
    dx = max(r - cx, 0, cx - (size - r))
    dy = max(r - cy, 0, cy - (size - r))
    if dx * dx + dy * dy > r * r:
        return (0, 0, 0, 0)
    colour = (64, 48, 32, 255)  # BGRA of (32, 48, 64)
    # red dot
    dot_x, dot_y, dot_r = size * 0.78, size * 0.22, size * 0.1
    if (cx - dot_x) ** 2 + (cy - dot_y) ** 2 <= dot_r * dot_r:
        return (0, 0, 255, 255)
    # green wave, thickness size/12 (at least 1)
    wave_y = size / 2.0 - size * 0.28 * math.sin(cx * 2 * math.pi / size * 1.5)
    if abs(cy - wave_y) <= max(1.0, size / 12.0) / 2 + 0.35:
        return (0, 200, 0, 255)
    return colour


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        rows.append(b"".join(bytes(pixel(size, x, y)) for x in range(size)))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main(path):
    sizes = [16, 32, 48]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "src/win32/res/varnel.ico")
