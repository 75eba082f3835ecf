// Audio blocks for the robustness tests: loud, busy stereo material, the buffer layouts a
// host may hand over, and the output promise every processed block must keep.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "host/vst2_abi.h"

constexpr float promisedOutputLimit = 0.98f;

// Full-scale sines in all three bands plus noise; the right channel is detuned so the side
// signal is busy too. gain scales the whole signal (values far beyond 1 are welcome).
struct StressSignal {
    uint32_t seed = 0x9e3779b9u;
    double frame = 0.0;

    float noise() {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return static_cast<float>(seed) / 2147483648.0f - 1.0f;
    }
    void fill(float* left, float* right, int32_t frames, double rate, float gain = 1.0f) {
        constexpr double twoPi = 6.283185307179586;
        for (int32_t i = 0; i < frames; ++i, frame += 1.0) {
            const double t = frame / rate;
            const double low = std::sin(twoPi * 55.0 * t), mid = std::sin(twoPi * 900.0 * t);
            const double high = std::sin(twoPi * 7000.0 * t);
            left[i] = gain * static_cast<float>(0.5 * low + 0.3 * mid + 0.2 * high) + 0.05f * gain * noise();
            right[i] = gain * static_cast<float>(0.4 * low - 0.4 * std::sin(twoPi * 905.0 * t) + 0.2 * high) +
                       0.05f * gain * noise();
        }
    }
};

enum class BufferLayout { separate, inPlace, crossed, sharedInput };
constexpr BufferLayout allLayouts[] = {BufferLayout::separate, BufferLayout::inPlace,
                                       BufferLayout::crossed, BufferLayout::sharedInput};

// Two input and two output channels of one block, wired as the layout says. For crossed
// buffers the left output is written over the right input and the other way round.
struct StereoBlock {
    std::vector<float> a, b, c, d;
    float* inputs[2];
    float* outputs[2];

    StereoBlock(int32_t frames, BufferLayout layout)
        : a(static_cast<size_t>(frames)), b(a.size()), c(a.size()), d(a.size()) {
        inputs[0] = a.data();
        inputs[1] = layout == BufferLayout::sharedInput ? a.data() : b.data();
        outputs[0] = c.data();
        outputs[1] = d.data();
        if (layout == BufferLayout::inPlace) outputs[0] = a.data(), outputs[1] = b.data();
        if (layout == BufferLayout::crossed) outputs[0] = b.data(), outputs[1] = a.data();
    }
    void process(AEffect* effect, int32_t frames) {
        effect->processReplacing(effect, inputs, outputs, frames);
    }
};

// Every sample finite and within ±0.98.
inline bool bounded(const float* const* outputs, int32_t frames) {
    for (int ch = 0; ch < 2; ++ch)
        for (int32_t i = 0; i < frames; ++i)
            if (!(std::fabs(outputs[ch][i]) <= promisedOutputLimit)) return false;
    return true;
}
