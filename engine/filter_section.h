// One second-order recursive section in transposed direct form II, in double precision,
// with the guard that resets a section whose output or state stops being finite and the
// flush that keeps denormals out of the state.
#pragma once

#include <cmath>

#include "engine/lanes.h"

struct FilterSection {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
    double z1 = 0.0;
    double z2 = 0.0;
};

constexpr double largestFiniteDouble = 1.7976931348623157e308;
constexpr double stateFlushThreshold = 1e-15;

// The same section for lanes of V: several sections of one design side by side.
template <class V>
struct SectionLanes {
    V b0, b1, b2, a1, a2, z1, z2;
};

namespace {

// A comparison rather than std::isfinite: not-a-number fails it as well as infinity.
template <class V>
inline MaskOf<V> withinFiniteRange(V v) {
    return absolute(v) <= largestFiniteDouble;
}

// One step of a section (FilterSection or SectionLanes), each lane on its own: a lane whose
// output or state stops being finite is reset and passes its input; state words below the
// flush threshold become 0.
template <class Section, class V>
inline V stepSection(Section& s, V x) {
    const V y = s.b0 * x + s.z1;
    const V newZ2 = s.b2 * x - s.a2 * y;
    const V newZ1 = s.z2 + (s.b1 * x - s.a1 * y);
    const MaskOf<V> finite =
        both(both(withinFiniteRange(y), withinFiniteRange(newZ1)), withinFiniteRange(newZ2));
    const V zero = broadcast<V>(0.0);
    s.z1 = select(both(finite, absolute(newZ1) >= stateFlushThreshold), newZ1, zero);
    s.z2 = select(both(finite, absolute(newZ2) >= stateFlushThreshold), newZ2, zero);
    return select(finite, y, x);
}

inline double step(FilterSection& section, double x) { return stepSection(section, x); }

}  // namespace

// The design frequency after the 0.49·fs limit and the 10 Hz floor.
double limitedDesignFrequency(double f, double fs);

void designLowPass(FilterSection& section, double f, double fs);
void designHighPass(FilterSection& section, double f, double fs);
void designPeaking(FilterSection& section, double f, double fs);
// A fourth-order Linkwitz-Riley crossover: two low-pass sections and two high-pass ones.
void designCrossover(FilterSection (&lowPair)[2], FilterSection (&highPair)[2], double f,
                     double fs);
