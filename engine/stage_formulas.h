// Every stage's arithmetic, written once over the lane type V: a double for the literal path,
// a vector of doubles for the block kernels. Each stage that needs tanh or sin is split at
// that call into an argument and a result, so that the literal path calls the C library on
// one value and the kernels call their block routines on a whole chunk in between.
//
// Both paths do the very same operations in the same order, except at three places where the
// kernels round once where the literal path rounds twice; those are the Rounding policy
// below (AsWritten for the literal path, Folded for the kernels), and nowhere else.
#pragma once

#include <cmath>

#include "engine/block_settings.h"
#include "engine/circle.h"
#include "engine/filter_section.h"
#include "engine/lanes.h"

constexpr double tubeSilenceThreshold = 1e-12;
constexpr double outputLimit = 0.98;

template <class V>
struct TubeQuotients {
    V saturation;  // u/(|u| + 1)
    V softening;   // 1/(|u|/4 + 1)
};

// The literal path's rounding: each operation as the formula writes it.
struct AsWritten {
    static double threeHalvesPower(double m) { return std::pow(m, 1.5); }

    template <class V>
    static TubeQuotients<V> tubeQuotients(V u, V magnitude) {
        return {u / (magnitude + 1.0), 1.0 / (0.25 * magnitude + 1.0)};
    }

    // (116x² − 0.00375)·100/20/580, three roundings.
    template <class V>
    static V glueLevel(V x) {
        return (((116.0 * x * x - 0.00375) * 100.0) / 20.0) / 580.0;
    }
};

// The kernels' rounding, where pow and division cost most; each result is within an ulp or
// two of AsWritten's and the output within far less than a float's step:
// - m^1.5 as m·√m (a square root is one instruction, pow a library call);
// - the tube's two quotients from one division, 1/((|u| + 1)(|u|/4 + 1)), multiplied back;
// - the glue level's ·100/20/580 as one factor 5/580.
struct Folded {
    template <class V>
    static V threeHalvesPower(V m) {
        return m * squareRoot(m);
    }

    template <class V>
    static TubeQuotients<V> tubeQuotients(V u, V magnitude) {
        const V first = magnitude + 1.0, second = 0.25 * magnitude + 1.0;
        const V inverse = 1.0 / (first * second);
        return {u * (second * inverse), first * inverse};
    }

    template <class V>
    static V glueLevel(V x) {
        return (116.0 * x * x - 0.00375) * (5.0 / 580.0);
    }
};

namespace formula {
namespace {

// --- Control signals -------------------------------------------------------------------

template <class V>
inline V modulatorDepth(V lfoValue, V crest) {
    return (0.08 * lfoValue) / (absolute(crest) + 1.0);
}

// The side signal's widening factor, at least 1; widthTanh is tanh(|lfoValue|).
template <class V>
inline V widthArgument(V lfoValue) {
    return absolute(lfoValue);
}

template <class V>
inline V widthResult(V levelCubic, V widthTanh) {
    return (0.2 * levelCubic + 1.0) * (widthTanh * 0.25) + 1.0;
}

// --- Momentum: the low band ------------------------------------------------------------

// Momentum's drive k = 26.67·Momentum·81, once per block.
inline double momentumDrive(double momentum) { return (26.666666666666668 * momentum) * 81.0; }

// The low band boosted by its own level: x·(k·|x|^1.5·81·3e-5 + 1), |x| capped at 1.
template <class Rounding, class V>
inline V momentumBoost(V x, double k) {
    const V magnitude = absolute(x);
    const V p = Rounding::threeHalvesPower(select(magnitude < 1.0, magnitude, broadcast<V>(1.0)));
    return x * (((k * p) * 81.0) * 3e-5 + 1.0);
}

// The boosted peak follower; a value that is not finite leaves it where it was.
template <class V>
inline V followLowPeak(V y, V lowPeak, V release) {
    const V peakIn = absolute(y);
    const V followed = select(peakIn > lowPeak, peakIn, lowPeak * release + (1.0 - release) * peakIn);
    return select(withinFiniteRange(y), followed, lowPeak);
}

// The soft limiter above a followed peak of 0.7.
template <class V>
inline V momentumLimit(V y, V lowPeak) {
    return select(lowPeak > 0.7, y * (0.85 + (0.7 / lowPeak) * 0.15), y);
}

// --- Tube: the mid band ----------------------------------------------------------------

// The gain in front of the shaper, from the control signals of the frame.
template <class V>
inline V tubeDrive(V crestSoftener, V lfoDepth, double driveFactor) {
    return ((0.2 * crestSoftener + 0.85) * (0.35 * lfoDepth + 1.0)) * driveFactor;
}

// The shaper's tanh argument for the positive half-wave of u = K·m (on u) ...
template <class V>
inline V tubePositiveArgument(const BlockConstants& c, V u, V softening, V a, V levelCubic) {
    const V cube = (u * u) * u;
    const V shaped = (c.w * softening) * cube + (a - cube * c.wOverSix);
    return c.tubeBiasPositive * u + shaped * 0.2 * (0.5 * levelCubic + 1.0);
}

// ... and for the negative one (on |u|, the result's sign put back by tubeResult).
template <class V>
inline V tubeNegativeArgument(const BlockConstants& c, V u, V magnitude, V a, V levelSquare) {
    const V shaped = (c.wCubedTerm - u * u) + (a - c.wOverSix * magnitude);
    return c.tubeBiasNegative * magnitude + shaped * 0.2 * (0.5 * levelSquare + 1.0);
}

template <class Rounding, class V>
inline V tubeArgument(const BlockConstants& c, V m, V K, V levelCubic, V levelSquare) {
    const V u = K * m;
    const V magnitude = absolute(u);
    const TubeQuotients<V> q = Rounding::tubeQuotients(u, magnitude);
    const V a = ((q.saturation * q.saturation) * 162.51651148859455) * 0.01;
    if constexpr (isScalar<V>) {
        return u >= 0.0 ? tubePositiveArgument(c, u, q.softening, a, levelCubic)
                        : tubeNegativeArgument(c, u, magnitude, a, levelSquare);
    } else {
        return select(u >= 0.0, tubePositiveArgument(c, u, q.softening, a, levelCubic),
                      tubeNegativeArgument(c, u, magnitude, a, levelSquare));
    }
}

// From tanh of the argument: the sign of u is the sign of m (K is positive), and values
// below the silence threshold pass unchanged.
template <class V>
inline V tubeResult(V m, V argumentTanh) {
    return select(absolute(m) < tubeSilenceThreshold, m,
                  select(m >= 0.0, argumentTanh, -argumentTanh));
}

// --- 172 Sieve: the high band ----------------------------------------------------------

template <class V>
inline V sieveArgument(V h) {
    return ((absolute(h) * 172.0) * circle::pi) * 0.01;
}

template <class V>
inline V sieveResult(V h, V argumentSin, double sieve) {
    return h * (1.0 - (argumentSin * 0.06) * sieve);
}

// --- Recombination ---------------------------------------------------------------------

template <class V>
inline V bandSum(V mid, V low, V high) {
    return (mid + low) + high;
}

constexpr double halfSqrt2 = 0.7071067811865475;

struct WetPair {
    double left, right;
};

// Mid and side of the two band sums, the side through filterSide (the side high-pass and
// presence sections) and widened.
template <class FilterSide>
inline WetPair recombine(double sumL, double sumR, double width, FilterSide&& filterSide) {
    const double midSignal = (sumL + sumR) * halfSqrt2;
    const double sideSignal = (sumL - sumR) * halfSqrt2;
    const double side = width * filterSide(sideSignal);
    return {(midSignal + side) * halfSqrt2, (midSignal - side) * halfSqrt2};
}

// --- 580 Glue and the output -----------------------------------------------------------

template <class Rounding, class V>
inline V glueGain(V x) {
    const V level = Rounding::glueLevel(x);
    const MaskOf<V> saturated = invert(level < 4.0);
    const V a = select(saturated, broadcast<V>(4.0), level);
    return select(either(saturated, a > 0.0), 1.0 / ((0.15 * a) * a + 1.0), broadcast<V>(1.0));
}

// 580 Glue's drive d = 0.3·Glue + 1, once per block.
inline double glueDrive(double glue) { return 0.3 * glue + 1.0; }

template <class V>
inline V glueArgument(V x, double glueDrive) {
    return glueDrive * x;
}

template <class Rounding, class V>
inline V glueResult(V x, V argumentTanh, double glue) {
    return x * (1.0 - glue) + (argumentTanh * glueGain<Rounding>(x)) * glue;
}

template <class V>
inline V mixOutput(const BlockConstants& c, V wet, V dry) {
    return (c.mix * wet + dry * c.dryShare) * c.outputGain;
}

// Clamped to ±0.98; not-a-number fails the first test and becomes +0.98.
template <class V>
inline V clampOutput(V v) {
    const V upper = select(v < outputLimit, v, broadcast<V>(outputLimit));
    return select(upper > -outputLimit, upper, broadcast<V>(-outputLimit));
}

}  // namespace
}  // namespace formula
