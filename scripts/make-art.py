#!/usr/bin/env python3
"""Generates Orvelin's art and sound into res/.

    res/icons/<id>.svg    button and window icons (flat style, 32x32; the two
                          small buttons Homepage and Exit use 16x16 icons)
    res/images/139.png    main window background tile (64x64, seamless)
    res/images/141.png    pointing-hand cursor (32x32, hot spot 5,0)
    res/sounds/144.wav    hover tick (about 80 ms, 16-bit PCM mono)

Only the Python standard library is used, so the files can be regenerated on
any machine: python3 scripts/make-art.py
"""

import math
import os
import struct
import wave
import zlib

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
RES = os.path.join(ROOT, "res")

# One palette for every icon: each colour is (light, dark) for a soft top-to-
# bottom gradient.
BLUE = ("#60A5FA", "#2563EB")
NAVY = ("#3B82F6", "#1E40AF")
GREEN = ("#34D399", "#059669")
TEAL = ("#2DD4BF", "#0F766E")
RED = ("#F87171", "#DC2626")
AMBER = ("#FCD34D", "#F59E0B")
ORANGE = ("#FDBA74", "#EA580C")
PURPLE = ("#A78BFA", "#7C3AED")
SLATE = ("#94A3B8", "#475569")
PAPER = ("#FFFFFF", "#E2E8F0")
OUTLINE = "#1E293B"
WHITE = "#FFFFFF"


# ----------------------------------------------------------------- SVG icons


class Icon:
    """Collects gradients and shapes of one icon."""

    def __init__(self, size=32):
        self.size = size
        self.defs = []
        self.body = []
        self._next = 0

    def grad(self, pair, x1=0, y1=0, x2=0, y2=1):
        self._next += 1
        gid = "g%d" % self._next
        self.defs.append(
            '<linearGradient id="%s" x1="%g" y1="%g" x2="%g" y2="%g">'
            '<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/>'
            "</linearGradient>" % (gid, x1, y1, x2, y2, pair[0], pair[1])
        )
        return "url(#%s)" % gid

    def add(self, element):
        self.body.append(element)

    def svg(self):
        s = self.size
        return (
            '<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" '
            'width="%d" height="%d" viewBox="0 0 %d %d">\n'
            "<defs>%s</defs>\n%s\n</svg>\n" % (s, s, s, s, "".join(self.defs), "\n".join(self.body))
        )


def edge(color=OUTLINE, width=1, opacity=0.35):
    return 'stroke="%s" stroke-width="%g" stroke-opacity="%g" stroke-linejoin="round"' % (
        color,
        width,
        opacity,
    )


def line_style(color=WHITE, width=2.5):
    return (
        'fill="none" stroke="%s" stroke-width="%g" stroke-linecap="round" '
        'stroke-linejoin="round"' % (color, width)
    )


def badge(icon, pair, cx=16, cy=16, r=13.5):
    """The round badge that carries the glyph of the small command icons."""
    icon.add(
        '<circle cx="%g" cy="%g" r="%g" fill="%s" %s/>' % (cx, cy, r, icon.grad(pair), edge())
    )
    # A soft highlight on the upper half gives the flat disc some depth.
    icon.add(
        '<path d="M%g %g A%g %g 0 0 1 %g %g Z" fill="#FFFFFF" fill-opacity="0.14"/>'
        % (cx - r + 1.5, cy - 0.5, r - 1.5, r - 1.5, cx + r - 1.5, cy - 0.5)
    )


def play_triangle(cx, cy, h, color=WHITE):
    """An equilateral-looking play triangle centred optically on (cx, cy)."""
    w = h * 0.87
    x0 = cx - w * 0.4
    return '<path d="M%g %g L%g %g L%g %g Z" fill="%s" stroke="%s" stroke-width="1" ' \
        'stroke-linejoin="round"/>' % (x0, cy - h / 2, x0 + w, cy, x0, cy + h / 2, color, color)


def icon_convert():
    # Program icon: a blue tile with a play triangle inside two turning arrows.
    i = Icon()
    i.add('<rect x="2" y="2" width="28" height="28" rx="6" fill="%s" %s/>' % (i.grad(BLUE), edge()))
    i.add('<path d="M3 9 A6 6 0 0 1 9 3 L23 3 A6 6 0 0 1 29 9 L29 14 L3 14 Z" '
          'fill="#FFFFFF" fill-opacity="0.12"/>')
    i.add('<path d="M7.2 13.2 A9 9 0 0 1 22.6 9.6" %s/>' % line_style(width=2.4))
    i.add('<path d="M24.8 18.8 A9 9 0 0 1 9.4 22.4" %s/>' % line_style(width=2.4))
    i.add('<path d="M19.4 6.8 L24.4 8.6 L22.4 13.6 Z" fill="%s" stroke="%s" stroke-width="1" '
          'stroke-linejoin="round"/>' % (WHITE, WHITE))
    i.add('<path d="M12.6 25.2 L7.6 23.4 L9.6 18.4 Z" fill="%s" stroke="%s" stroke-width="1" '
          'stroke-linejoin="round"/>' % (WHITE, WHITE))
    i.add(play_triangle(16.4, 16, 8.5))
    return i


def icon_open_video():
    # A folder with a play badge in front of it.
    i = Icon()
    i.add('<path d="M3 8 A2 2 0 0 1 5 6 L11.5 6 L14 8.5 L25 8.5 A2 2 0 0 1 27 10.5 L27 24 '
          'A2 2 0 0 1 25 26 L5 26 A2 2 0 0 1 3 24 Z" fill="%s" %s/>' % (i.grad(ORANGE), edge()))
    i.add('<path d="M3 13 A2 2 0 0 1 5 11 L26 11 A2 2 0 0 1 28 13 L27 24 A2 2 0 0 1 25 26 '
          'L5 26 A2 2 0 0 1 3 24 Z" fill="%s" %s/>' % (i.grad(AMBER), edge()))
    i.add('<circle cx="23" cy="23" r="7" fill="%s" %s/>' % (i.grad(BLUE), edge(WHITE, 1.5, 1)))
    i.add(play_triangle(23.4, 23, 6))
    return i


def landscape(i, x, y, w, h, frame_pair, sky_pair):
    """A small photograph: frame, sky, sun and two hills."""
    i.add('<rect x="%g" y="%g" width="%g" height="%g" rx="2" fill="%s" %s/>'
          % (x, y, w, h, i.grad(frame_pair), edge()))
    ix, iy, iw, ih = x + 2, y + 2, w - 4, h - 4
    i.add('<rect x="%g" y="%g" width="%g" height="%g" fill="%s"/>' % (ix, iy, iw, ih, i.grad(sky_pair)))
    i.add('<circle cx="%g" cy="%g" r="%g" fill="#FDE68A"/>' % (ix + iw * 0.72, iy + ih * 0.3, ih * 0.15))
    i.add('<path d="M%g %g L%g %g L%g %g L%g %g L%g %g Z" fill="#22C55E"/>' % (
        ix, iy + ih, ix, iy + ih * 0.7, ix + iw * 0.35, iy + ih * 0.38,
        ix + iw * 0.65, iy + ih, ix, iy + ih))
    i.add('<path d="M%g %g L%g %g L%g %g L%g %g Z" fill="#15803D"/>' % (
        ix + iw * 0.4, iy + ih, ix + iw * 0.7, iy + ih * 0.55, ix + iw, iy + ih * 0.85,
        ix + iw, iy + ih))


def icon_transition():
    # Two photographs, the front one fading in over the back one.
    i = Icon()
    landscape(i, 2, 4, 19, 15, PAPER, ("#C4B5FD", "#8B5CF6"))
    landscape(i, 11, 13, 19, 15, PAPER, ("#93C5FD", "#3B82F6"))
    i.add('<path d="M6 23 L9 26 L6 29" %s/>' % line_style("#7C3AED", 2))
    i.add('<path d="M2 26 L8.5 26" %s/>' % line_style("#7C3AED", 2))
    return i


def gear_path(cx, cy, teeth, r_out, r_in, r_hole):
    pts = []
    step = 2 * math.pi / teeth
    for k in range(teeth):
        a = k * step - math.pi / 2
        for da, r in ((-0.30, r_in), (-0.17, r_out), (0.17, r_out), (0.30, r_in)):
            pts.append((cx + r * math.cos(a + da * step * 1.6), cy + r * math.sin(a + da * step * 1.6)))
    d = "M" + " L".join("%.2f %.2f" % p for p in pts) + " Z"
    # The hole, drawn the other way round so that it stays empty.
    d += " M%.2f %.2f A%g %g 0 1 0 %.2f %.2f A%g %g 0 1 0 %.2f %.2f Z" % (
        cx + r_hole, cy, r_hole, r_hole, cx - r_hole, cy, r_hole, r_hole, cx + r_hole, cy)
    return d


def icon_options():
    # A gear with a coloured hub.
    i = Icon()
    i.add('<path d="%s" fill="%s" fill-rule="evenodd" %s/>'
          % (gear_path(16, 16, 8, 14, 10.5, 4.8), i.grad(SLATE), edge()))
    i.add('<circle cx="16" cy="16" r="3.2" fill="%s"/>' % i.grad(BLUE))
    return i


def icon_preview():
    # A screen on a stand, playing.
    i = Icon()
    i.add('<path d="M13 24 L19 24 L20.5 28 L11.5 28 Z" fill="%s"/>' % i.grad(SLATE))
    i.add('<rect x="9" y="27" width="14" height="2.5" rx="1.2" fill="#475569"/>')
    i.add('<rect x="2" y="4" width="28" height="20" rx="2.5" fill="%s" %s/>' % (i.grad(("#475569", "#1E293B")), edge()))
    i.add('<rect x="4" y="6" width="24" height="16" rx="1" fill="%s"/>' % i.grad(BLUE))
    i.add('<path d="M4 6 L28 6 L28 13 L4 16 Z" fill="#FFFFFF" fill-opacity="0.12"/>')
    i.add(play_triangle(16.5, 14, 8))
    return i


def icon_help():
    i = Icon()
    badge(i, TEAL)
    i.add('<path d="M11.6 12.4 A4.5 4.5 0 1 1 18.4 16.2 C16.8 17.1 16 18 16 19.8" %s/>'
          % line_style(width=3))
    i.add('<circle cx="16" cy="24" r="1.9" fill="%s"/>' % WHITE)
    return i


def icon_add():
    i = Icon()
    badge(i, GREEN)
    i.add('<path d="M16 9.5 L16 22.5 M9.5 16 L22.5 16" %s/>' % line_style(width=3.2))
    return i


def icon_up():
    i = Icon()
    badge(i, NAVY)
    i.add('<path d="M16 23 L16 10 M10 15.5 L16 9.5 L22 15.5" %s/>' % line_style(width=3.2))
    return i


def icon_down():
    i = Icon()
    badge(i, NAVY)
    i.add('<path d="M16 9 L16 22 M10 16.5 L16 22.5 L22 16.5" %s/>' % line_style(width=3.2))
    return i


def icon_delete():
    i = Icon()
    badge(i, RED)
    i.add('<path d="M11 11 L21 21 M21 11 L11 21" %s/>' % line_style(width=3.2))
    return i


def icon_photo():
    i = Icon()
    landscape(i, 3, 6, 26, 21, PAPER, ("#BAE6FD", "#38BDF8"))
    return i


def trash_can(i, x, y, scale, pair):
    """A bin with lid, handle and three ribs; (x, y) is the lid's top-left."""
    def p(px, py):
        return "%g %g" % (x + px * scale, y + py * scale)
    i.add('<path d="M%s L%s L%s L%s Z" fill="%s" %s/>' % (
        p(1.5, 5), p(16.5, 5), p(15.2, 21), p(2.8, 21), i.grad(pair), edge()))
    i.add('<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="%s" %s/>' % (
        x, y + 2 * scale, 18 * scale, 3 * scale, 1.2 * scale, i.grad(pair), edge()))
    i.add('<path d="M%s L%s L%s L%s" fill="none" stroke="%s" stroke-width="%g" '
          'stroke-linejoin="round"/>' % (p(6.5, 2), p(7, 0.2), p(11, 0.2), p(11.5, 2), pair[1], 1.6 * scale))
    for rx in (6, 9, 12):
        i.add('<path d="M%s L%s" %s stroke-opacity="0.8"/>' % (
            p(rx, 8), p(rx, 18), line_style(WHITE, 1.5 * scale)))


def icon_delete_all():
    # Two bins, the front one red.
    i = Icon()
    trash_can(i, 11, 3, 1.0, SLATE)
    trash_can(i, 3, 7.5, 1.05, RED)
    return i


def icon_properties():
    # A sheet with three sliders.
    i = Icon()
    i.add('<rect x="4" y="2.5" width="24" height="27" rx="2.5" fill="%s" %s/>' % (i.grad(PAPER), edge()))
    for y, knob, color in ((9, 19, "#3B82F6"), (16, 11, "#F59E0B"), (23, 16.5, "#10B981")):
        i.add('<path d="M8.5 %g L23.5 %g" %s/>' % (y, y, line_style("#94A3B8", 2)))
        i.add('<path d="M8.5 %g L%g %g" %s/>' % (y, knob, y, line_style(color, 2)))
        i.add('<circle cx="%g" cy="%g" r="2.6" fill="%s" stroke="#FFFFFF" stroke-width="1.2"/>'
              % (knob, y, color))
    return i


def icon_about():
    i = Icon()
    badge(i, BLUE)
    i.add('<circle cx="16" cy="9.6" r="2" fill="%s"/>' % WHITE)
    i.add('<path d="M13.5 14 L16.2 14 L16.2 22.5 M13.5 22.8 L19 22.8" %s/>' % line_style(width=2.8))
    return i


def icon_music():
    i = Icon()
    badge(i, PURPLE)
    i.add('<path d="M13 21.5 L13 10 L22 8 L22 19.5" %s/>' % line_style(width=2.4))
    i.add('<ellipse cx="10.6" cy="21.6" rx="3" ry="2.4" fill="%s"/>' % WHITE)
    i.add('<ellipse cx="19.6" cy="19.6" rx="3" ry="2.4" fill="%s"/>' % WHITE)
    return i


def icon_homepage():
    # 16x16: a house with a blue door.
    i = Icon(16)
    i.add('<path d="M2.5 8 L8 3.2 L13.5 8 L13.5 14.2 L2.5 14.2 Z" fill="%s" %s/>'
          % (i.grad(PAPER), edge()))
    i.add('<path d="M6.6 14.2 L6.6 10.3 L9.4 10.3 L9.4 14.2 Z" fill="%s"/>' % i.grad(BLUE))
    i.add('<path d="M1 8.6 L8 2.2 L15 8.6" %s/>' % line_style("#EA580C", 2))
    return i


def icon_exit():
    # 16x16: a red power badge.
    i = Icon(16)
    badge(i, RED, 8, 8, 7.2)
    i.add('<path d="M5.6 5.9 A3.5 3.5 0 1 0 10.4 5.9" %s/>' % line_style(width=1.6))
    i.add('<path d="M8 3.6 L8 8" %s/>' % line_style(width=1.6))
    return i


ICONS = {
    128: icon_convert,
    140: icon_open_video,
    145: icon_transition,
    146: icon_options,
    147: icon_preview,
    148: icon_help,
    149: icon_add,
    150: icon_up,
    151: icon_down,
    152: icon_delete,
    153: icon_photo,
    154: icon_delete_all,
    155: icon_properties,
    156: icon_about,
    157: icon_music,
    158: icon_homepage,
    159: icon_exit,
}


# ---------------------------------------------------------------------- PNG


def write_png(path, width, height, rows, alpha):
    """rows: list of rows, each a list of (r, g, b) or (r, g, b, a) tuples."""
    raw = bytearray()
    for row in rows:
        raw.append(0)  # no filter
        for px in row:
            raw.extend(bytes(px))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    color_type = 6 if alpha else 2
    header = struct.pack(">IIBBBBB", width, height, 8, color_type, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", header))
        f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(chunk(b"IEND", b""))


def hash_noise(x, y):
    """Deterministic noise in [-1, 1] for one pixel."""
    n = (x * 374761393 + y * 668265263) & 0xFFFFFFFF
    n = ((n ^ (n >> 13)) * 1274126177) & 0xFFFFFFFF
    return ((n ^ (n >> 16)) & 0xFFFF) / 32767.5 - 1.0


def background_tile(size=64):
    """A light blue-grey linen: two diagonal weaves and fine grain. Every term
    repeats within the tile, so copies meet without seams."""
    base = (233, 238, 244)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            t = 2 * math.pi / size
            v = 2.2 * math.sin(t * 4 * (x + y)) + 1.4 * math.sin(t * 2 * (x - y) + 0.7)
            v += 0.9 * math.sin(t * x) * math.sin(t * y)
            v += 1.3 * hash_noise(x, y)
            row.append(tuple(max(0, min(255, int(round(c + v * k)))) for c, k in zip(base, (1.0, 1.0, 0.8))))
        rows.append(row)
    return rows


# ----------------------------------------------------------------- cursor


def sd_capsule(px, py, ax, ay, bx, by, r):
    """Signed distance from a point to a capsule (segment a-b, radius r)."""
    abx, aby = bx - ax, by - ay
    apx, apy = px - ax, py - ay
    h = max(0.0, min(1.0, (apx * abx + apy * aby) / (abx * abx + aby * aby)))
    dx, dy = apx - abx * h, apy - aby * h
    return math.hypot(dx, dy) - r


def sd_round_box(px, py, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


# The hand, in pixel coordinates (the fingertip's outer edge touches row 0 at
# column 5). Each part is a silhouette including its 1-pixel outline.
FINGERS = [
    (5.5, 2.6, 5.5, 14.0, 2.6),  # index, pointing up
    (9.9, 10.8, 9.9, 15.5, 2.5),  # middle, folded
    (14.3, 11.8, 14.3, 16.0, 2.4),
    (18.5, 13.2, 18.5, 16.5, 2.2),  # little finger
]
THUMB = (1.9, 14.6, 4.8, 19.5, 2.0)
PALM = (3.0, 13.5, 20.7, 26.0, 4.5)
CUFF = (5.5, 24.5, 19.0, 31.0, 1.5)


def hand_distance(px, py):
    d = sd_round_box(px, py, *PALM)
    for f in FINGERS + [THUMB]:
        d = min(d, sd_capsule(px, py, *f))
    return d


def crease(px, py):
    """Thin lines inside the silhouette where one finger lies against the
    next, and under the thumb."""
    ix, iy, jx, jy, ir = FINGERS[0]
    mx, my, _, _, mr = FINGERS[1]
    if abs(sd_capsule(px, py, ix, iy, jx, jy, ir)) < 0.5 and px > ix and py > my - mr + 0.8:
        return True
    for k in range(2, len(FINGERS)):
        ax, ay, bx, by, r = FINGERS[k]
        if abs(sd_capsule(px, py, ax, ay, bx, by, r)) < 0.5 and px < ax and py < by:
            return True
    ax, ay, bx, by, r = THUMB
    if abs(sd_capsule(px, py, ax, ay, bx, by, r)) < 0.5 and px > ax + 0.6 and py < by + 1.0:
        return True
    return False


def cursor_image(size=32, ss=4):
    ink = (20, 24, 33)
    fill = (255, 255, 255)
    cuff_fill = (191, 219, 254)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(ss):
                for sx in range(ss):
                    px, py = x + (sx + 0.5) / ss, y + (sy + 0.5) / ss
                    hand = hand_distance(px, py)
                    cuff = sd_round_box(px, py, *CUFF)
                    d = min(hand, cuff)
                    if d > 0:
                        continue
                    if d > -1.0 or (d < -0.6 and crease(px, py)) or (cuff <= 0 and hand <= 0 and abs(py - 24.5) < 0.5):
                        c = ink
                    elif cuff <= 0 and hand > -1.0 and py > 24.5:
                        c = cuff_fill
                    else:
                        c = fill
                    acc[0] += c[0]
                    acc[1] += c[1]
                    acc[2] += c[2]
                    acc[3] += 1
            n = ss * ss
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                a = acc[3] / n
                row.append((int(acc[0] / acc[3] + 0.5), int(acc[1] / acc[3] + 0.5),
                            int(acc[2] / acc[3] + 0.5), int(a * 255 + 0.5)))
        rows.append(row)
    return rows


# ------------------------------------------------------------------- sound


def write_tick(path, rate=44100, seconds=0.08):
    """A soft wooden tick: three decaying partials with a 1 ms attack and a
    short fade so that it starts and ends at silence."""
    frames = bytearray()
    count = int(rate * seconds)
    fade = int(rate * 0.006)
    for n in range(count):
        t = n / rate
        env = (1 - math.exp(-t / 0.0009)) * math.exp(-t / 0.013)
        s = (0.58 * math.sin(2 * math.pi * 1320 * t)
             + 0.28 * math.sin(2 * math.pi * 2490 * t + 0.4)
             + 0.14 * math.sin(2 * math.pi * 3970 * t + 1.1) * math.exp(-t / 0.004))
        if n >= count - fade:
            env *= (count - n) / fade
        frames.extend(struct.pack("<h", int(round(s * env * 0.42 * 32767))))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(frames))


def main():
    for sub in ("icons", "images", "sounds"):
        os.makedirs(os.path.join(RES, sub), exist_ok=True)
    for number, make in ICONS.items():
        with open(os.path.join(RES, "icons", "%d.svg" % number), "w", encoding="utf-8") as f:
            f.write(make().svg())
    write_png(os.path.join(RES, "images", "139.png"), 64, 64, background_tile(), alpha=False)
    write_png(os.path.join(RES, "images", "141.png"), 32, 32, cursor_image(), alpha=True)
    write_tick(os.path.join(RES, "sounds", "144.wav"))


if __name__ == "__main__":
    main()
