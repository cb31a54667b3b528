// Checks scene/exact_math bit for bit against libquadmath's results rounded once to float or double.
// A quad value within 2^-100 of a rounding boundary is flagged rather than trusted, and settled by an
// exact argument where one exists. Default: edge cases and a few million arguments in seconds; --full:
// every finite float for sinf and cosf, a billion atan2f pairs, tens of millions for the double functions.
#include <quadmath.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <vector>

#include "scene/exact_math.h"

namespace {

using Quad = __float128;
using u64 = std::uint64_t;
constexpr float infF = std::numeric_limits<float>::infinity();
constexpr double infD = std::numeric_limits<double>::infinity();

u64 bitsOf(double x) { u64 b; std::memcpy(&b, &x, 8); return b; }
std::uint32_t bitsOf(float x) { std::uint32_t b; std::memcpy(&b, &x, 4); return b; }
float floatOf(std::uint32_t b) { float x; std::memcpy(&x, &b, 4); return x; }
double doubleOf(u64 b) { double x; std::memcpy(&x, &b, 8); return x; }
bool sameBits(float a, float b) { return (a != a && b != b) || bitsOf(a) == bitsOf(b); }
bool sameBits(double a, double b) { return (a != a && b != b) || bitsOf(a) == bitsOf(b); }

struct Random {  // splitmix64: the same arguments on every platform
    u64 state;
    u64 next() {
        u64 z = (state += 0x9e3779b97f4a7c15);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
        z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
        return z ^ (z >> 31);
    }
    double unit() { return double(next() >> 11) * 0x1p-53; }
    double uniform(double lo, double hi) { return lo + (hi - lo) * unit(); }
    float anyFiniteFloat() {
        for (;;) {
            const float f = floatOf(std::uint32_t(next()));
            if (std::isfinite(f)) return f;
        }
    }
    float floatUpTo(int maxExponent) {  // random bits below 2^maxExponent, subnormals included
        const u64 field = next() % u64(127 + maxExponent);
        return floatOf(std::uint32_t((next() & 0x807fffffu) | (field << 23)));
    }
};

// q rounded once, or false when some value within |q| 2^-100 (far beyond quad's own error) rounds otherwise.
template <class T>
bool rounded(Quad q, T& out) {
    if (!finiteq(q) || q == 0) return out = T(q), true;
    const Quad e = fabsq(q) * Quad(0x1p-100);
    out = T(q - e);
    return sameBits(out, T(q + e));
}

// The same for a double reference trusted to 2^-40 (glibc's sin, cos and atan2 are within an ulp).
bool rounded(double d, float& out) {
    const double e = std::fabs(d) * 0x1p-40;
    out = float(d - e);
    return out == float(d + e);
}

struct Tally {
    const char* name;
    u64 checked = 0, mismatches = 0, flagged = 0, resolved = 0, quadCalls = 0;

    template <class T, class Args>
    void compare(T ours, T reference, const Args& describe) {
        ++checked;
        if (sameBits(ours, reference)) return;
        if (++mismatches <= 10) {
            std::printf("MISMATCH %s(", name);
            describe();
            std::printf(") ours %.17g reference %.17g\n", double(ours), double(reference));
        }
    }
    template <class T, class Args, class Resolve>
    void againstQuad(T ours, Quad q, const Args& describe, const Resolve& resolve) {
        ++quadCalls;
        T reference;
        if (!rounded(q, reference)) {
            ++flagged;
            if (!resolve(reference)) {
                ++checked;
                std::printf("UNRESOLVED %s(", name);
                describe();
                std::printf(") ours %.17g\n", double(ours));
                return;
            }
            ++resolved;
        }
        compare(ours, reference, describe);
    }
    template <class T, class Args>
    void againstQuad(T ours, Quad q, const Args& describe) {
        againstQuad(ours, q, describe, [](T&) { return false; });
    }
    bool report() const {
        std::printf("%-8s checked %12" PRIu64 "  quad %11" PRIu64 "  flagged %4" PRIu64 "  resolved %4" PRIu64
                    "  mismatches %" PRIu64 "\n",
                    name, checked, quadCalls, flagged, resolved, mismatches);
        return mismatches == 0 && flagged == resolved;
    }
};

auto showFloat(float x) { return [x] { std::printf("%.9g [%08" PRIx32 "]", double(x), bitsOf(x)); }; }
auto showFloats(float y, float x) {
    return [y, x] { std::printf("%.9g, %.9g [%08" PRIx32 " %08" PRIx32 "]", double(y), double(x), bitsOf(y), bitsOf(x)); };
}
auto showDouble(double x) { return [x] { std::printf("%.17g [%016" PRIx64 "]", x, bitsOf(x)); }; }
auto showDoubles(double x, double y) { return [x, y] { std::printf("%.17g, %.17g", x, y); }; }

// ---- sinf and cosf

struct SinCos {
    Tally sin{"sinf"}, cos{"cosf"};
    bool prefilter = false;  // trust the platform's double sin and cos where they decide the rounding

    void check(float x) {
        const float s = exact::sinf(x), c = exact::cosf(x);
        float rs, rc;
        if (prefilter && rounded(std::sin(double(x)), rs)) sin.compare(s, rs, showFloat(x));
        else sin.againstQuad(s, sinq(Quad(x)), showFloat(x));
        if (prefilter && rounded(std::cos(double(x)), rc)) cos.compare(c, rc, showFloat(x));
        else cos.againstQuad(c, cosq(Quad(x)), showFloat(x));
    }
};

void sinCosEdges(SinCos& t) {
    const float specials[] = {0.0f, 0x1p-149f, 0x1p-126f, 0x1p-12f, 0x1p-11f, 0.78f, 0.7853982f, 1.5707964f,
                              3.1415927f, 6.2831855f, 0x1p20f, 0x1p23f, 0x1p24f, 0x1p100f, 3.4028235e38f, infF,
                              std::numeric_limits<float>::quiet_NaN()};
    for (float f : specials)
        for (int d = -2; d <= 2; ++d) {
            const float g = floatOf(bitsOf(f) + std::uint32_t(d));
            if (g == g || f != f) t.check(g), t.check(-g);
        }
    // The floats nearest multiples of pi/2 stress the reduction.
    for (int k = 1; k < 100000; k += (k < 1000 ? 1 : 97)) {
        const float f = float(k * 1.5707963267948966);
        for (int d = -1; d <= 1; ++d) t.check(floatOf(bitsOf(f) + std::uint32_t(d)));
    }
}

void checkSinCos(bool full, std::vector<bool>& ok) {
    SinCos t;
    sinCosEdges(t);
    Random r{1};
    if (full) {
        for (int i = 0; i < 5000000; ++i) t.check(r.floatUpTo(i % 2 ? 20 : 128));
        t.prefilter = true;
        for (std::uint32_t b = 0; b < 0x7f800000u; ++b) t.check(floatOf(b)), t.check(floatOf(b | 0x80000000u));
    } else {
        for (int i = 0; i < 300000; ++i) t.check(r.floatUpTo(20));
        for (int i = 0; i < 30000; ++i) t.check(r.anyFiniteFloat());
        for (std::uint32_t b = bitsOf(1.5707964f) - 20000; b < bitsOf(1.5707964f) + 20000; ++b) t.check(floatOf(b));
    }
    ok.push_back(t.sin.report());
    ok.push_back(t.cos.report());
}

// ---- atan2f

// Near 0, atan2(y, x) = atan t with t = y / x tiny: atan t lies in (t - t^3/3, t). A t that is not a float
// midpoint lies 2^-49 or more from every one, so only t = midpoint exactly is left, where atan t < t.
bool resolveTinyRatio(float y, float x, float& out) {
    if (!(std::fabs(y) < std::fabs(x)) || std::signbit(x)) return false;
    const Quad t = Quad(y) / Quad(x);
    if (!(fabsq(t) < Quad(0x1p-40))) return false;
    const float a = float(t * (1 - Quad(0x1p-70))), b = float(t * (1 + Quad(0x1p-90)));
    if (sameBits(a, b)) return out = a, true;
    const Quad midpoint = (Quad(a) + Quad(b)) / 2;
    if (midpoint * Quad(x) != Quad(y)) return false;  // exact: 25-bit times 24-bit significands
    out = std::fabs(a) < std::fabs(b) ? a : b;
    return true;
}

struct Atan2 {
    Tally tally{"atan2f"};
    bool prefilter = false;

    void check(float y, float x) {
        const float ours = exact::atan2f(y, x);
        float reference;
        if (prefilter && rounded(std::atan2(double(y), double(x)), reference)) {
            tally.compare(ours, reference, showFloats(y, x));
            return;
        }
        tally.againstQuad(ours, atan2q(Quad(y), Quad(x)), showFloats(y, x),
                          [=](float& out) { return resolveTinyRatio(y, x, out); });
    }
    void checkSigns(float y, float x) {
        check(y, x), check(-y, x), check(y, -x), check(-y, -x);
    }
};

void atan2Edges(Atan2& t, Random& r) {
    const float values[] = {0.0f, 0x1p-149f, 0x3p-149f, 0x1p-126f, 1e-30f, 0.5f, 1.0f, 1.0000001f, 2.0f, 3.0f,
                            1e10f, 0x1p127f, 3.4028235e38f, infF, std::numeric_limits<float>::quiet_NaN()};
    for (float y : values)
        for (float x : values) t.checkSigns(y, x);
    for (int i = 0; i < 20000; ++i) {
        const float v = r.anyFiniteFloat();
        t.checkSigns(v, v), t.checkSigns(v, 0.0f), t.checkSigns(0.0f, v), t.checkSigns(v, infF), t.checkSigns(infF, v);
    }
    // Ratios that are float midpoints below the smallest normal, and their neighbours.
    for (std::uint32_t odd = 1; odd < 2000; odd += 2)
        for (int k = 0; k < 8; ++k)
            for (int d = -1; d <= 1; ++d) t.checkSigns(floatOf(odd + std::uint32_t(d)), std::ldexp(1.0f, k));
}

void randomAtan2(Atan2& t, Random& r, u64 count) {
    for (u64 i = 0; i < count; ++i) {
        switch (i % 4) {
        case 0: t.check(r.anyFiniteFloat(), r.anyFiniteFloat()); break;
        case 1: t.check(float(r.uniform(-8, 8)), float(r.uniform(-8, 8))); break;  // disc positions
        case 2: {  // nearly equal magnitudes
            const float x = r.anyFiniteFloat();
            t.check(floatOf(bitsOf(x) + std::uint32_t(r.next() % 64) - 32), x);
            break;
        }
        default: t.check(r.floatUpTo(int(r.next() % 128)), r.floatUpTo(127)); break;  // huge and tiny ratios
        }
    }
}

void checkAtan2(bool full, std::vector<bool>& ok) {
    Atan2 t;
    Random r{2};
    atan2Edges(t, r);
    randomAtan2(t, r, full ? 20000000 : 1000000);
    if (full) {
        t.prefilter = true;
        randomAtan2(t, r, 1000000000);
    }
    ok.push_back(t.tally.report());
}

// ---- double sin, cos, log, pow

// Within 2^-40 of 1, log(1 + e) = a + b with a = e - e^2/2 exact in quad (e has at most 13 bits) and
// |b| < 2^-120 of e's sign. a lies 2^-107 or more from every double midpoint unless it is one.
bool resolveLogNearOne(double x, double& out) {
    const Quad e = Quad(x) - 1;
    if (!(fabsq(e) < Quad(0x1p-40))) return false;
    const Quad a = e - e * e / 2;
    const double below = double(a - fabsq(a) * Quad(0x1p-80)), above = double(a + fabsq(a) * Quad(0x1p-80));
    out = (below == above || e < 0) ? below : above;
    return true;
}

// A whole power whose exact value fits in quad's 113 bits rounds once from that value (3^34 is a tie).
// A square root is IEEE-754's own correctly rounded operation.
bool resolveWholePower(double x, double y, double& out) {
    if (y == 0.5 && x > 0) return out = std::sqrt(x), true;
    const double ax = std::fabs(x);
    if (!(y >= 1 && y <= 113 && y == std::trunc(y) && ax > 0 && std::isfinite(ax))) return false;
    int e;
    u64 m = u64(std::ldexp(std::frexp(ax, &e), 53));
    e -= 53;
    for (; (m & 1) == 0; m >>= 1) ++e;
    unsigned __int128 v = 1;
    for (int i = 0; i < int(y); ++i) {
        if (v > (~(unsigned __int128)0 >> 64) || double(v) * double(m) >= 0x1p112) return false;
        v *= m;
    }
    const double r = double(ldexpq(Quad(v), e * int(y)));
    out = (x < 0 && (u64(y) & 1)) ? -r : r;
    return true;
}

void checkDoubles(bool full, std::vector<bool>& ok) {
    Tally sin{"sin"}, cos{"cos"}, log{"log"}, pow{"pow"};
    Random r{3};
    const u64 n = full ? 20000000 : 200000;
    auto trig = [&](double x) {
        sin.againstQuad(exact::sin(x), sinq(Quad(x)), showDouble(x));
        cos.againstQuad(exact::cos(x), cosq(Quad(x)), showDouble(x));
    };
    auto logarithm = [&](double x) {
        log.againstQuad(exact::log(x), logq(Quad(x)), showDouble(x), [=](double& out) { return resolveLogNearOne(x, out); });
    };
    auto power = [&](double x, double y) {
        pow.againstQuad(exact::pow(x, y), powq(Quad(x), Quad(y)), showDoubles(x, y),
                        [=](double& out) { return resolveWholePower(x, y, out); });
    };

    const double edges[] = {0.0, -0.0, 0x1p-1074, 0x1p-1022, 0x1p-30, 0.5, 1.0, 1.5, 2.0, 3.0, 7.0, 24.0,
                            0x1p52 + 1, 1e300, std::numeric_limits<double>::max(), infD, -infD,
                            -1.0, -3.0, std::numeric_limits<double>::quiet_NaN()};
    for (double x : edges) {
        trig(x), logarithm(x);
        // (2^52 + 1)^1.5 lies within 2^-105 of a tie, closer than quad can settle (our result was
        // checked once in 300-bit arithmetic).
        for (double y : edges)
            if (x != 0x1p52 + 1) power(x, y), power(x, -y);
    }
    for (int k = 0; k <= 40; ++k) power(3.0, k), power(3.0, k / 16.0), power(-3.0, k);  // 3^34: a tie
    for (u64 i = 0; i < n; ++i) {
        trig(r.uniform(0, 7)), trig(-r.uniform(0, 7));
        logarithm(r.uniform(1, 24));
        power(3.0, r.uniform(0, 2));
        if (i % 4 == 0) {
            trig(doubleOf(r.next() & 0x7fefffffffffffffu));
            logarithm(doubleOf(r.next() & 0x7fefffffffffffffu));
            logarithm(1.0 + r.uniform(-1, 1) * std::ldexp(1.0, -int(r.next() % 50)));
            power(r.uniform(0, 1000), r.uniform(-40, 40));
            power(doubleOf(r.next() & 0x7fefffffffffffffu), r.uniform(-2, 2));
            power(std::ldexp(r.uniform(1, 2), -558), r.uniform(1.88, 1.92));  // subnormal results
        }
    }
    for (Tally* t : {&sin, &cos, &log, &pow}) ok.push_back(t->report());
}

}  // namespace

// quillon_math_check [--full] [doubles|atan2f|sincos]: all parts unless one is named.
int main(int argc, char** argv) {
    const bool full = argc > 1 && std::strcmp(argv[1], "--full") == 0;
    const char* only = argc > (full ? 2 : 1) ? argv[full ? 2 : 1] : "";
    const struct {
        const char* name;
        void (*check)(bool, std::vector<bool>&);
    } parts[] = {{"doubles", checkDoubles}, {"atan2f", checkAtan2}, {"sincos", checkSinCos}};
    std::vector<bool> ok;
    for (const auto& part : parts) {
        if (*only && std::strcmp(only, part.name) != 0) continue;
        const std::clock_t start = std::clock();
        part.check(full, ok);
        std::printf("  (%s: %.1f s)\n", part.name, double(std::clock() - start) / CLOCKS_PER_SEC);
        std::fflush(stdout);
    }
    for (bool b : ok)
        if (!b) return std::puts("math check: FAILED"), 1;
    std::puts(ok.empty() ? "math check: no such part" : "math check: all agree");
    return ok.empty() ? 1 : 0;
}
