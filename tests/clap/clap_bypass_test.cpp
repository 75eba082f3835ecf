// The Bypass parameter in the tests' CLAP host: switching it fades between the processed
// signal and the input without a click, both ways, and it takes effect at its event's frame.
#include <gtest/gtest.h>

#include <vector>

#include "clap/clap_test_host.h"
#include "support/bypass_probe.h"

namespace {

constexpr clap_id bypassId = 7;

TEST(ClapBypass, SwitchingDoesNotClickAndEndsInTheInput) {
    ClapLibrary library;
    ClapPlugin p(library);
    ASSERT_TRUE(p.activate(BypassProbe::rate));
    bool wasBypassed = false;
    const BypassProbe probe([&](const float* const* in, float* const* out, uint32_t frames, bool bypassed) {
        EventList events;
        if (bypassed != wasBypassed) events.add(0, bypassId, bypassed ? 1.0 : 0.0);
        wasBypassed = bypassed;
        p.process(const_cast<float* const*>(in), out, frames, &events);
    });
    probe.expectClickFree("CLAP", 0);
}

TEST(ClapBypass, ChangesInsideABlockTakeEffectAtTheirFrame) {
    ClapLibrary library;
    ClapPlugin switched(library), steady(library);
    const BypassInsideABlock block;
    std::vector<float> out[2][2];
    EventList events;
    events.add(block.onAt, bypassId, 1.0);
    events.add(block.offAt, bypassId, 0.0);
    for (int k = 0; k < 2; ++k) {
        ClapPlugin& p = k ? steady : switched;
        ASSERT_TRUE(p.activate(48000.0));
        float* ins[2] = {const_cast<float*>(block.in[0].data()), const_cast<float*>(block.in[1].data())};
        for (auto& channel : out[k]) channel.assign(block.frames, 0.0f);
        float* outs[2] = {out[k][0].data(), out[k][1].data()};
        p.process(ins, outs, block.frames, k ? nullptr : &events);
    }
    block.expectTakenAtTheirFrames(out[0], out[1]);
}

}  // namespace
