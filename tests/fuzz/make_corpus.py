#!/usr/bin/python3
"""Writes the fuzzer's seed corpus: small valid PNG and GIF files in the
shapes a player's art may take. The PNG files are written by hand (every
colour type, depth and interlacing the decoder meets); the GIF files through
Pillow. The files are committed; running this again gives the same bytes.

Run with Debian's Python (it has Pillow):  /usr/bin/python3 tests/fuzz/make_corpus.py
"""

import struct
import zlib
from pathlib import Path

from PIL import Image

CORPUS = Path(__file__).resolve().parent / "corpus"

# Adam7: (first column, first row, column step, row step) of each pass.
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]

CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}  # PNG colour type -> samples a pixel


def chunk(kind, body):
    data = kind + body
    return struct.pack(">I", len(body)) + data + struct.pack(">I", zlib.crc32(data))


def pack_row(samples, depth):
    """One scanline of samples at `depth` bits, with its filter byte (none)."""
    if depth == 8:
        return b"\0" + bytes(samples)
    if depth == 16:
        return b"\0" + b"".join(struct.pack(">H", s) for s in samples)
    out, bits, count = bytearray(), 0, 0
    for s in samples:
        bits = (bits << depth) | s
        count += depth
        if count == 8:
            out.append(bits)
            bits, count = 0, 0
    if count:
        out.append(bits << (8 - count))
    return b"\0" + bytes(out)


def sample(x, y, channel, depth):
    top = (1 << depth) - 1
    return (x * 7 + y * 13 + channel * 5) * 37 % (top + 1)


def png(width, height, colour_type, depth, interlaced=False, extra=b"", alpha_holes=False):
    channels = CHANNELS[colour_type]

    def pixel(x, y):
        values = [sample(x, y, c, depth) for c in range(channels)]
        if alpha_holes and colour_type in (4, 6) and (x + y) % 3 == 0:
            values[-1] = 0
        return values

    def rows(x0, y0, dx, dy):
        raw = b""
        for y in range(y0, height, dy):
            line = [v for x in range(x0, width, dx) for v in pixel(x, y)]
            if line:
                raw += pack_row(line, depth)
        return raw

    raw = b"".join(rows(*p) for p in ADAM7) if interlaced else rows(0, 0, 1, 1)
    header = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 1 if interlaced else 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def palette(entries):
    return chunk(b"PLTE", bytes((i * 53 % 256, i * 97 % 256, i * 151 % 256)[k]
                                for i in range(entries) for k in range(3)))


def write_pngs():
    files = {
        "rgb8.png": png(9, 7, 2, 8),
        "rgba8_holes.png": png(9, 7, 6, 8, alpha_holes=True),
        "palette1.png": png(11, 5, 3, 1, extra=palette(2)),
        "palette2_trns.png": png(10, 6, 3, 2, extra=palette(4) + chunk(b"tRNS", b"\0")),
        "palette4.png": png(7, 7, 3, 4, extra=palette(16)),
        "palette8_trns.png": png(8, 8, 3, 8, extra=palette(256) + chunk(b"tRNS", bytes(range(0, 256, 16)))),
        "grey1.png": png(13, 3, 0, 1),
        "grey4.png": png(6, 6, 0, 4),
        "grey8_trns.png": png(8, 5, 0, 8, extra=chunk(b"tRNS", struct.pack(">H", 0))),
        "grey_alpha8.png": png(8, 8, 4, 8, alpha_holes=True),
        "grey16.png": png(5, 5, 0, 16),
        "grey_alpha16.png": png(4, 6, 4, 16, alpha_holes=True),
        "rgb16_trns.png": png(6, 4, 2, 16, extra=chunk(b"tRNS", struct.pack(">HHH", 0, 0, 0))),
        "rgba16.png": png(5, 5, 6, 16, alpha_holes=True),
        "interlaced_rgba8.png": png(11, 9, 6, 8, interlaced=True, alpha_holes=True),
        "interlaced_palette4.png": png(10, 10, 3, 4, interlaced=True,
                                       extra=palette(16) + chunk(b"tRNS", b"\0\x80")),
        "interlaced_grey16.png": png(9, 9, 0, 16, interlaced=True),
        "interlaced_1x1.png": png(1, 1, 2, 8, interlaced=True),
    }
    for name, data in files.items():
        (CORPUS / name).write_bytes(data)


def gif_image(width, height, colours):
    image = Image.new("P", (width, height))
    image.putpalette([(i * 71 + k * 40) % 256 for i in range(colours) for k in range(3)])
    image.putdata([(x * 3 + y * 5) % colours for y in range(height) for x in range(width)])
    return image


def write_gifs():
    gif_image(8, 8, 4).save(CORPUS / "palette.gif", interlace=False)
    gif_image(9, 7, 16).save(CORPUS / "transparent.gif", transparency=0, interlace=False)
    gif_image(12, 12, 8).save(CORPUS / "interlaced_transparent.gif", transparency=3, interlace=True)
    gif_image(16, 16, 256).save(CORPUS / "palette256.gif", interlace=False)
    first, second = gif_image(6, 6, 4), gif_image(6, 6, 8)
    first.save(CORPUS / "two_frames.gif", save_all=True, append_images=[second],
               duration=100, loop=0, transparency=1)
    # Pillow writes GIF87a when nothing needs the later version.
    gif_image(5, 3, 2).save(CORPUS / "two_colours87a.gif", interlace=False)


if __name__ == "__main__":
    CORPUS.mkdir(exist_ok=True)
    write_pngs()
    write_gifs()
