// A deterministic stereo test signal built from additions and multiplications only, so that
// Linux and Windows builds produce the very same input samples whatever their math library:
// a triangle bass, a sawtooth, noise bursts with decaying envelopes, and a stereo offset.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/noise.h"

inline void fillTestSignal(float* left, float* right, size_t frames, double fs, uint32_t seed) {
    NoiseSource source{seed * 2654435761u + 12345u};
    auto noise = [&source] { return source.symmetric(); };
    const double bassStep = 4.0 * 55.0 / fs, sawStep = 2.0 * 220.0 / fs;
    const size_t burstPeriod = static_cast<size_t>(fs / 4.0);
    double bass = 0.0, bassDirection = 1.0, saw = -1.0, envelope = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        bass += bassDirection * bassStep;
        if (bass > 1.0) { bass = 2.0 - bass; bassDirection = -1.0; }
        if (bass < -1.0) { bass = -2.0 - bass; bassDirection = 1.0; }
        saw += sawStep;
        if (saw > 1.0) saw -= 2.0;
        if (i % burstPeriod == 0) envelope = 1.0;
        envelope *= 0.9995;
        const double common = 0.45 * bass + 0.12 * saw;
        const double burst = 0.35 * envelope * noise();
        left[i] = static_cast<float>(common + burst + 0.02 * noise());
        right[i] = static_cast<float>(0.9 * common - 0.5 * burst + 0.02 * noise());
    }
}
