#!/usr/bin/env python3
"""Writes the shipped maps (maps/*.map) from the layouts below; the output is deterministic.

Run from the repository root: python3 tools/make_maps.py
Each layout is drawn for one player and repeated by the map's symmetry, so every start is equal.
"""
import argparse
import collections
import os
import random

OBJECT_SIZE = {"Crystal": (2, 2), "AmberOil": (2, 2), "Tree": (1, 1), "Boulder": (1, 1),
               "StartingBase": (3, 3), "ExtractionPoint": (2, 2)}
DECORATION_SIZE = {"Bush": (64, 48), "Flowers": (48, 32), "Stones": (48, 32), "Mushrooms": (32, 32),
                   "Reeds": (48, 48), "Stump": (48, 40), "Bones": (48, 32), "Crater": (64, 32)}
BASE_CLEARANCE = 10  # tiles kept free of trees and boulders around a start, for the opening buildings


class Map:
    def __init__(self, name, w, h, seed, symmetry):
        self.name, self.w, self.h = name, w, h
        self.rng = random.Random(seed)
        self.symmetry = symmetry  # "point", "quad" or "none"
        self.terrain = [["G"] * w for _ in range(h)]
        self.height = [[0] * w for _ in range(h)]
        self.ramp = [[False] * w for _ in range(h)]
        self.objects = []
        self.decorations = []
        self.taken = [[False] * w for _ in range(h)]
        self.bases = []

    # ---- symmetry
    def mirrors(self, x, y, w=1, h=1):
        out = [(x, y)]
        if self.symmetry == "point":
            out.append((self.w - x - w, self.h - y - h))
        elif self.symmetry == "quad":
            out += [(self.w - x - w, y), (x, self.h - y - h), (self.w - x - w, self.h - y - h)]
        return list(dict.fromkeys(out))

    def inside(self, x, y):
        return 0 <= x < self.w and 0 <= y < self.h

    # ---- terrain
    def paint(self, x, y, ch):
        for mx, my in self.mirrors(x, y):
            if self.inside(mx, my):
                self.terrain[my][mx] = ch

    def blob(self, cx, cy, rx, ry, ch, rough=0.25):
        for y in range(int(cy - ry - 2), int(cy + ry + 3)):
            for x in range(int(cx - rx - 2), int(cx + rx + 3)):
                d = ((x - cx) / max(rx, 0.5)) ** 2 + ((y - cy) / max(ry, 0.5)) ** 2
                if d <= 1.0 + self.rng.uniform(-rough, rough):
                    self.paint(x, y, ch)

    def river(self, points, width, ch="W"):
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            steps = max(abs(x1 - x0), abs(y1 - y0)) * 2 + 1
            for i in range(steps + 1):
                t = i / steps
                cx, cy = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
                r = width / 2.0
                for y in range(int(cy - r - 1), int(cy + r + 2)):
                    for x in range(int(cx - r - 1), int(cx + r + 2)):
                        if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                            self.paint(x, y, ch)

    def plateau(self, x0, y0, x1, y1, ramps, level=1):
        """A raised rectangle (corners cut); ramps are (side, offset, length) on its rim."""
        for mx0, my0 in self.mirrors(x0, y0, x1 - x0 + 1, y1 - y0 + 1):
            dx, dy = mx0 - x0, my0 - y0
            flip_x = self.symmetry != "none" and mx0 != x0
            flip_y = self.symmetry != "none" and my0 != y0
            for y in range(y0, y1 + 1):
                for x in range(x0, x1 + 1):
                    corner = (x in (x0, x1)) and (y in (y0, y1))
                    if not corner:
                        self.height[y + dy][x + dx] = level
            for side, off, length in ramps:
                if flip_x and side in ("W", "E"):
                    side = "E" if side == "W" else "W"
                if flip_y and side in ("N", "S"):
                    side = "S" if side == "N" else "N"
                for i in range(length):
                    if side in ("N", "S"):
                        x = (x1 - off - i) if flip_x else (x0 + off + i)
                        y = y0 if side == "N" else y1
                    else:
                        y = (y1 - off - i) if flip_y else (y0 + off + i)
                        x = x0 if side == "W" else x1
                    self.ramp[y + dy][x + dx] = True
                    self.height[y + dy][x + dx] = 1

    # ---- objects
    def free(self, x, y, w, h, allow_edge=False):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                if not self.inside(xx, yy) or self.taken[yy][xx] or self.terrain[yy][xx] == "W":
                    return False
                if self.ramp[yy][xx]:
                    return False
                if not allow_edge and self.height[yy][xx] != self.height[y][x]:
                    return False
        return True

    def near_ramp(self, x, y, w, h):
        for yy in range(y - 1, y + h + 1):
            for xx in range(x - 1, x + w + 1):
                if self.inside(xx, yy) and self.ramp[yy][xx]:
                    return True
        return False

    def put(self, kind, x, y, mirrored=True):
        w, h = OBJECT_SIZE[kind]
        spots = self.mirrors(x, y, w, h) if mirrored else [(x, y)]
        for mx, my in spots:
            if not self.free(mx, my, w, h) or self.near_ramp(mx, my, w, h):
                raise SystemExit("%s: %s at %d,%d does not fit" % (self.name, kind, mx, my))
        for mx, my in spots:
            for yy in range(my, my + h):
                for xx in range(mx, mx + w):
                    self.taken[yy][xx] = True
            self.objects.append((kind, mx, my, w, h))
            if kind == "StartingBase":
                self.bases.append((mx, my))

    def base(self, x, y):
        self.put("StartingBase", x, y)

    def near_base(self, x, y):
        for bx, by in self.bases:
            if abs(x - (bx + 1)) <= BASE_CLEARANCE and abs(y - (by + 1)) <= BASE_CLEARANCE:
                return True
        return False

    def forest(self, cx, cy, r, density, kind="Tree"):
        for y in range(cy - r, cy + r + 1):
            for x in range(cx - r, cx + r + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 > r * r or self.rng.random() > density:
                    continue
                spots = self.mirrors(x, y)
                if all(self.inside(mx, my) and self.free(mx, my, 1, 1) and not self.near_ramp(mx, my, 1, 1)
                       and not self.near_base(mx, my) for mx, my in spots):
                    for mx, my in spots:
                        self.taken[my][mx] = True
                        self.objects.append((kind, mx, my, 1, 1))

    def scatter_decorations(self, count):
        names = sorted(DECORATION_SIZE)
        placed = 0
        tries = 0
        while placed < count and tries < count * 50:
            tries += 1
            x, y = self.rng.randrange(self.w), self.rng.randrange(self.h)
            name = self.rng.choice(names)
            if name == "Reeds":
                ok = self.terrain[y][x] != "W" and any(
                    self.inside(x + dx, y + dy) and self.terrain[y + dy][x + dx] == "W"
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            else:
                ok = self.terrain[y][x] in "G.D" and not self.taken[y][x]
            if ok and not self.ramp[y][x]:
                w, h = DECORATION_SIZE[name]
                self.decorations.append((name, x, y, w, h))
                placed += 1

    def grass_variants(self):
        for y in range(self.h):
            for x in range(self.w):
                if self.terrain[y][x] == "G" and self.rng.random() < 0.12:
                    self.terrain[y][x] = "."

    # ---- checks
    def passable(self, x, y):
        if self.terrain[y][x] == "W":
            return False
        return not self.taken[y][x] or (x, y) in self.extraction_cells

    def reachable_from(self, start):
        seen = {start}
        queue = collections.deque([start])
        while queue:
            x, y = queue.popleft()
            for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                if not self.inside(nx, ny) or (nx, ny) in seen or not self.passable(nx, ny):
                    continue
                same = self.height[y][x] == self.height[ny][nx]
                if same or self.ramp[y][x] or self.ramp[ny][nx]:
                    seen.add((nx, ny))
                    queue.append((nx, ny))
        return seen

    def ring_reachable(self, seen, x, y, w, h):
        for yy in range(y - 1, y + h + 1):
            for xx in range(x - 1, x + w + 1):
                if (xx, yy) in seen:
                    return True
        return False

    def validate(self):
        self.extraction_cells = {(xx, yy) for k, x, y, w, h in self.objects if k == "ExtractionPoint"
                                 for yy in range(y, y + h) for xx in range(x, x + w)}
        bx, by = self.bases[0]
        seen = self.reachable_from((bx + 1, by + 3))
        for kind, x, y, w, h in self.objects:
            if kind in ("StartingBase", "Crystal", "AmberOil", "ExtractionPoint") and \
                    not self.ring_reachable(seen, x, y, w, h):
                raise SystemExit("%s: %s at %d,%d cannot be reached" % (self.name, kind, x, y))
        for bx, by in self.bases:
            for kind in ("Crystal", "AmberOil"):
                if not any(k == kind and abs(x - bx) <= 12 and abs(y - by) <= 12 for k, x, y, _w, _h in self.objects):
                    raise SystemExit("%s: no %s near the base at %d,%d" % (self.name, kind, bx, by))
        ramps = any(self.ramp[y][x] for y in range(self.h) for x in range(self.w))
        if not ramps:
            raise SystemExit("%s: no ramp" % self.name)

    # ---- output
    def text(self):
        lines = ["".join(row) for row in self.terrain]
        lines.append("")
        lines.append("[Height]")
        for y in range(self.h):
            lines.append("".join("R" if self.ramp[y][x] else str(self.height[y][x]) for x in range(self.w)))
        lines.append("")
        lines.append("[Objects]")
        for kind, x, y, w, h in self.objects:
            lines.append("%s,%d,%d,%d,%d" % (kind, x, y, w, h))
        lines.append("")
        lines.append("[Decorations]")
        for name, x, y, w, h in self.decorations:
            lines.append("%s,%d,%d,%d,%d" % (name, x, y, w, h))
        return "\n".join(lines) + "\n"


def resources(m, bx, by, crystals, oils):
    """Resource fields at offsets from a base's top-left tile."""
    for dx, dy in crystals:
        m.put("Crystal", bx + dx, by + dy)
    for dx, dy in oils:
        m.put("AmberOil", bx + dx, by + dy)


def fight():
    m = Map("fight", 64, 64, 1101, "point")
    m.blob(32, 32, 6, 4, "W")                       # the central lake
    m.blob(18, 2, 3, 2, "W", 0.1)                   # ponds for a shipyard near each start
    m.blob(40, 12, 5, 3, "D")
    m.blob(10, 26, 4, 3, "M")
    m.blob(24, 14, 2, 2, "R", 0.0)
    m.plateau(40, 16, 51, 25, [("S", 3, 3), ("W", 3, 3)])
    m.base(6, 6)
    resources(m, 6, 6, [(-4, -4), (-1, -5), (-5, 0)], [(5, -4), (-5, 5)])
    m.put("Crystal", 45, 19)                        # contested fields on the high ground
    m.put("AmberOil", 48, 22)
    m.forest(3, 30, 4, 0.7)
    m.forest(30, 4, 4, 0.6)
    m.forest(20, 22, 3, 0.5)
    m.forest(56, 8, 4, 0.7)
    m.forest(36, 46, 3, 0.5)
    m.put("Boulder", 18, 28)
    m.put("Boulder", 28, 20)
    m.grass_variants()
    m.scatter_decorations(60)
    return m


def murky_river():
    m = Map("murky_river", 80, 80, 2202, "point")
    m.river([(40, -2), (44, 14), (36, 30), (40, 40)], 5)
    m.blob(40, 40, 3, 3, "W", 0.0)
    for cx, cy in ((43, 9), (38, 27)):             # muddy fords across the river
        m.blob(cx, cy, 3, 2, "M", 0.0)
    m.blob(30, 18, 5, 4, "M")
    m.blob(50, 22, 4, 3, "M")
    m.blob(12, 36, 6, 4, "D")
    m.blob(22, 8, 3, 2, "W", 0.1)
    m.plateau(52, 30, 62, 38, [("W", 2, 3), ("S", 4, 3)])
    m.base(8, 10)
    resources(m, 8, 10, [(-5, -4), (-2, -6), (-6, 1)], [(6, -5), (-5, 6)])
    m.put("Crystal", 57, 33)
    m.put("AmberOil", 27, 24)
    m.forest(6, 30, 5, 0.7)
    m.forest(24, 40, 4, 0.5)
    m.forest(60, 12, 5, 0.6)
    m.forest(70, 40, 4, 0.6)
    m.grass_variants()
    m.scatter_decorations(90)
    return m


def highlands():
    m = Map("highlands", 128, 128, 3303, "quad")
    m.plateau(56, 56, 71, 71, [("N", 6, 4), ("W", 6, 4)])
    m.blob(32, 64, 7, 4, "W")
    m.blob(64, 30, 4, 7, "W")
    m.blob(30, 30, 6, 5, "D")
    m.blob(46, 18, 5, 4, "M")
    m.blob(18, 46, 4, 5, "M")
    m.blob(22, 4, 3, 2, "W", 0.1)
    m.blob(44, 44, 3, 3, "R", 0.0)
    m.plateau(34, 36, 44, 46, [("N", 3, 3), ("W", 3, 3)])
    m.base(10, 10)
    resources(m, 10, 10, [(-5, -5), (-1, -6), (-6, -1)], [(6, -5), (-5, 6)])
    m.put("Crystal", 38, 40)
    m.put("AmberOil", 60, 60)
    m.put("Crystal", 26, 52)
    m.forest(4, 30, 5, 0.7)
    m.forest(30, 6, 5, 0.7)
    m.forest(52, 30, 4, 0.6)
    m.forest(24, 22, 3, 0.5)
    m.forest(50, 50, 3, 0.4)
    m.grass_variants()
    m.scatter_decorations(260)
    return m


def extraction_map(name, w, h, seed, paint):
    """Two starts in opposite corners, the extraction point in a third corner (as far from both)."""
    m = Map(name, w, h, seed, "point")
    paint(m)
    m.base(6, 6)
    resources(m, 6, 6, [(-4, -4), (-5, 0)], [(5, -4)])
    m.symmetry = "none"
    m.put("ExtractionPoint", w - 10, 8, mirrored=False)
    m.grass_variants()
    m.scatter_decorations(w * h // 80)
    return m


def ashen_outpost():
    def paint(m):
        m.blob(36, 36, 5, 5, "R", 0.1)
        m.blob(20, 24, 6, 4, "D")
        m.blob(30, 12, 3, 2, "W", 0.1)
        m.plateau(24, 40, 33, 48, [("N", 3, 3), ("E", 3, 3)])
        m.forest(12, 40, 4, 0.6)
        m.forest(44, 20, 3, 0.5)
    return extraction_map("ashen_outpost", 72, 72, 4404, paint)


def glass_marsh():
    def paint(m):
        m.blob(36, 36, 8, 5, "M")
        m.blob(36, 36, 3, 2, "W", 0.0)
        m.blob(22, 30, 3, 3, "W")
        m.blob(14, 20, 5, 3, "M")
        m.plateau(40, 18, 49, 26, [("S", 3, 3), ("W", 2, 3)])
        m.forest(26, 14, 4, 0.6)
        m.forest(10, 44, 4, 0.6)
    return extraction_map("glass_marsh", 72, 72, 5505, paint)


def cinder_flats():
    def paint(m):
        m.blob(40, 32, 9, 6, "D")
        m.blob(26, 20, 4, 3, "R", 0.1)
        m.blob(40, 32, 2, 2, "W", 0.0)
        m.plateau(14, 30, 24, 38, [("N", 3, 3), ("E", 2, 3)])
        m.forest(34, 10, 4, 0.5)
        m.forest(8, 48, 3, 0.6)
    return extraction_map("cinder_flats", 80, 64, 6606, paint)


def hollow_reach():
    def paint(m):
        m.blob(48, 48, 9, 7, "W")
        m.blob(30, 20, 6, 4, "D")
        m.blob(20, 36, 5, 5, "M")
        m.blob(24, 8, 3, 2, "W", 0.1)
        m.plateau(56, 22, 68, 32, [("S", 4, 3), ("W", 3, 3)])
        m.forest(40, 28, 5, 0.6)
        m.forest(12, 56, 5, 0.6)
        m.forest(60, 66, 4, 0.5)
    return extraction_map("hollow_reach", 96, 96, 7707, paint)


MAPS = [fight, murky_river, highlands, ashen_outpost, glass_marsh, cinder_flats, hollow_reach]


def main():
    parser = argparse.ArgumentParser(description="Writes the shipped maps, deterministically.")
    parser.add_argument("out_dir", nargs="?", default="maps", help="folder the .map files go to (default: maps)")
    out_dir = parser.parse_args().out_dir
    os.makedirs(out_dir, exist_ok=True)
    for make in MAPS:
        m = make()
        m.validate()
        with open(os.path.join(out_dir, m.name + ".map"), "w", newline="\n") as f:
            f.write(m.text())
        print("%s: %dx%d, %d objects, %d decorations" % (m.name, m.w, m.h, len(m.objects), len(m.decorations)))


if __name__ == "__main__":
    main()
