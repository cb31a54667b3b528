#!/usr/bin/env python3
"""An independent model of Quillon's simulation, used once to verify the golden run's pinned values.

Written from the rules of the scene, the disc field and the palette, not from the C++ sources: every
32-bit float operation is done in double precision and rounded once to float (exact for +, -, *, / and
sqrt, since a double holds more than twice a float's bits), sin, cos, atan2, log and pow are mpmath's at
256 bits rounded once (the core's own functions are correctly rounded), and the state digest is the golden
test's FNV-1a. It prints the digest every 250 frames
and a few readable values, for tests/golden_run_test.cpp to be compared with by eye.

    scripts/golden-reference.py            # a minute or two (python3-mpmath)
"""
import math
import struct

import mpmath

mpmath.mp.prec = 256  # far beyond what rounding to a float or a double can need


def rounded(value, bits):
    """An mpmath value rounded to nearest-even with `bits` bits, as a Python float."""
    with mpmath.workprec(bits):
        return float(+value)


class libm:
    """Correctly rounded functions: the exact value to 256 bits, rounded once."""

    sinf = staticmethod(lambda x: rounded(mpmath.sin(x), 24))
    cosf = staticmethod(lambda x: rounded(mpmath.cos(x), 24))
    atan2f = staticmethod(lambda y, x: rounded(mpmath.atan2(y, x), 24))
    sin = staticmethod(lambda x: rounded(mpmath.sin(x), 53))
    cos = staticmethod(lambda x: rounded(mpmath.cos(x), 53))
    log = staticmethod(lambda x: rounded(mpmath.log(x), 53))
    pow = staticmethod(lambda x, y: rounded(mpmath.power(x, y), 53))


def f(x):
    """Rounds to the nearest 32-bit float."""
    return struct.unpack("<f", struct.pack("<f", x))[0]


def trunc_div(a, b):
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b >= 0) else -q


FRACTION = f(3.0518509e-05)
VK_SPACE, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN = 32, 37, 38, 39, 40
DISCS = 60


class Rand:
    """The C runtime's generator: 214013, 2531011, 15 bits from bit 16."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 214013 + 2531011) & 0xFFFFFFFF
        return (self.state >> 16) & 0x7FFF

    def fraction(self):
        return f(self.next() * FRACTION)

    def index(self, n):
        # 32767 x the constant rounds to exactly 1.0 in floats: that draw is kept at n - 1.
        return min(int(f(self.fraction() * n)), n - 1)


class Disc:
    def __init__(self):
        self.pos = [0.0, 0.0, 0.0]
        self.vel = [0.0, 0.0, 0.0]
        self.force = [0.0, 0.0, 0.0]
        self.phase = self.birth = self.size = self.spin = 0.0
        self.cell = 0
        self.cell_u = self.cell_v = self.cell_w = self.cell_h = 0.0
        self.color = [0.0] * 4
        self.pulse = [0.0] * 4


PALETTE = ("hue_c", "hue_s", "sat_c", "sat_s", "val_c", "val_s")


def hsv_to_rgb(h, s, v):
    if s == 0.0:
        return v, v, v
    hue = f(h * f(360.0))
    p_sector = 0.0 if hue >= 360.0 else hue * 0.016666666666666666
    i = int(p_sector)
    frac = p_sector - i
    p = f(v * f(1.0 - s))
    q = f(v * (1.0 - s * frac))
    t = f(v * (1.0 - s * (1.0 - frac)))
    return [(v, t, p), (q, v, p), (p, v, t), (p, q, v), (t, p, v)][i] if 0 <= i <= 4 else (v, p, q)


def wrap(x):
    return f(x + 1.0) if x < 0.0 else f(x - 1.0) if x > 1.0 else x


class Model:
    def __init__(self, calendar):
        self.rand = Rand(calendar % 256)
        self.rand.next()
        self.ms = 0
        self.clock = self.last_key = self.last_sample = 0.0
        self.fps = 50.0
        self.frames_since = 0
        self.target_fps = 24
        self.sleep = 74
        self.mirrors_off = self.glow_off = False
        self.mirror_frame = True
        self.t_start = self.t_dur = self.t_from = self.t_to = 0.0
        self.t_active = False
        self.partial0 = [0.0] * 4
        self.partial1 = [0.0] * 4
        self.has_partial = False
        self.wedge_count, self.wedge_angle = 10.0, 36.0
        self.build_wedges(36.0)
        # The disc field: palette, cell mode, then the first wedge count.
        r = self.rand
        self.pal = {"hue_c": r.fraction(), "hue_s": r.fraction(), "sat_c": r.fraction(), "sat_s": r.fraction()}
        self.pal["val_c"] = f(f(r.fraction() + 1.0) * 0.5)
        self.pal["val_s"] = f(r.fraction() * 0.5)
        self.same_cell = r.index(2) == 0
        self.pal_start = dict.fromkeys(PALETTE, 0.0)
        self.pal_delta = dict.fromkeys(PALETTE, 0.0)
        self.pal_step = self.pal_steps = 0
        self.shared_cell, self.cell_count = 0, 8
        self.spin_rate = 0.0
        self.target_wedges, self.glide_speed, self.glide = 10, 0.0, False
        self.choose_wedge_count()
        self.shared_cell = r.index(8)
        self.discs = [Disc() for _ in range(DISCS)]
        self.spawn_all()

    # Wedge geometry.
    def build_wedges(self, a):
        self.wedge_angle = self.geometry_angle = a
        q = 360.0 / a
        self.wedge_count = f(q)
        n = int(q)
        if 360.0 - n * a > 0.9 or q - n > f(0.001):
            n += 1
        self.wedges_to_draw = n
        rad = lambda deg: deg * f(0.01745328)  # noqa: E731
        plane = lambda r: [libm.cos(r), libm.sin(r), 0.0, 0.0]  # noqa: E731
        self.clip0 = [1.0, 0.0, 0.0, 0.0]
        self.clip1 = plane(rad(f(f(a + 270.0) - 90.0)))
        fraction = f(self.wedge_count - float(int(self.wedge_count)))
        if fraction <= f(0.001):
            self.has_partial = False
            return
        self.has_partial = True
        p = f(fraction * a)
        if n % 2 == 0:
            self.partial0 = [1.0, 0.0, 0.0, 0.0]
            self.partial1 = plane(rad(f(f(p + 270.0) - 90.0)))
        else:
            self.partial0 = plane(rad(f(f(a - p) + 360.0)))
            self.partial1 = list(self.clip1)

    def start_transition(self, count):
        self.t_start, self.t_from, self.t_dur, self.t_active = self.clock, self.wedge_angle, 2.0, True
        self.wedge_count = float(count)
        self.wedge_angle = self.t_to = f(360.0 / count)

    def choose_wedge_count(self):
        first = self.rand.fraction()
        if int(f(4.0 * first)) == 0 and self.wedge_count < 24.0:
            count = 10 + 4 * self.rand.index(22)
        else:
            count = 10 + 2 * self.rand.index(8)
        self.start_transition(count)

    # Spawning and renewal.
    def spawn(self, d, i):
        r = self.rand
        d.phase = f(i * f(0.016666668))
        angle = f(r.fraction() * f(6.28318))
        radius = f(r.fraction() * 4.0)
        d.pos = [f(libm.cosf(angle) * radius), f(libm.sinf(angle) * radius), f(-0.25 * d.phase)]
        d.vel, d.force = [0.0] * 3, [0.0] * 3
        d.size = f(f(r.fraction() * f(0.7)) + f(0.2))
        self.renew(d)

    def spawn_all(self):
        for i, d in enumerate(self.discs):
            self.spawn(d, i)

    def renew(self, d):
        r, p = self.rand, self.pal
        d.birth = f(self.clock - f(d.phase * 20.0))
        d.cell = self.shared_cell if self.same_cell else r.index(self.cell_count)
        around = lambda c, s: wrap(f(c + f(f(r.fraction() - 0.5) * s)))  # noqa: E731
        h = around(p["hue_c"], p["hue_s"])
        s = around(p["sat_c"], p["sat_s"])
        v = around(p["val_c"], p["val_s"])
        d.cell_u = f(f(d.cell * 64.0) / 512.0)  # the 512 x 64 atlas
        d.cell_v, d.cell_w, d.cell_h = 0.0, f(64.0 / 512.0), 1.0
        d.color = [*hsv_to_rgb(h, s, v), f(f(r.fraction() + 1.0) * 0.5)]
        d.pulse = [0.0, 0.0, 0.0, f(r.fraction() - d.color[3])]
        d.spin = f(r.fraction() * 360.0)

    def age(self, d):
        d.phase = f(f(self.clock - d.birth) * f(0.05))
        if d.phase > 1.0:
            d.phase = f(d.phase - math.trunc(d.phase))
            self.step_palette()
            if f(d.pos[0] + d.size) < 0.0 or f(d.pos[1] - d.size) > 0.0:
                self.renew(d)
        vx, vy, vz = d.vel
        speed = f(math.sqrt(f(f(f(vx * vx) + f(vy * vy)) + f(vz * vz))))
        d.spin = f(d.spin + f(speed * 100.0))

    # Palette drift.
    def new_palette_target(self, seconds):
        r = self.rand
        self.pal_steps = int(f(f(seconds * 60.0) * f(0.05)))
        self.pal_step = 0
        self.same_cell = not self.same_cell
        self.shared_cell = r.index(self.cell_count)
        targets = {"val_c": lambda: f(f(r.fraction() + 1.0) * 0.5), "val_s": lambda: f(r.fraction() * 0.5)}
        for key in PALETTE:
            self.pal_start[key] = self.pal[key]
            if r.fraction() < 0.5:
                self.pal_delta[key] = f(targets.get(key, r.fraction)() - self.pal_start[key])
            else:
                self.pal_delta[key] = 0.0

    def step_palette(self):
        self.pal_step += 1
        if self.pal_step > self.pal_steps:
            self.new_palette_target(f(f(self.rand.fraction() * 20.0) + 1.0))
            self.pal_step = 0
        x = f(float(self.pal_step) / float(self.pal_steps))
        e = f(f(x * x) * f(3.0 - f(2.0 * x)))
        for key in PALETTE:
            self.pal[key] = f(self.pal_start[key] + f(e * self.pal_delta[key]))

    # Keys.
    def set_wedge_zoom(self, z):
        n = 4.0 * libm.pow(3.0, 2.0 * z)
        self.wedge_count = f(n)
        self.wedge_angle = f(360.0 / self.wedge_count)
        self.glide_speed = 0.0
        self.target_wedges = int(n) + (int(n) % 2)

    def tuning_key(self, code):
        if code in (VK_LEFT, VK_RIGHT):
            zoom = libm.log(self.wedge_count * 0.25) / libm.log(3.0) * 0.5
            # The left arrow clamps only at 0, the right one only at 1.
            zoom = max(f(zoom - f(0.01)), 0.0) if code == VK_LEFT else min(f(zoom + f(0.01)), 1.0)
            self.glide = True
            self.set_wedge_zoom(zoom)
        elif code == VK_UP:
            self.spin_rate = f(self.spin_rate + f(0.00872664))
        elif code == VK_DOWN:
            self.new_palette_target(0.5)
            self.spawn_all()
            self.choose_wedge_count()
            self.glide = False
        elif code == ord("G"):
            self.glide = not self.glide

    def handle_key(self, code):
        self.last_key = self.clock
        if code in (VK_SPACE,):
            return True
        if code in (VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN):
            self.tuning_key(code)
            return True
        if 48 <= code <= 57:
            self.start_transition((58 if code == 48 else code) * 4 - 186)
            return True
        if code == ord("M"):
            self.mirrors_off = not self.mirrors_off
            return True
        if code == ord("S"):
            self.glow_off = not self.glow_off
            return True
        self.tuning_key(code)
        return False

    # One frame.
    def update_clock(self):
        seconds = self.ms * f(0.001)
        self.clock = f(seconds)
        window = seconds - self.last_sample
        if window < 1.0:
            self.frames_since += 1
            return
        previous = int(self.fps)
        self.fps = f(self.frames_since / window)
        self.frames_since = 0
        self.last_sample = self.clock
        if previous > 0:
            self.sleep += trunc_div(1000 // self.target_fps - 1000 // previous, 2)
        self.sleep = min(max(self.sleep, 1), 1000)

    def glide_wedges(self):
        target = float(self.target_wedges)
        if not self.glide or self.wedge_count == target:
            return
        d = f(0.001) if f(target - self.wedge_count) > 0.0 else -f(0.001)
        self.glide_speed = f(self.glide_speed + d)
        nxt = f(self.wedge_count + self.glide_speed)
        if (d > 0 and nxt > target) or (d < 0 and nxt < target):
            self.wedge_count = target
        else:
            self.wedge_count = max(nxt, 4.0)  # a leftover speed never takes it below 4 wedges
        self.wedge_angle = f(360.0 / self.wedge_count)

    def step(self):
        self.glide_wedges()
        for d in self.discs:
            x, y = d.pos[0], d.pos[1]
            r = f(math.sqrt(f(f(x * x) + f(y * y))))
            theta = libm.atan2f(y, x)
            turned = f(theta + self.spin_rate)
            d.pos[0] = f(r * libm.cosf(turned))
            d.pos[1] = f(r * libm.sinf(turned))
            d.force = [0.0, f(-0.005), 0.0]
        for i, a in enumerate(self.discs):
            ax, ay, asz = a.pos[0], a.pos[1], a.size
            for b in self.discs[: DISCS - 1 - i]:
                bx, by, bsz = b.pos[0], b.pos[1], b.size
                if not (f(ax + asz) > f(bx - bsz) and f(bx + bsz) > f(ax - asz)
                        and f(by - bsz) < f(ay + asz) and f(by + bsz) > f(ay - asz)):
                    continue
                dx, dy = f(ax - bx), f(ay - by)
                dist = f(math.sqrt(f(f(dx * dx) + f(dy * dy))))
                total = f(asz + bsz)
                overlap = f(total - dist)
                if overlap > 0.0 and dist > 0.0:
                    ratio = f(overlap / total)
                    k = f(f(f(0.3) * f(ratio * ratio)) / dist)
                    a.force[0] = f(a.force[0] + f(dx * k))
                    a.force[1] = f(a.force[1] + f(dy * k))
            px, py = -f(ax + a.vel[0]), -f(ay + a.vel[1])
            dd = f(math.sqrt(f(f(px * px) + f(py * py))))
            w = f(2.0 * asz)
            excess = f(dd - f(4.0 - w))
            if excess > 0.0 and dd > 0.0:
                ratio = f(excess / w)
                k = f(f(f(0.3) * f(ratio * ratio)) / dd)
                a.force[0] = f(a.force[0] + f(px * k))
                a.force[1] = f(a.force[1] + f(py * k))
        for d in self.discs:
            for c in range(3):
                d.vel[c] = f(f(d.vel[c] + d.force[c]) * f(0.85))
                d.pos[c] = f(d.pos[c] + d.vel[c])
            self.age(d)
        self.spin_rate = f(self.spin_rate * f(0.9))
        if f(self.clock - self.last_key) > 40.0:
            self.handle_key(VK_DOWN)

    def frame(self, ms, mirrors):
        self.mirror_frame = mirrors and not self.mirrors_off
        self.ms += ms
        self.update_clock()
        self.step()
        if self.t_active:
            d = f(f(self.clock - self.t_start) / self.t_dur)
            if not d < 1.0:
                self.wedge_angle, self.t_active = self.t_to, False
            else:
                ease = f(f(d * d) * f(3.0 - f(2.0 * d)))
                self.wedge_angle = f(self.t_from + f(ease * f(self.t_to - self.t_from)))
        self.build_wedges(self.wedge_angle)

    def digest(self):
        out = bytearray()
        fl = lambda *v: out.extend(struct.pack(f"<{len(v)}f", *v))  # noqa: E731
        db = lambda v: out.extend(struct.pack("<4d", *v))  # noqa: E731
        i32 = lambda *v: out.extend(struct.pack(f"<{len(v)}i", *v))  # noqa: E731
        b = lambda v: out.append(1 if v else 0)  # noqa: E731
        fl(self.geometry_angle), i32(self.wedges_to_draw)
        db(self.clip0), db(self.clip1), db(self.partial0), db(self.partial1)
        b(self.has_partial), b(self.mirror_frame)
        fl(self.fps, self.clock, self.last_key, self.t_start, self.t_dur, self.t_from, self.t_to)
        b(self.t_active), fl(self.last_sample), i32(self.frames_since, self.target_fps, self.sleep)
        b(self.mirrors_off), b(self.glow_off), fl(self.wedge_angle, self.wedge_count)
        fl(*(self.pal[k] for k in PALETTE)), fl(self.spin_rate), i32(self.pal_step, self.pal_steps)
        b(self.same_cell), fl(*(self.pal_start[k] for k in PALETTE)), fl(*(self.pal_delta[k] for k in PALETTE))
        i32(self.shared_cell, self.cell_count, self.target_wedges), fl(self.glide_speed), b(self.glide)
        for d in self.discs:
            fl(*d.pos, *d.vel, *d.force, d.phase, d.birth, d.size, d.spin), i32(d.cell)
            fl(d.cell_u, d.cell_v, d.cell_w, d.cell_h, *d.color, *d.pulse)
        h = 14695981039346656037
        for byte in out:
            h = ((h ^ byte) * 1099511628211) & 0xFFFFFFFFFFFFFFFF
        return h


KEYS = {30: "5", 60: [VK_RIGHT] * 3, 100: [VK_LEFT], 130: [VK_UP] * 3, 160: "G", 200: ["G", VK_RIGHT],
        240: "M", 260: "S", 300: "09", 360: [VK_DOWN], 420: [VK_SPACE], 480: "1234678", 520: ["A", 96, 27],
        600: [VK_LEFT] * 6, 700: "MS", 800: [VK_DOWN, VK_UP], 850: [27]}


def main():
    model = Model(42)
    print(0, f"0x{model.digest():016x}")
    for frame in range(1, 3001):
        for key in KEYS.get(frame, []):
            model.handle_key(ord(key) if isinstance(key, str) else key)
        model.frame(42, not 900 <= frame < 960)
        if frame % 250 == 0:
            print(frame, f"0x{model.digest():016x}", flush=True)
    d0 = model.discs[0]
    print(model.clock.hex(), model.wedge_count.hex(), model.target_wedges, model.sleep, d0.pos[0].hex(),
          model.pal["hue_c"].hex(), model.shared_cell, int(model.same_cell))


if __name__ == "__main__":
    main()
