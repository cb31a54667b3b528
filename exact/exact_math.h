// The core's transcendental functions, correctly rounded from IEEE-754 basic operations only, so that every
// platform and compiler gives the same bits (pairs with exact_math.cpp).
#pragma once

namespace exact {

// Single precision, correctly rounded (to nearest, ties to even): sinf and cosf checked for every float,
// atan2f for a billion pairs and proven wherever its double-double boundary test decides. atan2f treats
// zeros, infinities and NaN as C's atan2f does.
float sinf(float x);
float cosf(float x);
float atan2f(float y, float x);

// Double precision, evaluated in double-double and then rounded once: correctly rounded unless the exact
// result lies within a relative 2^-90 (pow: 2^-85) of a rounding boundary, which no test has met; log
// near 1, pow with y = 0.5 and whole powers that fit in 106 bits are exact even there. pow treats zeros,
// infinities, NaN and negative bases as C's pow does.
double sin(double x);
double cos(double x);
double log(double x);
double pow(double x, double y);

}  // namespace exact
