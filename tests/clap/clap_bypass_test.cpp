// The Bypass parameter in the tests' CLAP host: switching it fades between the processed
// signal and the input without a click, both ways, and it takes effect at its event's frame.
#include <gtest/gtest.h>

#include "clap/clap_test_host.h"
#include "support/bypass_probe.h"

namespace {

BypassProbe probeIn(ClapLibrary& library, uint32_t block) {
    ClapPlugin p(library);
    EXPECT_TRUE(p.activate(BypassProbe::rate));
    return BypassProbe([&](const float* const* in, float* const* out, uint32_t frames, int32_t switchAt, bool bypassed) {
        EventList events;
        if (switchAt >= 0) events.add(static_cast<uint32_t>(switchAt), 7, bypassed ? 1.0 : 0.0);
        p.process(const_cast<float* const*>(in), out, frames, &events);
    }, block);
}

TEST(ClapBypass, SwitchingDoesNotClickAndTakesEffectAtItsFrame) {
    ClapLibrary library;
    const BypassProbe atBoundaries = probeIn(library, 256);
    atBoundaries.expectClickFree("CLAP", 0);
    const BypassProbe insideBlocks = probeIn(library, 1000);
    for (int c = 0; c < 2; ++c) EXPECT_EQ(insideBlocks.out[c], atBoundaries.out[c]);
}

}  // namespace
