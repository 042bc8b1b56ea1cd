#!/usr/bin/python3
"""Draws all of Varnholt's pictures and writes them under assets/: the art the
game reads, and the program's icon (assets/icon/: PNGs at every size a desktop
asks for, and a Windows .ico holding them).

Run with Debian's Python (it has Pillow):  /usr/bin/python3 assets/make_art.py
The pictures it writes are committed; nothing at build or play time runs it.
Running it again gives byte-identical files.

The game draws every picture over magenta with magenta as its colour key, so a
pixel is either opaque or fully transparent: text and soft shapes are drawn
anti-aliased only onto opaque colours, and the markers are placed pixel by
pixel with a GIF transparent index for their background.

  --preview FILE   also writes a mock-up of the whole 1024 x 768 screen
"""

import argparse
import math
import random
import sys
from pathlib import Path

from PIL import Image, ImageChops, ImageDraw, ImageFont

ROOT = Path(__file__).resolve().parent.parent
ASSETS = ROOT / "assets"
FONTS = Path("/usr/share/fonts/truetype/dejavu")

MAGENTA = (255, 0, 255)

# ---- One palette for everything ----------------------------------------------
INK = (30, 26, 38)  # outlines and text on light ground
SLATE_DARK = (38, 44, 60)
SLATE = (58, 68, 90)
SLATE_LIGHT = (92, 106, 134)
SLATE_HIGH = (134, 148, 176)
BRASS_DARK = (128, 94, 42)
BRASS = (198, 158, 78)
BRASS_LIGHT = (238, 208, 132)
PARCHMENT = (228, 216, 186)
PARCHMENT_DARK = (198, 184, 150)
PARCHMENT_LINE = (182, 166, 130)
SKY = (62, 96, 150)
SKY_SHADE = (54, 84, 134)

ASPHALT = (76, 78, 88)
GUTTER = (62, 64, 72)
ROAD_LINE = (196, 186, 128)
KERB = (178, 174, 164)
PAVEMENT = (150, 146, 136)
PAVEMENT_JOINT = (140, 136, 126)
GRASS = (98, 142, 72)
GRASS_DARK = (84, 126, 62)
GRASS_SHADOW = (70, 104, 56)
PATH = (196, 180, 142)
PATH_EDGE = (172, 156, 118)
TREE_DARK = (44, 92, 50)
TREE = (62, 118, 60)
TREE_LIGHT = (96, 150, 78)
ROOF_DARK = (126, 60, 46)
ROOF = (162, 82, 60)
ROOF_LIGHT = (188, 108, 80)
FLAT_ROOF = (120, 124, 136)
FLAT_ROOF_DARK = (96, 100, 112)
FLAT_ROOF_LIGHT = (150, 154, 164)
WATER = (92, 150, 196)
WATER_LIGHT = (150, 196, 226)


def font(name, size):
    return ImageFont.truetype(str(FONTS / name), size)


UI_BOLD = "DejaVuSans-Bold.ttf"
UI = "DejaVuSans.ttf"
TITLE = "DejaVuSerif-Bold.ttf"


# ---- Small drawing helpers -----------------------------------------------------
def rect(draw, x0, y0, x1, y1, fill):
    """Fills the inclusive rectangle x0..x1, y0..y1."""
    draw.rectangle((x0, y0, x1, y1), fill=fill)


def bevel(draw, x0, y0, x1, y1, face, light, dark, edge=INK, width=2):
    """A raised box: outer edge line, lit top-left, shaded bottom-right."""
    rect(draw, x0, y0, x1, y1, edge)
    rect(draw, x0 + 1, y0 + 1, x1 - 1, y1 - 1, dark)
    rect(draw, x0 + 1, y0 + 1, x1 - 1 - width, y1 - 1 - width, light)
    rect(draw, x0 + 1 + width, y0 + 1 + width, x1 - 1 - width, y1 - 1 - width, face)


def inset(draw, x0, y0, x1, y1, face, light, dark):
    """A sunken well: shaded top-left, lit bottom-right."""
    rect(draw, x0, y0, x1, y1, light)
    rect(draw, x0, y0, x1 - 1, y1 - 1, dark)
    rect(draw, x0 + 1, y0 + 1, x1 - 1, y1 - 1, face)


def text(draw, xy, words, face, fill, anchor="la", shadow=None):
    x, y = xy
    if shadow is not None:
        draw.text((x + 1, y + 1), words, font=face, fill=shadow, anchor=anchor)
    draw.text((x, y), words, font=face, fill=fill, anchor=anchor)


def rivet(draw, x, y):
    rect(draw, x - 1, y - 1, x + 1, y + 1, BRASS_DARK)
    draw.point((x - 1, y - 1), fill=BRASS_LIGHT)
    draw.point((x, y), fill=BRASS)


def supersampled(size, scale, background, paint):
    """Paints at `scale` times the size and reduces: smooth edges, still opaque."""
    big = Image.new("RGB", (size[0] * scale, size[1] * scale), background)
    paint(ImageDraw.Draw(big), scale)
    return big.resize(size, Image.LANCZOS)


# ---- The lot -------------------------------------------------------------------
LOT = 128
HALF_STREET = 8  # asphalt on every edge; two neighbours make a 16-pixel street
KERB_AT = 8
INNER = 16  # grass starts here; rows 0..15 are the quiet marker strip


def make_lot():
    img = Image.new("RGB", (LOT, LOT), ASPHALT)
    d = ImageDraw.Draw(img)
    draw_street_edges(d)
    draw_pavement(d)
    draw_grounds(img, d)
    return img


def draw_street_edges(d):
    # The centre line lies on the join between two lots, so each lot paints it
    # on its bottom row and right column only: the top strip stays plain.
    for x in range(20, LOT - 20):
        if (x - 20) % 12 < 6:
            d.point((x, LOT - 1), fill=ROAD_LINE)
    for y in range(20, LOT - 20):
        if (y - 20) % 12 < 6:
            d.point((LOT - 1, y), fill=ROAD_LINE)


def draw_pavement(d):
    last = LOT - 1 - KERB_AT
    d.rounded_rectangle((KERB_AT - 1, KERB_AT - 1, last + 1, last + 1), radius=6, fill=GUTTER)
    d.rounded_rectangle((KERB_AT, KERB_AT, last, last), radius=5, fill=KERB)
    d.rounded_rectangle((KERB_AT + 1, KERB_AT + 1, last - 1, last - 1), radius=4, fill=PAVEMENT)
    # Slab joints on the left, right and bottom pavements; the top one, under
    # the markers, stays a single calm colour.
    for k in range(INNER + 8, LOT - INNER, 8):
        rect(d, KERB_AT + 1, k, INNER - 1, k, PAVEMENT_JOINT)
        rect(d, LOT - INNER, k, LOT - KERB_AT - 2, k, PAVEMENT_JOINT)
        rect(d, k, LOT - INNER, k, LOT - KERB_AT - 2, PAVEMENT_JOINT)


def draw_grounds(img, d):
    lo, hi = INNER, LOT - INNER - 1
    rect(d, lo, lo, hi, hi, GRASS)
    speckle_grass(img, lo, hi)
    # A sandy path from the bottom pavement to a small fountain square.
    rect(d, 78, 84, 90, hi, PATH_EDGE)
    rect(d, 79, 84, 89, hi, PATH)
    rect(d, 90, 70, hi, 80, PATH_EDGE)
    rect(d, 90, 71, hi, 79, PATH)
    d.ellipse((68, 58, 100, 90), fill=PATH_EDGE)
    d.ellipse((69, 59, 99, 89), fill=PATH)
    d.ellipse((75, 65, 93, 83), fill=FLAT_ROOF_DARK)
    d.ellipse((77, 67, 91, 81), fill=WATER)
    d.ellipse((81, 70, 86, 75), fill=WATER_LIGHT)
    draw_house(d, 22, 24, 60, 56)
    draw_flat_block(d, 22, 68, 56, 104)
    for x, y, r in ((80, 32, 9), (101, 44, 7), (100, 101, 7), (66, 104, 6)):
        draw_tree(d, x, y, r)


def speckle_grass(img, lo, hi):
    rng = random.Random(1024)  # fixed seed: the same lot every run
    px = img.load()
    for _ in range(260):
        x, y = rng.randint(lo, hi), rng.randint(lo, hi)
        px[x, y] = GRASS_DARK


def draw_house(d, x0, y0, x1, y1):
    """A hipped roof seen from above, with its shadow falling bottom-right."""
    rect(d, x0 + 3, y0 + 3, x1 + 3, y1 + 3, GRASS_SHADOW)
    rect(d, x0, y0, x1, y1, ROOF_DARK)
    mid_y = (y0 + y1) // 2
    inset_x = (y1 - y0) // 2
    # Four faces: the top face is lit, the bottom one shaded.
    d.polygon([(x0, y0), (x1, y0), (x1 - inset_x, mid_y), (x0 + inset_x, mid_y)], fill=ROOF_LIGHT)
    d.polygon([(x0, y1), (x1, y1), (x1 - inset_x, mid_y), (x0 + inset_x, mid_y)], fill=ROOF_DARK)
    d.polygon([(x0, y0), (x0 + inset_x, mid_y), (x0, y1)], fill=ROOF)
    d.polygon([(x1, y0), (x1 - inset_x, mid_y), (x1, y1)], fill=ROOF)
    d.line([(x0 + inset_x, mid_y), (x1 - inset_x, mid_y)], fill=INK)
    for corner in ((x0, y0), (x0, y1), (x1, y0), (x1, y1)):
        tip = (x0 + inset_x if corner[0] == x0 else x1 - inset_x, mid_y)
        d.line([corner, tip], fill=ROOF_DARK)
    d.rectangle((x0, y0, x1, y1), outline=INK)
    rect(d, x1 - 10, y0 + 4, x1 - 6, y0 + 8, FLAT_ROOF_DARK)  # chimney


def draw_flat_block(d, x0, y0, x1, y1):
    rect(d, x0 + 3, y0 + 3, x1 + 3, y1 + 3, GRASS_SHADOW)
    rect(d, x0, y0, x1, y1, INK)
    rect(d, x0 + 1, y0 + 1, x1 - 1, y1 - 1, FLAT_ROOF_DARK)
    rect(d, x0 + 3, y0 + 3, x1 - 3, y1 - 3, FLAT_ROOF)
    rect(d, x0 + 3, y0 + 3, x1 - 3, y0 + 3, FLAT_ROOF_LIGHT)
    # A stair hut and two vents on the roof.
    rect(d, x0 + 6, y0 + 7, x0 + 15, y0 + 14, FLAT_ROOF_DARK)
    rect(d, x0 + 6, y0 + 7, x0 + 14, y0 + 13, FLAT_ROOF_LIGHT)
    for vx, vy in ((x1 - 9, y1 - 10), (x1 - 16, y1 - 10)):
        rect(d, vx, vy, vx + 3, vy + 3, FLAT_ROOF_DARK)


def draw_tree(d, cx, cy, r):
    d.ellipse((cx - r + 3, cy - r + 3, cx + r + 3, cy + r + 3), fill=GRASS_SHADOW)
    d.ellipse((cx - r, cy - r, cx + r, cy + r), fill=TREE_DARK)
    d.ellipse((cx - r + 1, cy - r + 1, cx + r - 1, cy + r - 1), fill=TREE)
    h = max(2, r // 2)
    d.ellipse((cx - r + 2, cy - r + 2, cx - r + 2 + h * 2, cy - r + 2 + h * 2), fill=TREE_LIGHT)


# ---- The markers ---------------------------------------------------------------
# Each marker is a 16 x 16 pixel map of its body; the dark outline is added
# around it automatically, so the bodies keep a pixel free on every side.
# '.' is transparent, other letters index the marker's own colours; the first
# colour listed is the marker's own, which the legend's axis scale shows.
MARKERS = {
    "Green": (
        {"G": (70, 168, 60), "L": (150, 214, 100), "D": (34, 104, 40), "S": (110, 84, 44)},
        """
        ................
        ..........DDDD..
        ........DDGGGD..
        ......DDGGGLGD..
        .....DGGGGLGGD..
        ....DGGGGLGGGD..
        ...DGGGGLGGGD...
        ...DGGGLGGGGD...
        ..DGGGLGGGGD....
        ..DGGLGGGGD.....
        ..DGLGGGDD......
        ..DLGDDD........
        ..SD............
        .S..............
        .S..............
        ................
        """,
    ),
    "Polluting": (
        {"A": (84, 78, 74), "B": (122, 114, 106), "C": (162, 154, 140), "R": (150, 70, 46),
         "F": (126, 86, 66), "W": (222, 190, 92)},
        """
        ................
        ...AAA..........
        ..ABBBAAA.......
        .ABCCBBBBA......
        .ABCBBBBBBAA....
        ..ABBBBBBBBBA...
        ...AAABBBBBBA...
        .......AABBA....
        ..........RR....
        ..........RR....
        ..F...F...RR....
        ..FF..FF..RR....
        ..FFF.FFF.RRR...
        ..FFFFFFFFFFFF..
        ..FWFFWFFWFFFF..
        ................
        """,
    ),
    "Criminal": (
        {"M": (168, 36, 48), "H": (214, 84, 88), "E": (250, 238, 220), "K": (30, 26, 38)},
        """
        ................
        ................
        ................
        ................
        .MMMMMMMMMMMMMM.
        .MHHHHHMMHHHHHM.
        .MMKKKMMMMKKKMM.
        .MKKEKKMMKKEKKM.
        .MMKKKMMMMKKKMM.
        ..MMMMM..MMMMM..
        ...MMM....MMM...
        ................
        ................
        ................
        ................
        ................
        """,
    ),
    "Lawful": (
        {"B": (48, 92, 184), "L": (96, 146, 226), "Y": (236, 196, 70), "O": (176, 132, 40)},
        """
        ................
        .YYYYYYYYYYYYYY.
        .YBBBBBBBBBBBBY.
        .YBLLLLYYLLLLBY.
        .YBLLLLYYLLLLBY.
        .YBLYYYYYYYYLBY.
        .YBLLYYYYYYLLBY.
        .YBBLLYYYYLLBBY.
        .YBBBLYYYYLBBBY.
        ..YBBYYLLYYBBY..
        ..YBBYLLLLYBBY..
        ...YBBBBBBBBY...
        ....YBBBBBBY....
        .....YYBBYY.....
        .......YY.......
        ................
        """,
    ),
    "Noisy": (
        {"O": (246, 140, 36), "Y": (255, 206, 84), "R": (200, 84, 28)},
        """
        ................
        ..........O.....
        ......R....O....
        .....RR..O..O...
        ....RYR...O.O...
        .RRRYYR.O..O.O..
        .RYYYYR..O.O.O..
        .RYYYYR..O.O.O..
        .RYYYYR..O.O.O..
        .RYYYYR..O.O.O..
        .RRRYYR.O..O.O..
        ....RYR...O.O...
        .....RR..O..O...
        ......R....O....
        ..........O.....
        ................
        """,
    ),
    "Quiet": (
        {"P": (172, 204, 244), "W": (236, 244, 255), "D": (120, 154, 210)},
        """
        ................
        .....PPP........
        ...PPWW.........
        ..PPWW..........
        ..PPWW......W...
        .PPPW......WWW..
        .PPPW.......W...
        .PPPPW..........
        .DPPPW..........
        .DPPPPW.........
        .DPPPPPWW....DD.
        ..DPPPPPWWWWDD..
        ...DPPPPPPPPD...
        ....DDPPPPDD....
        ......DDDD......
        ................
        """,
    ),
    "Arcane": (
        {"V": (150, 82, 214), "L": (214, 176, 252), "D": (104, 48, 164)},
        """
        ................
        .......LL.......
        .......LV.......
        ......LLVV......
        ......LVVV......
        .LLLLLLVVVVVVVD.
        ..VLLLLVVVVVDD..
        ...VLLVVVVVDD...
        ....VLVVVVVD....
        ....LVVVVVVD....
        ...LVVVDDVVVD...
        ...LVVD..DVVD...
        ..LVD......DVD..
        ..LD........DD..
        ................
        ................
        """,
    ),
    "Techy": (
        {"T": (64, 176, 190), "L": (140, 222, 228), "D": (36, 116, 132)},
        """
        ................
        ......TLLT......
        ..TT..TLLT..TT..
        ..TLTTTTTTTTLT..
        ...TTLLLLLLTT...
        ...TLLTTTTLLT...
        .TTTLT....TLTTT.
        .LLTTT....TTTDD.
        .LLTTT....TTTDD.
        .TTTLT....TDTTT.
        ...TLTTTTTTDT...
        ...TTDDDDDDTT...
        ..TDTTTTTTTTDT..
        ..TT..TDDT..TT..
        ......TDDT......
        ................
        """,
    ),
}

MARKER_OUTLINE = (26, 22, 30)


def make_marker(name):
    colours, art = MARKERS[name]
    rows = [row.strip() for row in art.strip().splitlines()]
    rows = [row.ljust(16, ".")[:16] for row in rows] + ["." * 16] * (16 - len(rows))
    filled = [[ch != "." for ch in row] for row in rows]
    # Index 0 is the transparent background, kept magenta for any reader that
    # ignores the GIF's transparency; index 1 the outline; then the colours.
    letters = sorted(colours)
    palette = [MAGENTA, MARKER_OUTLINE] + [colours[c] for c in letters]
    img = Image.new("P", (16, 16), 0)
    px = img.load()
    for y in range(16):
        for x in range(16):
            ch = rows[y][x]
            if ch != ".":
                px[x, y] = 2 + letters.index(ch)
            elif touches(filled, x, y):
                px[x, y] = 1
    flat = [v for rgb in palette for v in rgb]
    img.putpalette(flat + [0] * (768 - len(flat)))
    img.info["transparency"] = 0
    return img


def touches(filled, x, y):
    """Whether an empty pixel has a body pixel beside it, corners included."""
    for dy in (-1, 0, 1):
        for dx in (-1, 0, 1):
            nx, ny = x + dx, y + dy
            if 0 <= nx < 16 and 0 <= ny < 16 and filled[ny][nx]:
                return True
    return False


# ---- The sidebar -------------------------------------------------------------
SIDEBAR_W = 256
TOP_H = 304
BAND_Y = 240  # the tab buttons stand on rows 240..303
TAB_XS = (32, 96, 160)
TAB_SIZE = 64
PANEL_H = 464


def make_sidebar_top():
    img = Image.new("RGB", (SIDEBAR_W, TOP_H), SLATE)
    d = ImageDraw.Draw(img)
    bevel(d, 0, 0, SIDEBAR_W - 1, BAND_Y - 1, SLATE, SLATE_LIGHT, SLATE_DARK)
    inset(d, 10, 10, SIDEBAR_W - 11, BAND_Y - 11, SKY, SLATE_HIGH, SLATE_DARK)
    img.paste(make_banner(), (11, 11))
    draw_title(d)
    img.paste(make_emblem(), (78, 90))
    draw_tab_shelf(d)
    return img


def make_banner():
    """The night sky behind the title, with the city's roofs along its foot."""
    w, h = SIDEBAR_W - 22, BAND_Y - 22

    def paint(d, s):
        for i in range(h):
            t = i / (h - 1)
            colour = tuple(int(a + (b - a) * t) for a, b in zip(SLATE_DARK, SKY))
            d.rectangle((0, i * s, w * s, (i + 1) * s), fill=colour)
        skyline(d, s, w, h)

    return supersampled((w, h), 4, SKY, paint)


def skyline(d, s, w, h):
    base = h
    roofs = [(0, 24), (18, 34), (30, 20), (52, 40), (66, 28), (84, 18), (104, 30),
             (130, 26), (150, 44), (164, 22), (186, 32), (206, 20), (220, 36)]
    for i, (x, height) in enumerate(roofs):
        x_end = roofs[i + 1][0] if i + 1 < len(roofs) else w
        d.rectangle((x * s, (base - height) * s, x_end * s, base * s), fill=SLATE_DARK)
        if i % 3 == 1:  # a pitched gable now and then
            mid = (x + x_end) / 2
            d.polygon([(x * s, (base - height) * s), (mid * s, (base - height - 8) * s),
                       (x_end * s, (base - height) * s)], fill=SLATE_DARK)
    rng = random.Random(7)
    for _ in range(26):  # lit windows
        x = rng.randrange(4, w - 4)
        y = rng.randrange(base - 16, base - 4)
        d.rectangle((x * s, y * s, (x + 2) * s - 1, (y + 2) * s - 1), fill=BRASS_LIGHT)


def draw_title(d):
    face = font(TITLE, 34)
    text(d, (SIDEBAR_W // 2, 46), "Varnholt", face, BRASS_LIGHT, anchor="mm", shadow=INK)
    d.line([(44, 70), (SIDEBAR_W - 45, 70)], fill=BRASS, width=1)
    d.line([(44, 71), (SIDEBAR_W - 45, 71)], fill=BRASS_DARK, width=1)
    rivet(d, 40, 70)
    rivet(d, SIDEBAR_W - 41, 70)


def make_emblem():
    """The city's arms: a brass-edged shield with a gate tower and a star."""
    size = (100, 112)

    def paint(d, s):
        def p(x, y):
            return (x * s, y * s)

        shield = [p(2, 2), p(98, 2), p(98, 54), p(50, 108), p(2, 54)]
        d.polygon(shield, fill=INK)
        d.polygon([p(6, 6), p(94, 6), p(94, 52), p(50, 102), p(6, 52)], fill=BRASS)
        d.polygon([p(11, 11), p(89, 11), p(89, 50), p(50, 95), p(11, 50)], fill=SKY)
        d.polygon([p(11, 11), p(50, 11), p(50, 95), p(11, 50)], fill=SKY_SHADE)
        paint_tower_and_star(d, p)

    tile = supersampled(size, 4, SKY, paint)
    # Paste the shield with its own surround: the sky inside the inset shows
    # around it, so take the surround from the banner's colour at that height.
    mask = supersampled(size, 4, (0, 0, 0), lambda d, s: d.polygon(
        [(2 * s, 2 * s), (98 * s, 2 * s), (98 * s, 54 * s), (50 * s, 108 * s), (2 * s, 54 * s)],
        fill=(255, 255, 255))).convert("L")
    banner = make_banner().crop((78 - 11, 90 - 11, 78 - 11 + size[0], 90 - 11 + size[1]))
    return Image.composite(tile, banner, mask)


def paint_tower_and_star(d, p, windows=True):
    """The charges on the arms: a gate tower with battlements and an arched
    gate, and a star above it. `p` maps the emblem's units to the canvas."""
    d.rectangle((*p(32, 40), *p(68, 82)), fill=PARCHMENT)
    for bx in range(32, 68, 8):
        d.rectangle((*p(bx, 32), *p(bx + 4, 40)), fill=PARCHMENT)
    d.rectangle((*p(43, 62), *p(57, 82)), fill=INK)
    d.ellipse((*p(43, 55), *p(57, 69)), fill=INK)
    if windows:
        d.rectangle((*p(36, 46), *p(40, 53)), fill=INK)
        d.rectangle((*p(60, 46), *p(64, 53)), fill=INK)
    d.rectangle((*p(28, 82), *p(72, 86)), fill=PARCHMENT_DARK)
    star(d, p, 50, 22, 8, 3.4, BRASS_LIGHT)


def star(d, p, cx, cy, outer, inner, fill):
    points = []
    for k in range(10):
        r = outer if k % 2 == 0 else inner
        a = -math.pi / 2 + k * math.pi / 5
        points.append(p(cx + r * math.cos(a), cy + r * math.sin(a)))
    d.polygon(points, fill=fill)


# ---- The icon -----------------------------------------------------------------
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
ICON_SCALE = 8  # supersampling of the icon's coverage and colours
# The shield's outline in the emblem's units, as make_emblem draws it.
ARMS = ((2, 2), (98, 2), (98, 54), (50, 108), (2, 54))
ARMS_LEFT, ARMS_TOP, ARMS_WIDTH, ARMS_HEIGHT = 2, 2, 96, 106


def make_icon(size):
    """The city's arms alone on a clear square: the program's icon.

    The shield is fitted to whole pixels at every size, so its top and sides
    are sharp and only the slanted chin is smoothed. Every pixel it covers in
    part, and every clear one, has the outline's own colour: however a desktop
    scales or blends the icon, no other colour can show as a fringe. Below
    48 pixels the tower loses its windows, which would only be smudges.
    """
    margin = max(1, round(size / 16))
    height = size - 2 * margin
    width = round(height * ARMS_WIDTH / ARMS_HEIGHT)
    width -= (size - width) % 2  # the same margin left and right
    left, top = (size - width) // 2, margin
    s = ICON_SCALE

    def to_canvas(x, y):
        return (x * s, y * s)

    def at(x, y):  # the emblem's units to icon pixels
        return (left + (x - ARMS_LEFT) * width / ARMS_WIDTH,
                top + (y - ARMS_TOP) * height / ARMS_HEIGHT)

    def p(x, y):
        return to_canvas(*at(x, y))

    outline = [at(*corner) for corner in ARMS]
    # The rims keep the emblem's proportions but never go below one pixel.
    ink = max(1, round(4 * height / ARMS_HEIGHT))
    brass = max(1, round(5 * height / ARMS_HEIGHT))

    def scaled(points):
        return [to_canvas(x, y) for x, y in points]

    def paint_colours(d, _):
        d.polygon(scaled(shrunk(outline, ink)), fill=BRASS)
        field = shrunk(outline, ink + brass)
        d.polygon(scaled(field), fill=SKY)
        middle = left + width / 2
        # The field's left half lies in shade, as on the emblem.
        (x0, y0), _, _, (_, chin), (_, shoulder) = field
        d.polygon(scaled([(x0, y0), (middle, y0), (middle, chin), (x0, shoulder)]),
                  fill=SKY_SHADE)
        paint_tower_and_star(d, p, windows=size >= 48)

    def paint_cover(d, _):
        d.polygon(scaled(outline), fill=255)

    big = (size * s, size * s)
    colours = Image.new("RGB", big, INK)
    paint_colours(ImageDraw.Draw(colours), s)
    cover = Image.new("L", big, 0)
    paint_cover(ImageDraw.Draw(cover), s)
    # Pillow fills a shape's last column and row too; without them the shape
    # covers exactly its own area, and the icon comes out symmetric.
    cover = ImageChops.darker(cover, ImageChops.offset(cover, -1, 0))
    cover = ImageChops.darker(cover, ImageChops.offset(cover, 0, -1))
    # Area averages: exact coverage, no ringing past the outline.
    colours = colours.resize((size, size), Image.BOX)
    cover = cover.resize((size, size), Image.BOX)
    edge = cover.point(lambda a: 255 if a < 255 else 0)
    colours.paste(INK, (0, 0, size, size), edge)
    icon = colours.convert("RGBA")
    icon.putalpha(cover)
    return icon


def shrunk(points, d):
    """A convex polygon with every side moved inwards by d."""
    n = len(points)
    cx = sum(x for x, _ in points) / n
    cy = sum(y for _, y in points) / n
    sides = []
    for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
        nx, ny = y1 - y0, x0 - x1
        length = math.hypot(nx, ny)
        nx, ny = nx / length, ny / length
        if (cx - x0) * nx + (cy - y0) * ny < 0:
            nx, ny = -nx, -ny
        sides.append((x0 + nx * d, y0 + ny * d, x1 - x0, y1 - y0))
    corners = []
    for (ax, ay, adx, ady), (bx, by, bdx, bdy) in zip(sides[-1:] + sides[:-1], sides):
        t = ((bx - ax) * bdy - (by - ay) * bdx) / (adx * bdy - ady * bdx)
        corners.append((ax + adx * t, ay + ady * t))
    return corners


def save_icons(folder):
    """The icon as a PNG at each size, and a Windows .ico holding them all."""
    icons = [make_icon(size) for size in ICON_SIZES]
    for size, icon in zip(ICON_SIZES, icons):
        save(icon, folder / f"varnholt-{size}.png")
    icons[-1].save(folder / "varnholt.ico", format="ICO",
                   sizes=[icon.size for icon in icons], append_images=icons[:-1])


def draw_tab_shelf(d):
    """Rows 240..303: a recessed shelf the buttons stand in, with brass-capped
    posts filling the 32 pixels at either end."""
    rect(d, 0, BAND_Y, SIDEBAR_W - 1, TOP_H - 1, SLATE_DARK)
    rect(d, 0, BAND_Y, SIDEBAR_W - 1, BAND_Y + 1, INK)
    rect(d, 0, TOP_H - 2, SIDEBAR_W - 1, TOP_H - 1, INK)
    for x0 in (0, SIDEBAR_W - 32):
        post(d, x0)


def post(d, x0):
    x1 = x0 + 31
    y0, y1 = BAND_Y + 2, TOP_H - 3
    bevel(d, x0 + 2, y0, x1 - 2, y1, SLATE, SLATE_LIGHT, SLATE_DARK)
    bevel(d, x0 + 6, y0 + 6, x1 - 6, y1 - 6, BRASS, BRASS_LIGHT, BRASS_DARK, width=1)
    inset(d, x0 + 10, y0 + 10, x1 - 10, y1 - 10, SLATE, SLATE_DARK, SLATE_LIGHT)
    cx = (x0 + x1) // 2
    for y in (y0 + 3, y1 - 3):
        rivet(d, cx, y)


def make_tab(word):
    img = Image.new("RGB", (TAB_SIZE, TAB_SIZE), SLATE_DARK)
    d = ImageDraw.Draw(img)
    bevel(d, 0, 0, TAB_SIZE - 1, TAB_SIZE - 1, SLATE, SLATE_HIGH, SLATE_DARK, width=3)
    bevel(d, 6, 6, TAB_SIZE - 7, TAB_SIZE - 7, PARCHMENT, (244, 236, 212), PARCHMENT_DARK,
          edge=BRASS_DARK, width=1)
    text(d, (TAB_SIZE // 2, TAB_SIZE // 2 + 1), word, font(UI_BOLD, 17), INK, anchor="mm")
    return img


def panel_base():
    img = Image.new("RGB", (SIDEBAR_W, PANEL_H), SLATE)
    d = ImageDraw.Draw(img)
    bevel(d, 0, 0, SIDEBAR_W - 1, PANEL_H - 1, SLATE, SLATE_LIGHT, SLATE_DARK)
    return img, d


# Where the game draws the eight legend markers: panel rows and columns, and
# the ambiance names in axis order, each pair (left, right).
LEGEND_ROWS = (16, 144, 272, 400)
LEGEND_COLS = (16, 144)
LEGEND = (("Green", "Polluting"), ("Criminal", "Lawful"), ("Noisy", "Quiet"),
          ("Arcane", "Techy"))
LABEL_GAP = 20


def make_amb_panel():
    img, d = panel_base()
    card(d, 6, 6, SIDEBAR_W - 7, PANEL_H - 7)
    face = font(UI_BOLD, 13)
    for i, (row_y, names) in enumerate(zip(LEGEND_ROWS, LEGEND)):
        if i > 0:
            divider(d, row_y - 9)
        rect(d, 128, row_y - 2, 128, row_y + 17, PARCHMENT_LINE)  # between the two ends
        for col_x, name in zip(LEGEND_COLS, names):
            slot(d, col_x, row_y)
            text(d, (col_x + LABEL_GAP, row_y + 8), name, face, INK, anchor="lm")
        axis_scale(d, row_y + 32, names)
    return img


def divider(d, y):
    rect(d, 12, y, SIDEBAR_W - 13, y, PARCHMENT_LINE)
    rect(d, 12, y + 1, SIDEBAR_W - 13, y + 1, (244, 236, 212))
    rivet(d, 12, y)
    rivet(d, SIDEBAR_W - 13, y)


def card(d, x0, y0, x1, y1):
    bevel(d, x0, y0, x1, y1, PARCHMENT, (244, 236, 212), PARCHMENT_DARK, edge=INK, width=1)


def slot(d, x, y):
    """A thin frame one pixel outside the 16 x 16 square the game fills."""
    d.rectangle((x - 2, y - 2, x + 17, y + 17), outline=PARCHMENT_LINE)
    d.rectangle((x - 1, y - 1, x + 16, y + 16), outline=(240, 232, 208))


def axis_scale(d, y, names):
    """A bar shading from one end of the axis to the other, with a middle mark."""
    left = MARKERS[names[0]][0]
    right = MARKERS[names[1]][0]
    a = next(iter(left.values()))
    b = next(iter(right.values()))
    x0, x1 = 24, SIDEBAR_W - 25
    rect(d, x0 - 1, y - 1, x1 + 1, y + 8, INK)
    for x in range(x0, x1 + 1):
        t = (x - x0) / (x1 - x0)
        if t < 0.5:
            colour = mix(a, PARCHMENT, t * 2)
        else:
            colour = mix(PARCHMENT, b, (t - 0.5) * 2)
        rect(d, x, y, x, y + 7, colour)
    mid = (x0 + x1) // 2
    rect(d, mid, y - 4, mid, y + 11, INK)
    for k in range(1, 4):
        for x in (x0 + (mid - x0) * k // 4, mid + (x1 - mid) * k // 4):
            rect(d, x, y + 9, x, y + 11, INK)


def mix(a, b, t):
    return tuple(int(round(p + (q - p) * t)) for p, q in zip(a, b))


def make_list_panel(word):
    """The pros and mvr panels: their word as a heading over an empty ledger."""
    img, d = panel_base()
    bevel(d, 40, 10, SIDEBAR_W - 41, 46, BRASS, BRASS_LIGHT, BRASS_DARK, width=1)
    text(d, (SIDEBAR_W // 2, 28), word, font(UI_BOLD, 20), INK, anchor="mm")
    rivet(d, 48, 28)
    rivet(d, SIDEBAR_W - 49, 28)
    card(d, 10, 58, SIDEBAR_W - 11, PANEL_H - 11)
    inset(d, 18, 66, SIDEBAR_W - 19, PANEL_H - 19, PARCHMENT, (244, 236, 212), PARCHMENT_DARK)
    for y in range(92, PANEL_H - 24, 24):
        rect(d, 26, y, SIDEBAR_W - 27, y, PARCHMENT_LINE)
    return img


# ---- Writing -------------------------------------------------------------------
def pictures():
    """Every picture the game reads, by its path under assets/."""
    out = {"Lots/lot_base.png": make_lot()}
    for name in MARKERS:
        out[f"Ambiances/{name}/{name.lower()}.gif"] = make_marker(name)
    out["GUI/sb_top.png"] = make_sidebar_top()
    for word in ("amb", "pros", "mvr"):
        out[f"GUI/sb_tab_{word}.png"] = make_tab(word)
    out["GUI/sb_amb.png"] = make_amb_panel()
    out["GUI/sb_pros.png"] = make_list_panel("pros")
    out["GUI/sb_mvr.png"] = make_list_panel("mvr")
    return out


def save(img, path):
    path.parent.mkdir(parents=True, exist_ok=True)
    if path.suffix == ".gif":
        img.save(path, format="GIF", transparency=0, optimize=False)
    else:
        img.save(path, format="PNG", optimize=False, compress_level=9)


def preview(pics, path):
    """The whole screen as the game lays it out, with a few markers on lots."""
    screen = Image.new("RGB", (1024, 768), MAGENTA)
    lot = pics["Lots/lot_base.png"]
    for gy in range(6):
        for gx in range(6):
            screen.paste(lot, (256 + gx * 128, gy * 128))
    markers = [pics[f"Ambiances/{n}/{n.lower()}.gif"] for n in MARKERS]
    order = list(MARKERS)
    rng = random.Random(3)
    for gy in range(6):
        for gx in range(6):
            for axis in range(4):
                pick = rng.choice((None, 0, 1))
                if pick is not None:
                    m = markers[order.index(LEGEND[axis][pick])]
                    paste_keyed(screen, m, (256 + gx * 128 + 16 * axis, gy * 128))
    screen.paste(pics["GUI/sb_top.png"], (0, 0))
    for x, word in zip(TAB_XS, ("amb", "pros", "mvr")):
        screen.paste(pics[f"GUI/sb_tab_{word}.png"], (x, BAND_Y))
    screen.paste(pics["GUI/sb_amb.png"], (0, TOP_H))
    for row_y, names in zip(LEGEND_ROWS, LEGEND):
        for col_x, name in zip(LEGEND_COLS, names):
            paste_keyed(screen, markers[order.index(name)], (col_x, TOP_H + row_y))
    screen.save(path)


def paste_keyed(screen, marker, xy):
    rgba = marker.convert("RGBA")
    screen.paste(rgba, xy, rgba)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--preview", metavar="FILE", help="also write a mock-up of the screen")
    args = parser.parse_args(argv)
    pics = pictures()
    for rel, img in pics.items():
        save(img, ASSETS / rel)
    save_icons(ASSETS / "icon")
    if args.preview:
        preview(pics, args.preview)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
