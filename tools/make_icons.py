#!/usr/bin/env python3
"""Draw Quorvel's icons and write them to res/ as .ico files.

Every picture is drawn afresh for each size (16, 20, 24, 32, 40 and 48 pixels),
with outlines, marks and text lines snapped to whole pixels at that size, as
32-bit images with alpha. The application icon also carries a 256-pixel PNG.

    tools/make_icons.py                 write res/*.ico
    tools/make_icons.py --preview DIR   also write enlarged PNG sheets to look at
"""

import os
import struct
import sys
import zlib

RES_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "res")
SIZES = (16, 20, 24, 32, 40, 48)
SUBROWS = 8            # sample rows per pixel row when filling a shape

BLACK, DARK, MID, LIGHT, WHITE = (0, 0, 0), (64, 64, 64), (128, 128, 128), (192, 192, 192), (255, 255, 255)
GREEN_LAMP = {"body": (0, 255, 0), "rim": (0, 128, 0)}
RED_LAMP = {"body": (255, 0, 0), "rim": (128, 0, 0)}


# A transparent picture of size x size pixels: rows of [r, g, b, a], 0.0 to 1.0.
def blank(size):
    return [[[0.0, 0.0, 0.0, 0.0] for _ in range(size)] for _ in range(size)]


# Add a span [x0, x1) of one sample row to a row of coverage, with partial end pixels.
def cover_span(row, x0, x1, weight):
    x0, x1 = max(x0, 0.0), min(x1, float(len(row)))
    if x1 <= x0:
        return
    first, last = int(x0), int(x1)
    if first == last:
        row[first] += (x1 - x0) * weight
        return
    row[first] += (first + 1 - x0) * weight
    for x in range(first + 1, last):
        row[x] += weight
    if last < len(row):
        row[last] += (x1 - last) * weight


# Lay a colour over the picture where the polygon lies (even-odd rule), with
# smooth edges: exact along a row, SUBROWS samples down a column.
def fill(picture, points, colour, opacity=1.0):
    size = len(picture)
    edges = list(zip(points, points[1:] + points[:1]))
    top = max(0, int(min(y for _, y in points)))
    bottom = min(size, int(max(y for _, y in points)) + 1)
    for py in range(top, bottom):
        coverage = [0.0] * size
        for sub in range(SUBROWS):
            y = py + (sub + 0.5) / SUBROWS
            xs = sorted(x0 + (y - y0) * (x1 - x0) / (y1 - y0)
                        for (x0, y0), (x1, y1) in edges if (y0 <= y < y1) or (y1 <= y < y0))
            for a, b in zip(xs[0::2], xs[1::2]):
                cover_span(coverage, a, b, 1.0 / SUBROWS)
        for px, c in enumerate(coverage):
            if c > 0.0:
                blend(picture[py][px], colour, min(c, 1.0) * opacity)


# Lay one colour over one pixel with the given opacity ("over" with straight alpha).
def blend(pixel, colour, alpha):
    under = pixel[3] * (1.0 - alpha)
    out = alpha + under
    for i in range(3):
        pixel[i] = (colour[i] / 255.0 * alpha + pixel[i] * under) / out
    pixel[3] = out


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


# A polygon close enough to a circle at any of our sizes.
def circle(cx, cy, r, steps=96):
    import math
    return [(cx + r * math.cos(2 * math.pi * i / steps), cy + r * math.sin(2 * math.pi * i / steps))
            for i in range(steps)]


# A straight stroke of the given width from one point to another, its ends
# squared off half a width beyond the points so that strokes meet without gaps.
def stroke(p0, p1, width):
    import math
    (x0, y0), (x1, y1) = p0, p1
    length = math.hypot(x1 - x0, y1 - y0)
    ux, uy = (x1 - x0) / length * width / 2, (y1 - y0) / length * width / 2
    nx, ny = -uy, ux
    return [(x0 - ux + nx, y0 - uy + ny), (x1 + ux + nx, y1 + uy + ny),
            (x1 + ux - nx, y1 + uy - ny), (x0 - ux - nx, y0 - uy - ny)]


# Outline a closed polygon with strokes of the given width.
def outline(picture, points, colour, width):
    for p0, p1 in zip(points, points[1:] + points[:1]):
        fill(picture, stroke(p0, p1, width), colour)


# The tray lamp at one size: a round lamp with a darker rim. The green one
# carries a white glint; the red one a bold white "!" instead, so the two tell
# apart by shape as well as by colour.
def lamp(size, colours, alert):
    picture = blank(size)
    centre = size / 2
    rim = max(1, round(size / 14))
    fill(picture, circle(centre, centre, centre - 0.25), colours["rim"])
    fill(picture, circle(centre, centre, centre - 0.25 - rim), colours["body"])
    if alert:
        bar = 2 * max(1, round(size * 0.08))
        left = size // 2 - bar // 2
        top, bottom = round(size * 0.19), round(size * 0.62)
        dot = round(size * 0.70)
        fill(picture, rect(left, top, left + bar, bottom), WHITE)
        fill(picture, rect(left, dot, left + bar, dot + bar), WHITE)
    else:
        width = max(2.0, size / 8)
        fill(picture, stroke((size * 0.48, size * 0.74), (size * 0.74, size * 0.48), width), WHITE)
    return picture


# The application icon at one size: a text page with a folded corner and a drop
# shadow, with a crumpled deed lying across its lower-right corner; greys only.
def document(size):
    picture = blank(size)
    line = max(1, size // 32)
    left, top = round(size * 0.09), round(size * 0.03)
    right, bottom = round(size * 0.72), round(size * 0.90)
    fold = round(size * 0.2)
    page = [(left, top), (right - fold, top), (right, top + fold), (right, bottom), (left, bottom)]
    fill(picture, [(x + line, y + line) for x, y in page], MID)
    fill(picture, page, WHITE)
    fill(picture, [(right - fold, top), (right, top + fold), (right - fold, top + fold)], LIGHT)
    # Text lines, as many as fit at this size, each a whole pixel row or more.
    gap = max(3, round(size / 8))
    margin = left + line + max(1, round(size / 16))
    y = top + line + max(1, gap // 2)
    fill(picture, rect(margin, y, right - fold - line - max(1, round(size / 16)), y + line), LIGHT)
    y = top + fold + line + max(1, gap // 2)
    count = 0
    while y + line <= bottom - line - 1:
        end = right - line - max(1, round(size / 16)) - (round(size * 0.12) if count % 3 == 2 else 0)
        fill(picture, rect(margin, y, end, y + line), LIGHT)
        y += gap
        count += 1
    # Outlines run inside the page's pixels so that they stay crisp.
    h = line / 2
    outline(picture, [(left + h, top + h), (right - fold, top + h), (right - h, top + fold),
                      (right - h, bottom - h), (left + h, bottom - h)], BLACK, line)
    fill(picture, stroke((right - fold + h, top + h), (right - fold + h, top + fold - h), line), BLACK)
    fill(picture, stroke((right - fold + h, top + fold - h), (right - h, top + fold - h), line), BLACK)
    # The deed: a crumpled sheet at a slant, its facets lit and shaded around a
    # dent near its middle.
    s = size / 32.0
    deed = [(15, 22), (19, 19), (22, 17), (26, 13), (29, 17), (31, 21), (28, 23),
            (27, 27), (23, 30), (19, 28), (16, 25)]
    deed = [(x * s, y * s) for x, y in deed]
    dent = (24 * s, 22 * s)
    fill(picture, [(x + line, y + line) for x, y in deed], MID, 0.8)
    shades = (LIGHT, WHITE, LIGHT, WHITE, LIGHT, MID, LIGHT, MID, DARK if size >= 24 else MID, MID, LIGHT)
    for k, shade in enumerate(shades):
        fill(picture, [deed[k], deed[(k + 1) % len(deed)], dent], shade)
    outline(picture, deed, BLACK, line)
    return picture


# The picture as rows of 8-bit (r, g, b, a).
def to_bytes(picture):
    return [[tuple(min(255, max(0, round(v * 255))) for v in pixel) for pixel in row] for row in picture]


# Bytes per stored row of a DIB: rows are padded to a multiple of 4 bytes.
def stride(width, bpp):
    return (width * bpp + 31) // 32 * 4


# One 32-bit icon image: BITMAPINFOHEADER (height doubled for the colour bitmap
# plus mask), BGRA rows bottom first, then the 1-bpp AND mask for old displays.
def icon_image(picture):
    pixels = to_bytes(picture)
    size = len(pixels)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for r, g, b, a in row)
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(stride(size, 1))
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return {"size": size, "data": header + colour + bytes(mask)}


# A PNG of rows of (r, g, b, a), written with zlib alone.
def png(pixels):
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in pixels)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


# Wrap images in an ICO container: ICONDIR, one ICONDIRENTRY per image, then
# the data in the same order. A size of 256 is written as 0.
def ico_file(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = len(out) + 16 * len(images)
    for image in images:
        out += struct.pack("<BBBBHHII", image["size"] % 256, image["size"] % 256, 0, 0, 1, 32,
                           len(image["data"]), offset)
        offset += len(image["data"])
    return out + b"".join(image["data"] for image in images)


# Write one .ico file into res/ and report its size.
def write_icon(name, images):
    path = os.path.join(RES_DIR, name)
    data = ico_file(images)
    with open(path, "wb") as f:
        f.write(data)
    print(f"{os.path.normpath(path)}: {len(data)} bytes")


# An enlarged sheet of one icon's sizes side by side, on light and on dark
# ground, each pixel drawn as a block, for a person to look at.
def preview(pictures, path, scale=8):
    grounds = ((240, 240, 240), (40, 40, 40))
    width = sum(len(p) * scale + 8 for p in pictures) + 8
    height = len(grounds) * (max(len(p) for p in pictures) * scale + 8) + 8
    sheet = [[(255, 255, 255, 255)] * width for _ in range(height)]
    y = 8
    for ground in grounds:
        x = 8
        for picture in pictures:
            for py, row in enumerate(to_bytes(picture)):
                for px, (r, g, b, a) in enumerate(row):
                    mixed = tuple(round((c * a + gc * (255 - a)) / 255) for c, gc in zip((r, g, b), ground))
                    for yy in range(scale):
                        for xx in range(scale):
                            sheet[y + py * scale + yy][x + px * scale + xx] = mixed + (255,)
            x += len(picture) * scale + 8
        y += max(len(p) for p in pictures) * scale + 8
    with open(path, "wb") as f:
        f.write(png(sheet))


# Build all three icons.
def main():
    preview_dir = sys.argv[2] if len(sys.argv) > 2 and sys.argv[1] == "--preview" else None
    os.makedirs(RES_DIR, exist_ok=True)
    normal = [lamp(size, GREEN_LAMP, False) for size in SIZES]
    alert = [lamp(size, RED_LAMP, True) for size in SIZES]
    app = [document(size) for size in SIZES]
    write_icon("tray_normal.ico", [icon_image(p) for p in normal])
    write_icon("tray_alert.ico", [icon_image(p) for p in alert])
    large = png(to_bytes(document(256)))
    write_icon("app.ico", [icon_image(p) for p in app] + [{"size": 256, "data": large}])
    if preview_dir:
        os.makedirs(preview_dir, exist_ok=True)
        preview(normal, os.path.join(preview_dir, "tray_normal.png"))
        preview(alert, os.path.join(preview_dir, "tray_alert.png"))
        preview(app, os.path.join(preview_dir, "app.png"))
        with open(os.path.join(preview_dir, "app256.png"), "wb") as f:
            f.write(large)


if __name__ == "__main__":
    main()
