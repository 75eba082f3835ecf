// One second-order recursive section in transposed direct form II, in double precision,
// with the guard that resets a section whose output or state stops being finite and the
// flush that keeps denormals out of the state.
#pragma once

#include <cmath>

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

// A comparison rather than std::isfinite: not-a-number fails it as well as infinity.
inline bool withinFiniteRange(double v) { return std::fabs(v) <= largestFiniteDouble; }

inline double flushTiny(double v) { return std::fabs(v) < stateFlushThreshold ? 0.0 : v; }

inline double step(FilterSection& section, double x) {
    const double y = section.b0 * x + section.z1;
    const double newZ2 = section.b2 * x - section.a2 * y;
    const double newZ1 = section.z2 + (section.b1 * x - section.a1 * y);
    if (!withinFiniteRange(y) || !withinFiniteRange(newZ1) || !withinFiniteRange(newZ2)) {
        section.z1 = 0.0;
        section.z2 = 0.0;
        return x;
    }
    section.z1 = flushTiny(newZ1);
    section.z2 = flushTiny(newZ2);
    return y;
}

// The design frequency after the 0.49·fs limit and the 10 Hz floor.
double limitedDesignFrequency(double f, double fs);

void designLowPass(FilterSection& section, double f, double fs);
void designHighPass(FilterSection& section, double f, double fs);
void designPeaking(FilterSection& section, double f, double fs);
// A fourth-order Linkwitz-Riley crossover: two low-pass sections and two high-pass ones.
void designCrossover(FilterSection (&lowPair)[2], FilterSection (&highPair)[2], double f,
                     double fs);
