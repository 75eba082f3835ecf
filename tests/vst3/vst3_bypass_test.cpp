// The Bypass parameter in the tests' VST 3 host: switching it fades between the processed
// signal and the input without a click, both ways, and it takes effect at its point's offset.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/bypass_probe.h"
#include "vst3_test_host.h"

namespace {

BypassProbe probeIn(const Vst3Module& module, uint32_t block) {
    Vst3Instance plugin(module, BypassProbe::rate);
    return BypassProbe([&](const float* const* in, float* const* out, uint32_t frames, int32_t switchAt, bool bypassed) {
        for (int c = 0; c < 2; ++c) std::copy(in[c], in[c] + frames, out[c]);
        ParameterChanges change{{7, {{switchAt, bypassed ? 1.0 : 0.0}}}};
        plugin.process(out[0], out[1], static_cast<int32_t>(frames), switchAt >= 0 ? &change : nullptr);
    }, block);
}

TEST(Vst3Bypass, SwitchingDoesNotClickAndTakesEffectAtItsOffset) {
    Vst3Module module;
    const BypassProbe atBoundaries = probeIn(module, 256);
    atBoundaries.expectClickFree("VST 3", 0);
    const BypassProbe insideBlocks = probeIn(module, 1000);
    for (int c = 0; c < 2; ++c) EXPECT_EQ(insideBlocks.out[c], atBoundaries.out[c]);
}

}  // namespace
