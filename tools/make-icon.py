#!/usr/bin/env python3
"""Draws the program icon (a vault door with a dial and a keyhole) and writes
resources/Vaultline.ico with 16, 24, 32, 48 and 256 pixel images (32-bit)."""
import math, struct, sys, zlib

def shade(x, y, n):
    # Coordinates in 0..1; returns (r, g, b, a) for one sample.
    cx = cy = 0.5
    # Rounded square body.
    m, r = 0.06, 0.16
    qx = max(abs(x - cx) - (0.5 - m - r), 0.0)
    qy = max(abs(y - cy) - (0.5 - m - r), 0.0)
    if math.hypot(qx, qy) > r:
        return (0, 0, 0, 0)
    d = math.hypot(x - cx, y - cy)
    body = (22, 64, 92)
    if d < 0.36:
        # Dial ring and face.
        if d > 0.30:
            return (222, 178, 64, 255)
        face = (236, 240, 244)
        # Keyhole: a circle over a tapering slot.
        if math.hypot(x - cx, y - 0.44) < 0.075:
            return (22, 40, 56, 255)
        if 0.44 <= y <= 0.64 and abs(x - cx) < 0.03 + (y - 0.44) * 0.15:
            return (22, 40, 56, 255)
        # Tick marks around the dial.
        ang = math.atan2(y - cy, x - cx)
        if d > 0.25 and (ang * 12 / (2 * math.pi)) % 1.0 < 0.18:
            return (120, 132, 144, 255)
        return face + (255,)
    # Four bolts at the corners.
    for bx, by in ((0.2, 0.2), (0.8, 0.2), (0.2, 0.8), (0.8, 0.8)):
        if math.hypot(x - bx, y - by) < 0.045:
            return (180, 196, 210, 255)
    return body + (255,)

def render(n):
    ss = 4 if n <= 64 else 2
    rows = []
    for j in range(n):
        row = []
        for i in range(n):
            acc = [0, 0, 0, 0]
            for sj in range(ss):
                for si in range(ss):
                    r, g, b, a = shade((i + (si + 0.5) / ss) / n, (j + (sj + 0.5) / ss) / n, n)
                    acc[0] += r * a; acc[1] += g * a; acc[2] += b * a; acc[3] += a
            a = acc[3] / (ss * ss)
            if acc[3]:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(a)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows

def bmp_image(n, px):
    hdr = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    data = bytearray()
    for row in reversed(px):
        for r, g, b, a in row:
            data += bytes((b, g, r, a))
    mask_stride = ((n + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(px):
        bits = bytearray(mask_stride)
        for i, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    return hdr + bytes(data) + bytes(mask)

def png_image(n, px):
    raw = b''.join(b'\0' + b''.join(bytes(p) for p in row) for row in px)
    def chunk(t, d):
        return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', n, n, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))

def main(out):
    sizes = [16, 24, 32, 48, 256]
    images = [png_image(n, render(n)) if n == 256 else bmp_image(n, render(n)) for n in sizes]
    head = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for n, img in zip(sizes, images):
        entries += struct.pack('<BBBBHHII', n % 256, n % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, 'wb') as f:
        f.write(head + entries + b''.join(images))

if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'resources/Vaultline.ico')
