#!/usr/bin/env python3
"""Draw Quorvel's icons as pixel art and write them to res/ as .ico files."""

import os
import struct

RES_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "res")

# Pictures are rows of characters, top row first. "." is transparent; every
# other character is looked up in the legend that goes with the picture.

# Tray lamp, 16x16: a round lamp with a darker rim and a white glint.
LAMP = (
    "....gggggg......",
    "..ggGGGGGGgg....",
    ".gGGGGGGGGGGg...",
    ".gGGGGGGGGGGg...",
    "gGGGGGGGGGGGGg..",
    "gGGGGGGGGGGGGg..",
    "gGGGGGGGGGGGGg..",
    "gGGGGGGGGGGGGg..",
    "gGGGGGGGGGWWGg..",
    "gGGGGGGGGWWGGg..",
    "gGGGGGGGWWGGGg..",
    ".gGGGGGWWGGGg...",
    ".gGGGGGGGGGGg...",
    "..ggGGGGGGgg....",
    "....gggggg......",
    "................",
)

LAMP_GREEN = {
    "G": (0, 255, 0),      # lamp body
    "g": (0, 128, 0),      # rim
    "W": (255, 255, 255),  # glint
}

# Application icon, 32x32: a text page with a folded corner and a drop
# shadow, with a crumpled deed lying across its lower-right corner.
DOCUMENT = (
    "................................",
    "...KKKKKKKKKKKKKK...............",
    "...KWWWWWWWWWWWWKK..............",
    "...KWWWWWWWWWWWWKLK.............",
    "...KWWLLLLLLLLLWKLLK............",
    "...KWWWWWWWWWWWWKLLLK...........",
    "...KWWWWWWWWWWWWKLLLLK..........",
    "...KWWLLLLLLLLWWKKKKKKK.........",
    "...KWWWWWWWWWWWWWWWWWWKM........",
    "...KWWWWWWWWWWWWWWWWWWKM........",
    "...KWWLLLLLLLLLLLLLLWWKM........",
    "...KWWWWWWWWWWWWWWWWWWKM........",
    "...KWWWWWWWWWWWWWWWWWWKM........",
    "...KWWLLLLLLLLLLLLLLWWKM........",
    "...KWWWWWWWWWWWWWWWWWWKMK.......",
    "...KWWWWWWWWWWWWWWWWWWKKLK......",
    "...KWWLLLLLLLLLLLLWWWWKLLLK.....",
    "...KWWWWWWWWWWWWWWWWWKLLLWDK....",
    "...KWWWWWWWWWWWWWWWWKLLLWDMMK...",
    "...KWWLLLLLLLLLLLLLKLLWDDMMMMK..",
    "...KWWWWWWWWWWWWWWKDLLDMMMMMMMK.",
    "...KWWWWWWWWWWWWWWKMDDMMMMMMMK..",
    "...KWWLLLLLLLLLLKKMMMMDMMMMKK...",
    "...KWWWWWWWWWWWKMMMMMMMDDMK.....",
    "...KWWWWWWWWWWKMMMMMMDDWLDK.....",
    "...KWWLLLLLLLWWKMMMDDWLLLK......",
    "...KWWWWWWWWWWWWKMDWLLLLK.......",
    "...KWWWWWWWWWWWWWKLLLLLK........",
    "...KKKKKKKKKKKKKKKKLLLKM........",
    "....MMMMMMMMMMMMMMMKLKMM........",
    "....................K...........",
    "................................",
)

DOCUMENT_GREYS = {
    "K": (0, 0, 0),        # outlines
    "D": (64, 64, 64),     # creases in the deed
    "M": (128, 128, 128),  # shadow, shaded facets of the deed
    "L": (192, 192, 192),  # text lines, fold, lit facets of the deed
    "W": (255, 255, 255),  # paper
}


# Swap the red and green channels: turns the green lamp into the red one
# while leaving white (and anything else grey) alone.
def red_for_green(legend):
    return {key: (g, r, b) for key, (r, g, b) in legend.items()}


# Turn a picture and its legend into rows of (r, g, b) tuples, None meaning
# transparent.
def to_pixels(picture, legend):
    width = len(picture[0])
    pixels = []
    for y, row in enumerate(picture):
        if len(row) != width:
            raise ValueError(f"row {y} is {len(row)} wide, expected {width}")
        pixels.append([None if ch == "." else legend[ch] for ch in row])
    return pixels


# Bytes per stored row of a DIB: rows are padded to a multiple of 4 bytes.
def stride(width, bpp):
    return (width * bpp + 31) // 32 * 4


# Build the 1-bpp AND mask, bottom row first: a set bit lets the desktop
# show through.
def and_mask(pixels):
    width = len(pixels[0])
    out = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride(width, 1))
        for x, colour in enumerate(row):
            if colour is None:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


# Build a 256-entry palette from the colours in a legend, black first so
# transparent pixels (index 0) paint nothing over the masked-out area.
def palette_for(legend):
    colours = [(0, 0, 0)]
    for colour in legend.values():
        if colour not in colours:
            colours.append(colour)
    return colours + [(0, 0, 0)] * (256 - len(colours))


# Pack the colour bitmap at 8 bpp as palette indices, bottom row first.
def xor_8bpp(pixels, palette):
    width = len(pixels[0])
    out = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride(width, 8))
        for x, colour in enumerate(row):
            line[x] = palette.index(colour) if colour else 0
        out += line
    return bytes(out)


# Pack the colour bitmap at 24 bpp as B, G, R triples, bottom row first.
def xor_24bpp(pixels):
    width = len(pixels[0])
    out = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride(width, 24))
        for x, colour in enumerate(row):
            r, g, b = colour or (0, 0, 0)
            line[3 * x:3 * x + 3] = bytes((b, g, r))
        out += line
    return bytes(out)


# Encode one icon image: BITMAPINFOHEADER (height doubled for colour bitmap
# plus mask), palette if any, colour bitmap, then AND mask.
def icon_image(pixels, legend, bpp):
    height, width = len(pixels), len(pixels[0])
    if bpp == 8:
        palette = palette_for(legend)
        colour_table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
        xor = xor_8bpp(pixels, palette)
    elif bpp == 24:
        colour_table = b""
        xor = xor_24bpp(pixels)
    else:
        raise ValueError(f"unsupported depth {bpp}")
    mask = and_mask(pixels)
    header = struct.pack(
        "<IiiHHIIiiII",
        40,                     # biSize
        width, 2 * height,      # biWidth, biHeight (colour bitmap + mask)
        1, bpp,                 # biPlanes, biBitCount
        0,                      # biCompression = BI_RGB
        len(xor) + len(mask),   # biSizeImage
        0, 0,                   # resolution, unused for icons
        0, 0,                   # biClrUsed, biClrImportant: whole palette
    )
    return {"width": width, "height": height, "bpp": bpp,
            "data": header + colour_table + xor + mask}


# Wrap encoded images in an ICO container: ICONDIR, one ICONDIRENTRY per
# image, then the image data in the same order.
def ico_file(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = len(out) + 16 * len(images)
    for image in images:
        out += struct.pack(
            "<BBBBHHII",
            image["width"] % 256, image["height"] % 256,
            0,                  # bColorCount: 0 for 256 colours and up
            0, 1, image["bpp"],  # bReserved, wPlanes, wBitCount
            len(image["data"]), offset,
        )
        offset += len(image["data"])
    return out + b"".join(image["data"] for image in images)


# Write one .ico file into res/ and report its size.
def write_icon(name, images):
    path = os.path.join(RES_DIR, name)
    data = ico_file(images)
    with open(path, "wb") as f:
        f.write(data)
    print(f"{os.path.normpath(path)}: {len(data)} bytes")


# Build all three icons.
def main():
    os.makedirs(RES_DIR, exist_ok=True)

    lamp_red = red_for_green(LAMP_GREEN)
    write_icon("tray_normal.ico",
               [icon_image(to_pixels(LAMP, LAMP_GREEN), LAMP_GREEN, 8)])
    write_icon("tray_alert.ico",
               [icon_image(to_pixels(LAMP, lamp_red), lamp_red, 8)])

    document = to_pixels(DOCUMENT, DOCUMENT_GREYS)
    write_icon("app.ico", [icon_image(document, DOCUMENT_GREYS, 8),
                           icon_image(document, DOCUMENT_GREYS, 24)])


if __name__ == "__main__":
    main()
