// Sample rates from 1 Hz to 768 kHz and the ones that are no rate at all, every block size
// a host may send, in-place and crossed buffers, and inputs no sane host sends: output
// stays bounded and no engine value is left non-finite. Through the built library, with
// the instance looked into through its AEffect.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <limits>
#include <memory>

#include "robustness/block_helpers.h"
#include "robustness/engine_inspection.h"
#include "support/plugin_library.h"

namespace {

const float nan = std::numeric_limits<float>::quiet_NaN();
const float inf = std::numeric_limits<float>::infinity();

const float hostRates[] = {1.0f, 2.0f, 100.0f, 1000.0f, 7999.0f, 8000.0f, 11025.0f, 16000.0f,
                           22050.0f, 32000.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f,
                           192000.0f, 352800.0f, 384000.0f, 705600.0f, 768000.0f,
                           // no rate at all
                           nan, inf, -inf, 0.0f, -1.0f, -768000.0f, FLT_MAX, FLT_MIN,
                           std::numeric_limits<float>::denorm_min()};

struct Plugin {
    PluginLibrary library;
    AEffect* effect = library.create();
    Plugin() {}
    ~Plugin() {
        if (effect) closeEffect(effect);
    }
    // Everything up, +18 dB out, and Mix halfway so the dry input reaches the clamp too.
    void allUp() {
        for (int i = 0; i < parameterBypass; ++i) effect->setParameter(effect, i, 1.0f);
        effect->setParameter(effect, parameterMix, 0.5f);
    }
    void rate(float hz) { dispatch(effect, effSetSampleRate, 0, 0, nullptr, hz); }
};

double rateForSignal(float hz) { return hz >= 8000.0f && hz <= 768000.0f ? hz : 44100.0; }

TEST(SampleRates, EveryRateGivesBoundedOutputAndFiniteState) {
    for (float hz : hostRates) {
        Plugin plugin;
        ASSERT_NE(plugin.effect, nullptr);
        plugin.allUp();
        plugin.rate(hz);
        StressSignal signal;
        StereoBlock block(4096, BufferLayout::separate);
        for (int n = 0; n < 12; ++n) {
            signal.fill(block.inputs[0], block.inputs[1], 4096, rateForSignal(hz), n % 3 == 2 ? 8.0f : 1.0f);
            block.process(plugin.effect, 4096);
            ASSERT_TRUE(bounded(block.outputs, 4096)) << hz << " Hz, block " << n;
        }
        EXPECT_TRUE(instanceSound(plugin.effect)) << hz << " Hz";
    }
}

// One instance walked through every rate and back, its filter state carried across.
TEST(SampleRates, OneInstanceThroughEveryRateInTurn) {
    Plugin plugin;
    plugin.allUp();
    StressSignal signal;
    StereoBlock block(1024, BufferLayout::inPlace);
    for (int pass = 0; pass < 2; ++pass)
        for (size_t r = 0; r < std::size(hostRates); ++r) {
            const float hz = hostRates[pass ? std::size(hostRates) - 1 - r : r];
            plugin.rate(hz);
            for (int n = 0; n < 3; ++n) {
                signal.fill(block.inputs[0], block.inputs[1], 1024, rateForSignal(hz), 2.0f);
                block.process(plugin.effect, 1024);
                ASSERT_TRUE(bounded(block.outputs, 1024)) << hz << " Hz";
            }
            ASSERT_TRUE(instanceSound(plugin.effect)) << hz << " Hz";
        }
}

const int32_t blockSizes[] = {1,   2,   3,   4,    5,    7,    8,    15,   16,   17,   31,  32,  33,
                              63,  64,  65,  100,  127,  128,  129,  255,  256,  257,  511, 512, 513,
                              1000, 1023, 1024, 1025, 2047, 2048, 2049, 4095, 4096, 4097, 8191, 8192};

// The same input through twin instances, one with separate buffers and one with each
// other layout: the outputs must be identical, so no layout reads a sample already written.
TEST(BlockSizes, EverySizeAndLayoutMatchesSeparateBuffers) {
    for (BufferLayout layout : allLayouts) {
        if (layout == BufferLayout::separate) continue;
        Plugin reference, twin;
        reference.allUp();
        twin.allUp();
        StressSignal signalA, signalB;
        for (int32_t frames : blockSizes) {
            StereoBlock expected(frames, layout == BufferLayout::sharedInput ? BufferLayout::sharedInput
                                                                             : BufferLayout::separate);
            StereoBlock actual(frames, layout);
            // A shared input is one channel fed to both; separate buffers get it twice.
            signalA.fill(expected.inputs[0], expected.b.data(), frames, 44100.0, 1.5f);
            signalB.fill(actual.inputs[0], actual.b.data(), frames, 44100.0, 1.5f);
            expected.process(reference.effect, frames);
            actual.process(twin.effect, frames);
            ASSERT_TRUE(bounded(actual.outputs, frames)) << frames;
            for (int ch = 0; ch < 2; ++ch)
                for (int32_t i = 0; i < frames; ++i)
                    ASSERT_EQ(actual.outputs[ch][i], expected.outputs[ch][i])
                        << "layout " << static_cast<int>(layout) << ", " << frames << " frames, channel " << ch;
        }
        EXPECT_TRUE(instanceSound(twin.effect));
    }
}

// Blocks of values no sane host sends, each followed by ordinary material: output always
// bounded, state always finite, and the engine still alive afterwards.
TEST(HostileInput, NonFiniteAndHugeSamplesLeaveNoStateNonFinite) {
    const float hostile[] = {nan, -nan, inf, -inf, FLT_MAX, -FLT_MAX, 1e30f, 1e6f, 999999.9f,
                             std::numeric_limits<float>::denorm_min(), FLT_MIN};
    for (float rate : {8000.0f, 44100.0f, 768000.0f}) {
        Plugin plugin;
        plugin.rate(rate);
        plugin.allUp();
        StressSignal signal;
        constexpr int32_t frames = 2048;
        StereoBlock block(frames, BufferLayout::separate);
        for (float value : hostile) {
            for (int32_t i = 0; i < frames; ++i) {
                block.a[static_cast<size_t>(i)] = i % 7 == 0 ? value : 0.5f;
                block.b[static_cast<size_t>(i)] = i % 2 ? value : -value;
            }
            block.process(plugin.effect, frames);
            ASSERT_TRUE(bounded(block.outputs, frames)) << value;
            ASSERT_TRUE(instanceSound(plugin.effect)) << value << " at " << rate << " Hz";

            // Huge finite values are carried by the filters and die away with their time
            // constants (tens of milliseconds at 768 kHz); the output must move again
            // within a second.
            int recovered = -1;
            for (int n = 0; n * frames < static_cast<int>(rate) && recovered < 0; ++n) {
                signal.fill(block.inputs[0], block.inputs[1], frames, rate, 0.5f);
                block.process(plugin.effect, frames);
                ASSERT_TRUE(bounded(block.outputs, frames));
                const auto [lowest, highest] = std::minmax_element(block.c.begin(), block.c.end());
                if (*highest - *lowest > 0.05f) recovered = n;
            }
            EXPECT_GE(recovered, 0) << "engine still stuck a second after " << value << " at " << rate << " Hz";
            ASSERT_TRUE(instanceSound(plugin.effect));
        }
    }
}

}  // namespace
