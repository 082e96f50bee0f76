#!/usr/bin/env python3
"""Draws the program's bitmap strips and writes them as 24-bit BMP files:
icons16.bmp (the icons of groups and entries), tools16.bmp (tool-bar and
button glyphs), tray16.bmp (notification-area icons) and marble.bmp (the
footer picture of the dialogs). Every 16 x 16 image is pixel art on the mask
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
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.px(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.px(x, y0, c); self.px(x, y1, c)
        for y in range(y0, y1 + 1):
            self.px(x0, y, c); self.px(x1, y, c)

    def line(self, x0, y0, x1, y1, c):
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


icons = [folder(), key(), globe(), envelope(), card(), bank(), padlock(), user(), phone(), monitor(),
         cart(), gear(), house(), document(), star(), heart(), cloud(), shield(), database(), chat(),
         wifi(), note(), camera(), briefcase()]
def new_document():
    i = document()
    i.line(11, 0, 15, 4, YD); i.line(15, 0, 11, 4, YD); i.rect(12, 1, 14, 3, Y)
    return i


tools = [new_document(), folder(True), overlay(document(), "x"), floppy(), padlock(), overlay(folder(), "plus"),
         overlay(folder(), "pencil"), overlay(folder(), "x"), overlay(key(), "plus"), overlay(key(), "x"),
         open_url(), keyboard(), magnifier(), copy_pages(), dice()]
tray = [vault((120, 120, 128), GR), vault((150, 40, 40), GOLD), vault((40, 120, 60), GOLD),
        vault((22, 64, 92), GOLD)]

write_bmp(os.path.join(HERE, "icons16.bmp"), icons)
write_bmp(os.path.join(HERE, "tools16.bmp"), tools)
write_bmp(os.path.join(HERE, "tray16.bmp"), tray)
write_bmp(os.path.join(HERE, "marble.bmp"), [marble()])
print("icons", len(icons), "tools", len(tools), "tray", len(tray))
