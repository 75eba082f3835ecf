// The one source of pseudo-random numbers for the tests, the benchmark and the renderer
// tests: a 32-bit linear congruential generator whose top 24 bits become the value, so every
// build on every platform draws the very same sequence.
#pragma once

#include <cstdint>

struct NoiseSource {
    uint32_t state;

    uint32_t nextWord() {
        state = state * 1664525u + 1013904223u;
        return state;
    }
    // Uniform in [0, 1) in steps of 2^-24.
    double unit() { return static_cast<double>(nextWord() >> 8) / 16777216.0; }
    // Uniform in [−0.5, 0.5).
    double centred() { return unit() - 0.5; }
    // Uniform in [−1, 1).
    double symmetric() { return static_cast<double>(nextWord() >> 8) / 8388608.0 - 1.0; }
};
