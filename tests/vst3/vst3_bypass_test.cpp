// The Bypass parameter in the tests' VST 3 host: switching it fades between the processed
// signal and the input without a click, both ways, and it takes effect at its point's offset.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/bypass_probe.h"
#include "vst3_test_host.h"

namespace {

constexpr ParamID bypassId = 7;

TEST(Vst3Bypass, SwitchingDoesNotClickAndEndsInTheInput) {
    Vst3Module module;
    Vst3Instance plugin(module, BypassProbe::rate);
    bool wasBypassed = false;
    const BypassProbe probe([&](const float* const* in, float* const* out, uint32_t frames, bool bypassed) {
        for (int c = 0; c < 2; ++c) std::copy(in[c], in[c] + frames, out[c]);
        ParameterChanges change{{bypassId, {{0, bypassed ? 1.0 : 0.0}}}};
        plugin.process(out[0], out[1], static_cast<int32_t>(frames), bypassed != wasBypassed ? &change : nullptr);
        wasBypassed = bypassed;
    });
    probe.expectClickFree("VST 3", 0);
}

TEST(Vst3Bypass, ChangesInsideABlockTakeEffectAtTheirOffset) {
    Vst3Module module;
    Vst3Instance switched(module, 48000.0), steady(module, 48000.0);
    const BypassInsideABlock block;
    std::vector<float> out[2][2];
    ParameterChanges changes{{bypassId, {{int32_t{block.onAt}, 1.0}, {int32_t{block.offAt}, 0.0}}}};
    for (int k = 0; k < 2; ++k) {
        out[k][0] = block.in[0], out[k][1] = block.in[1];
        (k ? steady : switched).process(out[k][0].data(), out[k][1].data(), block.frames, k ? nullptr : &changes);
    }
    block.expectTakenAtTheirFrames(out[0], out[1]);
}

}  // namespace
