#!/usr/bin/env python3
"""Writes the program's icon, assets/icon/sw40512.svg, a 128 x 128 sw40512.png and the Windows icon
sw40512.ico (16, 32, 48 and 256 pixels) drawn from the same shapes: a network node on the left joined
through the converter to a serial line on the right.
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


def pixels(size, samples=1):
    """RGBA rows of the icon at `size` pixels, each pixel the average of samples x samples points."""
    scale = SIZE / size
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            total = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    colour = colour_at((x + (sx + 0.5) / samples) * scale, (y + (sy + 0.5) / samples) * scale)
                    if colour:
                        total = [t + c for t, c in zip(total, colour + (255,))]
            count = samples * samples
            alpha = total[3]
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                # Colours weighted by coverage, so edges do not darken towards transparent black.
                row.append(tuple(round(t * 255 / alpha) for t in total[:3]) + (round(alpha / count),))
        rows.append(row)
    return rows


def png_bytes(rows):
    raw = bytearray()
    for row in rows:
        raw.append(0)  # no filter
        for pixel in row:
            raw += bytes(pixel)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    size = len(rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    return data + chunk(b"IEND", b"")


def png():
    (OUT / "sw40512.png").write_bytes(png_bytes(pixels(SIZE)))


def dib_bytes(rows):
    """An icon image as a 32-bit bitmap (bottom-up BGRA, then the 1-bit mask): every Windows tool reads it."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colours = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            colours += bytes((b, g, r, a))
    mask_stride = (size + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colours + mask


def ico():
    # The small sizes as bitmaps, the large one as PNG, as Windows' own icons are stored.
    images = [(size, dib_bytes(pixels(size, 4))) for size in (16, 32, 48)]
    images.append((256, png_bytes(pixels(256, 2))))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, data in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        body += data
    (OUT / "sw40512.ico").write_bytes(directory + body)


if __name__ == "__main__":
    OUT.mkdir(exist_ok=True)
    svg()
    png()
    ico()
