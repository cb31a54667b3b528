// Checks exact/exact_math bit for bit against libquadmath's results rounded once to float or double.
// A quad value within 2^-100 of a rounding boundary is flagged rather than trusted, and settled by an
// exact argument where one exists. Default: edge cases and a few million arguments in seconds; --full:
// every finite float for sinf and cosf, a billion atan2f pairs, tens of millions for the double functions.
#include <quadmath.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <utility>

#include "exact/exact_math.h"

namespace {

using Quad = __float128;
using u64 = unsigned long long;

template <class To, class From> To cast(From x) { To y; std::memcpy(&y, &x, sizeof y); return y; }
template <class T> bool sameBits(T a, T b) { return (a != a && b != b) || std::memcmp(&a, &b, sizeof a) == 0; }
float nextTo(float x, int steps) { return cast<float>(cast<unsigned>(x) + unsigned(steps)); }

std::mt19937_64 bits;  // fully specified: the same arguments on every platform; each part seeds it
double uniform(double lo, double hi) { return lo + (hi - lo) * double(bits() >> 11) * 0x1p-53; }
double anyDouble() { return cast<double>(bits() & 0x7fefffffffffffffu); }  // positive and finite
float anyFloat(int maxExponent = 128) {  // random bits below 2^maxExponent, subnormals included
    const u64 field = bits() % u64(127 + maxExponent);
    return cast<float>(unsigned((bits() & 0x807fffffu) | (field << 23)));
}

// r rounded once to T, or false when some value within |r| x relative rounds otherwise: 2^-100 for a quad
// result (far beyond quad's own error), 2^-40 for glibc's double sin, cos and atan2 (within an ulp).
template <class T, class R> bool rounded(R r, T& out, R relative) {
    if (!(r - r == 0) || r == 0) return out = T(r), true;
    const R e = (r < 0 ? -r : r) * relative;
    return out = T(r - e), sameBits(out, T(r + e));
}

// One function of the unit: ours, quad's, an exact settlement for flagged cases where one exists, and
// (set for the long float sweeps) glibc's double result, trusted wherever it settles the rounding.
template <class T> struct Function {
    const char* name;
    T (*ours)(T, T);
    Quad (*quad)(Quad, Quad);
    bool (*resolve)(T, T, T&);
    double (*platform)(double, double) = nullptr;
    u64 checked = 0, quadCalls = 0, flagged = 0, resolved = 0, mismatches = 0;

    void operator()(T x, T y = 0) {
        T want, ours = this->ours(x, y);
        const bool byQuad = !(platform && rounded(platform(x, y), want, 0x1p-40));
        const bool flag = byQuad && !rounded(quad(x, y), want, Quad(0x1p-100));
        const bool unresolved = flag && !(resolve && resolve(x, y, want));
        ++checked, quadCalls += byQuad, flagged += flag, resolved += flag && !unresolved;
        if (unresolved || (!sameBits(ours, want) && ++mismatches <= 10))
            std::printf("%s %s(%a, %a) ours %a reference %a\n", unresolved ? "UNRESOLVED" : "MISMATCH", name,
                        double(x), double(y), double(ours), double(want));
    }
    bool report() const {
        std::printf("%-8s checked %12llu  quad %11llu  flagged %4llu  resolved %4llu  mismatches %llu\n", name,
                    checked, quadCalls, flagged, resolved, mismatches);
        return mismatches == 0 && flagged == resolved;
    }
};

// Near 0, atan2(y, x) = atan t with t = y / x tiny: atan t lies in (t - t^3/3, t). A t that is not a float
// midpoint lies 2^-49 or more from every one, so only t = midpoint exactly is left, where atan t < t.
bool resolveTinyRatio(float y, float x, float& out) {
    const Quad t = Quad(y) / Quad(x);
    if (!(std::fabs(y) < std::fabs(x)) || std::signbit(x) || !(fabsq(t) < Quad(0x1p-40))) return false;
    const float a = float(t * (1 - Quad(0x1p-70))), b = float(t * (1 + Quad(0x1p-90)));
    const bool tie = (Quad(a) + Quad(b)) / 2 * Quad(x) == Quad(y);  // exact: 25 by 24 bits
    return out = std::fabs(a) < std::fabs(b) ? a : b, sameBits(a, b) || tie;
}

// Within 2^-40 of 1, log(1 + e) = a + b with a = e - e^2/2 exact in quad (e has at most 13 bits) and
// |b| < 2^-120 of e's sign. a lies 2^-107 or more from every double midpoint unless it is one.
bool resolveLogNearOne(double x, double, double& out) {
    const Quad e = Quad(x) - 1, a = e - e * e / 2;
    const double below = double(a - fabsq(a) * Quad(0x1p-80)), above = double(a + fabsq(a) * Quad(0x1p-80));
    return out = (below == above || e < 0) ? below : above, fabsq(e) < Quad(0x1p-40);
}

// A whole power computed exactly in quad (no step leaves fmaq a rounding error; all far above quad's
// subnormals, where that residue is exact) rounds once from that value (3^34 is a tie). A square root
// is IEEE-754's own correctly rounded operation.
bool resolveWholePower(double x, double y, double& out) {
    if (y == 0.5 && x > 0) return out = std::sqrt(x), true;
    if (!(y >= 1 && y <= 113 && y == std::trunc(y))) return false;
    Quad p = 1;
    for (int i = 0; i < int(y); ++i, p *= x)
        if (fmaq(p, x, -(p * x)) != 0 || !(fabsq(p * x) > 0x1p-1000 * Quad(0x1p-1000))) return false;
    return out = double(p), true;
}

template <class T, T (*f)(T)> T unary(T x, T) { return f(x); }
Function<float> sinF{"sinf", unary<float, exact::sinf>, unary<Quad, sinq>, nullptr};
Function<float> cosF{"cosf", unary<float, exact::cosf>, unary<Quad, cosq>, nullptr};
Function<float> atan2F{"atan2f", exact::atan2f, atan2q, resolveTinyRatio};
Function<double> sinD{"sin", unary<double, exact::sin>, unary<Quad, sinq>, nullptr};
Function<double> cosD{"cos", unary<double, exact::cos>, unary<Quad, cosq>, nullptr};
Function<double> logD{"log", unary<double, exact::log>, unary<Quad, logq>, resolveLogNearOne};
Function<double> powD{"pow", exact::pow, powq, resolveWholePower};

void sinCos(float x) { sinF(x), cosF(x); }
void around(float centre, int steps) {  // the floats within steps of centre, both signs
    for (int d = -steps; d <= steps; ++d)
        if (const float x = nextTo(centre, d); x == x || centre != centre) sinCos(x), sinCos(-x);
}

bool checkSinCos(bool full) {
    for (float f : {0.0f, 0x1p-149f, 0x1p-126f, 0x1p-12f, 0x1p-11f, 0.78f, 0.7853982f, 1.5707964f, 3.1415927f,
                    6.2831855f, 0x1p20f, 0x1p23f, 0x1p24f, 0x1p100f, 3.4028235e38f, INFINITY, NAN})
        around(f, 2);
    // The floats nearest multiples of pi/2 (and many round pi/2 itself) stress the reduction.
    // Every multiple below 2^20, where the three-part reduction ends: the nearest floats there come within
    // 2^-27.8 of one, and a reduction that drops its last part loses about 2^-21 of such a result.
    for (int k = 1; k < 667544; ++k) around(float(k * 1.5707963267948966), k == 1 ? 20000 : k < 1000 ? 1 : 0);
    bits.seed(1);
    for (int i = 0; i < (full ? 5000000 : 330000); ++i) sinCos(anyFloat(i % (full ? 2 : 10) ? 20 : 128));
    sinF.platform = [](double x, double) { return std::sin(x); };
    cosF.platform = [](double x, double) { return std::cos(x); };
    for (unsigned b = 0; full && b < 0x7f800000u; ++b) sinCos(cast<float>(b)), sinCos(cast<float>(b | 0x80000000u));
    return sinF.report() & cosF.report();
}

void atan2Signs(float y, float x) { atan2F(y, x), atan2F(-y, x), atan2F(y, -x), atan2F(-y, -x); }

bool checkAtan2(bool full) {
    const float values[] = {0.0f, 0x1p-149f, 0x3p-149f, 0x1p-126f, 1e-30f, 0.5f, 1.0f, 1.0000001f, 2.0f, 3.0f,
                            1e10f, 0x1p127f, 3.4028235e38f, INFINITY, NAN};
    for (float y : values)
        for (float x : values) atan2Signs(y, x);
    bits.seed(2);
    for (int i = 0; i < 20000; ++i) {  // random magnitudes against themselves, zero and infinity
        const float v = anyFloat();
        atan2Signs(v, v), atan2Signs(v, 0.0f), atan2Signs(0.0f, v), atan2Signs(v, INFINITY), atan2Signs(INFINITY, v);
    }
    for (unsigned odd = 1; odd < 2000; odd += 2)  // ratios that are float midpoints below the smallest normal
        for (int k = 0; k < 8; ++k)
            for (int d = -1; d <= 1; ++d) atan2Signs(cast<float>(odd + unsigned(d)), std::ldexp(1.0f, k));
    // Four pairs a round: any, disc positions, nearly equal magnitudes, huge and tiny ratios; after 20
    // million pairs against quad, the long run's billion trust glibc wherever it settles the rounding.
    for (u64 i = 0; i < (full ? 255000000 : 250000); ++i) {
        if (i == 5000000) atan2F.platform = [](double y, double x) { return std::atan2(y, x); };
        const float x = anyFloat();
        atan2F(anyFloat(), x), atan2F(float(uniform(-8, 8)), float(uniform(-8, 8)));
        atan2F(nextTo(x, int(bits() % 64) - 32), x), atan2F(anyFloat(int(bits() % 128)), x);
    }
    return atan2F.report();
}

bool checkDoubles(bool full) {
    const double edges[] = {0.0, -0.0, 0x1p-1074, 0x1p-1022, 0x1p-30, 0.5, 1.0, 1.5, 2.0, 3.0, 7.0, 24.0,
                            0x1p52 + 1, 1e300, 0x1.fffffffffffffp1023, HUGE_VAL, -HUGE_VAL, -1.0, -3.0, NAN};
    for (double x : edges) {
        sinD(x), cosD(x), logD(x);
        // (2^52 + 1)^1.5 lies within 2^-105 of a tie, closer than quad can settle (our result was
        // checked once in 300-bit arithmetic).
        for (double y : edges)
            if (x != 0x1p52 + 1) powD(x, y), powD(x, -y);
    }
    for (int k = 0; k <= 40; ++k) powD(3.0, k), powD(3.0, k / 16.0), powD(-3.0, k);  // 3^34: a tie
    bits.seed(3);
    for (u64 i = 0; i < (full ? 20000000 : 200000); ++i) {
        const double a = uniform(0, 7), b = -uniform(0, 7), c = anyDouble();
        sinD(a), cosD(a), sinD(b), cosD(b), logD(uniform(1, 24)), powD(3.0, uniform(0, 2));
        if (i % 4) continue;
        sinD(c), cosD(c), logD(anyDouble()), logD(1.0 + uniform(-1, 1) * std::ldexp(1.0, -int(bits() % 50)));
        powD(uniform(0, 1000), uniform(-40, 40)), powD(anyDouble(), uniform(-2, 2));
        powD(std::ldexp(uniform(1, 2), -558), uniform(1.88, 1.92));  // subnormal results
    }
    return sinD.report() & cosD.report() & logD.report() & powD.report();
}

}  // namespace

// quillon_math_check [--full]
int main(int argc, char** argv) {
    const bool full = argc > 1 && std::strcmp(argv[1], "--full") == 0;
    bool agree = true;
    const std::pair<const char*, bool (*)(bool)> parts[] = {
        {"doubles", checkDoubles}, {"atan2f", checkAtan2}, {"sincos", checkSinCos}};
    for (const auto& [name, check] : parts) {
        const std::clock_t start = std::clock();
        agree = check(full) && agree;
        std::printf("  (%s: %.1f s)\n", name, double(std::clock() - start) / CLOCKS_PER_SEC), std::fflush(stdout);
    }
    std::puts(agree ? "math check: all agree" : "math check: FAILED");
    return agree ? 0 : 1;
}
