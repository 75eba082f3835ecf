// The audio path through the built library: silence, bypass, buffer aliasing, block-size
// independence, bad input, sample-rate changes and resume. Runs on Linux and under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "host/plugin_instance.h"
#include "support/noise.h"
#include "support/plugin_library.h"
#include "support/test_signal.h"

namespace {

struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(size_t frames, float fill = 0.0f) : left(frames, fill), right(frames, fill) {}
    size_t frames() const { return left.size(); }
};

// Runs processReplacing over the whole signal in blocks of `block` frames.
Stereo render(AEffect* effect, const Stereo& input, size_t block) {
    Stereo output(input.frames(), 123.0f);
    for (size_t start = 0; start < input.frames(); start += block) {
        const size_t n = std::min(block, input.frames() - start);
        float* in[2] = {const_cast<float*>(&input.left[start]), const_cast<float*>(&input.right[start])};
        float* out[2] = {&output.left[start], &output.right[start]};
        effect->processReplacing(effect, in, out, static_cast<int32_t>(n));
    }
    return output;
}

Stereo signal(size_t frames, uint32_t seed = 1) {
    Stereo s(frames);
    fillTestSignal(s.left.data(), s.right.data(), frames, 44100.0, seed);
    return s;
}

bool bitIdentical(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

bool engineFinite(const EngineState& e) {
    auto finiteSection = [](const FilterSection& s) {
        return std::isfinite(s.z1) && std::isfinite(s.z2);
    };
    for (const BandSplit& b : e.bands)
        for (int i = 0; i < 2; ++i)
            if (!finiteSection(b.lowSplit[i]) || !finiteSection(b.highSplit[i]) ||
                !finiteSection(b.midSplit[i]) || !finiteSection(b.topSplit[i]))
                return false;
    for (const LowPeakFollower& f : e.lowPeakFollowers)
        if (!std::isfinite(f.lowPeak)) return false;
    return finiteSection(e.sideHighPass) && finiteSection(e.sidePresence) &&
           std::isfinite(e.level) && std::isfinite(e.slowLevel) && std::isfinite(e.peakNorm) &&
           std::isfinite(e.lfoPhase);
}

const EngineState& engineOf(AEffect* effect) {
    return static_cast<PluginInstance*>(effect->object)->engine;
}

class AudioPath : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(library.loaded()); }
    AEffect* fresh() {
        AEffect* e = library.create();
        created.push_back(e);
        return e;
    }
    void TearDown() override {
        for (AEffect* e : created) closeEffect(e);
    }
    PluginLibrary library;
    std::vector<AEffect*> created;
};

TEST_F(AudioPath, SilenceStaysExactSilence) {
    AEffect* e = fresh();
    const Stereo out = render(e, Stereo(44100), 512);
    for (size_t i = 0; i < out.frames(); ++i) {
        ASSERT_EQ(out.left[i], 0.0f) << i;
        ASSERT_EQ(out.right[i], 0.0f) << i;
    }
}

TEST_F(AudioPath, ProcessingSaturatesAndStaysBounded) {
    AEffect* e = fresh();
    const Stereo in = signal(20000);
    const Stereo out = render(e, in, 256);
    double difference = 0.0;
    for (size_t i = 0; i < out.frames(); ++i) {
        ASSERT_LE(std::fabs(out.left[i]), 0.98f);
        ASSERT_LE(std::fabs(out.right[i]), 0.98f);
        difference += std::fabs(out.left[i] - in.left[i]);
    }
    EXPECT_GT(difference, 1.0);  // the effect does something
}

TEST_F(AudioPath, BypassIsABitExactCopyAndFreezesTheState) {
    const Stereo before = signal(3000, 2), during = signal(2000, 3), after = signal(3000, 4);
    Stereo odd(64);
    for (size_t i = 0; i < 64; ++i) {  // values a processed block would never pass through
        odd.left[i] = i % 3 ? std::numeric_limits<float>::quiet_NaN() : 5.0f;
        odd.right[i] = -std::numeric_limits<float>::infinity();
    }

    for (int way = 0; way < 2; ++way) {
        AEffect* bypassed = fresh();
        AEffect* reference = fresh();
        render(bypassed, before, 512);
        render(reference, before, 512);
        if (way == 0)
            dispatch(bypassed, effSetBypass, 0, 1);
        else
            bypassed->setParameter(bypassed, 7, 0.51f);
        const EngineState frozen = engineOf(bypassed);
        const Stereo copy = render(bypassed, during, 500);
        EXPECT_TRUE(bitIdentical(copy.left, during.left));
        EXPECT_TRUE(bitIdentical(copy.right, during.right));
        const Stereo oddCopy = render(bypassed, odd, 64);
        EXPECT_TRUE(bitIdentical(oddCopy.left, odd.left));
        EXPECT_TRUE(bitIdentical(oddCopy.right, odd.right));
        EXPECT_EQ(std::memcmp(&frozen, &engineOf(bypassed), sizeof frozen), 0);

        // In place: nothing is written, the buffer stays as it was.
        Stereo inPlace = signal(256, 9);
        const Stereo original = inPlace;
        float* io[2] = {inPlace.left.data(), inPlace.right.data()};
        bypassed->processReplacing(bypassed, io, io, 256);
        EXPECT_TRUE(bitIdentical(inPlace.left, original.left));

        if (way == 0)
            dispatch(bypassed, effSetBypass, 0, 0);
        else
            bypassed->setParameter(bypassed, 7, 0.5f);  // exactly 0.5 processes
        const Stereo a = render(bypassed, after, 512);
        const Stereo b = render(reference, after, 512);
        EXPECT_TRUE(bitIdentical(a.left, b.left));
        EXPECT_TRUE(bitIdentical(a.right, b.right));
        EXPECT_FALSE(bitIdentical(a.left, after.left));
    }
}

TEST_F(AudioPath, CrossedBuffersInBypassSwapNothing) {
    AEffect* e = fresh();
    dispatch(e, effSetBypass, 0, 1);
    Stereo s = signal(128, 5);
    const Stereo original = s;
    float* in[2] = {s.left.data(), s.right.data()};
    float* out[2] = {s.right.data(), s.left.data()};  // left input to right output's buffer
    e->processReplacing(e, in, out, 128);
    // The right output buffer (left storage) holds the right input, and the reverse.
    EXPECT_TRUE(bitIdentical(s.left, original.right));
    EXPECT_TRUE(bitIdentical(s.right, original.left));
}

TEST_F(AudioPath, InPlaceAndCrossedBuffersMatchSeparateOnes) {
    const Stereo in = signal(8192, 6);
    const Stereo separate = render(fresh(), in, 512);

    AEffect* inPlace = fresh();
    Stereo io = in;
    for (size_t start = 0; start < io.frames(); start += 512) {
        float* ch[2] = {&io.left[start], &io.right[start]};
        inPlace->processReplacing(inPlace, ch, ch, 512);
    }
    EXPECT_TRUE(bitIdentical(io.left, separate.left));
    EXPECT_TRUE(bitIdentical(io.right, separate.right));

    AEffect* crossed = fresh();
    Stereo x = in;
    for (size_t start = 0; start < x.frames(); start += 512) {
        float* inputs[2] = {&x.left[start], &x.right[start]};
        float* outputs[2] = {&x.right[start], &x.left[start]};
        crossed->processReplacing(crossed, inputs, outputs, 512);
    }
    EXPECT_TRUE(bitIdentical(x.right, separate.left));
    EXPECT_TRUE(bitIdentical(x.left, separate.right));
}

TEST_F(AudioPath, BlockSizeDoesNotChangeTheOutput) {
    const Stereo in = signal(12288, 7);
    const Stereo single = render(fresh(), in, 1);
    for (size_t block : {64u, 512u, 4096u, 1000u}) {
        const Stereo out = render(fresh(), in, block);
        EXPECT_TRUE(bitIdentical(out.left, single.left)) << block;
        EXPECT_TRUE(bitIdentical(out.right, single.right)) << block;
    }
}

TEST_F(AudioPath, EmptyAndNegativeBlocksWriteNothingAndChangeNothing) {
    AEffect* e = fresh();
    render(e, signal(1000, 8), 100);
    const EngineState before = engineOf(e);
    Stereo s(16, 7.0f);
    float* ch[2] = {s.left.data(), s.right.data()};
    float* out[2] = {s.right.data(), s.left.data()};
    for (int32_t frames : {0, -1, -4096}) {
        e->processReplacing(e, ch, out, frames);
        dispatch(e, effSetBypass, 0, 1);
        e->processReplacing(e, ch, out, frames);
        dispatch(e, effSetBypass, 0, 0);
    }
    for (size_t i = 0; i < 16; ++i) ASSERT_EQ(s.left[i], 7.0f);
    EXPECT_EQ(std::memcmp(&before, &engineOf(e), sizeof before), 0);
}

TEST_F(AudioPath, NonFiniteAndHugeInputsStayBoundedAndLeaveTheStateFinite) {
    AEffect* e = fresh();
    for (int i = 0; i < 8; ++i) e->setParameter(e, i, i == 7 ? 0.0f : 1.0f);
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::max(),
                              -std::numeric_limits<float>::max(),
                              1e30f, 2e6f, -999999.0f, 1e-40f, 0.0f};
    Stereo in = signal(6000, 10);
    for (size_t i = 0; i < in.frames(); i += 37) in.left[i] = specials[(i / 37) % 10];
    for (size_t i = 5; i < in.frames(); i += 53) in.right[i] = specials[(i / 53 + 3) % 10];
    const Stereo out = render(e, in, 333);
    for (size_t i = 0; i < out.frames(); ++i) {
        ASSERT_TRUE(std::fabs(out.left[i]) <= 0.98f) << i;
        ASSERT_TRUE(std::fabs(out.right[i]) <= 0.98f) << i;
    }
    EXPECT_TRUE(engineFinite(engineOf(e)));
    // After the faults, a clean signal still comes through processed and bounded.
    const Stereo clean = render(e, signal(4096, 11), 512);
    for (float v : clean.left) ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= 0.98f);
}

TEST_F(AudioPath, SampleRateChangeKeepsTheState) {
    AEffect* e = fresh();
    render(e, signal(3000, 12), 512);
    const EngineState before = engineOf(e);
    dispatch(e, effSetSampleRate, 0, 0, nullptr, 96000.0f);
    const EngineState& after = engineOf(e);
    EXPECT_EQ(after.bands[0].lowSplit[0].z1, before.bands[0].lowSplit[0].z1);
    EXPECT_EQ(after.bands[1].topSplit[1].z2, before.bands[1].topSplit[1].z2);
    EXPECT_EQ(after.sidePresence.z1, before.sidePresence.z1);
    EXPECT_EQ(after.lowPeakFollowers[0].lowPeak, before.lowPeakFollowers[0].lowPeak);
    EXPECT_EQ(after.level, before.level);
    EXPECT_EQ(after.slowLevel, before.slowLevel);
    EXPECT_EQ(after.peakNorm, before.peakNorm);
    EXPECT_EQ(after.lfoPhase, before.lfoPhase);
    EXPECT_NE(after.levelAttack, before.levelAttack);
    EXPECT_EQ(static_cast<PluginInstance*>(e->object)->sampleRate, 96000.0);
}

// After loud noise, a suspend alone keeps every state and the last run rings out; a resume
// (any non-zero value) forgets it: silence and then a signal come out bit for bit as from a
// fresh instance at the same rate.
TEST_F(AudioPath, ResumeStartsFromSilenceLikeAFreshInstance) {
    Stereo loud(8192);
    NoiseSource noise{3};
    for (size_t i = 0; i < loud.frames(); ++i)
        loud.left[i] = static_cast<float>(noise.symmetric()), loud.right[i] = static_cast<float>(noise.symmetric());
    Stereo after(6000);
    const Stereo tail = signal(4000, 14);
    std::copy(tail.left.begin(), tail.left.end(), after.left.begin() + 2000);
    std::copy(tail.right.begin(), tail.right.end(), after.right.begin() + 2000);

    const struct { float rate; intptr_t resume; } ways[] = {{44100.0f, 1}, {96000.0f, intptr_t{1} << 40}};
    for (const auto& way : ways) {
        AEffect* resumed = fresh();
        AEffect* reference = fresh();
        for (AEffect* e : {resumed, reference}) dispatch(e, effSetSampleRate, 0, 0, nullptr, way.rate);
        render(resumed, loud, 512);
        const EngineState beforeSuspend = engineOf(resumed);
        EXPECT_EQ(dispatch(resumed, effMainsChanged, 0, 0), 0);
        EXPECT_EQ(std::memcmp(&beforeSuspend, &engineOf(resumed), sizeof beforeSuspend), 0);
        AEffect* suspendedOnly = fresh();
        dispatch(suspendedOnly, effSetSampleRate, 0, 0, nullptr, way.rate);
        render(suspendedOnly, loud, 512);
        EXPECT_GT(std::fabs(render(suspendedOnly, Stereo(1), 1).left[0]), 0.1f);

        EXPECT_EQ(dispatch(resumed, effMainsChanged, 0, way.resume), 0);
        const Stereo a = render(resumed, after, 512);
        const Stereo b = render(reference, after, 512);
        EXPECT_TRUE(bitIdentical(a.left, b.left)) << way.rate;
        EXPECT_TRUE(bitIdentical(a.right, b.right)) << way.rate;
        EXPECT_EQ(static_cast<PluginInstance*>(resumed->object)->sampleRate, way.rate);
    }
}

TEST_F(AudioPath, MixZeroGivesTheDryInputTimesTheOutputGain) {
    AEffect* e = fresh();
    e->setParameter(e, 6, 0.0f);
    e->setParameter(e, 5, 0.25f);  // -9 dB
    const Stereo in = signal(4000, 13);
    const Stereo out = render(e, in, 512);
    const double gain = std::pow(10.0, ((static_cast<double>(0.25f) - 0.5) * 36.0) / 20.0);
    for (size_t i = 0; i < in.frames(); ++i) {
        const double l = (0.0 * 0.0 + in.left[i] * (1.0 - 0.0)) * gain;
        ASSERT_EQ(out.left[i], static_cast<float>(std::fmin(std::fmax(l, -0.98), 0.98))) << i;
    }
    EXPECT_NE(engineOf(e).level, 0.0);  // the wet path still ran
}

}  // namespace
