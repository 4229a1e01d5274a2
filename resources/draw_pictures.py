#!/usr/bin/python3
"""Draws the control panel's pictures: resources/temp_binary_data_N.png.

Run from anywhere with Debian's python3 and python3-pil:  /usr/bin/python3 resources/draw_pictures.py
Every picture is drawn at SS times its size and box-reduced, so edges and type are antialiased.
The output is deterministic (seeded textures), so redrawing an unchanged script changes no file.
"""
import os
import random

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONT_DIR = "/usr/share/fonts/truetype/dejavu/"
SS = 4  # supersampling factor

SANS = "DejaVuSans.ttf"
SANS_BOLD = "DejaVuSans-Bold.ttf"
COND = "DejaVuSansCondensed.ttf"
COND_BOLD = "DejaVuSansCondensed-Bold.ttf"

# Colours of the anodised panel and its print
PANEL = (44, 46, 51)
PANEL_DEEP = (33, 35, 39)
RECESS = (19, 20, 23)
PRINT = (214, 217, 222)
PRINT_DIM = (150, 154, 160)
ACCENT = (236, 128, 36)
EDGE_LIGHT = (92, 96, 104)
EDGE_DARK = (14, 15, 17)

_font_cache = {}


def font(name, px):
    key = (name, max(1, int(round(px))))
    if key not in _font_cache:
        _font_cache[key] = ImageFont.truetype(FONT_DIR + name, key[1])
    return _font_cache[key]


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


class Painter:
    """Draws in design units onto a supersampled RGB canvas of w x h final pixels.

    kx, ky: final pixels per design unit. All coordinates handed in are design units.
    """

    def __init__(self, w, h, kx=1.0, ky=1.0, bg=PANEL):
        self.w, self.h = w, h
        self.kx, self.ky = kx * SS, ky * SS
        self.img = Image.new("RGB", (w * SS, h * SS), bg)
        self.d = ImageDraw.Draw(self.img)

    # coordinate helpers: supersampled pixel edges of a design rectangle
    def box(self, x, y, w, h):
        x0, y0 = int(round(x * self.kx)), int(round(y * self.ky))
        x1, y1 = int(round((x + w) * self.kx)), int(round((y + h) * self.ky))
        return x0, y0, x1, y1

    def px(self, v):  # a length in design units, in supersampled pixels (vertical scale)
        return max(1, int(round(v * self.ky)))

    def rect(self, x, y, w, h, fill, radius=0):
        x0, y0, x1, y1 = self.box(x, y, w, h)
        if x1 <= x0 or y1 <= y0:
            return
        if radius > 0:
            self.d.rounded_rectangle([x0, y0, x1 - 1, y1 - 1], radius=self.px(radius), fill=fill)
        else:
            self.d.rectangle([x0, y0, x1 - 1, y1 - 1], fill=fill)

    def vgrad(self, x, y, w, h, top, bottom, radius=0):
        x0, y0, x1, y1 = self.box(x, y, w, h)
        if x1 <= x0 or y1 <= y0:
            return
        ramp = Image.linear_gradient("L").resize((x1 - x0, y1 - y0), Image.BILINEAR)
        grad = Image.composite(Image.new("RGB", ramp.size, bottom), Image.new("RGB", ramp.size, top), ramp)
        mask = Image.new("L", ramp.size, 0)
        ImageDraw.Draw(mask).rounded_rectangle([0, 0, ramp.size[0] - 1, ramp.size[1] - 1],
                                               radius=self.px(radius) if radius else 0, fill=255)
        self.img.paste(grad, (x0, y0), mask)

    def ellipse(self, x, y, w, h, fill, outline=None, width=0):
        x0, y0, x1, y1 = self.box(x, y, w, h)
        self.d.ellipse([x0, y0, x1 - 1, y1 - 1], fill=fill, outline=outline,
                       width=self.px(width) if width else 0)

    def radial(self, cx, cy, r, inner, outer, steps=24):
        for i in range(steps, 0, -1):
            t = i / steps
            rr = r * t
            self.ellipse(cx - rr, cy - rr, 2 * rr, 2 * rr, mix(inner, outer, t))

    def line(self, x0, y0, x1, y1, fill, width=1.0):
        self.d.line([(x0 * self.kx, y0 * self.ky), (x1 * self.kx, y1 * self.ky)], fill=fill,
                    width=self.px(width))

    def text_width(self, s, face, size):  # in design units
        return font(face, size * self.ky).getlength(s) / self.kx

    def text(self, x, y, s, face, size, fill, anchor="la", spacing=0.0):
        f = font(face, size * self.ky)
        if spacing == 0.0:
            self.d.text((x * self.kx, y * self.ky), s, font=f, fill=fill, anchor=anchor)
            return
        # letter-spaced text: measure, then place glyph by glyph
        gap = spacing * self.kx
        total = sum(f.getlength(c) for c in s) + gap * (len(s) - 1)
        sx = x * self.kx
        if anchor[0] == "m":
            sx -= total / 2
        elif anchor[0] == "r":
            sx -= total
        for c in s:
            self.d.text((sx, y * self.ky), c, font=f, fill=fill, anchor="l" + anchor[1])
            sx += f.getlength(c) + gap

    def printed(self, x, y, s, face, size, fill=PRINT, anchor="la", spacing=0.0):
        """Screen-printed legend with a faint shadow below it."""
        shadow = (10, 11, 12)
        self.text(x, y + 0.8, s, face, size, shadow, anchor, spacing)
        self.text(x, y, s, face, size, fill, anchor, spacing)

    def texture(self, seed, amp=5.0, x=0, y=0, w=None, h=None, base=PANEL, streak=18):
        """Brushed, anodised metal: long horizontal streaks over a base colour."""
        x0, y0, x1, y1 = self.box(x, y, w if w is not None else self.w * SS / self.kx,
                                  h if h is not None else self.h * SS / self.ky)
        fw, fh = max(1, (x1 - x0) // SS), max(1, (y1 - y0) // SS)
        rnd = random.Random(seed)
        cols = max(2, fw // streak)
        raw = bytes(rnd.randrange(256) for _ in range(cols * fh))
        fine = Image.frombytes("L", (cols, fh), raw).resize((fw, fh), Image.BILINEAR)
        rows = bytes(rnd.randrange(256) for _ in range(fh))
        row = Image.frombytes("L", (1, fh), rows).resize((fw, fh), Image.NEAREST)
        tex = Image.blend(fine, row, 0.45)
        chans = [tex.point(lambda v, c=c: max(0, min(255, int(round(c + (v - 128) / 128.0 * amp)))))
                 for c in base]
        metal = Image.merge("RGB", chans).resize((x1 - x0, y1 - y0), Image.NEAREST)
        self.img.paste(metal, (x0, y0))

    def bevel_frame(self, x, y, w, h, light, dark, t=1.0):
        """Raised edge: light top/left, dark bottom/right."""
        self.rect(x, y, w, t, light)
        self.rect(x, y, t, h, light)
        self.rect(x, y + h - t, w, t, dark)
        self.rect(x + w - t, y, t, h, dark)

    def recess(self, x, y, w, h, fill=RECESS, radius=0):
        """A window cut into the panel: dark rim above, light lip below."""
        self.rect(x, y, w, h, EDGE_LIGHT, radius)
        self.rect(x, y, w, h - 1, EDGE_DARK, radius)
        self.rect(x + 1, y + 1, w - 2, h - 2, fill, radius)

    def screw(self, cx, cy, r=5.0):
        self.ellipse(cx - r - 1, cy - r - 1, 2 * r + 2, 2 * r + 2, EDGE_DARK)
        self.radial(cx - r * 0.25, cy - r * 0.3, r * 1.15, (178, 182, 188), (72, 75, 80))
        self.ellipse(cx - r - 1, cy - r - 1, 2 * r + 2, 2 * r + 2, None, EDGE_DARK, 1.0)
        # cross-head slot at an angle
        a = r * 0.62
        self.line(cx - a, cy - a * 0.45, cx + a, cy + a * 0.45, (40, 42, 46), 1.3)
        self.line(cx - a * 0.45, cy + a, cx + a * 0.45, cy - a, (40, 42, 46), 1.3)

    def final(self):
        return self.img.reduce(SS)


# ----------------------------------------------------------------------------------------------
# Controls shared by the pictures

def push_button(p, x, y, w, h, lit, lit_top, lit_bottom, radius=4.0):
    """A rectangular push button sitting in its own cut-out; lit draws the face switched on.

    Everything outside the inset face is the same in both states."""
    p.rect(x, y, w, h, EDGE_DARK, radius + 1)                 # cut-out shadow
    p.rect(x + 1, y + 1, w - 2, h - 2, (8, 8, 10), radius)    # gap round the cap
    fx, fy, fw, fh = x + 2.5, y + 2.5, w - 5, h - 5
    if lit:
        p.vgrad(fx, fy, fw, fh, lit_top, lit_bottom, radius - 1)
        p.rect(fx + 2, fy + 1, fw - 4, 1.0, mix(lit_top, (255, 255, 255), 0.45))
    else:
        p.vgrad(fx, fy, fw, fh, (84, 88, 95), (52, 55, 60), radius - 1)
        p.rect(fx + 2, fy + 1, fw - 4, 1.0, (120, 124, 132))
    p.rect(fx + 2, fy + fh - 1.6, fw - 4, 1.0, mix(lit_bottom, (0, 0, 0), 0.4) if lit else (40, 42, 46))


def led(p, cx, cy, w, h, on, on_col, off_col):
    p.rect(cx - w / 2 - 1, cy - h / 2 - 1, w + 2, h + 2, (10, 10, 12), 1.5)
    if on:
        p.vgrad(cx - w / 2, cy - h / 2, w, h, mix(on_col, (255, 255, 255), 0.3), mix(on_col, (0, 0, 0), 0.12), 1.0)
        p.rect(cx - w / 2 + 1, cy - h / 2 + 0.6, w / 2, 0.9, mix(on_col, (255, 255, 255), 0.7))
    else:
        p.vgrad(cx - w / 2, cy - h / 2, w, h, mix(off_col, (0, 0, 0), 0.1), mix(off_col, (0, 0, 0), 0.45), 1.0)


# ----------------------------------------------------------------------------------------------
# The main panel (design size 438 x 580)

DESIGN_W, DESIGN_H = 438, 580
RATE_BUTTONS = [  # label, design rectangle x, y, w, h
    ("44.1", (252, 136, 142, 47)),
    ("48", (256, 189, 138, 45)),
    ("88.2", (253, 241, 137, 44)),
    ("96", (254, 291, 136, 46)),
    ("176.4", (253, 346, 142, 43)),
    ("192", (253, 397, 138, 46)),
]
MUTE_BUTTON = (77, 508, 84, 47)
READOUTS = [(37, 460, 81, 35), (119, 461, 86, 34)]
FADER_GROUP = (93, 119, 65, 340)
FADERS = [(93, 128, 25, 321), (123, 128, 25, 321)]   # group rectangle plus the faders' own (0|30, 9)
THUMB_W, THUMB_H = 22, 33
DB_MIN, DB_MAX = -64.0, 0.0

GREEN_TOP, GREEN_BOTTOM = (92, 214, 112), (24, 128, 52)
RED_TOP, RED_BOTTOM = (246, 92, 80), (166, 22, 22)


def fader_y(db):
    """Panel y of the thumb centre for a level: the slider insets its travel by half a thumb."""
    top = FADERS[0][1] + THUMB_H // 2
    travel = FADERS[0][3] - 2 * (THUMB_H // 2)
    return top + (DB_MAX - db) / (DB_MAX - DB_MIN) * travel


def draw_panel(w, h, lit):
    p = Painter(w, h, w / DESIGN_W, h / DESIGN_H)
    k = p.ky / SS                      # final pixels per design unit

    def fs(size, min_px=6.5):          # font size in design units, never below min_px on screen
        return max(size, min_px / k)

    def legible(size):                 # small print is left out where it would be mush
        return size * k >= 5.5

    p.texture(seed=1438, amp=4.0)
    # outer edge of the front plate
    p.bevel_frame(0, 0, DESIGN_W, DESIGN_H, (86, 90, 98), (12, 13, 15), 1.5)
    for sx, sy in ((14, 14), (DESIGN_W - 14, 14), (14, DESIGN_H - 14), (DESIGN_W - 14, DESIGN_H - 14)):
        p.screw(sx, sy, 5.0)

    # header
    p.printed(34, 52, "Quibra", SANS_BOLD, 34, PRINT, "ls")
    qw = p.text_width("Quibra", SANS_BOLD, 34)
    p.printed(34 + qw + 5, 52, "eX", SANS_BOLD, 34, ACCENT, "ls")
    p.printed(404, 38, "VELKWERK", SANS_BOLD, fs(12), PRINT, "rs", spacing=2.2)
    if legible(9.5):
        p.printed(404, 53, "USB AUDIO INTERFACE", COND, 9.5, PRINT_DIM, "rs", spacing=0.9)
    p.rect(34, 66, 370, 1.2, ACCENT)

    # output section plate
    ox, oy, ow, oh = 26, 84, 190, 484
    p.rect(ox - 1, oy - 1, ow + 2, oh + 2, EDGE_DARK, 7)
    p.rect(ox, oy, ow, oh, (60, 63, 69), 6)
    p.texture(seed=2111, amp=3.0, x=ox + 1.5, y=oy + 1.5, w=ow - 3, h=oh - 3, base=PANEL_DEEP, streak=14)
    p.printed(ox + ow / 2, 101, "OUTPUT", SANS_BOLD, fs(10.5), PRINT, "ms", spacing=2.0)
    # channel letters above the fader tracks
    for (fx, _, fw, _), name in zip(FADERS, ("L", "R")):
        p.printed(fx + THUMB_W / 2, 121, name, SANS_BOLD, fs(10), PRINT_DIM, "ms")

    # dB scale: numbered marks on both sides, minor marks between; coarser where the panel is small
    left_cx = FADERS[0][0] + THUMB_W / 2
    right_cx = FADERS[1][0] + THUMB_W / 2
    label_step, minor_step = (12, 6) if k < 0.6 else (6, 3)
    num = fs(8.5, 6.0)
    db = 0
    while db >= DB_MIN:
        y = fader_y(db)
        major = db % label_step == 0
        t = 0.9 if major else 0.7
        col = PRINT if major else PRINT_DIM
        lw = 10 if major else 6
        p.rect(left_cx - 6 - lw, y - t / 2, lw, t, col)
        p.rect(right_cx + 6, y - t / 2, lw, t, col)
        p.rect(left_cx + 6, y - t / 2, right_cx - left_cx - 12, t, mix(col, PANEL_DEEP, 0.45))
        if major and db > -64:
            s = "0" if db == 0 else "\u2212%d" % -db
            p.text(left_cx - 19, y, s, COND, num, PRINT, "rm")
            p.text(right_cx + 19, y, s, COND, num, PRINT, "lm")
        db -= minor_step
    if k >= 0.6:
        p.text(left_cx - 19, fader_y(DB_MIN), "\u221264", COND, num, PRINT_DIM, "rm")
        p.text(right_cx + 19, fader_y(DB_MIN), "\u221264", COND, num, PRINT_DIM, "lm")
    p.text(right_cx + 19, fader_y(0) - 13, "dB", COND_BOLD, num, PRINT_DIM, "lm")
    p.text(left_cx - 19, fader_y(0) - 13, "dB", COND_BOLD, num, PRINT_DIM, "rm")
    # the fader slots
    for cx in (left_cx, right_cx):
        top, bottom = fader_y(0) - 8, fader_y(DB_MIN) + 8
        p.rect(cx - 3.5, top - 1, 7, bottom - top + 2, EDGE_DARK, 3)
        p.rect(cx - 2.5, top, 5, bottom - top, (4, 4, 5), 2.5)
        p.rect(cx + 2.5, top + 2, 1.0, bottom - top - 3, (78, 82, 88))
    # read-out windows under the faders
    for (rx, ry, rw, rh) in READOUTS:
        p.recess(rx, ry, rw, rh, (12, 16, 18), 2)
        p.rect(rx + 2, ry + 2, rw - 4, 1.0, (26, 31, 34))
    # mute button and its caption
    mx, my, mw, mh = MUTE_BUTTON
    push_button(p, mx, my, mw, mh, lit, RED_TOP, RED_BOTTOM)
    led(p, mx + mw - 12, my + 10, 7, 4, lit, (255, 70, 60), (70, 26, 24))
    p.text(mx + mw / 2, my + mh / 2 + 1, "MUTE", SANS_BOLD, fs(11.5, 7.0),
           (255, 246, 240) if lit else PRINT, "mm")
    p.text(mx - 8, my + mh / 2, "OUT", COND_BOLD, fs(8.5, 6.0), PRINT_DIM, "rm")

    # sample rate section plate
    rx0, ry0, rw0, rh0 = 238, 84, 172, 372
    p.rect(rx0 - 1, ry0 - 1, rw0 + 2, rh0 + 2, EDGE_DARK, 7)
    p.rect(rx0, ry0, rw0, rh0, (60, 63, 69), 6)
    p.texture(seed=3117, amp=3.0, x=rx0 + 1.5, y=ry0 + 1.5, w=rw0 - 3, h=rh0 - 3, base=PANEL_DEEP, streak=14)
    p.printed(rx0 + rw0 / 2, 101, "SAMPLE RATE", SANS_BOLD, fs(10.5), PRINT, "ms", spacing=2.0)
    p.printed(rx0 + rw0 / 2, 121, "kHz", COND_BOLD, fs(9, 6.0), PRINT_DIM, "ms", spacing=1.0)
    for label, (bx, by, bw, bh) in RATE_BUTTONS:
        push_button(p, bx, by, bw, bh, lit, GREEN_TOP, GREEN_BOTTOM)
        led(p, bx + bw - 20, by + bh / 2, 9, 6, lit, (120, 255, 140), (26, 54, 32))
        size = fs(17, 8.5)
        p.text(bx + 18, by + bh / 2 + 1, label, SANS_BOLD, size,
               (250, 255, 250) if lit else PRINT, "lm")
        if legible(9.5):
            lw = p.text_width(label, SANS_BOLD, size)
            p.text(bx + 18 + lw + 4, by + bh / 2 + 2, "kHz", COND, 9.5,
                   (220, 250, 225) if lit else PRINT_DIM, "lm")

    # maker's mark in the free corner
    p.printed(rx0 + rw0 / 2, 494, "VELKWERK", SANS_BOLD, fs(13), PRINT_DIM, "ms", spacing=3.0)
    p.rect(rx0 + 30, 503, rw0 - 60, 1.0, ACCENT)
    if legible(9):
        p.printed(rx0 + rw0 / 2, 520, "24 BIT \u00b7 44.1 \u2013 192 kHz", COND, 9, PRINT_DIM, "ms",
                  spacing=0.6)
    p.printed(rx0 + rw0 / 2, 534, "FLEXROUTE", COND_BOLD, fs(9, 6.0), PRINT_DIM, "ms", spacing=1.5)
    return p.final()


# ----------------------------------------------------------------------------------------------
# Fader thumbs (22 x 33)

def draw_thumb(marked):
    p = Painter(THUMB_W, THUMB_H, bg=(30, 31, 34))
    w, h = THUMB_W, THUMB_H
    p.rect(0, 0, w, h, (6, 6, 7), 1.5)
    p.vgrad(0.7, 0.7, w - 1.4, h - 1.4, (214, 217, 222), (112, 116, 122), 1.2)
    # grip ridges above and below the centre line
    for i in range(4):
        for yy in (4.0 + 2.6 * i, h - 6.0 - 2.6 * i):
            p.rect(3, yy, w - 6, 0.9, (86, 89, 95))
            p.rect(3, yy + 0.9, w - 6, 0.7, (236, 238, 242))
    # centre line: dark band with a bright line in the middle (row 16)
    p.rect(1, 14.6, w - 2, 3.8, (28, 29, 32))
    p.rect(1, 16, w - 2, 1, ACCENT if marked else (250, 250, 250))
    if marked:
        # amber marker lamps on both sides
        for xx in (1.2, w - 4.2):
            p.vgrad(xx, 4, 3, 8, (255, 196, 96), (220, 110, 20), 1)
            p.vgrad(xx, h - 12, 3, 8, (255, 196, 96), (220, 110, 20), 1)
    return p.final()


# ----------------------------------------------------------------------------------------------
# Routing editor picture (524 x 442)

ROUTE_W, ROUTE_H = 524, 442
NODE = 18
NODE_COLUMNS = [("PhysicIn", 99, 2), ("WDMout", 196, 6), ("WDMin", 274, 6), ("ASIOout", 370, 6), ("ASIOin", 448, 6)]
MUTE_TOGGLES = [(182, 73, 47, 30), (356, 73, 47, 30)]
MIX_TOGGLES = [(22, 390, 155, 31, "MIX VIRTUAL 1/2"), (189, 390, 155, 31, "MIX VIRTUAL 3/4")]
NODE_HIGHLIGHT = (99, 159, 18, 18)
WIRE_RED, WIRE_YELLOW, WIRE_GREEN = (255, 0, 0), (255, 255, 0), (0, 128, 0)


def node_y(channel):
    return 113 + 46 * channel


def node_spot(p, x, y, lit):
    c = NODE / 2
    p.ellipse(x, y, NODE, NODE, EDGE_DARK)
    p.radial(x + c - 1, y + c - 1.5, c + 0.6, (196, 200, 206), (74, 77, 83), 16)
    p.ellipse(x + 0.5, y + 0.5, NODE - 1, NODE - 1, None, (20, 21, 24), 1.0)
    if lit:
        # the socket glows
        p.ellipse(x + 3.5, y + 3.5, 11, 11, (16, 60, 110))
        p.radial(x + c, y + c, 5.2, (250, 255, 255), (40, 150, 255), 14)
    else:
        p.ellipse(x + 4.5, y + 4.5, 9, 9, (10, 10, 12))
        p.ellipse(x + 6.2, y + 6.8, 5, 5, (34, 36, 40))


def group_plate(p, x, y, w, h, seed):
    p.rect(x - 1, y - 1, w + 2, h + 2, EDGE_DARK, 7)
    p.rect(x, y, w, h, (60, 63, 69), 6)
    p.texture(seed=seed, amp=3.0, x=x + 1.5, y=y + 1.5, w=w - 3, h=h - 3, base=PANEL_DEEP, streak=14)


def mute_toggle(p, x, y, w, h, state):
    """state: 'off', 'over' (pointer over it) or 'on'. Both spots look the same when off."""
    p.rect(x, y, w, h, PANEL_DEEP)
    if state == "on":
        push_button(p, x, y, w, h, True, RED_TOP, RED_BOTTOM, 3.5)
        txt = (255, 246, 240)
    elif state == "over":
        push_button(p, x, y, w, h, True, (130, 96, 96), (78, 56, 58), 3.5)
        txt = (255, 226, 220)
    else:
        push_button(p, x, y, w, h, False, None, (52, 55, 60), 3.5)
        txt = PRINT
    p.text(x + w / 2, y + h / 2 + 1, "MUTE", COND_BOLD, 12.5, txt, "mm")


def mix_toggle(p, x, y, w, h, label, on):
    push_button(p, x, y, w, h, on, GREEN_TOP, GREEN_BOTTOM, 4)
    led(p, x + 16, y + h / 2, 8, 5, on, (120, 255, 140), (26, 54, 32))
    p.text(x + 30, y + h / 2 + 1, label, COND_BOLD, 13, (250, 255, 250) if on else PRINT, "lm",
           spacing=0.3)


# The window opens at 0.7 times the picture's size: every legend is drawn at
# 12 picture pixels or more, about 8.5 screen pixels there, and bold where it is small.
LEGEND = 13


def draw_routing(lit):
    p = Painter(ROUTE_W, ROUTE_H)
    p.texture(seed=524, amp=4.0)
    p.bevel_frame(0, 0, ROUTE_W, ROUTE_H, (86, 90, 98), (12, 13, 15), 1.5)
    for sx, sy in ((11, 11), (ROUTE_W - 11, 11), (11, ROUTE_H - 11), (ROUTE_W - 11, ROUTE_H - 11)):
        p.screw(sx, sy, 4.0)
    # title
    p.printed(26, 33, "Flex", SANS_BOLD, 20, PRINT, "ls")
    fw = p.text_width("Flex", SANS_BOLD, 20)
    p.printed(26 + fw, 33, "ROUTE", SANS_BOLD, 20, ACCENT, "ls")
    p.printed(500, 31, "QUIBRA ROUTING MATRIX", COND_BOLD, 12, PRINT_DIM, "rs", spacing=1.0)
    p.rect(26, 39, 474, 1.0, ACCENT)

    # group plates: inputs, WDM, ASIO
    group_plate(p, 22, 48, 138, 160, 601)
    group_plate(p, 170, 48, 164, 332, 602)
    group_plate(p, 344, 48, 164, 332, 603)
    p.printed(91, 66, "INPUTS", SANS_BOLD, LEGEND, PRINT, "ms", spacing=1.6)
    p.printed(252, 66, "WDM", SANS_BOLD, LEGEND, PRINT, "ms", spacing=1.6)
    p.printed(426, 66, "ASIO", SANS_BOLD, LEGEND, PRINT, "ms", spacing=1.6)
    for gx in (252, 426):
        p.text(gx + 8, 81, "PLAYBACK", COND_BOLD, 12, PRINT_DIM, "lm", spacing=0.3)
        p.text(gx + 8, 96, "\u2192 RECORD", COND_BOLD, 12, PRINT_DIM, "lm", spacing=0.3)
    p.text(91, 88, "PHYSICAL", COND_BOLD, 12, PRINT_DIM, "mm", spacing=0.5)
    # the inputs' colour key lives in its own plate under the inputs
    group_plate(p, 22, 218, 138, 162, 604)
    p.printed(91, 238, "WIRE COLOURS", COND_BOLD, LEGEND, PRINT, "ms", spacing=0.8)
    for i, (name, col) in enumerate((("WDM", WIRE_RED), ("ASIO", WIRE_YELLOW), ("PHYSIC IN", WIRE_GREEN))):
        yy = 258 + 21 * i
        p.rect(34, yy - 2.5, 30, 5, EDGE_DARK, 2)
        p.rect(35, yy - 1.5, 28, 3, col, 1.5)
        p.text(72, yy, name, COND_BOLD, LEGEND, PRINT, "lm", spacing=0.3)
    # how to edit, in lines that fit the plate
    for i, line in enumerate(("drag:", "source \u2192 destination", "double-click: remove")):
        p.text(91, 325 + 17 * i, line, COND_BOLD, 12, PRINT_DIM, "mm")

    # node columns with their names under the spots
    for prefix, x, count in NODE_COLUMNS:
        for ch in range(count):
            y = node_y(ch)
            spot_lit = lit and (x, y) == NODE_HIGHLIGHT[:2]
            node_spot(p, x, y, spot_lit)
            p.text(x + NODE / 2, y + NODE + 9, "%s%d" % (prefix, ch + 1), COND_BOLD, LEGEND, PRINT, "mm")
    # arrows from sources to destinations in the WDM and ASIO plates
    for sx in (196, 370):
        ax = sx + NODE + 14
        for ch in range(6):
            yy = node_y(ch) + NODE / 2
            p.rect(ax, yy - 0.4, 22, 0.8, PRINT_DIM)
            p.d.polygon([(p.kx * (ax + 26), p.ky * yy), (p.kx * (ax + 21), p.ky * (yy - 2.6)),
                         (p.kx * (ax + 21), p.ky * (yy + 2.6))], fill=PRINT_DIM)

    # toggles: in the lit picture the first mute spot is on, the second shows the pointer-over look
    mute_toggle(p, *MUTE_TOGGLES[0], "on" if lit else "off")
    mute_toggle(p, *MUTE_TOGGLES[1], "over" if lit else "off")
    for (x, y, w, h, label) in MIX_TOGGLES:
        mix_toggle(p, x, y, w, h, label, lit)
    p.printed(432, 403, "VELKWERK", SANS_BOLD, LEGEND, PRINT_DIM, "ms", spacing=2.0)
    p.rect(380, 409, 104, 1.0, ACCENT)
    p.text(432, 424, "Quibra eX", COND_BOLD, 12, PRINT_DIM, "ms", spacing=0.6)
    return p.final()


ROUTING_CUTOUTS = [(182, 73, 47, 30), (356, 73, 47, 30), NODE_HIGHLIGHT, (22, 390, 155, 31), (189, 390, 155, 31)]


# ----------------------------------------------------------------------------------------------
# About window picture (531 x 212) and its close button (48 x 17)

ABOUT_W, ABOUT_H = 531, 212
CLOSE_AT = (116, 171)
CLOSE_W, CLOSE_H = 48, 17
TITLE_AREA = (279, 174, 214, 30)     # title text box at (285, 181), 200 x 20, with a margin
LINK_AREA = (67, 143, 140, 16)


def close_button(p, x, y, highlighted):
    p.rect(x, y, CLOSE_W, CLOSE_H, EDGE_DARK, 3)
    if highlighted:
        p.vgrad(x + 1, y + 1, CLOSE_W - 2, CLOSE_H - 2, (250, 170, 90), (206, 104, 24), 2.5)
        txt = (255, 255, 255)
    else:
        p.vgrad(x + 1, y + 1, CLOSE_W - 2, CLOSE_H - 2, (96, 100, 107), (58, 61, 66), 2.5)
        txt = PRINT
    p.rect(x + 3, y + 1.6, CLOSE_W - 6, 0.8, (255, 214, 170) if highlighted else (130, 134, 142))
    p.text(x + CLOSE_W / 2, y + CLOSE_H / 2 + 0.5, "CLOSE", SANS_BOLD, 8.5, txt, "mm", spacing=0.8)


def about_backdrop(p):
    p.texture(seed=531, amp=4.0)
    p.bevel_frame(0, 0, ABOUT_W, ABOUT_H, (86, 90, 98), (12, 13, 15), 1.5)


def draw_about():
    p = Painter(ABOUT_W, ABOUT_H)
    about_backdrop(p)
    # maker's mark: a ring with a V, and the word mark under it
    cx, cy = 137, 62
    p.ellipse(cx - 37, cy - 37, 74, 74, EDGE_DARK)
    p.radial(cx - 6, cy - 8, 40, (120, 124, 132), (40, 42, 47), 28)
    p.ellipse(cx - 30, cy - 30, 60, 60, None, ACCENT, 2.2)
    p.d.polygon([(p.kx * (cx - 17), p.ky * (cy - 15)), (p.kx * (cx - 8), p.ky * (cy - 15)),
                 (p.kx * cx, p.ky * (cy + 7)), (p.kx * (cx + 8), p.ky * (cy - 15)),
                 (p.kx * (cx + 17), p.ky * (cy - 15)), (p.kx * (cx + 4), p.ky * (cy + 19)),
                 (p.kx * (cx - 4), p.ky * (cy + 19))], fill=PRINT)
    p.printed(cx, 124, "VELKWERK", SANS_BOLD, 14, PRINT, "ms", spacing=3.2)
    # plain strip for the web link
    lx, ly, lw, lh = LINK_AREA
    p.rect(lx - 1, ly - 1, lw + 2, lh + 2, EDGE_DARK, 3)
    p.rect(lx, ly, lw, lh, (26, 28, 31), 2.5)
    p.text(lx + lw / 2, ly + lh / 2 + 0.5, "velkwerk website \u203a", SANS, 9.5, (120, 176, 255), "mm")
    wl = p.text_width("velkwerk website \u203a", SANS, 9.5)
    p.rect(lx + lw / 2 - wl / 2, ly + lh / 2 + 5.2, wl, 0.7, (90, 140, 220))
    # close button's spot
    close_button(p, CLOSE_AT[0], CLOSE_AT[1], False)

    # divider and product block
    p.rect(258, 24, 1.2, 164, ACCENT)
    p.printed(280, 58, "Quibra", SANS_BOLD, 30, PRINT, "ls")
    qw = p.text_width("Quibra", SANS_BOLD, 30)
    p.printed(280 + qw + 5, 58, "eX", SANS_BOLD, 30, ACCENT, "ls")
    p.printed(281, 80, "USB AUDIO INTERFACE", COND_BOLD, 10, PRINT_DIM, "ls", spacing=1.6)
    p.printed(281, 104, "Control panel and FlexROUTE", SANS, 10, PRINT, "ls")
    p.printed(281, 120, "routing editor", SANS, 10, PRINT, "ls")
    p.printed(281, 148, "\u00a9 Velkwerk GmbH. All rights reserved.", COND, 9, PRINT_DIM, "ls")
    # plain, dark name plate for the title and version that the window writes there in grey
    tx, ty, tw, th = TITLE_AREA
    p.recess(tx, ty, tw, th, (16, 17, 19), 3)
    return p.final()


def draw_close(highlighted):
    p = Painter(CLOSE_W, CLOSE_H)
    # the same backdrop as under the button's spot on the About picture
    p.img.paste(about_strip(), (0, 0))
    close_button(p, 0, 0, highlighted)
    return p.final()


def about_strip():
    p = Painter(ABOUT_W, ABOUT_H)
    about_backdrop(p)
    x0, y0 = CLOSE_AT[0] * SS, CLOSE_AT[1] * SS
    return p.img.crop((x0, y0, x0 + CLOSE_W * SS, y0 + CLOSE_H * SS))


# ----------------------------------------------------------------------------------------------
# Saving

def save_palette(img, name):
    """256 colours; every pixel maps to its nearest palette colour (no dithering)."""
    pal = img.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    q = img.quantize(palette=pal, dither=Image.Dither.NONE)
    q.save(os.path.join(HERE, name), bits=8, optimize=True)
    return q


def save_palette_pair(unlit, lit, name_unlit, name_lit):
    """One palette for both, mapped without dithering, so equal pixels stay equal."""
    both = Image.new("RGB", (unlit.width, unlit.height * 2))
    both.paste(unlit, (0, 0))
    both.paste(lit, (0, unlit.height))
    pal = both.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    for img, name in ((unlit, name_unlit), (lit, name_lit)):
        q = img.quantize(palette=pal, dither=Image.Dither.NONE)
        q.save(os.path.join(HERE, name), bits=8, optimize=True)


def save_rgba(img, name):
    img.convert("RGBA").save(os.path.join(HERE, name), optimize=True)


def png(n):
    return "temp_binary_data_%d.png" % n


def main():
    # routing editor: the lit picture is the unlit one as stored, with the lit cut-outs pasted in
    unlit = draw_routing(False)
    q = save_palette(unlit, png(18))
    lit = q.convert("RGB")
    lit_src = draw_routing(True)
    for (x, y, w, h) in ROUTING_CUTOUTS:
        lit.paste(lit_src.crop((x, y, x + w, y + h)), (x, y))
    save_rgba(lit, png(19))

    for (w, h), (n_unlit, n_lit) in (((219, 290), (2, 3)), ((329, 435), (8, 9)), ((438, 580), (14, 15))):
        save_palette_pair(draw_panel(w, h, False), draw_panel(w, h, True), png(n_unlit), png(n_lit))

    save_palette(draw_thumb(False), png(12))
    save_palette(draw_thumb(True), png(13))
    # the close button shares the About picture's palette, so it matches its spot there exactly
    about = save_palette(draw_about(), png(22))
    draw_close(False).quantize(palette=about, dither=Image.Dither.NONE).save(os.path.join(HERE, png(23)),
                                                                          bits=8, optimize=True)
    save_rgba(draw_close(True), png(21))


if __name__ == "__main__":
    main()
