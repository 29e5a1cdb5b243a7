#!/usr/bin/env python3
"""Draws the setup's banner bitmaps and the product's icons.

Everything is drawn from geometry in this file (no source images), so running it again
gives the same bytes. Outputs, relative to payload/:

  resources/graphic/icons/KZOrlixSetup.bmp    side banner of the Welcome and End pages
  resources/graphic/icons/KZOrlixSetupH.bmp   header banner of the Target, Summary, Install pages
  resources/graphic/OrlixFile.ico             icon of the product's documents
  app/setup.ico                               icon of setup.exe
  app/OrlixPlayer.ico                         icon of the viewer
  app/OrlixPlayerUninstall.ico                icon of the uninstaller

Usage: python3 payload/tools/make_banners.py [--png DIR]   (--png also writes previews)
"""

import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
PAYLOAD = os.path.dirname(HERE)


# ---------------------------------------------------------------------------------------------
# A small RGBA canvas with anti-aliased primitives. Colours are floats 0..1, straight alpha.

class Canvas:
    def __init__(self, width, height, color=(0.0, 0.0, 0.0, 0.0)):
        self.w = width
        self.h = height
        self.px = [list(color) for _ in range(width * height)]

    def blend(self, x, y, rgb, alpha):
        if alpha <= 0.0 or x < 0 or y < 0 or x >= self.w or y >= self.h:
            return
        if alpha > 1.0:
            alpha = 1.0
        p = self.px[y * self.w + x]
        da = p[3]
        oa = alpha + da * (1.0 - alpha)
        if oa <= 0.0:
            return
        k = da * (1.0 - alpha)
        p[0] = (rgb[0] * alpha + p[0] * k) / oa
        p[1] = (rgb[1] * alpha + p[1] * k) / oa
        p[2] = (rgb[2] * alpha + p[2] * k) / oa
        p[3] = oa

    def add(self, x, y, rgb, amount):
        """Additive light, for glows on opaque backgrounds."""
        if amount <= 0.0 or x < 0 or y < 0 or x >= self.w or y >= self.h:
            return
        p = self.px[y * self.w + x]
        for i in range(3):
            p[i] = min(1.0, p[i] + rgb[i] * amount)

    def fill(self, shader):
        for y in range(self.h):
            for x in range(self.w):
                r, g, b = shader(x + 0.5, y + 0.5)
                self.px[y * self.w + x] = [r, g, b, 1.0]

    def glow(self, cx, cy, radius, rgb, strength):
        x0, x1 = max(0, int(cx - radius)), min(self.w, int(cx + radius) + 1)
        y0, y1 = max(0, int(cy - radius)), min(self.h, int(cy + radius) + 1)
        for y in range(y0, y1):
            for x in range(x0, x1):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy) / radius
                if d < 1.0:
                    self.add(x, y, rgb, strength * (1.0 - d) ** 2)

    def strokes(self, segments, radius, rgb, alpha=1.0, clip=None):
        """Round-capped lines of the given radius; overlapping segments are covered once."""
        if not segments:
            return
        xs = [p for s in segments for p in (s[0][0], s[1][0])]
        ys = [p for s in segments for p in (s[0][1], s[1][1])]
        pad = radius + 1.5
        x0, x1 = max(0, int(min(xs) - pad)), min(self.w, int(max(xs) + pad) + 1)
        y0, y1 = max(0, int(min(ys) - pad)), min(self.h, int(max(ys) + pad) + 1)
        prepared = []
        for (ax, ay), (bx, by) in segments:
            dx, dy = bx - ax, by - ay
            ll = dx * dx + dy * dy
            prepared.append((ax, ay, dx, dy, ll, min(ax, bx) - pad, max(ax, bx) + pad,
                             min(ay, by) - pad, max(ay, by) + pad))
        for y in range(y0, y1):
            py = y + 0.5
            rows = [s for s in prepared if s[7] <= py <= s[8]]
            if not rows:
                continue
            for x in range(x0, x1):
                px = x + 0.5
                best = pad
                for ax, ay, dx, dy, ll, sx0, sx1, _, _ in rows:
                    if px < sx0 or px > sx1:
                        continue
                    if ll > 0.0:
                        t = ((px - ax) * dx + (py - ay) * dy) / ll
                        t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
                    else:
                        t = 0.0
                    d = math.hypot(px - ax - t * dx, py - ay - t * dy)
                    if d < best:
                        best = d
                cover = radius + 0.5 - best
                if cover > 0.0:
                    a = alpha * min(1.0, cover)
                    if clip is not None:
                        a *= clip(px, py)
                    self.blend(x, y, rgb, a)

    def polygon(self, points, rgb, alpha=1.0, samples=4):
        """Filled convex polygon, supersampled."""
        n = len(points)
        area = 0.0
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            area += ax * by - bx * ay
        sign = 1.0 if area > 0 else -1.0
        edges = []
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            edges.append((ax, ay, bx - ax, by - ay))
        x0 = max(0, int(min(p[0] for p in points)))
        x1 = min(self.w, int(max(p[0] for p in points)) + 1)
        y0 = max(0, int(min(p[1] for p in points)))
        y1 = min(self.h, int(max(p[1] for p in points)) + 1)
        offsets = [(i + 0.5) / samples for i in range(samples)]
        total = samples * samples
        for y in range(y0, y1):
            for x in range(x0, x1):
                inside = 0
                for oy in offsets:
                    sy = y + oy
                    for ox in offsets:
                        sx = x + ox
                        for ax, ay, dx, dy in edges:
                            if (dx * (sy - ay) - dy * (sx - ax)) * sign < 0:
                                break
                        else:
                            inside += 1
                if inside:
                    self.blend(x, y, rgb, alpha * inside / total)

    def rounded_rect(self, x0, y0, x1, y1, r, shader, alpha=1.0):
        cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
        hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r
        for y in range(max(0, int(y0) - 1), min(self.h, int(y1) + 2)):
            for x in range(max(0, int(x0) - 1), min(self.w, int(x1) + 2)):
                qx = abs(x + 0.5 - cx) - hx
                qy = abs(y + 0.5 - cy) - hy
                d = math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
                cover = 0.5 - d
                if cover > 0.0:
                    self.blend(x, y, shader(x + 0.5, y + 0.5), alpha * min(1.0, cover))

    def disc(self, cx, cy, r, rgb, alpha=1.0):
        self.strokes([((cx, cy), (cx, cy))], r, rgb, alpha)


def mix(a, b, t):
    t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def hexrgb(text):
    return tuple(int(text[i:i + 2], 16) / 255.0 for i in (1, 3, 5))


NAVY = hexrgb("#081838")
DEEP = hexrgb("#0b3566")
TEAL = hexrgb("#0f8a8f")
CYAN = hexrgb("#8ff3ff")
ICE = hexrgb("#d8fbff")
WHITE = (1.0, 1.0, 1.0)
INK = hexrgb("#0b2a5b")


# ---------------------------------------------------------------------------------------------
# A stroke font: glyphs are polylines in em units, baseline at y = 0, y pointing up,
# capitals 1.0 high, lower case x-height 0.68.

def arc(cx, cy, rx, ry, a0, a1, n=18):
    pts = []
    for i in range(n + 1):
        a = math.radians(a0 + (a1 - a0) * i / n)
        pts.append((cx + rx * math.cos(a), cy + ry * math.sin(a)))
    return pts


X = 0.68   # x-height

GLYPHS = {
    "A": (0.74, [[(0, 0), (0.37, 1), (0.74, 0)], [(0.14, 0.36), (0.60, 0.36)]]),
    "E": (0.56, [[(0.56, 1), (0, 1), (0, 0), (0.56, 0)], [(0, 0.52), (0.46, 0.52)]]),
    "K": (0.62, [[(0, 0), (0, 1)], [(0.62, 1), (0.0, 0.36)], [(0.2, 0.56), (0.64, 0)]]),
    "L": (0.52, [[(0, 1), (0, 0), (0.52, 0)]]),
    "M": (0.84, [[(0, 0), (0, 1), (0.42, 0.34), (0.84, 1), (0.84, 0)]]),
    "O": (0.92, [arc(0.46, 0.5, 0.46, 0.5, 0, 360, 40)]),
    "P": (0.6, [[(0, 0), (0, 1), (0.32, 1)] + arc(0.32, 0.725, 0.275, 0.275, 90, -90, 14)
                + [(0, 0.45)]]),
    "R": (0.62, [[(0, 0), (0, 1), (0.32, 1)] + arc(0.32, 0.725, 0.275, 0.275, 90, -90, 14)
                 + [(0, 0.45)], [(0.3, 0.45), (0.62, 0)]]),
    "Y": (0.72, [[(0, 1), (0.36, 0.5), (0.72, 1)], [(0.36, 0.5), (0.36, 0)]]),
    "Z": (0.64, [[(0, 1), (0.64, 1), (0, 0), (0.64, 0)]]),
    "a": (0.62, [arc(0.3, 0.34, 0.3, 0.34, 0, 360, 28), [(0.62, X), (0.62, 0)]]),
    "e": (0.62, [[(0.02, 0.34), (0.62, 0.34)] + arc(0.31, 0.34, 0.31, 0.34, 0, 310, 26)]),
    "i": (0.0, [[(0, 0), (0, X)], [(0, 0.92), (0, 0.92)]]),
    "l": (0.0, [[(0, 0), (0, 1.02)]]),
    "r": (0.42, [[(0, 0), (0, X)], arc(0.36, 0.3, 0.36, 0.36, 180, 80, 12)]),
    "x": (0.56, [[(0, 0), (0.56, X)], [(0, X), (0.56, 0)]]),
    "y": (0.6, [[(0, X), (0.3, 0.02)], [(0.6, X), (0.18, -0.3)]]),
    "z": (0.54, [[(0, X), (0.54, X), (0, 0), (0.54, 0)]]),
    " ": (0.34, []),
}


def text_segments(text, x, baseline, size, gap=0.24, tracking=0.0):
    """Segments of `text` in pixels, and its width. `size` is the capital height in pixels."""
    segs = []
    pen = 0.0
    for i, ch in enumerate(text):
        width, lines = GLYPHS[ch]
        for line in lines:
            pts = [(x + (pen + px) * size, baseline - py * size) for px, py in line]
            if len(pts) == 1:
                pts = pts * 2
            for a, b in zip(pts, pts[1:]):
                segs.append((a, b))
        pen += width
        if i + 1 < len(text):
            pen += gap + tracking
    return segs, pen * size


def text_width(text, size, gap=0.24, tracking=0.0):
    return text_segments(text, 0, 0, size, gap, tracking)[1]


def draw_text(canvas, text, x, baseline, size, rgb, weight=0.08, gap=0.24, tracking=0.0,
              shadow=None):
    radius = max(0.55, weight * size)
    if shadow:
        segs, _ = text_segments(text, x + shadow[0], baseline + shadow[1], size, gap, tracking)
        canvas.strokes(segs, radius, (0.0, 0.02, 0.08), shadow[2])
    segs, _ = text_segments(text, x, baseline, size, gap, tracking)
    canvas.strokes(segs, radius, rgb)


# ---------------------------------------------------------------------------------------------
# The product mark: a perspective wireframe cube inside a tilted orbit ring.

CUBE_EDGES = [(0, 1), (1, 3), (3, 2), (2, 0), (4, 5), (5, 7), (7, 6), (6, 4),
              (0, 4), (1, 5), (2, 6), (3, 7)]
CUBE_FACES = [(0, 1, 3, 2), (4, 6, 7, 5), (0, 4, 5, 1), (2, 3, 7, 6), (0, 2, 6, 4), (1, 5, 7, 3)]


def rotate(p, yaw, pitch):
    x, y, z = p
    cy, sy = math.cos(yaw), math.sin(yaw)
    x, z = x * cy + z * sy, -x * sy + z * cy
    cp, sp = math.cos(pitch), math.sin(pitch)
    y, z = y * cp - z * sp, y * sp + z * cp
    return x, y, z


def project(p, cx, cy, scale, distance=6.0):
    x, y, z = p
    f = distance / (distance + z)
    return cx + x * scale * f, cy - y * scale * f


def draw_mark(canvas, cx, cy, scale, line=1.2, ring=True, faces=True, glow=True,
              edge_rgb=CYAN, dot_rgb=ICE, light=1.0):
    yaw, pitch = math.radians(38), math.radians(-24)
    verts3 = [rotate((sx, sy, sz), yaw, pitch)
              for sx in (-1, 1) for sy in (-1, 1) for sz in (-1, 1)]
    verts = [project(v, cx, cy, scale) for v in verts3]
    if glow:
        canvas.glow(cx, cy, scale * 2.6, (0.25, 0.75, 0.9), 0.35 * light)

    ring_pts = []
    if ring:
        tilt = math.radians(-18)
        for i in range(73):
            a = 2 * math.pi * i / 72
            p = (1.85 * math.cos(a), 0.0, 1.85 * math.sin(a))
            # tilt the ring about the view axis, then lean it back
            p = rotate(p, 0.0, math.radians(-20))
            x, y, z = p
            x, y = x * math.cos(tilt) - y * math.sin(tilt), x * math.sin(tilt) + y * math.cos(tilt)
            ring_pts.append(((x, y, z), project((x, y, z), cx, cy, scale)))
        back = [(a[1], b[1]) for a, b in zip(ring_pts, ring_pts[1:]) if (a[0][2] + b[0][2]) > 0]
        canvas.strokes(back, line * 0.8, edge_rgb, 0.35 * light)

    if faces:
        for face in CUBE_FACES:
            a, b, c = (verts3[i] for i in face[:3])
            u = (b[0] - a[0], b[1] - a[1], b[2] - a[2])
            v = (c[0] - a[0], c[1] - a[1], c[2] - a[2])
            n = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
            centre = [sum(verts3[i][k] for i in face) / 4 for k in range(3)]
            towards_viewer = n[0] * centre[0] + n[1] * centre[1] + n[2] * (centre[2] + 6.0)
            if towards_viewer >= 0:
                continue
            length = math.sqrt(sum(k * k for k in n))
            lit = max(0.0, (-n[0] * 0.4 + n[1] * 0.8 - n[2] * 0.45) / length)
            canvas.polygon([verts[i] for i in face], mix(DEEP, CYAN, 0.25 + 0.6 * lit),
                           (0.22 + 0.25 * lit) * light)

    hidden = max(range(8), key=lambda i: verts3[i][2])
    front, rear = [], []
    for a, b in CUBE_EDGES:
        (rear if hidden in (a, b) else front).append((verts[a], verts[b]))
    canvas.strokes(rear, line * 0.7, edge_rgb, 0.4 * light)
    canvas.strokes(front, line, edge_rgb, 0.95)
    for i, p in enumerate(verts):
        if i != hidden:
            canvas.disc(p[0], p[1], line * 1.5, dot_rgb, 0.95)

    if ring:
        front_ring = [(a[1], b[1]) for a, b in zip(ring_pts, ring_pts[1:])
                      if (a[0][2] + b[0][2]) <= 0]
        canvas.strokes(front_ring, line * 0.9, ICE, 0.9)
        # a small satellite on the ring
        sat = ring_pts[58][1]
        canvas.disc(sat[0], sat[1], line * 2.2, WHITE, 1.0)


# ---------------------------------------------------------------------------------------------
# Banners

def side_banner():
    w, h = 164, 355
    c = Canvas(w, h)

    def shader(x, y):
        t = y / h
        base = mix(NAVY, DEEP, t / 0.55) if t < 0.55 else mix(DEEP, TEAL, (t - 0.55) / 0.45)
        # a soft diagonal light band
        band = math.exp(-((x * 0.8 - y * 0.45 + 40) / 55.0) ** 2) * 0.07
        return tuple(min(1.0, k + band) for k in base)

    c.fill(shader)

    # perspective floor grid
    horizon, vx = 286.0, w / 2.0
    floor = []
    for i in range(-9, 10):
        floor.append(((vx + i * 4.0, horizon), (vx + i * 46.0, h + 20.0)))
    y, step = horizon + 3.0, 3.0
    while y < h + 2:
        floor.append(((-2.0, y), (w + 2.0, y)))
        step *= 1.42
        y += step
    c.strokes(floor, 0.45, CYAN, 0.5,
              clip=lambda px, py: max(0.0, min(1.0, (py - horizon) / 60.0)))

    c.glow(vx, horizon + 4, 70, (0.3, 0.9, 0.95), 0.18)

    # a few faint stars in the dark upper part, at fixed places
    for sx, sy, r in [(18, 62, 0.7), (140, 44, 0.8), (128, 168, 0.6), (24, 180, 0.6),
                      (150, 96, 0.5), (40, 118, 0.5), (104, 22, 0.6), (62, 74, 0.4)]:
        c.disc(sx, sy, r, ICE, 0.6)

    draw_mark(c, vx, 118, 29, line=1.25)

    label = "KAZE MAR"
    size = 7.5
    tw = text_width(label, size, tracking=0.45)
    draw_text(c, label, (w - tw) / 2, 34, size, ICE, weight=0.1, tracking=0.45)

    size = 34
    tw = text_width("Orlix", size, gap=0.2)
    draw_text(c, "Orlix", (w - tw) / 2, 232, size, WHITE, weight=0.085, gap=0.2,
              shadow=(1.5, 2.0, 0.45))

    label = "PLAYER"
    size = 8.5
    tw = text_width(label, size, tracking=0.55)
    draw_text(c, label, (w - tw) / 2, 254, size, CYAN, weight=0.1, tracking=0.55)
    return c


def header_banner():
    w, h = 500, 58
    c = Canvas(w, h)
    edge_top, edge_bottom = 352.0, 318.0   # slanted edge of the dark part

    def shader(x, y):
        edge = edge_top + (edge_bottom - edge_top) * y / h
        light = mix(WHITE, hexrgb("#e6f2fb"), x / edge)
        dark = mix(DEEP, TEAL, (x - edge) / (w - edge))
        dark = mix(dark, NAVY, 0.35 * (1 - y / h))
        t = x - edge
        if t <= -0.5:
            return light
        if t >= 0.5:
            return dark
        return mix(light, dark, t + 0.5)

    c.fill(shader)
    # a thin bright seam along the slanted edge
    c.strokes([((edge_top, 0), (edge_bottom, h))], 0.9, CYAN, 0.8)

    draw_mark(c, 432, 29, 12.5, line=0.95)

    draw_text(c, "KAZE MAR", 22, 17, 6.5, TEAL, weight=0.11, tracking=0.5)
    draw_text(c, "Orlix Player", 21, 43, 19, INK, weight=0.085, gap=0.2)

    # separator towards the page below
    for x in range(w):
        c.blend(x, h - 2, TEAL, 0.55)
        c.blend(x, h - 1, DEEP, 0.9)
    return c


# ---------------------------------------------------------------------------------------------
# Icons

def app_icon(size, badge=None):
    c = Canvas(size, size)
    m = max(0.5, size / 32.0)
    r = size * 0.2

    def tile(x, y):
        return mix(hexrgb("#1b5fa8"), TEAL, (x + y) / (2.0 * size))

    c.rounded_rect(m * 0.5, m * 0.5, size - m * 0.5, size - m * 0.5, r, tile)
    c.rounded_rect(m * 0.5, m * 0.5, size - m * 0.5, size * 0.5, r,
                   lambda x, y: WHITE, alpha=0.12)
    line = max(0.55, size / 30.0)
    draw_mark(c, size * 0.5, size * 0.5, size * 0.2, line=line, ring=size >= 32, glow=False,
              edge_rgb=WHITE, dot_rgb=WHITE, light=0.8)
    if badge == "install":
        bx, by, br = size * 0.74, size * 0.74, size * 0.24
        c.disc(bx, by, br, hexrgb("#1f9d3a"))
        c.disc(bx, by, br - max(0.6, size / 40.0), hexrgb("#39c152"))
        aw = br * 0.55
        c.polygon([(bx - aw, by - aw * 0.1), (bx + aw, by - aw * 0.1), (bx, by + aw * 0.95)], WHITE)
        c.polygon([(bx - aw * 0.38, by - aw * 1.0), (bx + aw * 0.38, by - aw * 1.0),
                   (bx + aw * 0.38, by), (bx - aw * 0.38, by)], WHITE)
    elif badge == "remove":
        bx, by, br = size * 0.74, size * 0.74, size * 0.24
        c.disc(bx, by, br, hexrgb("#b3261e"))
        c.disc(bx, by, br - max(0.6, size / 40.0), hexrgb("#e0453a"))
        aw = br * 0.58
        c.polygon([(bx - aw, by - aw * 0.24), (bx + aw, by - aw * 0.24),
                   (bx + aw, by + aw * 0.24), (bx - aw, by + aw * 0.24)], WHITE)
    return c


def document_icon(size):
    c = Canvas(size, size)
    x0, x1 = size * 0.16, size * 0.84
    y0, y1 = size * 0.04, size * 0.96
    fold = size * 0.26
    outline = hexrgb("#5a6b80")
    page = [(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)]
    c.polygon(page, outline)
    i = max(0.8, size / 32.0)
    inner = [(x0 + i, y0 + i), (x1 - fold - i * 0.4, y0 + i), (x1 - i, y0 + fold + i * 0.4),
             (x1 - i, y1 - i), (x0 + i, y1 - i)]
    c.polygon(inner, WHITE)
    c.polygon([(x1 - fold, y0), (x1, y0 + fold), (x1 - fold, y0 + fold)], hexrgb("#c9d6e4"))
    line = max(0.55, size / 32.0)
    draw_mark(c, size * 0.5, size * 0.6, size * 0.17, line=line, ring=size >= 32, glow=False,
              edge_rgb=hexrgb("#1b5fa8"), dot_rgb=hexrgb("#0b3566"), light=1.0)
    return c


# ---------------------------------------------------------------------------------------------
# File formats

def to8(v):
    return max(0, min(255, int(round(v * 255.0))))


def bmp_bytes(c):
    """24-bit BITMAPINFOHEADER bitmap, bottom-up."""
    stride = (c.w * 3 + 3) & ~3
    rows = []
    for y in range(c.h - 1, -1, -1):
        row = bytearray()
        for x in range(c.w):
            r, g, b, _ = c.px[y * c.w + x]
            row += bytes((to8(b), to8(g), to8(r)))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, c.w, c.h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(header)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return file_header + header + pixels


def ico_bytes(canvases):
    """An .ico of 32-bit images with their AND masks (BMP form, readable everywhere)."""
    images = []
    for c in canvases:
        xor = bytearray()
        for y in range(c.h - 1, -1, -1):
            for x in range(c.w):
                r, g, b, a = c.px[y * c.w + x]
                xor += bytes((to8(b), to8(g), to8(r), to8(a)))
        mask_stride = ((c.w + 31) // 32) * 4
        mask = bytearray()
        for y in range(c.h - 1, -1, -1):
            row = bytearray(mask_stride)
            for x in range(c.w):
                if to8(c.px[y * c.w + x][3]) == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        header = struct.pack("<IiiHHIIiiII", 40, c.w, c.h * 2, 1, 32, 0, len(xor) + len(mask),
                             0, 0, 0, 0)
        images.append(header + bytes(xor) + bytes(mask))
    out = bytearray(struct.pack("<HHH", 0, 1, len(canvases)))
    offset = 6 + 16 * len(canvases)
    for c, data in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.w % 256, c.h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


def png_bytes(c, background=(1.0, 1.0, 1.0)):
    raw = bytearray()
    for y in range(c.h):
        raw.append(0)
        for x in range(c.w):
            r, g, b, a = c.px[y * c.w + x]
            raw += bytes(to8(k * a + bg * (1 - a)) for k, bg in zip((r, g, b), background))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", c.w, c.h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def write(relative, data):
    path = os.path.join(PAYLOAD, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (relative, len(data)))


def main(argv):
    preview = None
    if len(argv) == 3 and argv[1] == "--png":
        preview = argv[2]
        os.makedirs(preview, exist_ok=True)
    elif len(argv) != 1:
        print(__doc__.strip().splitlines()[-1])
        return 2

    outputs = {}
    side = side_banner()
    write("resources/graphic/icons/KZOrlixSetup.bmp", bmp_bytes(side))
    outputs["KZOrlixSetup"] = [side]
    head = header_banner()
    write("resources/graphic/icons/KZOrlixSetupH.bmp", bmp_bytes(head))
    outputs["KZOrlixSetupH"] = [head]

    sizes = (16, 32, 48)
    icons = {
        "resources/graphic/OrlixFile.ico": [document_icon(s) for s in sizes],
        "app/setup.ico": [app_icon(s, "install") for s in sizes],
        "app/OrlixPlayer.ico": [app_icon(s) for s in sizes],
        "app/OrlixPlayerUninstall.ico": [app_icon(s, "remove") for s in sizes],
    }
    for relative, canvases in icons.items():
        write(relative, ico_bytes(canvases))
        outputs[os.path.splitext(os.path.basename(relative))[0]] = canvases

    if preview:
        for name, canvases in outputs.items():
            for c in canvases:
                suffix = "" if len(canvases) == 1 else "-%d" % c.w
                with open(os.path.join(preview, name + suffix + ".png"), "wb") as f:
                    f.write(png_bytes(c))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
