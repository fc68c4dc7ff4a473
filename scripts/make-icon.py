#!/usr/bin/env python3
"""Draws the program's icon (a green wave on a dark tile with a red dot, as
the Qt window draws it):
  src/win32/res/varnel.ico                 16, 32 and 48 pixels, 32-bit with alpha
  packaging/linux/icons/varnel.svg         the desktop's scalable icon
  packaging/linux/icons/varnel-48.png      and its 48 and 256 pixel pictures
  packaging/linux/icons/varnel-256.png
Run by hand from the repository's root when the look changes; the files are
committed."""
import math
import struct
import sys
import zlib

TILE = (32, 48, 64)
WAVE = (0, 200, 0)
DOT = (255, 0, 0)


def wave_y(size, x):
    return size / 2.0 - size * 0.28 * math.sin(x * 2 * math.pi / size * 1.5)


def wave_slope(size, x):
    k = 2 * math.pi / size * 1.5
    return -size * 0.28 * k * math.cos(x * k)


def colour_at(size, cx, cy, pen=False):
    """RGBA of the point (cx, cy) of an icon `size` wide. With `pen` the wave
    is as wide across as a pen draws it; without, as tall (the small icons)."""
    r = size / 6.0
    # rounded tile
    dx = max(r - cx, 0, cx - (size - r))
    dy = max(r - cy, 0, cy - (size - r))
    if dx * dx + dy * dy > r * r:
        return (0, 0, 0, 0)
    # red dot
    dot_x, dot_y, dot_r = size * 0.78, size * 0.22, size * 0.1
    if (cx - dot_x) ** 2 + (cy - dot_y) ** 2 <= dot_r * dot_r:
        return DOT + (255,)
    # green wave, thickness size/12 (at least 1)
    if pen:
        distance = abs(cy - wave_y(size, cx)) / math.hypot(1.0, wave_slope(size, cx))
        if distance <= size / 24.0:
            return WAVE + (255,)
    elif abs(cy - wave_y(size, cx)) <= max(1.0, size / 12.0) / 2 + 0.35:
        return WAVE + (255,)
    return TILE + (255,)


def pixel(size, x, y):
    """BGRA of pixel (x, y), sampled at its centre (the small icons stay crisp)."""
    r, g, b, a = colour_at(size, x + 0.5, y + 0.5)
    return (b, g, r, a)


def smooth_pixel(size, x, y, n=4):
    """RGBA of pixel (x, y), averaged over n x n samples (the large pictures)."""
    acc = [0, 0, 0, 0]
    for i in range(n):
        for j in range(n):
            c = colour_at(size, x + (i + 0.5) / n, y + (j + 0.5) / n, pen=True)
            for k in range(3):
                acc[k] += c[k] * c[3]
            acc[3] += c[3]
    if acc[3] == 0:
        return (0, 0, 0, 0)
    return tuple(round(acc[k] / acc[3]) for k in range(3)) + (round(acc[3] / (n * n)),)


def ico_image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        rows.append(b"".join(bytes(pixel(size, x, y)) for x in range(size)))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def write_ico(path):
    sizes = [16, 32, 48]
    images = [ico_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


def write_png(path, size):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + b"".join(bytes(smooth_pixel(size, x, y)) for x in range(size)) for y in range(size))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
                chunk(b"IEND", b""))


def write_svg(path, size=48):
    points = " ".join("%.2f,%.2f" % (x / 4.0, wave_y(size, x / 4.0)) for x in range(0, 4 * size + 1))
    hex_of = lambda c: "#%02x%02x%02x" % c
    svg = f"""<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" viewBox="0 0 {size} {size}">
  <clipPath id="tile"><rect width="{size}" height="{size}" rx="{size / 6:.2f}"/></clipPath>
  <rect width="{size}" height="{size}" rx="{size / 6:.2f}" fill="{hex_of(TILE)}"/>
  <polyline clip-path="url(#tile)" points="{points}" fill="none" stroke="{hex_of(WAVE)}" stroke-width="{size / 12:.2f}"/>
  <circle cx="{size * 0.78:.2f}" cy="{size * 0.22:.2f}" r="{size * 0.1:.2f}" fill="{hex_of(DOT)}"/>
</svg>
"""
    with open(path, "w") as f:
        f.write(svg)


def main(root):
    write_ico(f"{root}/src/win32/res/varnel.ico")
    write_svg(f"{root}/packaging/linux/icons/varnel.svg")
    for size in (48, 256):
        write_png(f"{root}/packaging/linux/icons/varnel-{size}.png", size)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
