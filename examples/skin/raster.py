"""Drawing for the skin generator, in pure Python: an RGB canvas with anti-aliased shapes, text
from a TrueType font (a small reader of the 'glyf' outlines and a scanline rasteriser), and a
24-bit BMP writer. Deterministic: the same calls give the same bytes.

Shapes are drawn from signed distances (negative inside), so their edges are anti-aliased; text
is rasterised with exact horizontal coverage and SUB sub-rows per pixel row.
"""
import math
import struct

SUB = 8  # vertical sub-samples per pixel row for text


def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


# ---------------------------------------------------------------------------------------------
# TrueType outlines


class Font:
    """A TrueType font (a .ttf, or one font of a .ttc collection) with 'glyf' outlines."""

    def __init__(self, path, index=0):
        with open(path, "rb") as f:
            self.data = data = f.read()
        base = 0
        if data[:4] == b"ttcf":
            count = struct.unpack(">I", data[8:12])[0]
            if index >= count:
                raise ValueError("font index out of range")
            base = struct.unpack(">I", data[12 + 4 * index:16 + 4 * index])[0]
        tables = {}
        for i in range(struct.unpack(">H", data[base + 4:base + 6])[0]):
            tag, _, off, length = struct.unpack(">4sIII", data[base + 12 + 16 * i:base + 28 + 16 * i])
            tables[tag.decode("latin-1")] = (off, length)
        self.tables = tables
        head = tables["head"][0]
        self.units = struct.unpack(">H", data[head + 18:head + 20])[0]
        self.long_loca = struct.unpack(">h", data[head + 50:head + 52])[0] == 1
        hhea = tables["hhea"][0]
        self.ascent, self.descent = struct.unpack(">hh", data[hhea + 4:hhea + 8])
        self.hmetrics = struct.unpack(">H", data[hhea + 34:hhea + 36])[0]
        self.cmap = self._read_cmap()
        self.cache = {}

    def _read_cmap(self):
        data = self.data
        off = self.tables["cmap"][0]
        best = None
        for i in range(struct.unpack(">H", data[off + 2:off + 4])[0]):
            platform, encoding, sub = struct.unpack(">HHI", data[off + 4 + 8 * i:off + 12 + 8 * i])
            fmt = struct.unpack(">H", data[off + sub:off + sub + 2])[0]
            if platform == 3 and encoding in (1, 10) and fmt in (4, 12):
                if best is None or fmt == 12:
                    best = (fmt, off + sub)
        if best is None:
            raise ValueError("font has no Unicode cmap")
        fmt, t = best
        table = {}
        if fmt == 4:
            segs = struct.unpack(">H", data[t + 6:t + 8])[0] // 2
            ends = struct.unpack(">%dH" % segs, data[t + 14:t + 14 + 2 * segs])
            p = t + 16 + 2 * segs
            starts = struct.unpack(">%dH" % segs, data[p:p + 2 * segs])
            deltas = struct.unpack(">%dh" % segs, data[p + 2 * segs:p + 4 * segs])
            ro_pos = p + 4 * segs
            offsets = struct.unpack(">%dH" % segs, data[ro_pos:ro_pos + 2 * segs])
            for s in range(segs):
                for c in range(starts[s], ends[s] + 1):
                    if c == 0xFFFF:
                        continue
                    if offsets[s] == 0:
                        g = (c + deltas[s]) & 0xFFFF
                    else:
                        a = ro_pos + 2 * s + offsets[s] + 2 * (c - starts[s])
                        g = struct.unpack(">H", data[a:a + 2])[0]
                        if g:
                            g = (g + deltas[s]) & 0xFFFF
                    if g:
                        table[c] = g
        else:
            groups = struct.unpack(">I", data[t + 12:t + 16])[0]
            for i in range(groups):
                start, end, glyph = struct.unpack(">III", data[t + 16 + 12 * i:t + 28 + 12 * i])
                for c in range(start, end + 1):
                    table[c] = glyph + c - start
        return table

    def advance(self, glyph):
        off = self.tables["hmtx"][0]
        i = min(glyph, self.hmetrics - 1)
        return struct.unpack(">H", self.data[off + 4 * i:off + 4 * i + 2])[0]

    def _glyph_range(self, glyph):
        loca = self.tables["loca"][0]
        if self.long_loca:
            a, b = struct.unpack(">II", self.data[loca + 4 * glyph:loca + 4 * glyph + 8])
        else:
            a, b = struct.unpack(">HH", self.data[loca + 2 * glyph:loca + 2 * glyph + 4])
            a, b = 2 * a, 2 * b
        g = self.tables["glyf"][0]
        return g + a, g + b

    def contours(self, glyph, depth=0):
        """The glyph's closed contours in font units: lists of (x, y, on_curve)."""
        if glyph in self.cache:
            return self.cache[glyph]
        data = self.data
        start, end = self._glyph_range(glyph)
        result = []
        if end > start and depth < 8:
            n = struct.unpack(">h", data[start:start + 2])[0]
            p = start + 10
            if n >= 0:
                ends = struct.unpack(">%dH" % n, data[p:p + 2 * n])
                p += 2 * n
                points = ends[-1] + 1 if n else 0
                p += 2 + struct.unpack(">H", data[p:p + 2])[0]  # instructions
                flags = []
                while len(flags) < points:
                    f = data[p]
                    p += 1
                    flags.append(f)
                    if f & 8:
                        flags.extend([f] * data[p])
                        p += 1
                coords = []
                for short_bit, same_bit in ((2, 16), (4, 32)):
                    v, vals = 0, []
                    for f in flags[:points]:
                        if f & short_bit:
                            d = data[p]
                            p += 1
                            v += d if f & same_bit else -d
                        elif not f & same_bit:
                            v += struct.unpack(">h", data[p:p + 2])[0]
                            p += 2
                        vals.append(v)
                    coords.append(vals)
                first = 0
                for e in ends:
                    result.append([(coords[0][i], coords[1][i], bool(flags[i] & 1)) for i in range(first, e + 1)])
                    first = e + 1
            else:
                more = True
                while more:
                    flags, sub = struct.unpack(">HH", data[p:p + 4])
                    p += 4
                    if flags & 1:
                        dx, dy = struct.unpack(">hh", data[p:p + 4])
                        p += 4
                    else:
                        dx, dy = struct.unpack(">bb", data[p:p + 2])
                        p += 2
                    a, b, c, d = 1.0, 0.0, 0.0, 1.0
                    if flags & 8:
                        a = d = struct.unpack(">h", data[p:p + 2])[0] / 16384.0
                        p += 2
                    elif flags & 0x40:
                        a, d = (v / 16384.0 for v in struct.unpack(">hh", data[p:p + 4]))
                        p += 4
                    elif flags & 0x80:
                        a, b, c, d = (v / 16384.0 for v in struct.unpack(">hhhh", data[p:p + 8]))
                        p += 8
                    if not flags & 2:
                        dx = dy = 0  # point matching: not used by the fonts this draws with
                    for contour in self.contours(sub, depth + 1):
                        result.append([(x * a + y * c + dx, x * b + y * d + dy, on) for (x, y, on) in contour])
                    more = bool(flags & 0x20)
        self.cache[glyph] = result
        return result


def _contour_edges(contour, ox, oy, scale, out):
    """Appends the line segments of one contour (quadratic curves flattened) in pixel space."""
    pts = [(ox + x * scale, oy - y * scale, on) for (x, y, on) in contour]
    if len(pts) < 2:
        return
    # start at an on-curve point (or the midpoint of the first two off-curve points)
    k = next((i for i, p in enumerate(pts) if p[2]), None)
    if k is None:
        a, b = pts[0], pts[1]
        pts = [((a[0] + b[0]) / 2, (a[1] + b[1]) / 2, True)] + pts[1:] + pts[:1]
    else:
        pts = pts[k:] + pts[:k]
    pts.append(pts[0])
    cur = pts[0][:2]
    ctrl = None
    for x, y, on in pts[1:]:
        if on:
            if ctrl is None:
                out.append((cur[0], cur[1], x, y))
            else:
                _quad(cur, ctrl, (x, y), out)
                ctrl = None
            cur = (x, y)
        else:
            if ctrl is not None:
                mid = ((ctrl[0] + x) / 2, (ctrl[1] + y) / 2)
                _quad(cur, ctrl, mid, out)
                cur = mid
            ctrl = (x, y)
    if ctrl is not None:
        _quad(cur, ctrl, pts[0][:2], out)


def _quad(p0, c, p1, out):
    length = math.hypot(c[0] - p0[0], c[1] - p0[1]) + math.hypot(p1[0] - c[0], p1[1] - c[1])
    n = max(2, min(16, int(length / 2.5) + 1))
    px, py = p0
    for i in range(1, n + 1):
        t = i / n
        u = 1 - t
        x = u * u * p0[0] + 2 * u * t * c[0] + t * t * p1[0]
        y = u * u * p0[1] + 2 * u * t * c[1] + t * t * p1[1]
        out.append((px, py, x, y))
        px, py = x, y


# ---------------------------------------------------------------------------------------------
# Canvas


class Canvas:
    def __init__(self, width, height, colour=(255, 255, 255)):
        self.width, self.height = width, height
        self.px = [list(colour) for _ in range(width * height)]

    def copy(self):
        c = Canvas.__new__(Canvas)
        c.width, c.height = self.width, self.height
        c.px = [p[:] for p in self.px]
        return c

    def crop(self, x, y, w, h):
        c = Canvas(w, h)
        for yy in range(h):
            for xx in range(w):
                c.px[yy * w + xx] = self.px[(y + yy) * self.width + x + xx][:]
        return c

    def blend(self, x, y, colour, alpha):
        if alpha <= 0.0 or x < 0 or y < 0 or x >= self.width or y >= self.height:
            return
        p = self.px[y * self.width + x]
        if alpha >= 1.0:
            p[0], p[1], p[2] = colour
        else:
            p[0] += (colour[0] - p[0]) * alpha
            p[1] += (colour[1] - p[1]) * alpha
            p[2] += (colour[2] - p[2]) * alpha

    def fill(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.px[y * self.width + x] = list(colour)

    def shade(self, x0, y0, x1, y1, fn):
        """Sets every pixel of the box to fn(x, y) (a colour)."""
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.px[y * self.width + x] = list(fn(x, y))

    def sdf(self, box, distance, colour, alpha=1.0, soft=0.0):
        """Paints where distance(px, py) < 0, anti-aliased over one pixel; soft > 0 fades the
        edge over that many pixels outwards instead (shadows and glows)."""
        x0, y0, x1, y1 = (int(math.floor(v)) for v in box)
        for y in range(max(0, y0), min(self.height, y1 + 1)):
            for x in range(max(0, x0), min(self.width, x1 + 1)):
                d = distance(x + 0.5, y + 0.5)
                if soft > 0:
                    t = clamp01(1.0 - d / soft) if d > 0 else 1.0
                    a = t * t * (3 - 2 * t)
                else:
                    a = clamp01(0.5 - d)
                if a > 0:
                    self.blend(x, y, colour, a * alpha)

    def round_rect(self, x0, y0, x1, y1, r, colour, alpha=1.0, soft=0.0):
        cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
        hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

        def d(px, py):
            qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
            return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
        m = soft + 1
        self.sdf((x0 - m, y0 - m, x1 + m, y1 + m), d, colour, alpha, soft)

    def round_frame(self, x0, y0, x1, y1, r, width, colour, alpha=1.0):
        """The outline of a rounded rectangle, width pixels wide, inside the box."""
        cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
        hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

        def d(px, py):
            qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
            outer = math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
            return max(outer, -outer - width)
        self.sdf((x0 - 1, y0 - 1, x1 + 1, y1 + 1), d, colour, alpha)

    def circle(self, cx, cy, r, colour, alpha=1.0, soft=0.0):
        m = soft + 1
        self.sdf((cx - r - m, cy - r - m, cx + r + m, cy + r + m), lambda px, py: math.hypot(px - cx, py - cy) - r,
                 colour, alpha, soft)

    def ring(self, cx, cy, r, width, colour, alpha=1.0):
        self.sdf((cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1),
                 lambda px, py: abs(math.hypot(px - cx, py - cy) - r + width / 2) - width / 2, colour, alpha)

    def polyline(self, points, width, colour, alpha=1.0):
        """A stroke through the points with round joins and caps."""
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        segs = list(zip(points, points[1:]))

        def d(px, py):
            best = 1e9
            for (ax, ay), (bx, by) in segs:
                vx, vy = bx - ax, by - ay
                t = clamp01(((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy or 1))
                best = min(best, math.hypot(px - ax - vx * t, py - ay - vy * t))
            return best - width / 2
        self.sdf((min(xs) - width, min(ys) - width, max(xs) + width, max(ys) + width), d, colour, alpha)

    # -- text --------------------------------------------------------------------------------
    def text_width(self, font, text, size, bold=False):
        scale = size / font.units
        w = sum(font.advance(font.cmap.get(ord(ch), 0)) for ch in text) * scale
        return w + (size * 0.04 if bold else 0)

    def text(self, font, x, y, text, size, colour, alpha=1.0, bold=False, align="left"):
        """Draws text with its em box's top at y (the baseline is at y + ascent); align "left",
        "center" or "right" places it relative to x."""
        scale = size / font.units
        width = self.text_width(font, text, size, bold)
        if align == "center":
            x -= width / 2
        elif align == "right":
            x -= width
        baseline = y + font.ascent * size / (font.ascent - font.descent)
        edges = []
        pen = x
        for ch in text:
            g = font.cmap.get(ord(ch), 0)
            for offset in ((0.0, size * 0.04) if bold else (0.0,)):
                for contour in font.contours(g):
                    _contour_edges(contour, pen + offset, baseline, scale, edges)
            pen += font.advance(g) * scale
        self._fill_edges(edges, colour, alpha)
        return width

    def _fill_edges(self, edges, colour, alpha):
        """Non-zero fill of closed edge loops with exact horizontal coverage."""
        if not edges:
            return
        crossings = {}
        for x0, y0, x1, y1 in edges:
            if y0 == y1:
                continue
            direction = 1 if y1 > y0 else -1
            lo, hi = (y0, y1) if y0 < y1 else (y1, y0)
            s0 = int(math.ceil(lo * SUB - 0.5))
            s1 = int(math.ceil(hi * SUB - 0.5))
            slope = (x1 - x0) / (y1 - y0)
            for s in range(s0, s1):
                sy = (s + 0.5) / SUB
                crossings.setdefault(s, []).append((x0 + (sy - y0) * slope, direction))
        cover = {}
        for s, row in crossings.items():
            row.sort()
            winding = 0
            y = s // SUB
            if y < 0 or y >= self.height:
                continue
            line = cover.setdefault(y, {})
            for i in range(len(row) - 1):
                winding += row[i][1]
                if winding == 0:
                    continue
                a, b = row[i][0], row[i + 1][0]
                if b <= a:
                    continue
                ia, ib = int(math.floor(a)), int(math.floor(b))
                if ia == ib:
                    line[ia] = line.get(ia, 0.0) + (b - a)
                    continue
                line[ia] = line.get(ia, 0.0) + (ia + 1 - a)
                for xx in range(ia + 1, ib):
                    line[xx] = line.get(xx, 0.0) + 1.0
                line[ib] = line.get(ib, 0.0) + (b - ib)
        for y, line in cover.items():
            for x, c in line.items():
                a = clamp01(c / SUB)
                if a > 0:
                    self.blend(x, y, colour, alpha * a ** 0.8)

    # -- output ------------------------------------------------------------------------------
    def bmp(self):
        """The picture as a 24-bit uncompressed BMP (bottom-up rows padded to 4 bytes)."""
        pad = (4 - self.width * 3 % 4) % 4
        rows = []
        for y in range(self.height - 1, -1, -1):
            row = bytearray()
            for x in range(self.width):
                r, g, b = self.px[y * self.width + x]
                row += bytes((_byte(b), _byte(g), _byte(r)))
            rows.append(bytes(row) + b"\0" * pad)
        pixels = b"".join(rows)
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
        header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
        return header + info + pixels


def _byte(v):
    v = int(v + 0.5)
    return 0 if v < 0 else 255 if v > 255 else v


def read_bmp(data):
    """A 24-bit uncompressed BMP back into a Canvas (for tests of the generator's output)."""
    if data[:2] != b"BM":
        raise ValueError("not a BMP")
    offset = struct.unpack("<I", data[10:14])[0]
    width, height, _, bits, compression = struct.unpack("<iiHHI", data[18:34])
    if bits != 24 or compression != 0:
        raise ValueError("not a 24-bit uncompressed BMP")
    c = Canvas(width, abs(height))
    stride = (width * 3 + 3) // 4 * 4
    for row in range(abs(height)):
        y = abs(height) - 1 - row if height > 0 else row
        base = offset + row * stride
        for x in range(width):
            b, g, r = data[base + 3 * x:base + 3 * x + 3]
            c.px[y * width + x] = [r, g, b]
    return c
