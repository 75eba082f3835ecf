// The bypass probe: a 1 kHz sine at -6 dBFS (the right channel a third of a cycle later) at
// 48 kHz, processed for half a second, bypassed at a block boundary for a quarter, processed
// again. A click shows as a sample-to-sample step larger than the steady signal's: each
// ratio is the largest step in the 20 ms after a switch over the largest step of the
// steady signals around it (the processed one before bypass, the bypassed one before the
// way back).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "engine/circle.h"

struct BypassProbe {
    static constexpr double rate = 48000.0;
    static constexpr uint32_t onAt = 94 * 256, offAt = 141 * 256, frames = 188 * 256;
    static constexpr uint32_t window = 960;  // 20 ms
    static constexpr uint32_t fadeFrames = 480;  // 10 ms: from here on bypass is the input alone

    std::vector<float> in[2], out[2];

    // process(in, out, frames, switchAt, bypassed): one block in the format's own host, with
    // the switch to `bypassed` at frame switchAt of the block (-1: none). Blocks of 256 switch
    // at their boundaries; other sizes inside a block.
    template <typename Process>
    explicit BypassProbe(Process process, uint32_t block = 256) {
        for (int c = 0; c < 2; ++c) {
            in[c].resize(frames), out[c].resize(frames);
            for (uint32_t i = 0; i < frames; ++i)
                in[c][i] = static_cast<float>(0.5 * std::sin(circle::twoPi * (1000.0 * i / rate + c / 3.0)));
        }
        for (uint32_t at = 0; at < frames; at += block) {
            const uint32_t n = std::min(block, frames - at);
            const float* blockIn[2] = {&in[0][at], &in[1][at]};
            float* blockOut[2] = {&out[0][at], &out[1][at]};
            const bool on = onAt >= at && onAt < at + n, off = offAt >= at && offAt < at + n;
            process(blockIn, blockOut, n, on ? int32_t(onAt - at) : off ? int32_t(offAt - at) : -1, on);
        }
    }

    double largestStep(uint32_t from, uint32_t to) const {
        double largest = 0.0;
        for (const auto& channel : out)
            for (uint32_t i = from; i < to; ++i)
                largest = std::max(largest, std::fabs(double(channel[i]) - double(channel[i - 1])));
        return largest;
    }

    // Both ratios at most 1.1 (printed), and after the fade the input `latency` frames back.
    void expectClickFree(const char* host, uint32_t latency) const {
        const double steady = std::max(largestStep(onAt - window, onAt), largestStep(offAt - window, offAt));
        const double on = largestStep(onAt, onAt + window) / steady, off = largestStep(offAt, offAt + window) / steady;
        std::printf("%s: bypass on %.3f, off %.3f\n", host, on, off);
        EXPECT_LE(on, 1.1);
        EXPECT_LE(off, 1.1);
        for (int c = 0; c < 2; ++c)
            for (uint32_t i = onAt + fadeFrames; i < offAt; ++i) ASSERT_EQ(out[c][i], in[c][i - latency]) << i;
    }
};
