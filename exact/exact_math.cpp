// Correctly rounded sin, cos, atan2 (float) and sin, cos, log, pow (double) from IEEE-754 basic operations
// and integer arithmetic only, so that no compiler or libm can change a bit (pairs with exact_math.h).
//
// Method. The float functions evaluate in double (error below 2^-49 relative) and round to float unless
// that value lies within 2^-45 of a float rounding boundary; then they evaluate again in double-double
// (error below 2^-98, boundary test at 2^-90). The double functions always evaluate in double-double.
// Double-double products use Veltkamp splitting, never a fused multiply-add, and the build keeps the
// compiler from contracting or reordering floating-point operations.
// Constants: 2/pi, pi, ln 2, table values and Taylor coefficients, each rounded to nearest (as a sum of
// two doubles where marked DD) from a 2000-bit evaluation.
#include "exact/exact_math.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace exact {
namespace {

using u64 = std::uint64_t;
using u128 = unsigned __int128;

// ---- bits and powers of two

u64 bitsOf(double x) {
    u64 b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

double doubleFromBits(u64 b) {
    double x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

std::uint32_t bitsOf(float x) {
    std::uint32_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

float floatFromBits(std::uint32_t b) {
    float x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

double magnitude(double x) { return doubleFromBits(bitsOf(x) & ~(u64(1) << 63)); }
bool signBit(double x) { return bitsOf(x) >> 63; }
bool isFinite(double x) { return magnitude(x) < std::numeric_limits<double>::infinity(); }
int exponentOf(double x) { return int((bitsOf(x) >> 52) & 0x7ff) - 1023; }  // x normal

double powerOfTwo(int k) { return doubleFromBits(u64(k + 1023) << 52); }  // -1022 <= k <= 1023

// x * 2^k with one rounding at most (only where the product over- or underflows).
double scaleByPowerOfTwo(double x, int k) {
    for (; k > 1000; k -= 1000) x *= 0x1p1000;
    for (; k < -1000; k += 1000) x *= 0x1p-1000;
    return x * powerOfTwo(k);
}

// ---- double-double arithmetic: value = hi + lo with |lo| <= ulp(hi) / 2

struct DD {
    double hi, lo;
};

DD negated(DD a) { return {-a.hi, -a.lo}; }

DD twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

DD fastTwoSum(double a, double b) {  // |a| >= |b|
    const double s = a + b;
    return {s, b - (s - a)};
}

DD veltkampSplit(double a) {
    const double c = 134217729.0 * a;  // 2^27 + 1
    const double hi = c - (c - a);
    return {hi, a - hi};
}

DD twoProduct(double a, double b) {
    const double p = a * b;
    const DD x = veltkampSplit(a);
    const DD y = veltkampSplit(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

DD add(DD a, DD b) {
    DD s = twoSum(a.hi, b.hi);
    const DD t = twoSum(a.lo, b.lo);
    s = fastTwoSum(s.hi, s.lo + t.hi);
    return fastTwoSum(s.hi, s.lo + t.lo);
}

DD add(DD a, double b) { return add(a, DD{b, 0.0}); }

DD multiply(DD a, DD b) {
    const DD p = twoProduct(a.hi, b.hi);
    return fastTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

DD multiply(DD a, double b) {
    const DD p = twoProduct(a.hi, b);
    return fastTwoSum(p.hi, p.lo + a.lo * b);
}

DD divide(DD a, DD b) {
    const double q1 = a.hi / b.hi;
    DD r = add(a, negated(multiply(b, q1)));
    const double q2 = r.hi / b.hi;
    r = add(r, negated(multiply(b, q2)));
    const double q3 = r.hi / b.hi;
    return add(fastTwoSum(q1, q2), q3);
}

// c[0] + x (c[1] + x (c[2] + ...)), all in double-double.
template <int n>
DD horner(const DD (&c)[n], DD x) {
    DD p = c[n - 1];
    for (int i = n - 2; i >= 0; --i) p = add(multiply(p, x), c[i]);
    return p;
}

// ---- rounding with a boundary test

constexpr double fastTolerance = 0x1p-45;    // relative; the double evaluations stay below 2^-49
constexpr double accurateTolerance = 0x1p-90;  // relative; the double-double evaluations stay below 2^-98
constexpr double powTolerance = 0x1p-85;     // exp's argument carries an absolute error up to 2^-94.5

// Rounds y to float when every value within |y| x fastTolerance rounds the same way.
bool roundedIfClear(double y, float& out) {
    const double e = magnitude(y) * fastTolerance;
    out = float(y - e);
    return out == float(y + e);
}

// The next float after f, away from f towards the side given by up.
float floatNeighbour(float f, bool up) {
    if (f == 0.0f) return up ? 0x1p-149f : -0x1p-149f;
    const bool away = (f > 0.0f) == up;
    return floatFromBits(away ? bitsOf(f) + 1 : bitsOf(f) - 1);
}

// hi + lo rounded to float exactly: only a hi lying halfway between two floats needs lo.
float roundToFloat(DD v) {
    const float f = float(v.hi);
    const double gap = v.hi - double(f);
    if (gap == 0.0 || v.lo == 0.0) return f;
    const float other = floatNeighbour(f, gap > 0.0);
    if (double(other) - v.hi != gap) return f;
    return (v.lo > 0.0) == (gap > 0.0) ? other : f;
}

bool roundedIfClear(DD v, double tolerance, float& out) {
    const double e = magnitude(v.hi) * tolerance;
    out = roundToFloat(v);
    return roundToFloat(fastTwoSum(v.hi, v.lo - e)) == roundToFloat(fastTwoSum(v.hi, v.lo + e));
}

// (hi + lo) x 2^k rounded to double, subnormal results included.
double roundScaled(DD v, int k) {
    const double m = magnitude(v.hi);
    if (m == 0.0) return v.hi;
    const int e = exponentOf(m) + k;
    if (e >= -1022) return scaleByPowerOfTwo(v.hi + v.lo, k);
    if (e < -1080) return signBit(v.hi) ? -0.0 : 0.0;
    // Round to a multiple of 2^-1074: whole part n of m x 2^(k+1074) plus a fraction, lo breaks ties.
    const double w = scaleByPowerOfTwo(m, k + 1074);  // exact, below 2^53
    const double n = double(u64(w));
    const double fraction = w - n;
    const double lo = signBit(v.hi) ? -v.lo : v.lo;
    const bool up = fraction > 0.5 ||
                    (fraction == 0.5 && (lo > 0.0 || (lo == 0.0 && (u64(n) & 1))));
    const double r = (up ? n + 1.0 : n) * 0x1p-1074;
    return signBit(v.hi) ? -r : r;
}

bool roundedIfClear(DD v, double tolerance, int k, double& out) {
    const double e = magnitude(v.hi) * tolerance;
    out = roundScaled(v, k);
    return roundScaled(fastTwoSum(v.hi, v.lo - e), k) == roundScaled(fastTwoSum(v.hi, v.lo + e), k);
}

// ---- constants

constexpr DD piOver2 = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};
constexpr DD pi = {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53};
constexpr DD ln2 = {0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56};

// 2/pi in binary: word j >= 1 holds bits 64(j - 1) + 1 .. 64j after the point; word 0 is leading zeros.
constexpr u64 twoOverPiBits[22] = {
    0x0000000000000000, 0xA2F9836E4E441529, 0xFC2757D1F534DDC0, 0xDB6295993C439041,
    0xFE5163ABDEBBC561, 0xB7246E3A424DD2E0, 0x06492EEA09D1921C, 0xFE1DEB1CB129A73E,
    0xE88235F52EBB4484, 0xE99C7026B45F7E41, 0x3991D639835339F4, 0x9C845F8BBDF9283B,
    0x1FF897FFDE05980F, 0xEF2F118B5A0A6D1F, 0x6D367ECF27CB09B7, 0x4F463F669E5FEA2D,
    0x7527BAC7EBE5F17B, 0x3D0739F78A5292EA, 0x6BFB5FB11F8D5D08, 0x56033046FC7B6BAB,
    0xF0CFBC209AF4361D, 0xA9E391615EE61B08,
};

// Taylor coefficients: sin r = r + r^3 (c0 + c1 r^2 + ...), cos r = 1 + r^2 (c0 + c1 r^2 + ...).
constexpr double sinTaylorShort[7] = {
    -0x1.5555555555555p-3, 0x1.1111111111111p-7, -0x1.a01a01a01a01ap-13, 0x1.71de3a556c734p-19,
    -0x1.ae64567f544e4p-26, 0x1.6124613a86d09p-33, -0x1.ae7f3e733b81fp-41,
};
constexpr double cosTaylorShort[8] = {
    -0x1.0000000000000p-1, 0x1.5555555555555p-5, -0x1.6c16c16c16c17p-10, 0x1.a01a01a01a01ap-16,
    -0x1.27e4fb7789f5cp-22, 0x1.1eed8eff8d898p-29, -0x1.93974a8c07c9dp-37, 0x1.ae7f3e733b81fp-45,
};
constexpr DD sinTaylor[13] = {
    {-0x1.5555555555555p-3, -0x1.5555555555555p-57}, {0x1.1111111111111p-7, 0x1.1111111111111p-63},
    {-0x1.a01a01a01a01ap-13, -0x1.a01a01a01a01ap-73}, {0x1.71de3a556c734p-19, -0x1.c154f8ddc6c00p-73},
    {-0x1.ae64567f544e4p-26, 0x1.c062e06d1f209p-80}, {0x1.6124613a86d09p-33, 0x1.f28e0cc748ebep-87},
    {-0x1.ae7f3e733b81fp-41, -0x1.1d8656b0ee8cbp-97}, {0x1.952c77030ad4ap-49, 0x1.ac981465ddc6cp-103},
    {-0x1.2f49b46814157p-57, -0x1.2650f61dbdcb4p-112}, {0x1.71b8ef6dcf572p-66, -0x1.d043ae40c4647p-120},
    {-0x1.761b41316381ap-75, 0x1.3423c7d91404fp-130}, {0x1.3f3ccdd165fa9p-84, -0x1.58ddadf344487p-139},
    {-0x1.d1ab1c2dccea3p-94, -0x1.054d0c78aea14p-149},
};
constexpr DD cosTaylor[14] = {
    {-0x1.0000000000000p-1, 0x0.0p+0}, {0x1.5555555555555p-5, 0x1.5555555555555p-59},
    {-0x1.6c16c16c16c17p-10, 0x1.f49f49f49f49fp-65}, {0x1.a01a01a01a01ap-16, 0x1.a01a01a01a01ap-76},
    {-0x1.27e4fb7789f5cp-22, -0x1.cbbc05b4fa99ap-76}, {0x1.1eed8eff8d898p-29, -0x1.2aec959e14c06p-83},
    {-0x1.93974a8c07c9dp-37, -0x1.05d6f8a2efd1fp-92}, {0x1.ae7f3e733b81fp-45, 0x1.1d8656b0ee8cbp-101},
    {-0x1.6827863b97d97p-53, -0x1.eec01221a8b0bp-107}, {0x1.e542ba4020225p-62, 0x1.ea72b4afe3c2fp-120},
    {-0x1.0ce396db7f853p-70, 0x1.aebcdbd20331cp-124}, {0x1.f2cf01972f578p-80, -0x1.9ada5fcc1ab14p-135},
    {-0x1.88e85fc6a4e5ap-89, 0x1.71c37ebd16540p-143}, {0x1.0a18a2635085dp-98, 0x1.b9e2e28e1aa54p-153},
};
constexpr DD atanOfSixteenths[17] = {
    {0x0.0p+0, 0x0.0p+0}, {0x1.ff55bb72cfdeap-5, -0x1.c934d86d23f1dp-60},
    {0x1.fd5ba9aac2f6ep-4, -0x1.cd37686760c17p-59}, {0x1.7b97b4bce5b02p-3, 0x1.347b0b4f881cap-58},
    {0x1.f5b75f92c80ddp-3, 0x1.8ab6e3cf7afbdp-57}, {0x1.362773707ebccp-2, -0x1.963a544b672d8p-57},
    {0x1.6f61941e4def1p-2, -0x1.c63aae6f6e918p-56}, {0x1.a64eec3cc23fdp-2, -0x1.24dec1b50b7ffp-56},
    {0x1.dac670561bb4fp-2, 0x1.a2b7f222f65e2p-56}, {0x1.0657e94db30d0p-1, -0x1.d5b495f6349e6p-56},
    {0x1.1e00babdefeb4p-1, -0x1.928df287a668fp-58}, {0x1.345f01cce37bbp-1, 0x1.1021137c71102p-55},
    {0x1.4978fa3269ee1p-1, 0x1.2419a87f2a458p-56}, {0x1.5d58987169b18p-1, 0x1.0028e4bc5e7cap-57},
    {0x1.700a7c5784634p-1, -0x1.8c34d25aadef6p-56}, {0x1.819d0b7158a4dp-1, -0x1.bf76229d3b917p-56},
    {0x1.921fb54442d18p-1, 0x1.1a62633145c07p-55},
};
constexpr DD atanTaylor[11] = {
    {-0x1.5555555555555p-2, -0x1.5555555555555p-56}, {0x1.999999999999ap-3, -0x1.999999999999ap-57},
    {-0x1.2492492492492p-3, -0x1.2492492492492p-57}, {0x1.c71c71c71c71cp-4, 0x1.c71c71c71c71cp-58},
    {-0x1.745d1745d1746p-4, 0x1.745d1745d1746p-59}, {0x1.3b13b13b13b14p-4, -0x1.3b13b13b13b14p-58},
    {-0x1.1111111111111p-4, -0x1.1111111111111p-60}, {0x1.e1e1e1e1e1e1ep-5, 0x1.e1e1e1e1e1e1ep-61},
    {-0x1.af286bca1af28p-5, -0x1.af286bca1af28p-59}, {0x1.8618618618618p-5, 0x1.8618618618618p-59},
    {-0x1.642c8590b2164p-5, -0x1.642c8590b2164p-60},
};
constexpr DD logOfThirtySeconds[23] = {
    {-0x1.522ae0738a3d8p-2, 0x1.8f7e9b38a6979p-57}, {-0x1.269621134db92p-2, -0x1.e0efadd9db02bp-56},
    {-0x1.f991c6cb3b379p-3, -0x1.f665066f980a2p-57}, {-0x1.a93ed3c8ad9e3p-3, -0x1.bcafa9de97203p-57},
    {-0x1.5bf406b543db2p-3, 0x1.1f5b44c0df7e7p-61}, {-0x1.1178e8227e47cp-3, 0x1.0e63a5f01c691p-58},
    {-0x1.9335e5d594989p-4, 0x1.478a85704ccb7p-58}, {-0x1.08598b59e3a07p-4, 0x1.dd7009902bf32p-58},
    {-0x1.0415d89e74444p-5, -0x1.c05cf1d753622p-59}, {0x0.0p+0, 0x0.0p+0},
    {0x1.f829b0e783300p-6, 0x1.33e3f04f1ef23p-60}, {0x1.f0a30c01162a6p-5, 0x1.85f325c5bbacdp-59},
    {0x1.6f0d28ae56b4cp-4, -0x1.906d99184b992p-58}, {0x1.e27076e2af2e6p-4, -0x1.61578001e0162p-60},
    {0x1.29552f81ff523p-3, 0x1.301771c407dbfp-57}, {0x1.5ff3070a793d4p-3, -0x1.bc60efafc6f6ep-58},
    {0x1.9525a9cf456b4p-3, 0x1.d904c1d4e2e26p-57}, {0x1.c8ff7c79a9a22p-3, -0x1.4f689f8434012p-57},
    {0x1.fb9186d5e3e2bp-3, -0x1.caaae64f21acbp-57}, {0x1.1675cababa60ep-2, 0x1.ce63eab883717p-61},
    {0x1.2e8e2bae11d31p-2, -0x1.8f4cdb95ebdf9p-56}, {0x1.4618bc21c5ec2p-2, 0x1.f42decdeccf1dp-56},
    {0x1.5d1bdbf5809cap-2, 0x1.4236383dc7fe1p-56},
};
constexpr DD atanhTaylor[8] = {
    {0x1.5555555555555p-1, 0x1.5555555555555p-55}, {0x1.999999999999ap-2, -0x1.999999999999ap-56},
    {0x1.2492492492492p-2, 0x1.2492492492492p-56}, {0x1.c71c71c71c71cp-3, 0x1.c71c71c71c71cp-57},
    {0x1.745d1745d1746p-3, -0x1.745d1745d1746p-58}, {0x1.3b13b13b13b14p-3, -0x1.3b13b13b13b14p-57},
    {0x1.1111111111111p-3, 0x1.1111111111111p-59}, {0x1.e1e1e1e1e1e1ep-4, 0x1.e1e1e1e1e1e1ep-60},
};
constexpr DD exp2ThirtySeconds[32] = {
    {0x1.0000000000000p+0, 0x0.0p+0}, {0x1.059b0d3158574p+0, 0x1.d73e2a475b465p-55},
    {0x1.0b5586cf9890fp+0, 0x1.8a62e4adc610bp-54}, {0x1.11301d0125b51p+0, -0x1.6c51039449b3ap-54},
    {0x1.172b83c7d517bp+0, -0x1.19041b9d78a76p-55}, {0x1.1d4873168b9aap+0, 0x1.e016e00a2643cp-54},
    {0x1.2387a6e756238p+0, 0x1.9b07eb6c70573p-54}, {0x1.29e9df51fdee1p+0, 0x1.612e8afad1255p-55},
    {0x1.306fe0a31b715p+0, 0x1.6f46ad23182e4p-55}, {0x1.371a7373aa9cbp+0, -0x1.63aeabf42eae2p-54},
    {0x1.3dea64c123422p+0, 0x1.ada0911f09ebcp-55}, {0x1.44e086061892dp+0, 0x1.89b7a04ef80d0p-59},
    {0x1.4bfdad5362a27p+0, 0x1.d4397afec42e2p-56}, {0x1.5342b569d4f82p+0, -0x1.07abe1db13cadp-55},
    {0x1.5ab07dd485429p+0, 0x1.6324c054647adp-54}, {0x1.6247eb03a5585p+0, -0x1.383c17e40b497p-54},
    {0x1.6a09e667f3bcdp+0, -0x1.bdd3413b26456p-54}, {0x1.71f75e8ec5f74p+0, -0x1.16e4786887a99p-55},
    {0x1.7a11473eb0187p+0, -0x1.41577ee04992fp-55}, {0x1.82589994cce13p+0, -0x1.d4c1dd41532d8p-54},
    {0x1.8ace5422aa0dbp+0, 0x1.6e9f156864b27p-54}, {0x1.93737b0cdc5e5p+0, -0x1.75fc781b57ebcp-57},
    {0x1.9c49182a3f090p+0, 0x1.c7c46b071f2bep-56}, {0x1.a5503b23e255dp+0, -0x1.d2f6edb8d41e1p-54},
    {0x1.ae89f995ad3adp+0, 0x1.7a1cd345dcc81p-54}, {0x1.b7f76f2fb5e47p+0, -0x1.5584f7e54ac3bp-56},
    {0x1.c199bdd85529cp+0, 0x1.11065895048ddp-55}, {0x1.cb720dcef9069p+0, 0x1.503cbd1e949dbp-56},
    {0x1.d5818dcfba487p+0, 0x1.2ed02d75b3707p-55}, {0x1.dfc97337b9b5fp+0, -0x1.1a5cd4f184b5cp-54},
    {0x1.ea4afa2a490dap+0, -0x1.e9c23179c2893p-54}, {0x1.f50765b6e4540p+0, 0x1.9d3e12dd8a18bp-54},
};
constexpr DD expTaylor[11] = {
    {0x1.0000000000000p-1, 0x0.0p+0}, {0x1.5555555555555p-3, 0x1.5555555555555p-57},
    {0x1.5555555555555p-5, 0x1.5555555555555p-59}, {0x1.1111111111111p-7, 0x1.1111111111111p-63},
    {0x1.6c16c16c16c17p-10, -0x1.f49f49f49f49fp-65}, {0x1.a01a01a01a01ap-13, 0x1.a01a01a01a01ap-73},
    {0x1.a01a01a01a01ap-16, 0x1.a01a01a01a01ap-76}, {0x1.71de3a556c734p-19, -0x1.c154f8ddc6c00p-73},
    {0x1.27e4fb7789f5cp-22, 0x1.cbbc05b4fa99ap-76}, {0x1.ae64567f544e4p-26, -0x1.c062e06d1f209p-80},
    {0x1.1eed8eff8d898p-29, -0x1.2aec959e14c06p-83},
};

// ---- sin and cos

u64 twoOverPiWindow(int position) {  // 64 bits of the table from bit `position` (0 = word 0's top bit)
    const int word = position >> 6;
    const int shift = position & 63;
    if (shift == 0) return twoOverPiBits[word];
    return (twoOverPiBits[word] << shift) | (twoOverPiBits[word + 1] >> (64 - shift));
}

// A fraction of 256 bits (units of 2^-256, least significant word first) as a double-double, to 2^-106.
DD fixedPointToDD(const u64 (&f)[4]) {
    u64 a = f[3], b = f[2], c = f[1], d = f[0];
    int shift = 0;
    while (a == 0 && shift < 192) {
        a = b, b = c, c = d, d = 0;
        shift += 64;
    }
    if (a == 0) return {0.0, 0.0};
    const int lead = __builtin_clzll(a);
    if (lead != 0) {
        a = (a << lead) | (b >> (64 - lead));
        b = (b << lead) | (c >> (64 - lead));
    }
    shift += lead;
    const DD v = fastTwoSum(double(a >> 11) * 0x1p-53, double(((a & 0x7ff) << 53) | (b >> 11)) * 0x1p-117);
    const double scale = powerOfTwo(-shift);
    return {v.hi * scale, v.lo * scale};
}

struct QuarterTurns {  // x = (quadrant + fraction) pi/2 modulo 2 pi, |fraction| <= 1/2
    int quadrant;
    DD fraction;
};

// Payne-Hanek reduction of a finite x >= 0.78: x 2/pi modulo 4 to 2^-200, in integer arithmetic. With
// x = m 2^e, the 2/pi bits before bit e - 1 only add multiples of 4; the next 256 bits, times m, give 2
// quadrant bits and 254 fraction bits.
QuarterTurns quarterTurns(double x) {
    const u64 bits = bitsOf(x);
    const u64 m = (bits & ((u64(1) << 52) - 1)) | (u64(1) << 52);
    const int e = int(bits >> 52) - 1075;
    const int first = (e - 1) + 63;  // bit e - 1 after the point sits at table position e + 62
    u128 p[4];
    for (int k = 0; k < 4; ++k) p[k] = u128(m) * twoOverPiWindow(first + 64 * k);
    // Sum of p[k] 2^(192 - 64k) modulo 2^256: units of 2^-254 turns of pi/2.
    u64 r[4];
    r[0] = u64(p[3]);
    u128 sum = (p[3] >> 64) + u64(p[2]);
    r[1] = u64(sum);
    sum = (sum >> 64) + (p[2] >> 64) + u64(p[1]);
    r[2] = u64(sum);
    sum = (sum >> 64) + (p[1] >> 64) + u64(p[0]);
    r[3] = u64(sum);
    int quadrant = int(r[3] >> 62);
    u64 f[4] = {r[0] << 2, (r[1] << 2) | (r[0] >> 62), (r[2] << 2) | (r[1] >> 62), (r[3] << 2) | (r[2] >> 62)};
    const bool upperHalf = f[3] >> 63;  // the fraction becomes negative, the quadrant the next one
    if (upperHalf) {
        quadrant = (quadrant + 1) & 3;
        u128 carry = 1;
        for (u64& word : f) {
            carry += u64(~word);
            word = u64(carry);
            carry >>= 64;
        }
    }
    const DD fraction = fixedPointToDD(f);
    return {quadrant, upperHalf ? negated(fraction) : fraction};
}

struct Reduced {  // x = r + quadrant pi/2 modulo 2 pi, |r| <= pi/4
    int quadrant;
    DD r;
};

Reduced reduced(double x) {  // finite x >= 0
    if (x < 0.78) return {0, {x, 0.0}};
    const QuarterTurns t = quarterTurns(x);
    return {t.quadrant, multiply(t.fraction, piOver2)};
}

// sin(r + phase pi/2), |r| <= pi/4: Taylor series to r^15 and r^16, truncated below 2^-54 relative.
double sinOfPhase(double r, int phase) {
    const double r2 = r * r;
    double p;
    if (phase & 1) {
        p = cosTaylorShort[7];
        for (int i = 6; i >= 0; --i) p = p * r2 + cosTaylorShort[i];
        p = 1.0 + r2 * p;
    } else {
        p = sinTaylorShort[6];
        for (int i = 5; i >= 0; --i) p = p * r2 + sinTaylorShort[i];
        p = r + (r * r2) * p;
    }
    return (phase & 2) ? -p : p;
}

// Cody-Waite reduction of 0 <= x < 2^20: k = x 2/pi rounded, r = x - k pi/2 with pi/2 in three parts, the
// first two 33 bits long so that k times them is exact. Floats below 2^20 keep 2^-27.8 or more away from
// every multiple of pi/2, so r is good to 2^-51 relative.
double reducedBelow2To20(double x, int& quadrant) {
    constexpr double twoOverPi = 0x1.45f306dc9c883p-1;
    constexpr double piOver2Parts[3] = {0x1.921fb54400000p+0, 0x1.0b4611a600000p-34, 0x1.3198a2e037073p-69};
    quadrant = 0;
    if (x < 0.78) return x;
    const int k = int(x * twoOverPi + 0.5);
    quadrant = k & 3;
    const double kd = k;
    return ((x - kd * piOver2Parts[0]) - kd * piOver2Parts[1]) - kd * piOver2Parts[2];
}

// The same in double-double: Taylor series to r^27 and r^28, truncated below 2^-110.
DD sinOfPhase(DD r, int phase) {
    const DD r2 = multiply(r, r);
    const DD p = (phase & 1) ? add(multiply(r2, horner(cosTaylor, r2)), 1.0)
                             : add(r, multiply(multiply(r, r2), horner(sinTaylor, r2)));
    return (phase & 2) ? negated(p) : p;
}

float sinOrCos(float x, bool cosine) {
    const double a = magnitude(x);
    if (!isFinite(a)) return x - x;
    const bool negate = !cosine && signBit(x);
    int quadrant;
    double r;
    if (a < 0x1p20) {
        r = reducedBelow2To20(a, quadrant);
    } else {
        const Reduced t = reduced(a);
        r = t.r.hi, quadrant = t.quadrant;
    }
    const double y = sinOfPhase(r, quadrant + (cosine ? 1 : 0));
    float out;
    if (roundedIfClear(negate ? -y : y, out)) return out;
    const Reduced t = reduced(a);
    const DD v = sinOfPhase(t.r, t.quadrant + (cosine ? 1 : 0));
    roundedIfClear(negate ? negated(v) : v, accurateTolerance, out);
    return out;
}

double sinOrCos(double x, bool cosine) {
    const double a = magnitude(x);
    if (!isFinite(a)) return x - x;
    if (a < 0x1p-27) return cosine ? 1.0 : x;  // within half an ulp of x, and of 1
    const Reduced t = reduced(a);
    const DD v = sinOfPhase(t.r, t.quadrant + (cosine ? 1 : 0));
    double out;
    roundedIfClear(!cosine && signBit(x) ? negated(v) : v, accurateTolerance, 0, out);
    return out;
}

// ---- atan2

// atan t for 0 <= t <= 1: t = c + ..., c = i/16 nearest, atan t = atan c + atan u, u = (t - c) / (1 + t c),
// |u| <= 1/32; Taylor series to u^13 (truncated below 2^-70).
double atanOfRatio(double t) {
    const int i = int(t * 16.0 + 0.5);
    const double c = i * 0.0625;
    const double u = (t - c) / (1.0 + t * c);  // t - c is exact
    const double u2 = u * u;
    double p = atanTaylor[5].hi;
    for (int k = 4; k >= 0; --k) p = p * u2 + atanTaylor[k].hi;
    return atanOfSixteenths[i].hi + (u + (u * u2) * p);
}

// The same in double-double for t = n / d: Taylor series to u^23 (truncated below 2^-120).
DD atanOfRatio(double n, double d, double t) {
    DD ratio = {t, 0.0};
    if (n != d && isFinite(d)) {
        const DD p = twoProduct(t, d);
        ratio = fastTwoSum(t, ((n - p.hi) - p.lo) / d);  // the division's remainder is exact
    }
    const int i = int(t * 16.0 + 0.5);
    DD u = ratio;
    if (i > 0) {
        const double c = i * 0.0625;
        u = divide(add(DD{t - c, 0.0}, ratio.lo), add(multiply(ratio, c), 1.0));
    }
    const DD u2 = multiply(u, u);
    const DD a = add(u, multiply(multiply(u, u2), horner(atanTaylor, u2)));
    return i > 0 ? add(atanOfSixteenths[i], a) : a;
}

}  // namespace

float sinf(float x) { return sinOrCos(x, false); }
float cosf(float x) { return sinOrCos(x, true); }
double sin(double x) { return sinOrCos(x, false); }
double cos(double x) { return sinOrCos(x, true); }

// The angle comes from the ratio of the smaller to the larger magnitude, then pi/2 - a when |y| > |x|,
// pi - a when x is negative, and y's sign. Where even the double-double boundary test cannot decide, its
// rounding stands; for a ratio t < 2^-40 (a result near 0) that is provably right: atan t = t - t^3/3 + ...,
// a t of two floats lies 2^-49 or more from any float midpoint unless it is one, and there the -t^3/3 carried
// in the low part rounds it the right way.
float atan2f(float y, float x) {
    if (y != y || x != x) return x + y;
    const double ay = magnitude(y), ax = magnitude(x);
    const bool steep = ay > ax;
    const double n = steep ? ax : ay, d = steep ? ay : ax;
    const double t = n == d ? (n == 0.0 ? 0.0 : 1.0) : n / d;  // both zero, both infinite, or the diagonal
    double a = atanOfRatio(t);
    if (steep) a = piOver2.hi - a;
    if (signBit(x)) a = pi.hi - a;
    float out;
    if (roundedIfClear(signBit(y) ? -a : a, out)) return out;
    DD v = atanOfRatio(n, d, t);
    if (steep) v = add(piOver2, negated(v));
    if (signBit(x)) v = add(pi, negated(v));
    roundedIfClear(signBit(y) ? negated(v) : v, accurateTolerance, out);
    return out;
}

namespace {

// ---- log, exp, pow

// log x for finite x > 0: x = 2^e m, m in [sqrt(1/2), sqrt 2], c = 1 + i/32 nearest m,
// log m = log c + 2 atanh u, u = (m - c) / (m + c), |u| <= 1/90; Taylor series to u^17 (truncated below 2^-117).
DD logOf(double x) {
    int e = 0;
    if (x < 0x1p-1022) {
        x *= 0x1p54;
        e = -54;
    }
    const u64 bits = bitsOf(x);
    e += int(bits >> 52) - 1023;
    double m = doubleFromBits((bits & ((u64(1) << 52) - 1)) | (u64(1023) << 52));
    if (m > 0x1.6a09e667f3bcdp+0) {
        m *= 0.5;
        ++e;
    }
    const int i = int((m - 1.0) * 32.0 + 16.5) - 16;
    const double c = 1.0 + i * 0.03125;
    const DD u = divide(DD{m - c, 0.0}, twoSum(m, c));  // m - c is exact
    const DD u2 = multiply(u, u);
    const DD atanh2 = add(DD{2.0 * u.hi, 2.0 * u.lo}, multiply(multiply(u, u2), horner(atanhTaylor, u2)));
    return add(multiply(ln2, double(e)), add(logOfThirtySeconds[i + 9], atanh2));
}

// exp p = s 2^k: p = n ln2/32 + r with ln2/32 in three parts (the first 36 bits long, so n times it is
// exact), |r| <= 0.0109; exp r by Taylor series to r^12 (truncated below 2^-106), s = 2^(j/32) exp r.
DD expOf(DD p, int& k) {
    constexpr double thirtyTwoOverLn2 = 0x1.71547652b82fep+5;
    constexpr double ln2Over32[3] = {0x1.62e42fefa0000p-6, 0x1.cf79abc9e3b3ap-45, -0x1.ff0342542fc33p-99};
    const double scaled = p.hi * thirtyTwoOverLn2;
    const int n = int(scaled + (scaled < 0.0 ? -0.5 : 0.5));
    DD r = add(DD{p.hi - n * ln2Over32[0], 0.0}, p.lo);  // exact subtraction
    r = add(r, negated(twoProduct(double(n), ln2Over32[1])));
    r = add(r, -(n * ln2Over32[2]));
    const DD e = add(add(multiply(multiply(r, r), horner(expTaylor, r)), r), 1.0);
    const int j = n & 31;
    k = (n - j) / 32;
    return multiply(exp2ThirtySeconds[j], e);
}

// x^n exactly for a whole n when the odd part of x's significand, to the n-th power, fits in 106 bits:
// these include the results that lie exactly halfway between two doubles.
bool exactWholePower(double x, double y, double& out) {
    if (!(y >= 2.0 && y <= 106.0) || double(int(y)) != y || x < 0x1p-1022) return false;
    const int n = int(y);
    const u64 bits = bitsOf(x);
    u64 m = (bits & ((u64(1) << 52) - 1)) | (u64(1) << 52);
    int e = int(bits >> 52) - 1075;
    const int zeros = __builtin_ctzll(m);
    m >>= zeros;
    e += zeros;
    if ((64 - __builtin_clzll(m)) * n > 106) return false;
    u128 v = 1;
    for (int i = 0; i < n; ++i) v *= m;
    const u64 low53 = (u64(1) << 53) - 1;
    out = roundScaled(fastTwoSum(double(u64(v >> 53)) * 0x1p53, double(u64(v) & low53)), e * n);
    return true;
}

double powOfPositive(double x, double y) {
    if (x == 1.0) return 1.0;
    if (y == 0.5) return std::sqrt(x);  // correctly rounded by IEEE-754, ties near squares included
    double out;
    if (exactWholePower(x, y, out)) return out;
    const double infinity = std::numeric_limits<double>::infinity();
    const bool growing = (x > 1.0) == (y > 0.0);
    if (magnitude(y) > 0x1p900) return growing ? infinity : 0.0;  // |y log x| > 2^846
    const DD p = multiply(logOf(x), y);
    if (p.hi > 710.0) return infinity;
    if (p.hi < -746.0) return 0.0;
    int k;
    const DD s = expOf(p, k);
    roundedIfClear(s, powTolerance, k, out);
    return out;
}

// Within 2^-40 of 1, log(1 + e) = e - e^2/2 + e^3/3 - ...: with e holding at most 13 bits, e - e^2/2 is
// exact in double-double and lies 2^-107 or more from any point halfway between two doubles unless it is
// one; the rest, below 2^-120 and of e's sign, then breaks the tie.
double logNearOne(double e) {
    const DD a = twoSum(e, -0.5 * (e * e));
    const double tieBreak = magnitude(a.lo) * (e > 0.0 ? 0x1p-50 : -0x1p-50);
    return a.hi + (a.lo + tieBreak);
}

}  // namespace

double log(double x) {
    if (x != x) return x;
    if (x == 0.0) return -std::numeric_limits<double>::infinity();
    if (x < 0.0) return std::numeric_limits<double>::quiet_NaN();
    if (!isFinite(x)) return x;
    if (magnitude(x - 1.0) < 0x1p-40) return logNearOne(x - 1.0);
    double out;
    roundedIfClear(logOf(x), accurateTolerance, 0, out);
    return out;
}

// Special cases as C's pow: y = 0 or x = 1 give 1 even for NaN; a negative x needs a whole y, and an odd
// whole y keeps its sign.
double pow(double x, double y) {
    if (y == 0.0 || x == 1.0) return 1.0;
    if (x != x || y != y) return x + y;
    const double infinity = std::numeric_limits<double>::infinity();
    const double ax = magnitude(x), ay = magnitude(y);
    if (ay == infinity) {
        if (ax == 1.0) return 1.0;
        return (ax < 1.0) == (y > 0.0) ? 0.0 : infinity;
    }
    const bool whole = ay >= 0x1p52 || double(std::int64_t(ay)) == ay;
    const bool odd = whole && ay < 0x1p53 && (std::int64_t(ay) & 1);
    const bool negate = signBit(x) && odd;
    double r;
    if (ax == 0.0) {
        r = y < 0.0 ? infinity : 0.0;
    } else if (ax == infinity) {
        r = y < 0.0 ? 0.0 : infinity;
    } else if (signBit(x) && !whole) {
        return std::numeric_limits<double>::quiet_NaN();
    } else {
        r = powOfPositive(ax, y);
    }
    return negate ? -r : r;
}

}  // namespace exact
