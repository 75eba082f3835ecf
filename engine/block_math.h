// tanh and sin over whole arrays for the block kernels, on lanes of V: within an ulp or two
// of the C library; the lanes they cannot take (not a number, very large) go to the library.
// Every lane is computed by the same operations whatever the width, so the kernels of every
// width give the very same bits.
#pragma once

#include <cmath>

#include "engine/lanes.h"

namespace blockmath {
namespace {

// Adding and subtracting 1.5·2^52 rounds to the nearest integer and leaves that integer in
// the low bits of the sum.
constexpr double roundingShift = 6755399441055744.0;

// e^y for |y| up to about 700 as a fraction scale·top/bottom, so that a caller can fold the
// division into its own: y = k·ln2 + r with |r| ≤ ln2/2, e^r = 1 + 2r/(2 − c) with c the
// rational approximation's remainder, and scale = 2^k put together in the exponent bits.
template <class V>
struct ExponentialFraction {
    V scale, top, bottom;
};

template <class V>
[[gnu::always_inline]] inline ExponentialFraction<V> exponentialFraction(V y) {
    constexpr double inverseLn2 = 1.44269504088896338700e+00;
    constexpr double ln2High = 6.93147180369123816490e-01;
    constexpr double ln2Low = 1.90821492927058770002e-10;
    constexpr double P1 = 1.66666666666666019037e-01, P2 = -2.77777777770155933842e-03,
                     P3 = 6.61375632143793436117e-05, P4 = -1.65339022054652515390e-06,
                     P5 = 4.13813679705723846039e-08;
    const V shifted = y * inverseLn2 + roundingShift;
    const V k = shifted - roundingShift;
    const V r = (y - k * ln2High) - k * ln2Low;
    const V t = r * r;
    const V c = r - t * (P1 + t * (P2 + t * (P3 + t * (P4 + t * P5))));
    const V bottom = 2.0 - c;
    const BitsOf<V> scaleBits = (toBits(shifted) + 1023) << 52;
    return {fromBits<V>(scaleBits), bottom + (r + r), bottom};
}

constexpr double tanhSaturation = 20.0;  // beyond this tanh is ±1 in double

// tanh for lanes that are numbers: a rational approximation below 0.625,
// (e^2|x| − 1)/(e^2|x| + 1) above with the exponential's own division folded in (one
// division for every lane and both ranges), ±1 beyond 20.
template <class V>
[[gnu::always_inline]] inline V tanhLanes(V x) {
    constexpr double P0 = -9.64399179425052238628e-1, P1 = -9.92877231001918586564e1,
                     P2 = -1.61468768441708447952e3;
    constexpr double Q0 = 1.12811678491632931402e2, Q1 = 2.23548839060100448583e3,
                     Q2 = 4.84406305325125486048e3;
    const V magnitude = absolute(x);
    const MaskOf<V> small = magnitude < 0.625;
    const MaskOf<V> belowSaturation = magnitude < tanhSaturation;
    const V z = x * x;
    const V rationalTop = z * (-P2 + z * (-P1 + z * -P0));
    const V rationalBottom = Q2 + z * (Q1 + z * (Q0 + z));
    const V clipped = select(belowSaturation, magnitude, broadcast<V>(tanhSaturation));
    const ExponentialFraction<V> e = exponentialFraction(clipped + clipped);
    const V scaledTop = e.scale * e.top;
    const V quotient = select(small, rationalTop, scaledTop - e.bottom) /
                       select(small, rationalBottom, scaledTop + e.bottom);
    const V large = select(belowSaturation, quotient, broadcast<V>(1.0));
    const BitsOf<V> signBit = toBits(x) & INT64_MIN;
    // Worked on |x|, the sign put back last: tanh(−0) is −0.
    const V result = select(small, magnitude - magnitude * quotient, large);
    return fromBits<V>(toBits(result) | signBit);
}

// sin for |x| up to sinReach: x = j·π/2 + r in three parts, then the sine or cosine
// polynomial of r by the quadrant.
constexpr double sinReach = 1e5;

template <class V>
[[gnu::always_inline]] inline V sinLanes(V x) {
    constexpr double twoOverPi = 6.36619772367581382433e-01;
    constexpr double halfPi1 = 1.57079632673412561417e+00;  // first 33 bits of π/2
    constexpr double halfPi1Tail = 6.07710050650619224932e-11;
    constexpr double S1 = -1.66666666666666324348e-01, S2 = 8.33333333332248946124e-03,
                     S3 = -1.98412698298579493134e-04, S4 = 2.75573137070700676789e-06,
                     S5 = -2.50507602534068634195e-08, S6 = 1.58969099521155010221e-10;
    constexpr double C1 = 4.16666666666666019037e-02, C2 = -1.38888888888741095749e-03,
                     C3 = 2.48015872894767294178e-05, C4 = -2.75573143513906633035e-07,
                     C5 = 2.08757232129817482790e-09, C6 = -1.13596475577881948265e-11;
    const V shifted = x * twoOverPi + roundingShift;
    const V j = shifted - roundingShift;
    const V r = (x - j * halfPi1) - j * halfPi1Tail;
    const BitsOf<V> quadrant = toBits(shifted) & 3;

    const V z = r * r;
    const V w = z * z;
    const V sr = S2 + z * (S3 + z * S4) + z * w * (S5 + z * S6);
    const V sine = r + (z * r) * (S1 + z * sr);
    const V cr = z * (C1 + z * (C2 + z * C3)) + w * w * (C4 + z * (C5 + z * C6));
    const V hz = 0.5 * z;
    const V oneMinus = 1.0 - hz;
    const V cosine = oneMinus + (((1.0 - oneMinus) - hz) + z * cr);

    const BitsOf<V> negate = (quadrant & 2) << 62;
    if constexpr (isScalar<V>)
        return fromBits<V>(toBits((quadrant & 1) != 0 ? cosine : sine) ^ negate);
    else
        return fromBits<V>(toBits(select((quadrant & 1) != 0, cosine, sine)) ^ negate);
}

template <class V, V (*lanesFunction)(V), double (*libraryFunction)(double)>
[[gnu::always_inline]] inline void applyLanes(double* values, int at, double reach) {
    const V x = load<V>(values + at);
    V y = lanesFunction(x);
    if constexpr (isScalar<V>) {
        if (!(absolute(x) <= reach)) y = libraryFunction(x);
    } else {
        const MaskOf<V> outside = invert(absolute(x) <= reach);
        if (anyLane(outside))
            for (int lane = 0; lane < laneCount<V>; ++lane)
                if (outside[lane]) y[lane] = libraryFunction(x[lane]);
    }
    store(values + at, y);
}

inline double libraryTanh(double x) { return std::tanh(x); }
inline double librarySin(double x) { return std::sin(x); }

// In place over count values, Wide lanes at a time and the rest one by one.
template <class Wide>
[[gnu::noinline]] void tanhBlock(double* values, int count) {
    // Infinities are within reach of tanh (they saturate); only not-a-number leaves it.
    overLanes<Wide>(count, [values]<class V>(int i) {
        applyLanes<V, tanhLanes<V>, libraryTanh>(values, i, INFINITY);
    });
}

template <class Wide>
[[gnu::noinline]] void sinBlock(double* values, int count) {
    overLanes<Wide>(count, [values]<class V>(int i) {
        applyLanes<V, sinLanes<V>, librarySin>(values, i, sinReach);
    });
}

}  // namespace
}  // namespace blockmath
