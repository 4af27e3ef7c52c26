#!/usr/bin/env python3
"""Draws the two 16x16 heads of the timeline's time indicator (normal and hovered) as PNG
files into resources/images. Plain Python: a small rasteriser with 4x4 supersampling."""
import os
import struct
import zlib

SIZE = 16
SS = 4  # samples per pixel side


def head_contains(x, y):
    # A rounded-top shield pointing down: a box 14 wide from y 1 to 9, then a point at y 15.
    if y < 1 or y > 15 or x < 1 or x > 15:
        return False
    if y <= 9:
        # rounded upper corners, radius 2
        for cx, cy in ((3, 3), (13, 3)):
            if y < cy and ((x < cx and cx == 3) or (x > cx and cx == 13)):
                return (x - cx) ** 2 + (y - cy) ** 2 <= 4
        return True
    half = 7 * (15 - y) / 6  # half width shrinking to the tip
    return abs(x - 8) <= half


def render(fill, edge):
    rows = []
    for py in range(SIZE):
        row = bytearray([0])  # filter type none
        for px in range(SIZE):
            inside = 0
            for sy in range(SS):
                for sx in range(SS):
                    if head_contains(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS):
                        inside += 1
            a = inside / (SS * SS)
            # a one-pixel lighter rim where the shape is partly covered
            r, g, b = edge if 0 < a < 1 else fill
            row += bytes([r, g, b, int(round(a * 255))])
        rows.append(bytes(row))
    return b"".join(rows)


def png(raw):
    def chunk(kind, data):
        c = struct.pack(">I", len(data)) + kind + data
        return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "images")
    os.makedirs(out, exist_ok=True)
    for name, fill, edge in (("icon_time_line1.png", (0, 170, 255), (120, 210, 255)),
                             ("icon_time_line2.png", (110, 205, 255), (200, 235, 255))):
        with open(os.path.join(out, name), "wb") as f:
            f.write(png(render(fill, edge)))


if __name__ == "__main__":
    main()
