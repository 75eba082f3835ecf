// The Bypass parameter in the tests' CLAP host: switching it fades between the processed
// signal and the input without a click, both ways, and it takes effect at its event's frame.
#include <gtest/gtest.h>

#include <cstdio>
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
    std::printf("CLAP: bypass on %.3f, off %.3f\n", probe.ratioOn(), probe.ratioOff());
    EXPECT_LE(probe.ratioOn(), 1.1);
    EXPECT_LE(probe.ratioOff(), 1.1);
    EXPECT_EQ(probe.notTheDelayedInput(0), 0u);
}

// Bypass on at frame 1000 and off at 3000 of one block, against the same block without.
TEST(ClapBypass, ChangesInsideABlockTakeEffectAtTheirFrame) {
    ClapLibrary library;
    ClapPlugin switched(library), steady(library);
    std::vector<float> in[2], out[2][2];
    for (int c = 0; c < 2; ++c) {
        in[c].resize(4096);
        for (uint32_t i = 0; i < 4096; ++i) in[c][i] = static_cast<float>(0.5 * std::sin(0.13 * i + c));
    }
    EventList events;
    events.add(1000, bypassId, 1.0);
    events.add(3000, bypassId, 0.0);
    for (int k = 0; k < 2; ++k) {
        ClapPlugin& p = k ? steady : switched;
        ASSERT_TRUE(p.activate(48000.0));
        float* ins[2] = {in[0].data(), in[1].data()};
        for (auto& channel : out[k]) channel.assign(4096, 0.0f);
        float* outs[2] = {out[k][0].data(), out[k][1].data()};
        p.process(ins, outs, 4096, k ? nullptr : &events);
    }
    for (int c = 0; c < 2; ++c) {
        for (uint32_t i = 0; i < 1000; ++i) ASSERT_EQ(out[0][c][i], out[1][c][i]) << i;
        EXPECT_NE(out[0][c][1000], out[1][c][1000]);
        EXPECT_NE(out[0][c][1000], in[c][1000]);
        for (uint32_t i = 1000 + BypassProbe::fadeFrames; i < 3000; ++i) ASSERT_EQ(out[0][c][i], in[c][i]) << i;
        EXPECT_NE(out[0][c][3000], in[c][3000]);
    }
}

}  // namespace
