#!/usr/bin/env python3
"""Draws the visualiser's and the splash window's built-in pictures as PPM files.

make_pictures.sh runs this script into a scratch folder and turns the PPM files into the
stored BMP, GIF and JPG pictures with ImageMagick. Only the standard library is used, so the
pictures are the same on every machine.

What the drawing code relies on:
- Every picture that is drawn "transparent" (the heads, the ghost, the fortune icon, the moon,
  the penguins, the logo) or rotated (rotation fills the new corners with black) sits on pure
  black, and pure black appears nowhere inside the figure: the bottom-left pixel is the key.
- The glowing sprites and the flare are keyed or added on black, so their glow fades to exact
  black well inside the border.
- The fortune icon's star and heart enclose black areas containing (9, 5) and (3, 12) that
  are sealed against 8-connected leaks, so a flood fill colours exactly the inside of each.
"""
import math
import os
import sys

from jpeg import write_jpeg


# --------------------------------------------------------------------------------------------
# Canvases

class Canvas:
    """Float RGB pixels (0..255), painter's-algorithm drawing, optional supersampling."""

    def __init__(self, w, h, ss=1, background=(0, 0, 0)):
        self.w, self.h, self.ss = w * ss, h * ss, ss
        self.out_w, self.out_h = w, h
        self.px = [list(background) for _ in range(self.w * self.h)]

    # Coordinates of the shape helpers are in output pixels; ss scales them.
    def _each(self, x0, y0, x1, y1):
        s = self.ss
        for py in range(max(0, int(y0 * s)), min(self.h, int(math.ceil(y1 * s)) + 1)):
            for px in range(max(0, int(x0 * s)), min(self.w, int(math.ceil(x1 * s)) + 1)):
                yield px, py, (px + 0.5) / s, (py + 0.5) / s

    def blend(self, px, py, rgb, a=1.0):
        p = self.px[py * self.w + px]
        for i in range(3):
            p[i] = p[i] * (1 - a) + rgb[i] * a

    def add(self, px, py, rgb):
        p = self.px[py * self.w + px]
        for i in range(3):
            p[i] += rgb[i]

    def fill(self, inside, bbox, colour):
        """Paints the points of bbox where inside(x, y) holds; colour may be a function of (x, y)."""
        for px, py, x, y in self._each(*bbox):
            if inside(x, y):
                c = colour(x, y) if callable(colour) else colour
                self.blend(px, py, c)

    def ellipse(self, cx, cy, rx, ry, colour):
        self.fill(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0,
                  (cx - rx - 1, cy - ry - 1, cx + rx + 1, cy + ry + 1), colour)

    def polygon(self, pts, colour):
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        self.fill(lambda x, y: point_in_polygon(x, y, pts),
                  (min(xs) - 1, min(ys) - 1, max(xs) + 1, max(ys) + 1), colour)

    def thick_line(self, pts, width, colour):
        """A polyline with round joints of the given width."""
        r = width / 2
        for (ax, ay), (bx, by) in zip(pts, pts[1:]):
            self.fill(lambda x, y, ax=ax, ay=ay, bx=bx, by=by:
                      segment_distance(x, y, ax, ay, bx, by) <= r,
                      (min(ax, bx) - r - 1, min(ay, by) - r - 1,
                       max(ax, bx) + r + 1, max(ay, by) + r + 1), colour)

    def glow(self, cx, cy, sigma, colour, reach=4.0):
        """Adds a Gaussian glow (light adds up, so overlapping glows brighten)."""
        r = sigma * reach
        for px, py, x, y in self._each(cx - r, cy - r, cx + r, cy + r):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            k = math.exp(-d2 / (2 * sigma * sigma))
            self.add(px, py, [c * k for c in colour])

    def streak(self, cx, cy, angle, length, width, colour):
        """Adds a thin ray of light through (cx, cy) fading with distance from the centre."""
        ca, sa = math.cos(math.radians(angle)), math.sin(math.radians(angle))
        r = length * 4
        for px, py, x, y in self._each(cx - r, cy - r, cx + r, cy + r):
            u = (x - cx) * ca + (y - cy) * sa
            v = -(x - cx) * sa + (y - cy) * ca
            k = math.exp(-(v * v) / (2 * width * width)) * math.exp(-abs(u) / length)
            if k > 1e-4:
                self.add(px, py, [c * k for c in colour])

    def pixels(self):
        """Downsampled, clamped and rounded output pixels."""
        s = self.ss
        out = []
        for oy in range(self.out_h):
            for ox in range(self.out_w):
                acc = [0.0, 0.0, 0.0]
                for py in range(oy * s, oy * s + s):
                    for px in range(ox * s, ox * s + s):
                        p = self.px[py * self.w + px]
                        for i in range(3):
                            acc[i] += p[i]
                out.append([min(255, max(0, int(round(a / (s * s))))) for a in acc])
        return out


def point_in_polygon(x, y, pts):
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy
    t = 0.0 if ll == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def star_points(cx, cy, outer, inner, n=5, rotation=-90.0):
    pts = []
    for k in range(2 * n):
        r = outer if k % 2 == 0 else inner
        a = math.radians(rotation + k * 180.0 / n)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def write_ppm(path, w, h, pixels):
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h))
        f.write(bytes(v for p in pixels for v in p))


def save(canvas, folder, name, keyed=True, fade=0, jpeg=False):
    """Writes the canvas as PPM (or as the finished JPEG); keyed pictures get no near-black
    dirt around the figure and, with fade > 0, pure black within `fade` pixels of the border."""
    pix = canvas.pixels()
    w, h = canvas.out_w, canvas.out_h
    for i, p in enumerate(pix):
        x, y = i % w, i // w
        if fade and min(x, y, w - 1 - x, h - 1 - y) < fade:
            p[:] = [0, 0, 0]
        elif keyed and p != [0, 0, 0] and max(p) < 4:
            # Dark fringes of a shape become black background rather than a dirty key.
            p[:] = [0, 0, 0]
    if jpeg:
        write_jpeg(os.path.join(folder, name + ".jpg"), w, h, pix)
    else:
        write_ppm(os.path.join(folder, name + ".ppm"), w, h, pix)


def glow_cleanup(canvas, floor=6.0):
    """Cuts the faint tail of added light, so that the background around a glow is exact
    black and survives JPEG compression as black."""
    for p in canvas.px:
        m = max(p)
        if m < floor:
            p[:] = [0.0, 0.0, 0.0]
        elif m < 2 * floor:
            k = (m - floor) / floor
            p[:] = [c * k for c in p]


# --------------------------------------------------------------------------------------------
# Pixel-art pictures (BMP): drawn pixel by pixel, no anti-aliasing, so that keys and the
# fortune icon's flood-fill areas are exact.

class Pixels:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.p = [[0, 0, 0] for _ in range(w * h)]

    def get(self, x, y):
        return self.p[y * self.w + x]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.p[y * self.w + x] = list(c)

    def mask(self, inside):
        return {(x, y) for y in range(self.h) for x in range(self.w) if inside(x + 0.5, y + 0.5)}

    def paint(self, cells, colour):
        for x, y in cells:
            self.set(x, y, colour(x, y) if callable(colour) else colour)

    def rim(self, cells):
        """Cells of the shape with an 8-neighbour outside it: an outline that seals the
        inside against 8-connected fills."""
        return {(x, y) for (x, y) in cells
                if any((x + dx, y + dy) not in cells
                       for dx in (-1, 0, 1) for dy in (-1, 0, 1))}

    def save(self, folder, name):
        write_ppm(os.path.join(folder, name + ".ppm"), self.w, self.h, self.p)


def shade(base, x, y, cx, cy, r):
    """Soft top-left lighting on a round shape."""
    k = 1.15 - 0.35 * (((x - cx) + (y - cy)) / (2 * r) + 0.5)
    return [min(255, max(1, int(c * k))) for c in base]


def head(hair_top, hair_colour, skin, extra):
    """A little round head 16 x 16 on black; `extra` adds hair style and details."""
    px = Pixels(16, 16)
    cx, cy, r = 7.5, 8.5, 6.9
    face = px.mask(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r)
    px.paint(face, lambda x, y: shade(skin, x, y, cx, cy, r))
    hair = {(x, y) for (x, y) in face if y < hair_top(x)}
    px.paint(hair, lambda x, y: shade(hair_colour, x, y, cx, cy, r))
    outline = [max(1, c // 3) for c in hair_colour]
    px.paint(px.rim(face), outline)
    # Eyes, rosy cheeks and a smile.
    for ex in (5, 10):
        px.set(ex, 9, (30, 24, 60))
        px.set(ex, 10, (30, 24, 60))
    cheek = (255, 140, 150)
    px.set(3, 11, cheek)
    px.set(12, 11, cheek)
    mouth = (200, 50, 70)
    for x in (6, 7, 8, 9):
        px.set(x, 12 if x in (7, 8) else 11, mouth)
    extra(px)
    return px


def make_b01(folder):
    # A boy with a tuft of brown hair (the rising-moon scene also shows him as a planet).
    def tuft(px):
        for x, y in ((6, 1), (7, 0), (8, 1), (7, 1)):
            px.set(x, y, (150, 90, 40))
        px.set(7, 0, (70, 40, 20))
    head(lambda x: 5.0 + 0.6 * math.sin(x * 1.7), (150, 90, 40), (255, 214, 170), tuft) \
        .save(folder, "B01")


def make_b02(folder):
    # A girl with dark red hair and a pink bow.
    def bow(px):
        pink, dark = (255, 110, 190), (200, 40, 130)
        for x, y in ((10, 1), (11, 1), (13, 1), (14, 1), (10, 2), (11, 2), (12, 2), (13, 2),
                     (14, 2), (10, 3), (11, 3), (13, 3), (14, 3)):
            px.set(x, y, pink)
        px.set(12, 2, dark)
        px.set(10, 3, dark)
        px.set(14, 3, dark)
        # Side locks of hair.
        for y in (8, 9, 10, 11):
            px.set(1, y, (170, 50, 40))
            px.set(14, y, (170, 50, 40))
    head(lambda x: 6.0 - 1.2 * abs(x - 7.5) / 7.5, (190, 60, 45), (255, 220, 190), bow) \
        .save(folder, "B02")


def make_b03(folder):
    # A boy in a blue cap with a peak.
    def cap(px):
        blue, light = (40, 90, 220), (120, 170, 255)
        for x in range(3, 16):
            px.set(x, 6, blue if x < 13 else (30, 60, 170))
        for x in range(5, 9):
            px.set(x, 3, light)
        px.set(7, 1, (255, 220, 40))
    head(lambda x: 6.0, (40, 90, 220), (250, 205, 160), cap).save(folder, "B03")


def make_b04(folder):
    # A pale ghost with a wavy hem, 14 x 17.
    px = Pixels(14, 17)
    cx = 6.5

    def inside(x, y):
        if y < 7.5:
            return (x - cx) ** 2 + (y - 7.5) ** 2 <= 6.6 ** 2
        hem = 14.8 + 1.7 * math.cos((x - 2.3) * 2 * math.pi / 4.7)
        return 0.3 <= x <= 13.7 and y <= hem

    body = px.mask(inside)
    px.paint(body, lambda x, y: [min(255, int(c - 4 * y)) for c in (240, 245, 255)])
    px.paint(px.rim(body), (120, 140, 200))
    eye = (40, 30, 90)
    for x, y in ((4, 6), (4, 7), (8, 6), (8, 7), (4, 8), (8, 8)):
        px.set(x, y, eye)
    px.set(4, 6, (200, 220, 255))
    px.set(8, 6, (200, 220, 255))
    for x, y in ((6, 10), (5, 11), (7, 11), (6, 12)):
        px.set(x, y, (90, 60, 140))
    px.set(2, 9, (255, 170, 200))
    px.set(10, 9, (255, 170, 200))
    px.save(folder, "B04")


def make_b05(folder):
    # The fortune icon, 18 x 16: a lucky star and a little heart whose black insides are
    # flood-filled with the day's lucky colour.
    px = Pixels(18, 16)
    star_rows = ("...........X......",
                 "..........XXX.....",
                 "..........XXX.....",
                 ".........XXXXX....",
                 "......XXXXXXXXXXX.",
                 ".......XXXXXXXXX..",
                 "........XXXXXXX...",
                 "........XXXXXXX...",
                 ".......XXXXXXXXX..",
                 ".......XXXX.XXXX..",
                 ".......XXX...XXX..",
                 ".......XX.....XX..")
    heart_rows = (".XX.XX.",
                  "XXXXXXX",
                  "XXXXXXX",
                  "XXXXXXX",
                  ".XXXXX.",
                  "..XXX..",
                  "...X...")

    def cells(rows, top):
        return {(x, top + y) for y, row in enumerate(rows) for x, ch in enumerate(row)
                if ch == "X"}

    star = cells(star_rows, 0)
    heart = cells(heart_rows, 9)
    gold = lambda x, y: shade((255, 210, 60), x, y, 11.0, 6.0, 7.0)
    px.paint(px.rim(star), gold)
    px.paint(px.rim(heart), (255, 90, 150))
    px.set(11, 1, (255, 255, 220))
    px.set(1, 10, (255, 200, 225))
    px.save(folder, "B05")


# --------------------------------------------------------------------------------------------
# Glowing sprites (JPG, keyed or added on black)

def make_d01(folder):
    # The star sprite: a white-blue glowing star with four long and four short rays.
    c = Canvas(32, 32, 2)
    c.glow(16, 16, 6.0, (40, 70, 160))
    c.glow(16, 16, 2.6, (150, 180, 255))
    c.glow(16, 16, 1.1, (255, 255, 255))
    for a in (0, 90):
        c.streak(16, 16, a, 4.0, 0.55, (230, 240, 255))
    for a in (45, 135):
        c.streak(16, 16, a, 2.2, 0.45, (120, 160, 255))
    glow_cleanup(c)
    save(c, folder, "D01", fade=2, jpeg=True)


def make_d02(folder):
    # A will-o'-the-wisp: a blue-green flame ball with a curling tail.
    c = Canvas(32, 32, 2)
    steps = 48
    for i in range(steps):
        t = i / (steps - 1)
        x = 16 + 6.5 * math.sin(t * 4.0) * t
        y = 22 - 17 * t
        s = 3.8 * (1 - t) + 0.7
        k = 0.22 * (1 - t) + 0.10
        c.glow(x, y, s, (40 * k, 220 * k, 200 * k))
    c.glow(16, 22, 5.0, (20, 120, 160))
    c.glow(16, 22, 2.6, (170, 255, 240))
    c.glow(15, 21, 1.0, (255, 255, 255))
    glow_cleanup(c)
    save(c, folder, "D02", fade=2, jpeg=True)


def make_d03(folder):
    # A little green alien face with big shiny eyes.
    c = Canvas(32, 32, 4)
    c.glow(16, 16, 7.0, (10, 60, 20), reach=3)
    c.polygon([(6, 11), (10, 6), (16, 4.5), (22, 6), (26, 11), (24, 19), (16, 27), (8, 19)],
              lambda x, y: (90 + 3 * (27 - y), 200 + 2 * (16 - y), 90))
    for ex, tilt in ((11.5, 1), (20.5, -1)):
        c.fill(lambda x, y, ex=ex, tilt=tilt:
               ((x - ex) * 0.8 + (y - 14) * 0.45 * tilt) ** 2 / 9.0
               + ((y - 14) * 0.8 - (x - ex) * 0.45 * tilt) ** 2 / 3.2 <= 1.0,
               (ex - 5, 9, ex + 5, 19), (30, 10, 50))
        c.ellipse(ex - 1.0 * tilt, 13, 1.0, 0.8, (230, 240, 255))
    c.thick_line([(14, 22), (16, 23), (18, 22)], 0.8, (40, 90, 40))
    save(c, folder, "D03", fade=2, jpeg=True)


def make_d04(folder):
    # A small orange planet with a tilted ring.
    c = Canvas(32, 32, 4)
    c.glow(16, 16, 7.0, (60, 30, 10), reach=3)

    def ring(x, y, width):
        u = (x - 16) * math.cos(0.4) + (y - 16) * math.sin(0.4)
        v = -(x - 16) * math.sin(0.4) + (y - 16) * math.cos(0.4)
        d = (u / 13.0) ** 2 + (v / 4.0) ** 2
        return abs(d - 1.0) < width, v

    ring_colour = (200, 180, 255)
    c.fill(lambda x, y: ring(x, y, 0.18)[0] and ring(x, y, 0.18)[1] < 0, (0, 0, 32, 32),
           ring_colour)
    c.ellipse(16, 16, 8, 8, lambda x, y: (
        min(255, 250 - 8 * (x - 12) - 6 * (y - 12) + 25 * math.sin(y * 1.3)),
        min(255, 150 - 6 * (x - 12) - 5 * (y - 12) + 15 * math.sin(y * 1.3)),
        60))
    c.fill(lambda x, y: ring(x, y, 0.18)[0] and ring(x, y, 0.18)[1] >= 0, (0, 0, 32, 32),
           ring_colour)
    save(c, folder, "D04", fade=2, jpeg=True)


def make_d05(folder):
    # A glowing pink heart.
    c = Canvas(32, 32, 4)
    c.glow(16, 16, 6.0, (90, 20, 60), reach=3)

    def heart(x, y):
        u, v = (x - 16) / 9.0, (15 - y) / 9.0
        return (u * u + v * v - 1) ** 3 - u * u * v ** 3 <= 0

    c.fill(heart, (4, 4, 28, 28), lambda x, y: (255, max(30, 150 - 9 * (y - 8) + 6 * (x - 10)),
                                                 max(90, 220 - 6 * (y - 8))))
    c.ellipse(12, 11.5, 1.8, 1.2, (255, 235, 245))
    save(c, folder, "D05", fade=2, jpeg=True)


def make_d06(folder):
    # The creepy one: a big bloodshot eyeball with a glowing green iris, 93 x 92.
    c = Canvas(93, 92, 2)
    cx, cy, r = 46.5, 46.0, 38.0
    c.glow(cx, cy, 16.0, (60, 10, 10), reach=2.6)
    c.ellipse(cx, cy, r, r, lambda x, y: (
        max(60, 250 - 1.9 * math.hypot(x - cx + 10, y - cy + 12)),
        max(50, 240 - 2.2 * math.hypot(x - cx + 10, y - cy + 12)),
        max(55, 235 - 2.2 * math.hypot(x - cx + 10, y - cy + 12))))
    # Veins creep in from the rim.
    vein = (200, 25, 35)
    for k in range(11):
        a = k * 2 * math.pi / 11 + 0.3
        pts = []
        for i in range(8):
            rr = r - 1 - i * 2.4
            aa = a + 0.09 * math.sin(i * 0.8 + k)
            pts.append((cx + rr * math.cos(aa), cy + rr * math.sin(aa)))
        c.thick_line(pts, 1.3, vein)
        bx, by = pts[3]
        c.thick_line([(bx, by), (bx + 5 * math.cos(a + 1.9), by + 5 * math.sin(a + 1.9))],
                     0.8, vein)
    ix, iy = cx + 4, cy + 3
    c.ellipse(ix, iy, 15, 15, lambda x, y: (
        20, max(60, 230 - 7 * math.hypot(x - ix, y - iy)), max(40, 120 - 5 * math.hypot(x - ix, y - iy))))
    for k in range(24):
        a = k * math.pi / 12
        c.thick_line([(ix + 7 * math.cos(a), iy + 7 * math.sin(a)),
                      (ix + 14 * math.cos(a), iy + 14 * math.sin(a))], 0.6, (10, 110, 60))
    c.ellipse(ix, iy, 6.5, 6.5, (12, 6, 20))
    c.ellipse(ix - 5, iy - 6, 3.2, 2.4, (255, 255, 255))
    c.ellipse(ix + 3, iy + 4, 1.2, 1.0, (200, 230, 220))
    save(c, folder, "D06", fade=2, jpeg=True)


def make_j01(folder):
    # The flare: a white-hot core, a warm halo, long rays and a faint rainbow ring.
    c = Canvas(200, 200, 1)
    cx = cy = 99.5
    c.glow(cx, cy, 30.0, (110, 75, 40), reach=3)
    c.glow(cx, cy, 12.0, (200, 200, 240), reach=4)
    c.glow(cx, cy, 5.0, (400, 400, 400), reach=5)
    c.streak(cx, cy, 0, 40.0, 1.6, (255, 255, 255))
    c.streak(cx, cy, 90, 26.0, 1.4, (240, 245, 255))
    for a in (30, 75, 120, 165):
        c.streak(cx, cy, a, 14.0, 0.8, (170, 160, 220))
    for px, py, x, y in c._each(0, 0, 200, 200):
        d = math.hypot(x - cx, y - cy)
        k = math.exp(-((d - 62.0) ** 2) / 18.0) * 0.22
        hue = (d - 56.0) / 12.0
        c.add(px, py, [k * 255 * max(0.0, 1 - abs(hue - o)) for o in (1.0, 0.5, 0.0)])
    # Light ends at a circle well inside the square.
    for px, py, x, y in c._each(0, 0, 200, 200):
        d = math.hypot(x - cx, y - cy)
        if d > 86:
            k = max(0.0, 1.0 - (d - 86) / 10.0)
            p = c.px[py * c.w + px]
            p[:] = [v * k for v in p]
    glow_cleanup(c, 5.0)
    save(c, folder, "J01", fade=3, jpeg=True)


# --------------------------------------------------------------------------------------------
# Scenes and characters (JPG and GIF)

def make_j02(folder):
    # A dreamy fantasy landscape, 63 x 22; the hills repeat across the edges, so that the
    # picture wraps seamlessly when it is shifted sideways.
    c = Canvas(63, 22, 4)
    top, mid, low = (18, 12, 70), (110, 50, 150), (250, 160, 150)
    for px, py, x, y in c._each(0, 0, 63, 22):
        t = y / 16.0
        a, b, k = (top, mid, t / 0.6) if t < 0.6 else (mid, low, min(1.0, (t - 0.6) / 0.4))
        c.blend(px, py, [a[i] + (b[i] - a[i]) * k for i in range(3)])
    for x, y in ((5, 2), (13, 5), (22, 1.5), (33, 4), (41, 2), (50, 6), (58, 3), (28, 7)):
        c.glow(x, y, 0.45, (255, 255, 230), reach=3)
    c.glow(46, 6, 2.4, (120, 100, 60))
    c.ellipse(46, 6, 2.2, 2.2, (255, 245, 200))
    w = 2 * math.pi / 63.0

    def hills(base, amp, phase, colour):
        c.fill(lambda x, y: y > base + amp * math.sin(x * w * 2 + phase)
               + amp * 0.5 * math.sin(x * w * 5 + phase * 2), (0, 0, 63, 22), colour)

    hills(13.0, 2.5, 0.5, (120, 80, 160))
    # A castle on the far hills.
    c.polygon([(16, 14), (16, 9), (17, 9), (17, 10.5), (19, 10.5), (19, 8), (18.5, 8), (19.5, 6.5),
               (20.5, 8), (20, 8), (20, 10.5), (22, 10.5), (22, 9), (23, 9), (23, 14)], (80, 50, 120))
    c.polygon([(19.5, 7.6), (19.5, 5.5), (21, 6)], (255, 200, 80))
    hills(16.0, 1.6, 2.0, (60, 40, 110))
    hills(19.0, 1.2, 4.0, (30, 25, 70))
    save(c, folder, "J02", keyed=False, jpeg=True)


def make_g01(folder):
    # The humming moon: a round pale-yellow moon face in a blue nightcap, 29 x 38.
    c = Canvas(29, 38, 4)
    cx, cy, r = 14.5, 24.0, 13.0
    c.glow(cx, cy, 6.0, (30, 28, 10), reach=2.5)
    c.ellipse(cx, cy, r, r, lambda x, y: (
        255 - 3 * max(0, x - cx + y - cy), 240 - 3.5 * max(0, x - cx + y - cy),
        150 - 3 * max(0, x - cx + y - cy)))
    for x, y, s in ((8.5, 28.5, 1.8), (20.5, 31, 1.3), (21.5, 20.5, 1.1), (10, 19.5, 0.9)):
        c.ellipse(x, y, s, s, (215, 200, 110))
    # The nightcap flops to the right and ends in a star-shaped pompom.
    c.polygon([(2.0, 16.5), (5, 12), (12, 8), (19, 6), (24, 4), (23, 9), (26.5, 14.5),
               (27.0, 16.5)], (60, 90, 220))
    c.polygon([(1.5, 15.5), (27.5, 15.5), (27.5, 18.2), (1.5, 18.2)], (230, 235, 255))
    c.polygon(star_points(24.5, 4.2, 4.0, 1.8), (255, 220, 60))
    # Closed, happy eyes, rosy cheeks and a little humming mouth.
    for ex in (10.0, 19.0):
        c.thick_line([(ex - 2.2, 24.2), (ex, 23.0), (ex + 2.2, 24.2)], 1.1, (110, 70, 30))
        c.ellipse(ex + (-1.2 if ex < 14 else 1.2), 27.5, 2.0, 1.3, (255, 160, 130))
    c.ellipse(14.5, 30.0, 1.6, 1.9, (170, 60, 60))
    save(c, folder, "G01")


def make_g02(folder):
    # Two penguins riding an ice floe, 80 x 29.
    c = Canvas(80, 29, 4)
    c.polygon([(3, 21), (10, 18.5), (40, 17.8), (70, 18.5), (77, 21), (74, 27.5), (6, 27.5)],
              lambda x, y: (150 + 100 * (y < 21), 210 + 45 * (y < 21), 255))
    c.thick_line([(12, 23), (24, 24)], 0.8, (110, 170, 230))
    c.thick_line([(50, 25), (66, 23.5)], 0.8, (110, 170, 230))

    def penguin(px, scale, flip):
        s, f = scale, flip
        body = (30, 36, 70)
        c.ellipse(px, 13.5 - 2 * (s - 1), 5.0 * s, 6.5 * s, body)
        c.ellipse(px, 6.2 - 3 * (s - 1), 3.8 * s, 3.6 * s, body)
        c.ellipse(px + 0.6 * f, 14.6 - 2 * (s - 1), 3.3 * s, 5.2 * s, (250, 250, 255))
        c.ellipse(px + 1.3 * f, 5.4 - 3 * (s - 1), 0.9, 1.0, (250, 250, 255))
        c.ellipse(px + 1.5 * f, 5.5 - 3 * (s - 1), 0.45, 0.55, (20, 20, 40))
        bx = px + 3.6 * s * f
        c.polygon([(bx - 0.6 * f, 6.4 - 3 * (s - 1)), (bx + 2.4 * f, 7.2 - 3 * (s - 1)),
                   (bx - 0.6 * f, 8.0 - 3 * (s - 1))], (255, 150, 30))
        for dx in (-2.2, 2.0):
            c.ellipse(px + dx * s, 19.3, 1.9, 0.8, (255, 150, 30))
        c.polygon([(px - 4.5 * s * f, 10), (px - 7.2 * s * f, 15.5), (px - 4.2 * s * f, 14)], body)

    penguin(27, 1.0, 1)
    penguin(47, 1.15, -1)
    # A little flag planted in the ice.
    c.thick_line([(62, 19), (62, 5)], 0.9, (140, 110, 80))
    c.polygon([(62.4, 5), (70, 7.2), (62.4, 9.6)], (230, 40, 60))
    save(c, folder, "G02")


def make_g03_emblem(folder):
    # The logo's tambourine, 108 x 60; make_pictures.sh writes the name across it.
    c = Canvas(108, 60, 4)
    cx, cy = 54.0, 30.0
    c.glow(cx, cy, 12.0, (40, 25, 5), reach=2.5)
    c.ellipse(cx, cy, 27.5, 27.5, (170, 110, 30))
    c.ellipse(cx, cy, 24.0, 24.0, lambda x, y: (
        40 + 60 * max(0.0, 1 - math.hypot(x - cx + 8, y - cy + 8) / 30),
        30 + 70 * max(0.0, 1 - math.hypot(x - cx + 8, y - cy + 8) / 30),
        90 + 120 * max(0.0, 1 - math.hypot(x - cx + 8, y - cy + 8) / 30)))
    for k in range(8):
        a = k * math.pi / 4 + math.pi / 8
        jx, jy = cx + 25.8 * math.cos(a), cy + 25.8 * math.sin(a)
        c.ellipse(jx, jy, 4.2, 3.0, (255, 230, 120))
        c.ellipse(jx - 0.8, jy - 0.7, 1.6, 1.0, (255, 255, 230))
    for x, y, s in ((44, 14, 2.4), (66, 13, 1.6), (62, 47, 2.0), (41, 45, 1.4)):
        c.polygon(star_points(x, y, s * 1.6, s * 0.6, 4, 0), (255, 245, 190))
    save(c, folder, "G03-emblem")


# Control glyphs (BMP), on black like the figures above: black is their transparent colour,
# and the flat buttons emboss every pixel that is not black when they are disabled.

def make_flat_arrows(folder):
    # The spin buttons' arrows: a 7-pixel triangle in a 9 x 4 cell whose bottom-left corner
    # stays black (the key).
    ink = (48, 48, 48)
    for name, rows in (("FlatUp", (0, 1, 2, 3)), ("FlatDown", (3, 2, 1, 0))):
        px = Pixels(9, 4)
        for y, half in enumerate(rows):
            for x in range(4 - half, 5 + half):
                px.set(x, y, ink)
        px.save(folder, name)


def badge(colour):
    """A 16 x 14 rounded tile with a darker rim, the background of the font kind icons."""
    px = Pixels(16, 14)
    tile = {(x, y) for y in range(1, 13) for x in range(1, 15)} - {(1, 1), (14, 1), (1, 12), (14, 12)}
    px.paint(tile, lambda x, y: [min(255, c + 40 - 6 * y) for c in colour])
    px.paint(px.rim(tile), [c // 2 for c in colour])
    return px


def letter(px, cells, colour, dx, dy):
    for x, y in cells:
        px.set(x + dx, y + dy, colour)


def make_font_icons(folder):
    # Scalable fonts: two interlocking serif T's; symbol fonts: a four-pointed star; bitmap
    # fonts: a letter A built of separate square dots on a cool grey tile.
    tee = [(x, 0) for x in range(6)] + [(0, 1), (5, 1)] + [(2, y) for y in range(1, 7)] + \
          [(3, y) for y in range(1, 7)] + [(1, 7), (2, 7), (3, 7), (4, 7)]
    px = badge((40, 110, 170))
    letter(px, tee, (200, 230, 255), 2, 2)
    letter(px, tee, (255, 255, 255), 7, 4)
    px.save(folder, "FONTTRUETYPEANSI")

    px = badge((150, 60, 150))
    star = px.mask(lambda x, y: abs(x - 8) ** 0.66 + abs(y - 7) ** 0.66 <= 3.1)
    px.paint(star, (255, 230, 120))
    px.set(8, 7, (255, 255, 255))
    px.save(folder, "FONTTRUETYPESYMBOL")

    px = badge((110, 120, 130))
    a = ["..#..", ".#.#.", "#####", "#...#", "#...#"]
    for row, line in enumerate(a):
        for col, ch in enumerate(line):
            if ch == "#":
                px.set(3 + 2 * col, 3 + 2 * row, (250, 250, 210))
    px.save(folder, "FONTRASTER")


def make_preview_glyph(folder):
    # The picture dialog's full-preview button: a magnifying glass over a little landscape
    # frame, 16 x 16; the black bottom-left corner is the key.
    px = Pixels(16, 16)
    frame = {(x, y) for y in range(1, 11) for x in range(1, 11)}
    px.paint(frame, (250, 250, 250))
    px.paint({(x, y) for y in range(2, 7) for x in range(2, 10)}, (150, 200, 240))
    px.paint({(x, y) for y in range(7, 10) for x in range(2, 10)}, (90, 160, 80))
    px.paint(px.rim(frame), (90, 90, 100))
    lens = px.mask(lambda x, y: (x - 9.5) ** 2 + (y - 8.5) ** 2 <= 16)
    px.paint(lens, lambda x, y: (215, 235, 255) if (x + y) % 5 else (255, 255, 255))
    px.paint(px.rim(lens), (40, 60, 110))
    for i in range(4):
        px.set(12 + i, 11 + i, (130, 80, 30))
        px.set(12 + i, 12 + i, (90, 50, 20))
    px.save(folder, "PREVIEWGLYPH")


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    for make in (make_b01, make_b02, make_b03, make_b04, make_b05, make_d01, make_d02, make_d03,
                 make_d04, make_d05, make_d06, make_j01, make_j02, make_g01, make_g02,
                 make_g03_emblem, make_flat_arrows, make_font_icons,
                 make_preview_glyph):
        make(folder)


if __name__ == "__main__":
    main()
