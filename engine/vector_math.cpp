#include "engine/vector_math.h"

#include <cmath>

namespace {

// Adding and subtracting 1.5·2^52 rounds to the nearest integer and leaves that integer in
// the low bits of the sum.
constexpr double roundingShift = 6755399441055744.0;

// e^y for |y| up to about 700 as a fraction scale·top/bottom, so that a caller can fold the
// division into its own: y = k·ln2 + r with |r| ≤ ln2/2, e^r = 1 + 2r/(2 − c) with c the
// rational approximation's remainder, and scale = 2^k put together in the exponent bits.
struct ExponentialFraction {
    Double2 scale, top, bottom;
};

[[gnu::always_inline]] inline ExponentialFraction exponentialFraction(Double2 y) {
    constexpr double inverseLn2 = 1.44269504088896338700e+00;
    constexpr double ln2High = 6.93147180369123816490e-01;
    constexpr double ln2Low = 1.90821492927058770002e-10;
    constexpr double P1 = 1.66666666666666019037e-01, P2 = -2.77777777770155933842e-03,
                     P3 = 6.61375632143793436117e-05, P4 = -1.65339022054652515390e-06,
                     P5 = 4.13813679705723846039e-08;
    const Double2 shifted = y * inverseLn2 + roundingShift;
    const Double2 k = shifted - roundingShift;
    const Double2 r = (y - k * ln2High) - k * ln2Low;
    const Double2 t = r * r;
    const Double2 c = r - t * (P1 + t * (P2 + t * (P3 + t * (P4 + t * P5))));
    const Double2 bottom = 2.0 - c;
    const Mask2 scaleBits = (doubleToBits(shifted) + 1023) << 52;
    return {bitsToDouble(scaleBits), bottom + (r + r), bottom};
}

constexpr double tanhSaturation = 20.0;  // beyond this tanh is ±1 in double

// tanh for lanes that are numbers: a rational approximation below 0.625,
// (e^2|x| − 1)/(e^2|x| + 1) above with the exponential's own division folded in (one
// division for both lanes and both ranges), ±1 beyond 20.
[[gnu::always_inline]] inline Double2 tanhPair(Double2 x) {
    constexpr double P0 = -9.64399179425052238628e-1, P1 = -9.92877231001918586564e1,
                     P2 = -1.61468768441708447952e3;
    constexpr double Q0 = 1.12811678491632931402e2, Q1 = 2.23548839060100448583e3,
                     Q2 = 4.84406305325125486048e3;
    const Double2 magnitude = absolute(x);
    const Mask2 small = magnitude < 0.625;
    const Double2 z = x * x;
    const Double2 rationalTop = z * (-P2 + z * (-P1 + z * -P0));
    const Double2 rationalBottom = Q2 + z * (Q1 + z * (Q0 + z));
    const Double2 clipped = select(magnitude < tanhSaturation, magnitude, splat(tanhSaturation));
    const ExponentialFraction e = exponentialFraction(clipped + clipped);
    const Double2 scaledTop = e.scale * e.top;
    const Double2 quotient = select(small, rationalTop, scaledTop - e.bottom) /
                             select(small, rationalBottom, scaledTop + e.bottom);
    const Double2 large = select(magnitude < tanhSaturation, quotient, splat(1.0));
    const Mask2 signBit = doubleToBits(x) & Mask2{INT64_MIN, INT64_MIN};
    // Worked on |x|, the sign put back last: tanh(−0) is −0.
    const Double2 result = select(small, magnitude - magnitude * quotient, large);
    return bitsToDouble(doubleToBits(result) | signBit);
}

// sin for |x| up to sinReach: x = j·π/2 + r in three parts, then the sine or cosine
// polynomial of r by the quadrant.
constexpr double sinReach = 1e5;

[[gnu::always_inline]] inline Double2 sinPair(Double2 x) {
    constexpr double twoOverPi = 6.36619772367581382433e-01;
    constexpr double halfPi1 = 1.57079632673412561417e+00;  // first 33 bits of π/2
    constexpr double halfPi1Tail = 6.07710050650619224932e-11;
    constexpr double S1 = -1.66666666666666324348e-01, S2 = 8.33333333332248946124e-03,
                     S3 = -1.98412698298579493134e-04, S4 = 2.75573137070700676789e-06,
                     S5 = -2.50507602534068634195e-08, S6 = 1.58969099521155010221e-10;
    constexpr double C1 = 4.16666666666666019037e-02, C2 = -1.38888888888741095749e-03,
                     C3 = 2.48015872894767294178e-05, C4 = -2.75573143513906633035e-07,
                     C5 = 2.08757232129817482790e-09, C6 = -1.13596475577881948265e-11;
    const Double2 shifted = x * twoOverPi + roundingShift;
    const Double2 j = shifted - roundingShift;
    const Double2 r = (x - j * halfPi1) - j * halfPi1Tail;
    const Mask2 quadrant = doubleToBits(shifted) & 3;

    const Double2 z = r * r;
    const Double2 w = z * z;
    const Double2 sr = S2 + z * (S3 + z * S4) + z * w * (S5 + z * S6);
    const Double2 sine = r + (z * r) * (S1 + z * sr);
    const Double2 cr = z * (C1 + z * (C2 + z * C3)) + w * w * (C4 + z * (C5 + z * C6));
    const Double2 hz = 0.5 * z;
    const Double2 oneMinus = 1.0 - hz;
    const Double2 cosine = oneMinus + (((1.0 - oneMinus) - hz) + z * cr);

    const Mask2 odd = (quadrant & 1) != 0;
    const Mask2 negate = (quadrant & 2) << 62;
    return bitsToDouble(doubleToBits(select(odd, cosine, sine)) ^ negate);
}

template <Double2 (*pairFunction)(Double2), double (*libraryFunction)(double)>
void applyToBlock(double* values, int count, double reach) {
    int i = 0;
    for (; i + 1 < count; i += 2) {
        const Double2 x = loadPair(values + i);
        const Mask2 outside = ~(absolute(x) <= reach);
        Double2 y = pairFunction(x);
        if (anyLane(outside))
            for (int lane = 0; lane < 2; ++lane)
                if (outside[lane]) y[lane] = libraryFunction(x[lane]);
        storePair(values + i, y);
    }
    if (i < count) {
        const double x = values[i];
        values[i] = std::fabs(x) <= reach ? pairFunction(Double2{x, 0.0})[0] : libraryFunction(x);
    }
}

double libraryTanh(double x) { return std::tanh(x); }
double librarySin(double x) { return std::sin(x); }

}  // namespace

// Infinities are within reach of tanh (they saturate); only not-a-number leaves it.
void tanhBlock(double* values, int count) {
    applyToBlock<tanhPair, libraryTanh>(values, count, INFINITY);
}

void sinBlock(double* values, int count) { applyToBlock<sinPair, librarySin>(values, count, sinReach); }
