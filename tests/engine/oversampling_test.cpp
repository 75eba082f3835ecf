// The oversampled engine: factor 1 is the plain engine bit for bit, the reported latency is
// the delay of the dry and bypass paths exactly and that of the resampling chain at its
// peak, and the chain passes the audio band unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/block_kernels.h"
#include "engine/circle.h"
#include "engine/oversampling.h"
#include "support/noise.h"

namespace {

constexpr int factors[] = {2, 4, 8};

BlockSettings settingsWith(float drive, float output, float mix, float bypass) {
    BlockSettings s{{drive, 0.5f, 0.7f, 0.3f, 0.4f, output, mix, bypass}, false};
    return s;
}

struct Rig {
    std::unique_ptr<Oversampler> oversampler = std::make_unique<Oversampler>();
    EngineState engine;
    explicit Rig(int factor) {
        oversamplerSetup(*oversampler);
        prepareEngine(engine, 44100.0);
        setOversamplingFactor(*oversampler, engine, factor, 44100.0);
    }
    // Runs the signal through in blocks of `block`, in place when asked.
    std::vector<float> run(const BlockSettings& s, std::vector<float> left, std::vector<float> right,
                           int block, bool inPlace = false) {
        std::vector<float> outLeft(left.size()), outRight(right.size());
        for (size_t at = 0; at < left.size(); at += block) {
            const int frames = static_cast<int>(std::min<size_t>(block, left.size() - at));
            const float* in[2] = {left.data() + at, right.data() + at};
            float* out[2] = {inPlace ? left.data() + at : outLeft.data() + at,
                             inPlace ? right.data() + at : outRight.data() + at};
            processOversampledBlock(*oversampler, engine, 44100.0, s, in, out, frames);
        }
        if (inPlace) { outLeft = left; outRight = right; }
        outLeft.insert(outLeft.end(), outRight.begin(), outRight.end());
        return outLeft;
    }
};

std::vector<float> noise(size_t frames, uint32_t seed) {
    NoiseSource source{seed};
    std::vector<float> v(frames);
    for (float& x : v) x = static_cast<float>(0.8 * source.centred());
    return v;
}

TEST(Oversampling, FactorOneIsThePlainEngine) {
    const auto left = noise(3000, 1), right = noise(3000, 2);
    const BlockSettings s = settingsWith(0.8f, 0.6f, 0.7f, 0.0f);
    Rig rig(1);
    EngineState plain;
    prepareEngine(plain, 44100.0);
    std::vector<float> expected(6000);
    for (size_t at = 0; at < 3000; at += 300) {
        const float* in[2] = {left.data() + at, right.data() + at};
        float* out[2] = {expected.data() + at, expected.data() + 3000 + at};
        processBlock(plain, 44100.0, s, in, out, 300);
    }
    EXPECT_EQ(rig.run(s, left, right, 300), expected);
    EXPECT_EQ(oversamplingLatency(1), 0);
}

TEST(Oversampling, LatencyIsTheExactDelayOfBypassAndDry) {
    for (int factor : factors) {
        const int latency = oversamplingLatency(factor);
        ASSERT_GT(latency, 0);
        ASSERT_LT(latency, dryDelayFrames);
        const auto left = noise(1000, 3), right = noise(1000, 4);
        // Mix 0 at Output 0 dB is the dry input times exactly 1; Bypass is the input.
        for (const BlockSettings& s : {settingsWith(0.4f, 0.5f, 0.0f, 0.0f), settingsWith(0.4f, 0.5f, 1.0f, 1.0f)})
            for (bool inPlace : {false, true}) {
                Rig rig(factor);
                const std::vector<float> out = rig.run(s, left, right, 97, inPlace);
                for (int i = 0; i < 1000; ++i) {
                    const float expectLeft = i < latency ? 0.0f : left[i - latency];
                    const float expectRight = i < latency ? 0.0f : right[i - latency];
                    ASSERT_EQ(out[i], expectLeft) << factor << " frame " << i;
                    ASSERT_EQ(out[1000 + i], expectRight) << factor << " frame " << i;
                }
            }
    }
}

TEST(Oversampling, ChainIsADelayOfTheLatencyThatPassesTheBand) {
    for (int factor : factors) {
        Rig rig(factor);
        const int latency = oversamplingLatency(factor);
        // An impulse on the left comes out centred on the latency, symmetric about it.
        std::vector<double> in(2 * 1024, 0.0), out(2 * 1024);
        in[0] = 1.0;
        for (int at = 0; at < 1024; at += oversamplingChunkFrames)
            resampleThroughChain(*rig.oversampler, in.data() + 2 * at, out.data() + 2 * at, oversamplingChunkFrames);
        int peak = 0;
        for (int i = 0; i < 1024; ++i)
            if (std::fabs(out[2 * i]) > std::fabs(out[2 * peak])) peak = i;
        EXPECT_EQ(peak, latency) << factor;
        for (int k = 1; k < latency; ++k)
            EXPECT_NEAR(out[2 * (latency - k)], out[2 * (latency + k)], 1e-12) << factor << " " << k;
        for (int i = 0; i < 1024; ++i) ASSERT_EQ(out[2 * i + 1], 0.0);

        // Sines in the pass band come through within 0.005 dB.
        for (double frequency : {100.0, 5000.0, 19000.0}) {
            resetOversamplerHistory(*rig.oversampler);
            std::vector<double> sine(2 * 4096), through(2 * 4096);
            for (int i = 0; i < 4096; ++i)
                sine[2 * i] = sine[2 * i + 1] = 0.5 * std::sin(circle::twoPi * frequency * i / 44100.0);
            for (int at = 0; at < 4096; at += oversamplingChunkFrames)
                resampleThroughChain(*rig.oversampler, sine.data() + 2 * at, through.data() + 2 * at, oversamplingChunkFrames);
            double worst = 0.0;
            for (int i = 1024; i < 4096; ++i)
                worst = std::max(worst, std::fabs(through[2 * i] - sine[2 * (i - latency)]));
            EXPECT_LT(worst, 0.5 * 6e-4) << factor << " at " << frequency;
        }
    }
}

TEST(Oversampling, EveryKernelsFilterRunIsTheReferenceBitForBit) {
    // Output counts below, at and past the kernels' groups of registers, added onto what the
    // outputs hold already.
    NoiseSource source{9};
    std::vector<double> taps(37), line(2 * (37 + 45)), start(2 * 46);
    for (double& t : taps) t = source.centred();
    for (double& x : line) x = source.centred();
    for (double& x : start) x = source.centred();
    for (int outputs : {1, 3, 13, 40, 45}) {
        std::vector<double> expected = start;
        stereoFirRunReference(taps.data(), 37, line.data(), outputs, expected.data());
        ASSERT_NE(expected[2 * outputs - 1], start[2 * outputs - 1]);
        ASSERT_EQ(expected[2 * outputs], start[2 * outputs]);
        for (const BlockKernel* kernel : builtBlockKernels()) {
            if (!runsHere(kernel->instructionSet)) continue;
            std::vector<double> got = start;
            kernel->stereoFirRun(taps.data(), 37, line.data(), outputs, got.data());
            EXPECT_EQ(got, expected) << kernel->name << " outputs " << outputs;
        }
    }
}

TEST(Oversampling, FactorsOutsideTheSetAreOneAndControlValuesRound) {
    Rig rig(3);
    EXPECT_EQ(rig.oversampler->factor, 1);
    EXPECT_EQ(oversamplingFactorFor(1.0f), 1);
    EXPECT_EQ(oversamplingFactorFor(std::nanf("")), 1);
    EXPECT_EQ(oversamplingFactorFor(2.0f), 2);
    EXPECT_EQ(oversamplingFactorFor(4.0f), 4);
    EXPECT_EQ(oversamplingFactorFor(8.0f), 8);
    EXPECT_EQ(oversamplingFactorFor(100.0f), 8);
}

}  // namespace
