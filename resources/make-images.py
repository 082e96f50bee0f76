#!/usr/bin/env python3
"""Draws the program's bitmap strips and writes them as 24-bit BMP files:
icons16.bmp (the icons of groups and entries), tools16.bmp (tool-bar and
button glyphs), tray16.bmp (notification-area icons) and marble.bmp (the
footer picture of the dialogs); and drag.cur, the pointer of a drag and drop
over a place that takes the drop. Every 16 x 16 image is pixel art on the mask
colour magenta (255, 0, 255), which the image lists make transparent.

Run it from anywhere; it writes next to itself."""
import math, os, struct

MAGENTA = (255, 0, 255)
HERE = os.path.dirname(os.path.abspath(__file__))


class Img:
    def __init__(self, w=16, h=16, bg=MAGENTA):
        self.w, self.h = w, h
        self.p = [[bg] * w for _ in range(h)]

    def px(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.p[y][x] = c

    def rect(self, x0, y0, x1, y1, c):  # inclusive
        for y in range(round(y0), round(y1) + 1):
            for x in range(round(x0), round(x1) + 1):
                self.px(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.px(x, y0, c); self.px(x, y1, c)
        for y in range(y0, y1 + 1):
            self.px(x0, y, c); self.px(x1, y, c)

    def line(self, x0, y0, x1, y1, c):
        x0, y0, x1, y1 = round(x0), round(y0), round(x1), round(y1)
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.px(x0, y0, c)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy; x0 += sx
            if e2 <= dx:
                err += dx; y0 += sy

    def disc(self, cx, cy, r, c):
        for y in range(self.h):
            for x in range(self.w):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.px(x, y, c)

    def ring(self, cx, cy, r0, r1, c):
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r0 <= d <= r1:
                    self.px(x, y, c)

    def poly(self, pts, c):
        n = len(pts)
        for y in range(self.h):
            for x in range(self.w):
                px_, py_ = x + 0.5, y + 0.5
                inside = False
                j = n - 1
                for i in range(n):
                    xi, yi = pts[i]; xj, yj = pts[j]
                    if (yi > py_) != (yj > py_) and px_ < (xj - xi) * (py_ - yi) / (yj - yi) + xi:
                        inside = not inside
                    j = i
                if inside:
                    self.px(x, y, c)

    def blit(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                c = other.p[y][x]
                if c != MAGENTA:
                    self.px(ox + x, oy + y, c)


def write_bmp(path, imgs):
    w = sum(i.w for i in imgs)
    h = max(i.h for i in imgs)
    row = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for img in imgs:
            for x in range(img.w):
                r, g, b = img.p[y][x] if y < img.h else MAGENTA
                line += bytes((b, g, r))
        line += b"\0" * (row - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


# Colours
K = (32, 32, 40); W = (255, 255, 255); GR = (128, 128, 136); LG = (200, 200, 208)
Y = (240, 196, 64); YD = (176, 132, 24); GOLD = (222, 178, 64); GOLDD = (150, 110, 30)
B = (52, 110, 200); BL = (120, 170, 235); BD = (24, 60, 130)
R = (210, 48, 48); RD = (140, 20, 20); G = (52, 160, 72); GD = (20, 100, 40)
P = (150, 80, 190); O = (240, 140, 40); BR = (140, 90, 50); BRD = (90, 56, 30)
T = (40, 150, 160); PK = (230, 110, 150)

# ---- the pieces ------------------------------------------------------------

def folder(open_=False):
    i = Img()
    i.rect(1, 3, 6, 4, YD)
    i.rect(1, 4, 14, 13, YD)
    i.rect(2, 5, 13, 12, Y)
    if open_:
        i.poly([(3, 8), (16, 8), (14, 14), (1, 14)], (250, 216, 110))
        i.line(3, 8, 15, 8, YD); i.line(1, 13, 14, 13, YD)
    return i

def key():
    i = Img()
    i.disc(5, 6, 4.2, GOLDD)
    i.disc(5, 6, 3.2, GOLD)
    i.disc(4.5, 5.5, 1.2, MAGENTA)
    i.poly([(7, 8), (9, 6), (15, 12), (13, 14)], GOLDD)
    i.line(8, 8, 13, 13, GOLD)
    i.rect(11, 12, 12, 13, GOLDD); i.px(13, 10, GOLDD); i.px(12, 11, GOLDD)
    return i

def globe():
    i = Img()
    i.disc(8, 8, 7, BD); i.disc(8, 8, 6, B)
    i.poly([(4, 4), (8, 3), (9, 6), (6, 8), (4, 7)], G)
    i.poly([(9, 9), (13, 8), (13, 11), (10, 13)], G)
    i.line(2, 8, 13, 8, BL); i.line(8, 2, 8, 13, BL)
    return i

def envelope():
    i = Img()
    i.rect(1, 3, 14, 12, GR); i.rect(2, 4, 13, 11, W)
    i.line(2, 4, 7, 8, GR); i.line(13, 4, 8, 8, GR)
    i.line(2, 11, 6, 7, LG); i.line(13, 11, 9, 7, LG)
    return i

def card():
    i = Img()
    i.rect(0, 3, 15, 12, BD); i.rect(1, 4, 14, 11, B)
    i.rect(1, 5, 14, 6, K)
    i.rect(2, 8, 4, 10, GOLD)
    i.rect(7, 9, 12, 9, W)
    return i

def bank():
    i = Img()
    i.poly([(0, 6), (8, 1), (16, 6)], GR)
    i.rect(1, 6, 14, 6, LG)
    for x in (2, 5, 9, 12):
        i.rect(x, 7, x + 1, 12, LG)
    i.rect(0, 13, 15, 14, GR)
    return i

def padlock(body=GOLD, shade=GOLDD):
    i = Img()
    i.ring(8, 6, 3, 4.6, GR)
    i.rect(2, 7, 13, 14, shade); i.rect(3, 8, 12, 13, body)
    i.rect(7, 9, 8, 12, K)
    return i

def user():
    i = Img()
    i.disc(8, 5, 3.3, (230, 190, 150))
    i.disc(8, 15, 6.5, B)
    i.rect(0, 15, 15, 15, MAGENTA)
    return i

def phone():
    i = Img()
    i.rect(4, 1, 11, 14, K); i.rect(5, 3, 10, 11, BL); i.px(7, 13, GR); i.px(8, 13, GR)
    return i

def monitor():
    i = Img()
    i.rect(1, 2, 14, 11, K); i.rect(2, 3, 13, 10, BL)
    i.rect(6, 12, 9, 12, GR); i.rect(4, 13, 11, 13, GR)
    return i

def cart():
    i = Img()
    i.line(0, 2, 3, 2, K); i.line(3, 2, 5, 10, K)
    i.poly([(4, 4), (15, 4), (13, 9), (5, 9)], O)
    i.line(5, 10, 13, 10, K)
    i.disc(6, 13, 1.6, K); i.disc(12, 13, 1.6, K)
    return i

def gear():
    i = Img()
    for a in range(8):
        ang = a * math.pi / 4
        x, y = 8 + 5.5 * math.cos(ang), 8 + 5.5 * math.sin(ang)
        i.disc(x, y, 1.8, GR)
    i.disc(8, 8, 5, GR); i.disc(8, 8, 2, MAGENTA)
    return i

def house():
    i = Img()
    i.poly([(0, 8), (8, 0.5), (16, 8)], R)
    i.rect(2, 8, 13, 14, (236, 220, 190)); i.rect(6, 10, 9, 14, BR)
    i.rect(10, 9, 12, 11, BL)
    return i

def document(fill=W):
    i = Img()
    i.poly([(2, 1), (10, 1), (14, 5), (14, 15), (2, 15)], GR)
    i.poly([(3, 2), (9.5, 2), (13, 5.5), (13, 14), (3, 14)], fill)
    i.line(10, 1, 10, 5, GR); i.line(10, 5, 14, 5, GR)
    for y in (7, 9, 11):
        i.line(5, y, 11, y, LG)
    return i

def star(c=Y, d=YD):
    i = Img()
    pts = []
    for k in range(10):
        r = 7.5 if k % 2 == 0 else 3.2
        ang = -math.pi / 2 + k * math.pi / 5
        pts.append((8 + r * math.cos(ang), 8.5 + r * math.sin(ang)))
    i.poly(pts, d)
    inner = [(8 + (x - 8) * 0.75, 8.5 + (y - 8.5) * 0.75) for x, y in pts]
    i.poly(inner, c)
    return i

def heart():
    i = Img()
    i.disc(5, 6, 3.6, R); i.disc(11, 6, 3.6, R)
    i.poly([(1.6, 7), (14.4, 7), (8, 14.5)], R)
    i.px(4, 4, (250, 150, 150))
    return i

def cloud():
    i = Img()
    i.disc(5, 10, 3.5, BL); i.disc(9, 7, 4.5, BL); i.disc(12.5, 10, 3, BL)
    i.rect(4, 10, 13, 13, BL)
    return i

def shield():
    i = Img()
    i.poly([(2, 2), (8, 0.5), (14, 2), (14, 8), (8, 15.5), (2, 8)], GD)
    i.poly([(3.3, 3), (8, 1.8), (12.7, 3), (12.7, 7.7), (8, 13.8), (3.3, 7.7)], G)
    i.line(5, 8, 7, 10, W); i.line(7, 10, 11, 5, W)
    return i

def database():
    i = Img()
    i.rect(2, 3, 13, 13, BD); i.rect(3, 3, 12, 13, B)
    for y in (3, 7, 11):
        i.ring(8, y * 1.0 + 0.5, 0, 0, B)
        i.line(3, y, 12, y, BL)
    i.rect(3, 1, 12, 2, BL); i.line(2, 14, 13, 14, BD)
    return i

def chat():
    i = Img()
    i.rect(1, 2, 14, 10, G); i.poly([(3, 10), (7, 10), (3, 14)], G)
    for x in (4, 7, 10):
        i.rect(x, 5, x + 1, 6, W)
    return i

def wifi():
    i = Img()
    for r0, r1 in ((10, 11.5), (6.5, 8), (3, 4.5)):
        for y in range(16):
            for x in range(16):
                d = math.hypot(x + 0.5 - 8, y + 0.5 - 14)
                if r0 <= d <= r1 and y + 0.5 < 14 - abs(x + 0.5 - 8) * 0.6:
                    i.px(x, y, T)
    i.disc(8, 13.5, 1.5, T)
    return i

def note():
    i = Img()
    i.disc(4.5, 12.5, 2.4, P); i.disc(11.5, 10.5, 2.4, P)
    i.rect(6, 2, 6, 12, P); i.rect(13, 1, 13, 10, P)
    i.poly([(6, 2), (14, 0), (14, 3), (6, 5)], P)
    return i

def camera():
    i = Img()
    i.rect(1, 4, 14, 13, K); i.rect(5, 2, 10, 4, K)
    i.disc(8, 8.5, 3.5, GR); i.disc(8, 8.5, 2.2, BL); i.px(12, 6, Y)
    return i

def briefcase():
    i = Img()
    i.frame(5, 2, 10, 4, BRD)
    i.rect(1, 4, 14, 13, BRD); i.rect(2, 5, 13, 12, BR)
    i.line(1, 8, 14, 8, BRD); i.rect(7, 7, 8, 9, GOLD)
    return i

def overlay(base, mark):
    i = Img()
    i.blit(base, 0, 0)
    if mark == "plus":
        i.rect(9, 9, 15, 15, W); i.rect(12, 10, 12, 14, GD); i.rect(10, 12, 14, 12, GD)
    elif mark == "x":
        i.rect(9, 9, 15, 15, W)
        for d in range(5):
            i.px(10 + d, 10 + d, R); i.px(14 - d, 10 + d, R)
            i.px(11 + d, 10 + d, R); i.px(13 - d, 10 + d, R)
    elif mark == "pencil":
        i.poly([(8, 15), (8, 12.5), (14, 6.5), (16, 8.5), (10, 14.5)], O)
        i.poly([(8, 15), (8, 13), (10, 15)], K)
    return i

def floppy():
    i = Img()
    i.rect(1, 1, 14, 14, BD); i.rect(2, 2, 13, 13, B)
    i.rect(4, 1, 11, 6, LG); i.rect(9, 2, 10, 5, BD)
    i.rect(3, 9, 12, 14, W); i.line(4, 11, 11, 11, LG)
    return i

def open_url():
    i = Img()
    i.blit(globe(), 0, 0)
    i.poly([(8, 15), (8, 9), (15, 9)], W)
    i.poly([(9, 14), (9, 10), (13.5, 10)], G)
    return i

def keyboard():
    i = Img()
    i.rect(0, 4, 15, 12, GR); i.rect(1, 5, 14, 11, LG)
    for y in (6, 8):
        for x in range(2, 14, 2):
            i.px(x, y, K)
    i.rect(4, 10, 11, 10, K)
    return i

def magnifier():
    i = Img()
    i.ring(6, 6, 3.5, 5, GR); i.disc(6, 6, 3.5, BL)
    i.poly([(9.5, 10.5), (10.5, 9.5), (15.5, 14.5), (14.5, 15.5)], BRD)
    return i

def copy_pages():
    i = Img()
    a = document(LG)
    i.blit(a, -2, -1)
    b = document(W)
    i.blit(b, 2, 1)
    return i

def dice():
    i = Img()
    i.rect(1, 1, 14, 14, K); i.rect(2, 2, 13, 13, W)
    for x, y in ((4, 4), (10, 4), (7, 7), (4, 10), (10, 10)):
        i.rect(x, y, x + 1, y + 1, K)
    return i

def vault(body, ring):
    i = Img()
    i.rect(1, 1, 14, 14, body); i.frame(1, 1, 14, 14, K)
    i.ring(8, 8, 3.8, 5.2, ring)
    i.disc(8, 8, 3.6, (236, 240, 244))
    i.disc(8, 7.2, 1.2, K); i.rect(7, 8, 8, 10, K)
    return i

def marble(w=128, h=40):
    """A soft blue-grey marble made of value noise with a few veins."""
    import random
    rnd = random.Random(7)
    def noise(scale):
        gw, gh = w // scale + 2, h // scale + 2
        g = [[rnd.random() for _ in range(gw)] for _ in range(gh)]
        def at(x, y):
            fx, fy = x / scale, y / scale
            x0, y0 = int(fx), int(fy)
            tx, ty = fx - x0, fy - y0
            tx, ty = tx * tx * (3 - 2 * tx), ty * ty * (3 - 2 * ty)
            # Wrap horizontally so tiles join without a seam.
            xa, xb = x0 % (w // scale), (x0 + 1) % (w // scale)
            a = g[y0][xa] * (1 - tx) + g[y0][xb] * tx
            b = g[y0 + 1][xa] * (1 - tx) + g[y0 + 1][xb] * tx
            return a * (1 - ty) + b * ty
        return at
    n1, n2, n3 = noise(32), noise(16), noise(8)
    img = Img(w, h)
    for y in range(h):
        for x in range(w):
            v = 0.55 * n1(x, y) + 0.3 * n2(x, y) + 0.15 * n3(x, y)
            vein = abs(math.sin((x / w) * 2 * math.pi * 2 + v * 9.0))
            t = 0.62 + 0.3 * v - 0.18 * (1 - vein) ** 6
            t = max(0.0, min(1.0, t))
            img.p[y][x] = (int(150 + 90 * t), int(160 + 85 * t), int(180 + 70 * t))
    return img


# ---- more subjects ---------------------------------------------------------

def server(c=GR):
    i = Img()
    for y0 in (1, 6, 11):
        i.rect(2, y0, 13, y0 + 3, K); i.rect(3, y0 + 1, 12, y0 + 2, c)
        i.px(11, y0 + 1, G); i.rect(4, y0 + 2, 7, y0 + 2, K)
    return i

def gamepad():
    i = Img()
    i.disc(4.5, 9, 3.5, K); i.disc(11.5, 9, 3.5, K); i.rect(4, 5.5, 11, 10, K)
    i.rect(3, 8, 5, 8, W); i.rect(4, 7, 4, 9, W)
    i.px(11, 7, R); i.px(13, 9, G); i.px(11, 10, B); i.px(9, 9, Y)
    return i

def bag():
    i = Img()
    i.ring(8, 5.5, 2.2, 3.4, BRD)
    i.poly([(2, 6), (14, 6), (15, 15), (1, 15)], O)
    i.line(2, 6, 13, 6, BRD)
    return i

def car(c=R):
    i = Img()
    i.poly([(1, 8), (4, 4), (11, 4), (14, 8), (15, 8), (15, 12), (1, 12)], c)
    i.poly([(4.5, 5), (7.5, 5), (7.5, 8), (2.5, 8)], BL); i.poly([(8.5, 5), (10.5, 5), (13, 8), (8.5, 8)], BL)
    i.disc(4.5, 12.5, 2, K); i.disc(11.5, 12.5, 2, K)
    return i

def plane():
    i = Img()
    i.poly([(7, 1), (9, 1), (9, 14), (7, 14)], LG)
    i.poly([(1, 9), (8, 5), (15, 9), (15, 10), (1, 10)], GR)
    i.poly([(5, 15), (8, 13), (11, 15)], GR)
    i.rect(7, 2, 8, 3, BL)
    return i

def book(c=R):
    i = Img()
    i.rect(2, 1, 13, 14, K); i.rect(3, 1, 13, 13, c); i.rect(4, 12, 13, 13, W)
    i.line(3, 1, 3, 13, tuple(v // 2 for v in c)); i.rect(6, 4, 11, 5, W)
    return i

def film():
    i = Img()
    i.rect(1, 2, 14, 13, K)
    for y in (3, 6, 9, 12):
        i.px(2, y, W); i.px(13, y, W)
    i.rect(4, 3, 11, 7, BL); i.rect(4, 9, 11, 12, O)
    return i

def wrench():
    i = Img()
    i.disc(11, 5, 4, GR); i.disc(12.5, 3.5, 1.8, MAGENTA); i.rect(12, 1, 16, 3, MAGENTA)
    i.poly([(8, 6), (10, 8), (3, 15), (1, 13)], GR)
    return i

def clock():
    i = Img()
    i.disc(8, 8, 7, K); i.disc(8, 8, 6, W)
    i.line(8, 8, 8, 4, K); i.line(8, 8, 11, 9, R)
    for x, y in ((8, 2), (14, 8), (8, 14), (2, 8)):
        i.px(x - (1 if x == 14 else 0), y - (1 if y == 14 else 0), GR)
    return i

def trash():
    i = Img()
    i.rect(2, 3, 13, 4, GR); i.rect(6, 1, 9, 2, GR)
    i.poly([(3, 5), (13, 5), (12, 15), (4, 15)], LG)
    for x in (6, 8, 10):
        i.line(x, 7, x, 13, GR)
    return i

def printer():
    i = Img()
    i.rect(4, 1, 11, 6, W); i.frame(4, 1, 11, 6, GR)
    i.rect(1, 6, 14, 12, GR); i.rect(2, 7, 13, 11, LG); i.px(12, 8, G)
    i.rect(4, 10, 11, 15, W); i.frame(4, 10, 11, 15, GR); i.line(5, 12, 10, 12, LG)
    return i

def terminal(prompt=G):
    i = Img()
    i.rect(0, 2, 15, 13, GR); i.rect(1, 3, 14, 12, K)
    i.line(2, 5, 4, 7, prompt); i.line(4, 7, 2, 9, prompt); i.rect(6, 9, 9, 9, prompt)
    return i

def disc_cd():
    i = Img()
    i.disc(8, 8, 7, LG); i.disc(8, 8, 6, (216, 222, 236))
    i.poly([(8, 8), (14, 4), (15, 8)], (190, 230, 250)); i.poly([(8, 8), (2, 12), (1, 8)], (250, 220, 190))
    i.disc(8, 8, 2, GR); i.disc(8, 8, 1, MAGENTA)
    return i

def harddisk():
    i = Img()
    i.rect(1, 4, 14, 12, K); i.rect(2, 5, 13, 11, LG)
    i.rect(3, 9, 9, 10, GR); i.px(12, 10, G)
    return i

def chip():
    i = Img()
    i.rect(3, 3, 12, 12, K)
    for k in range(4, 12, 2):
        i.px(k, 1, GR); i.px(k, 2, GR); i.px(k, 13, GR); i.px(k, 14, GR)
        i.px(1, k, GR); i.px(2, k, GR); i.px(13, k, GR); i.px(14, k, GR)
    i.rect(5, 5, 10, 10, GR)
    return i

def box():
    i = Img()
    i.poly([(1, 4), (8, 1), (15, 4), (8, 7)], (222, 184, 120))
    i.poly([(1, 4), (8, 7), (8, 15), (1, 12)], (196, 150, 90))
    i.poly([(15, 4), (8, 7), (8, 15), (15, 12)], BR)
    i.line(4, 2.6, 11, 5.6, BRD)
    return i

def clipboard():
    i = Img()
    i.rect(2, 2, 13, 15, BR); i.rect(3, 4, 12, 14, W)
    i.rect(5, 1, 10, 3, GR)
    for y in (6, 8, 10, 12):
        i.line(5, y, 10, y, LG)
    return i

def picture():
    i = Img()
    i.rect(0, 2, 15, 13, GR); i.rect(1, 3, 14, 12, BL)
    i.poly([(1, 12), (6, 6), (10, 12)], G); i.poly([(7, 12), (11, 8), (15, 12)], GD)
    i.disc(11.5, 5.5, 1.5, Y)
    return i

def listing():
    i = Img()
    i.rect(1, 1, 14, 14, GR); i.rect(2, 2, 13, 13, W)
    for y in (4, 7, 10):
        i.rect(3, y, 4, y + 1, B); i.line(6, y, 12, y, K); i.line(6, y + 1, 10, y + 1, LG)
    return i

def penguin():
    i = Img()
    i.disc(8, 9, 6, K); i.disc(8, 4.5, 3.6, K)
    i.disc(8, 10, 4, W); i.px(7, 4, W); i.px(9, 4, W)
    i.poly([(7, 6), (9, 6), (8, 7.5)], O)
    i.rect(3, 14, 6, 15, O); i.rect(10, 14, 13, 15, O)
    return i

def feather():
    i = Img()
    i.poly([(14, 1), (10, 2), (5, 7), (4, 11), (8, 10), (13, 5)], (150, 200, 230))
    i.line(14, 1, 2, 14, BD)
    return i

def apple():
    i = Img()
    i.disc(5.5, 9.5, 4.6, R); i.disc(10.5, 9.5, 4.6, R); i.disc(8, 12, 3.5, R)
    i.line(8, 5, 9, 2, BRD); i.poly([(9, 4), (12, 1), (13, 3)], G)
    i.px(4, 8, (250, 150, 150))
    return i

def coins():
    i = Img()
    for k, y in enumerate((12, 9, 6)):
        i.rect(3, y, 12, y + 2, GOLDD); i.rect(4, y, 11, y + 1, GOLD)
    i.disc(8, 4, 3.5, GOLDD); i.disc(8, 4, 2.5, GOLD); i.rect(8, 2, 8, 5, GOLDD)
    return i

def certificate():
    i = Img()
    i.rect(1, 1, 14, 11, GOLDD); i.rect(2, 2, 13, 10, W)
    for y in (4, 6, 8):
        i.line(4, y, 11, y, LG)
    i.disc(11, 11, 3, R); i.poly([(9, 13), (10, 16), (11, 14), (12, 16), (13, 13)], R)
    return i

def bolt(c=Y):
    i = Img()
    i.poly([(9, 0.5), (3, 9), (7.5, 9), (6, 15.5), (13, 6.5), (8.5, 6.5), (11, 0.5)], c)
    return i

def warning_sign():
    i = Img()
    i.poly([(8, 0.5), (15.5, 14.5), (0.5, 14.5)], K)
    i.poly([(8, 2.5), (14, 13.5), (2, 13.5)], Y)
    i.rect(7, 5, 8, 10, K); i.rect(7, 12, 8, 12, K)
    return i

def round_sign(c, mark):
    i = Img()
    i.disc(8, 8, 7.3, tuple(v * 2 // 3 for v in c)); i.disc(8, 8, 6.3, c)
    if mark == "i":
        i.rect(7, 3, 8, 4, W); i.rect(7, 6, 8, 12, W)
    elif mark == "x":
        for d in range(-3, 4):
            i.px(8 + d, 8 + d, W); i.px(7 + d, 8 + d, W); i.px(8 + d, 7 - d, W); i.px(7 + d, 7 - d, W)
    elif mark == "check":
        i.line(4, 8, 7, 11, W); i.line(4, 7, 7, 10, W); i.line(7, 11, 12, 5, W); i.line(7, 10, 12, 4, W)
    elif mark == "?":
        i.ring(8, 6, 1.5, 3, W); i.rect(5, 6, 6, 7, c); i.rect(7, 9, 8, 10, W); i.rect(7, 12, 8, 12, W)
    elif mark == "!":
        i.rect(7, 3, 8, 9, W); i.rect(7, 11, 8, 12, W)
    elif mark == "play":
        i.poly([(6, 4), (12, 8), (6, 12)], W)
    elif mark == "plus":
        i.rect(7, 4, 8, 11, W); i.rect(4, 7, 11, 8, W)
    elif mark == "minus":
        i.rect(4, 7, 11, 8, W)
    return i

def pen():
    i = Img()
    i.poly([(13, 0.5), (15.5, 3), (5, 13.5), (2.5, 11)], B)
    i.poly([(2.5, 11), (5, 13.5), (1, 15)], (236, 220, 190)); i.px(1, 14, K)
    i.line(12, 2, 14, 4, BD)
    return i

def scanner():
    i = Img()
    i.poly([(1, 8), (15, 8), (15, 13), (1, 13)], GR); i.rect(2, 9, 14, 10, LG)
    i.poly([(2, 7), (14, 7), (13, 4), (3, 4)], (90, 90, 100)); i.line(3, 11, 13, 11, (120, 240, 120))
    return i

def ir_beam():
    i = Img()
    i.rect(1, 5, 6, 12, K); i.rect(2, 7, 5, 10, R)
    for k, y in enumerate((4, 8, 12)):
        i.line(8, 8, 15, y, (220, 80, 80) if k != 1 else R)
    return i

def puzzle(c=G):
    i = Img()
    i.rect(2, 4, 12, 14, c); i.disc(7, 3, 2.2, c); i.disc(13, 9, 2.2, c)
    i.disc(2, 9, 2, MAGENTA)
    return i

def plug():
    i = Img()
    i.rect(5, 5, 10, 10, GR); i.rect(6, 1, 6, 4, K); i.rect(9, 1, 9, 4, K)
    i.rect(7, 11, 8, 15, K)
    return i

def id_card():
    i = Img()
    i.rect(0, 3, 15, 12, BD); i.rect(1, 4, 14, 11, (236, 240, 248))
    i.disc(4.5, 6.5, 1.6, (230, 190, 150)); i.rect(2, 8, 6, 10, B)
    for y in (5, 7, 9):
        i.line(8, y, 13, y, GR)
    return i

def sticky_note(c=Y):
    i = Img()
    i.poly([(1, 1), (15, 1), (15, 10), (10, 15), (1, 15)], c)
    i.poly([(10, 15), (10, 10), (15, 10)], tuple(v * 3 // 4 for v in c))
    for y in (4, 7):
        i.line(3, y, 12, y, tuple(v * 2 // 3 for v in c))
    return i

def flag(c=R):
    i = Img()
    i.rect(2, 1, 3, 15, BRD)
    i.poly([(4, 1.5), (14, 1.5), (11, 5), (14, 8.5), (4, 8.5)], c)
    return i

def grid_icons():
    i = Img()
    for k, c in enumerate((R, G, B, Y, P, O, T, PK, GR)):
        x, y = 1 + (k % 3) * 5, 1 + (k // 3) * 5
        i.rect(x, y, x + 3, y + 3, c)
    return i

def hammer():
    i = Img()
    i.poly([(2, 3), (9, 1), (11, 5), (4, 7)], GR)
    i.poly([(7, 5.5), (9, 4.5), (15, 14), (13, 15)], BR)
    return i

def wiki():
    i = Img()
    i.disc(8, 8, 7, GR); i.disc(8, 8, 6, W)
    for x0 in (3, 7):
        i.line(x0, 5, x0 + 2, 11, K); i.line(x0 + 2, 11, x0 + 4, 5, K)
    return i

def berry_phone():
    i = Img()
    i.rect(3, 0, 12, 15, K); i.rect(4, 1, 11, 6, BL)
    for y in (8, 10, 12):
        for x in (5, 7, 9):
            i.px(x, y, GR)
    i.rect(5, 14, 10, 14, GR)
    return i

def mailbox():
    i = Img()
    i.rect(1, 7, 14, 14, GR); i.rect(2, 8, 13, 13, W)
    i.poly([(2, 8), (5, 11), (10, 11), (13, 8)], LG)
    i.blit(envelope_small(), 4, 0)
    return i

def envelope_small():
    i = Img(9, 7)
    i.rect(0, 0, 8, 6, GR); i.rect(1, 1, 7, 5, W); i.line(1, 1, 4, 3, GR); i.line(7, 1, 4, 3, GR)
    return i

def running():
    i = Img()
    i.disc(10, 2.5, 1.8, K)
    i.line(9, 4, 7, 9, K); i.line(8, 4, 6, 9, K)
    i.line(7, 9, 10, 12, K); i.line(10, 12, 9, 15, K)
    i.line(7, 9, 4, 12, K); i.line(4, 12, 2, 12, K)
    i.line(8, 5, 11, 7, K); i.line(11, 7, 13, 6, K); i.line(8, 5, 5, 6, K); i.line(5, 6, 3, 8, K)
    return i

def sliders():
    i = Img()
    for x, y in ((3, 10), (8, 4), (13, 8)):
        i.line(x, 1, x, 14, GR); i.rect(x - 1, y, x + 1, y + 2, B)
    return i

def badge(base, mark, at=(8, 8)):
    """A small round sign in the lower right corner of a picture."""
    i = Img()
    i.blit(base, 0, 0)
    s = round_sign({"check": G, "x": R, "?": B, "plus": G, "!": O, "i": B, "play": G}[mark], mark)
    small = Img(8, 8)
    for y in range(8):
        for x in range(8):
            small.p[y][x] = s.p[y * 2][x * 2] if s.p[y * 2][x * 2] != MAGENTA else MAGENTA
    i.rect(at[0], at[1], at[0] + 7, at[1] + 7, MAGENTA)
    i.blit(small, at[0], at[1])
    return i

def corner(base, small, at=(7, 7)):
    """A picture with a smaller one over its lower right corner."""
    i = Img()
    i.blit(base, 0, 0)
    half = Img(9, 9)
    for y in range(9):
        for x in range(9):
            half.p[y][x] = small.p[min(15, y * 16 // 9)][min(15, x * 16 // 9)]
    i.blit(half, at[0], at[1])
    return i

def multi_keys():
    i = Img()
    a, b = key(), recolor(key(), 200)
    i.blit(a, -2, -2); i.blit(b, 2, 2)
    return i

def recolor(img, hue_deg):
    """The picture with its coloured pixels turned to another hue; greys stay."""
    import colorsys
    out = Img(img.w, img.h)
    for y in range(img.h):
        for x in range(img.w):
            c = img.p[y][x]
            if c == MAGENTA:
                continue
            h, l, s_ = colorsys.rgb_to_hls(*(v / 255 for v in c))
            if s_ > 0.25:
                h = hue_deg / 360.0
            out.p[y][x] = tuple(int(round(v * 255)) for v in colorsys.hls_to_rgb(h, l, s_))
    return out

def padlock_open():
    i = Img()
    i.ring(11, 4.5, 2.6, 4.2, GR); i.rect(7, 4, 9, 7, MAGENTA)
    i.rect(1, 7, 12, 14, GOLDD); i.rect(2, 8, 11, 13, GOLD)
    i.rect(6, 9, 7, 12, K)
    return i

def desktop():
    i = monitor()
    i.rect(2, 3, 13, 10, B); i.rect(3, 4, 8, 7, W); i.rect(3, 4, 8, 4, BD); i.rect(2, 10, 13, 10, LG)
    return i

def archive():
    i = Img()
    i.rect(2, 1, 13, 15, BRD); i.rect(3, 2, 12, 14, (222, 184, 120))
    for y in range(2, 10, 2):
        i.px(7, y, K); i.px(8, y + 1, K)
    i.rect(6, 10, 9, 13, GR); i.rect(7, 11, 8, 12, LG)
    return i

def monitor_globe():
    return corner(monitor(), globe(), (6, 6))


# Our own set: the first 24 stay where they always were (vaults refer to
# them by number); then further subjects, then colour families of the most
# used ones, so that groups can be told apart by colour.
own = [folder(), key(), globe(), envelope(), card(), bank(), padlock(), user(), phone(), monitor(),
       cart(), gear(), house(), document(), star(), heart(), cloud(), shield(), database(), chat(),
       wifi(), note(), camera(), briefcase()]
own += [server(), gamepad(), bag(), car(), plane(), book(), film(), wrench(), clock(), trash(),
        printer(), terminal(), disc_cd(), harddisk(), chip(), box(), clipboard(), picture(), listing(),
        penguin(), feather(), apple(), coins(), certificate(), bolt(), pen(), puzzle(), plug(), id_card(),
        sticky_note(), flag(), hammer(), sliders(), running(), mailbox(), scanner(), grid_icons(), floppy(),
        keyboard(), magnifier(), dice(), folder(True)]
own += [round_sign(c, m) for c, m in ((B, "i"), (R, "x"), (G, "check"), (B, "?"), (O, "!"), (G, "play"),
                                       (G, "plus"), (R, "minus"))]
own += [badge(folder(), m) for m in ("check", "x", "plus", "!")]
own += [badge(document(), m) for m in ("check", "x", "?", "plus")]
own += [badge(user(), m) for m in ("check", "x", "plus")]
own += [corner(user(), key()), corner(folder(), padlock()), corner(document(), padlock()),
        corner(monitor(), padlock()), corner(envelope(), magnifier()), corner(server(), padlock()),
        corner(phone(), padlock()), corner(globe(), padlock()), corner(house(), key()), corner(card(), padlock())]
# Colour families: eight hues of pictures whose colour carries no meaning.
hues = (0, 30, 60, 120, 180, 210, 270, 320)
for make in (folder, key, star, heart, book, flag, sticky_note, padlock, car, puzzle, bolt, shield,
             card, user, cloud, briefcase, gear, chat, bag, document):
    base = make()
    for h in hues:
        v = recolor(base, h)
        if v.p != base.p and all(v.p != o.p for o in own):
            own.append(v)
        if len(own) == 235:
            break
    if len(own) == 235:
        break
assert len(own) == 235, len(own)

# KeePass's standard icons 1 to 68, in their order and meaning (its icon 0,
# a key, is our icon 1).
keepass = [globe(), warning_sign(), server(B), badge(folder(), "!"), chat(), puzzle(B), sticky_note(W),
           corner(globe(), plug()), id_card(), badge(document(), "check"), camera(), ir_beam(), multi_keys(),
           bolt(), scanner(), corner(globe(), star()), disc_cd(), monitor(), envelope(), gear(),
           badge(clipboard(), "check"), corner(document(), star()), desktop(), badge(bolt(), "!"), mailbox(),
           floppy(), harddisk(), badge(document(), "?"), corner(terminal(), padlock()), terminal(W),
           printer(), grid_icons(), round_sign(G, "play"), sliders(), monitor_globe(), archive(), corner(bank(), coins()),
           corner(harddisk(), grid_icons()), clock(), corner(envelope(), magnifier()), corner(document(), flag()),
           chip(), trash(), sticky_note(), round_sign(R, "x"), round_sign(B, "i"), box(), folder(), folder(True),
           corner(folder(), box()), padlock_open(), corner(document(), padlock()), round_sign(G, "check"), pen(),
           picture(), book(B), listing(), corner(user(), key()), hammer(), house(), star(), penguin(), feather(),
           apple(), wiki(), coins(), certificate(), berry_phone()]
assert len(keepass) == 68, len(keepass)
icons = own + keepass
# Every picture of our own set, and every one of KeePass's, differs from the
# others of its set.
for part, first in ((own, 0), (keepass, 235)):
    for a in range(len(part)):
        for b in range(a + 1, len(part)):
            if part[a].p == part[b].p:
                raise SystemExit("icons %d and %d are the same picture" % (first + a, first + b))


def new_document():
    i = document()
    i.line(11, 0, 15, 4, YD); i.line(15, 0, 11, 4, YD); i.rect(12, 1, 14, 3, Y)
    return i


tools = [new_document(), folder(True), overlay(document(), "x"), floppy(), padlock(), overlay(folder(), "plus"),
         overlay(folder(), "pencil"), overlay(folder(), "x"), overlay(key(), "plus"), overlay(key(), "x"),
         open_url(), keyboard(), magnifier(), copy_pages(), dice()]
tray = [vault((120, 120, 128), GR), vault((150, 40, 40), GOLD), vault((40, 120, 60), GOLD),
        vault((22, 64, 92), GOLD)]

def write_drag_cursor(path):
    """A 32 x 32 monochrome cursor: the arrow with a sheet under its tip's
    lower right, hot spot at the arrow's tip."""
    size = 32
    # 0 transparent, 1 black, 2 white
    p = [[0] * size for _ in range(size)]
    arrow = ["X", "XX", "X.X", "X..X", "X...X", "X....X", "X.....X", "X......X", "X.......X", "X........X",
             "X.....XXXXX", "X..X..X", "X.X X..X", "XX  X..X", "X    X..X", "     X..X", "      XX"]
    for y, row in enumerate(arrow):
        for x, ch in enumerate(row):
            if ch == "X":
                p[y][x] = 1
            elif ch == ".":
                p[y][x] = 2
    # The sheet being carried: a white rectangle with a dotted black edge.
    x0, y0, x1, y1 = 8, 17, 19, 25
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            edge = x in (x0, x1) or y in (y0, y1)
            p[y][x] = (1 if (x + y) % 2 == 0 else 2) if edge else 2
    row_bytes = size // 8
    xor, and_ = bytearray(), bytearray()
    for y in range(size - 1, -1, -1):  # bottom-up rows
        xr, ar = bytearray(row_bytes), bytearray(row_bytes)
        for x in range(size):
            bit = 0x80 >> (x % 8)
            if p[y][x] == 0:
                ar[x // 8] |= bit
            elif p[y][x] == 2:
                xr[x // 8] |= bit
        xor += xr; and_ += ar
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, len(xor) + len(and_), 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = info + palette + bytes(xor) + bytes(and_)
    header = struct.pack("<HHH", 0, 2, 1)  # reserved, type 2 = cursor, one image
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 0, 0, len(image), 6 + 16)  # hot spot (0, 0)
    with open(path, "wb") as f:
        f.write(header + entry + image)


write_bmp(os.path.join(HERE, "icons16.bmp"), icons)
write_bmp(os.path.join(HERE, "tools16.bmp"), tools)
write_bmp(os.path.join(HERE, "tray16.bmp"), tray)
write_bmp(os.path.join(HERE, "marble.bmp"), [marble()])
write_drag_cursor(os.path.join(HERE, "drag.cur"))
print("icons", len(icons), "tools", len(tools), "tray", len(tray))
