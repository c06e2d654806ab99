#!/usr/bin/env python3
"""Writes the program's icon, assets/icon/sw40512.svg and a 128 x 128 sw40512.png drawn from the same
shapes: a network node on the left joined through the converter to a serial line on the right.
Run from anywhere; the results are committed."""
import pathlib
import struct
import zlib

OUT = pathlib.Path(__file__).resolve().parent / "icon"
SIZE = 128

BACKGROUND = (24, 62, 110)
BOX = (236, 241, 247)
NETWORK = (64, 170, 230)
SERIAL = (246, 166, 35)

# Shapes in a 128 x 128 frame, painted in order.
ROUNDED = (4, 4, 120, 120, 20)  # x, y, w, h, corner radius of the background
NODES = [(28, 36), (28, 92), (14, 64)]  # three network stations, radius 9
HUB = (52, 64)
CONVERTER = (50, 44, 28, 40)  # the converter box
WAVE = [(82, 76), (90, 76), (90, 52), (100, 52), (100, 76), (108, 76), (108, 52), (116, 52)]


def hex_colour(rgb):
    return "#%02x%02x%02x" % rgb


def svg():
    x, y, w, h, r = ROUNDED
    cx, cy, cw, ch = CONVERTER
    parts = [
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{SIZE}" height="{SIZE}" viewBox="0 0 {SIZE} {SIZE}">',
        f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="{r}" fill="{hex_colour(BACKGROUND)}"/>',
    ]
    for nx, ny in NODES:
        parts.append(f'<line x1="{nx}" y1="{ny}" x2="{HUB[0]}" y2="{HUB[1]}" stroke="{hex_colour(NETWORK)}" '
                     'stroke-width="5" stroke-linecap="round"/>')
    for nx, ny in NODES:
        parts.append(f'<circle cx="{nx}" cy="{ny}" r="9" fill="{hex_colour(NETWORK)}"/>')
    parts.append(f'<rect x="{cx}" y="{cy}" width="{cw}" height="{ch}" rx="4" fill="{hex_colour(BOX)}"/>')
    points = " ".join(f"{px},{py}" for px, py in [(cx + cw, 76)] + WAVE)
    parts.append(f'<polyline points="{points}" fill="none" stroke="{hex_colour(SERIAL)}" stroke-width="5" '
                 'stroke-linejoin="round" stroke-linecap="round"/>')
    parts.append("</svg>")
    (OUT / "sw40512.svg").write_text("\n".join(parts) + "\n", encoding="utf-8")


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / float(dx * dx + dy * dy)))
    return ((px - ax - t * dx) ** 2 + (py - ay - t * dy) ** 2) ** 0.5


def inside_rounded(px, py, x, y, w, h, r):
    qx = min(max(px, x + r), x + w - r)
    qy = min(max(py, y + r), y + h - r)
    return (px - qx) ** 2 + (py - qy) ** 2 <= r * r and x <= px <= x + w and y <= py <= y + h


def colour_at(px, py):
    colour = None
    if inside_rounded(px, py, *ROUNDED):
        colour = BACKGROUND
    for nx, ny in NODES:
        if segment_distance(px, py, nx, ny, *HUB) <= 2.5:
            colour = NETWORK
    for nx, ny in NODES:
        if (px - nx) ** 2 + (py - ny) ** 2 <= 81:
            colour = NETWORK
    cx, cy, cw, ch = CONVERTER
    if inside_rounded(px, py, cx, cy, cw, ch, 4):
        colour = BOX
    line = [(cx + cw, 76)] + WAVE
    for (ax, ay), (bx, by) in zip(line, line[1:]):
        if segment_distance(px, py, ax, ay, bx, by) <= 2.5:
            colour = SERIAL
    return colour


def png():
    rows = bytearray()
    for y in range(SIZE):
        rows.append(0)  # no filter
        for x in range(SIZE):
            colour = colour_at(x + 0.5, y + 0.5)
            rows += bytes(colour + (255,)) if colour else bytes(4)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    (OUT / "sw40512.png").write_bytes(data + chunk(b"IEND", b""))


if __name__ == "__main__":
    OUT.mkdir(exist_ok=True)
    svg()
    png()
