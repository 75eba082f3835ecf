// Every block kernel built in against the literal path: same output to the last float bit on
// nearly every sample, never more than 1.2e-7 away, and the same engine state afterwards;
// and the kernels against each other, bit for bit. A kernel this processor cannot run is
// reported and left out.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/block_kernels.h"
#include "engine/engine_state.h"
#include "engine/literal_path.h"
#include "engine/process_block.h"
#include "support/noise.h"

namespace {

// The kernels this processor runs, each announced.
std::vector<const BlockKernel*> kernelsHere() {
    std::vector<const BlockKernel*> here;
    for (const BlockKernel* k : builtBlockKernels()) {
        if (runsHere(k->instructionSet))
            here.push_back(k);
        else
            std::printf("kernel %s: not supported here, not tested\n", k->name);
    }
    return here;
}

struct Agreement {
    int64_t samples = 0;
    int64_t identical = 0;
    double largestDifference = 0.0;
};

// A deterministic stereo test signal that changes character every 3000 frames, faults included.
float testSample(int64_t i, int channel, NoiseSource& noise) {
    const double white = noise.centred();
    const double t = static_cast<double>(i);
    const int section = static_cast<int>((i / 3000) % 12);
    switch (section) {
        case 0: return static_cast<float>(0.6 * std::sin(t * 0.01 * (1 + channel)) + 0.1 * white);
        case 1: return 0.0f;                                      // exact silence
        case 2: return static_cast<float>(0.9 * white);           // noise
        case 3: return channel ? -0.25f : 0.5f;                   // DC
        case 4: return static_cast<float>(std::sin(t * t * 1e-6));  // sweep
        case 5: return i % 97 == 0 ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>(white);
        case 6: return i % 101 == channel ? (channel ? -INFINITY : INFINITY) : static_cast<float>(0.3 * white);
        case 7: return i % 53 == 0 ? 3e38f : static_cast<float>(1.5 * std::sin(t * 0.2));  // huge
        case 8: return static_cast<float>(4.0 * std::sin(t * 0.003) + white);              // hot
        case 9: return i % 500 < 250 ? 0.0f : static_cast<float>(1e-30 * white);          // near silence
        case 10: return static_cast<float>(2e6 * white);
        default: return static_cast<float>(0.8 * std::sin(t * (0.05 + 0.001 * channel)));
    }
}

BlockSettings settingsFor(int block) {
    static const float sets[][parameterCount] = {
        {0.4f, 0.5f, 0.7f, 0.85f, 0.75f, 0.5f, 1.0f, 0.0f},   // defaults
        {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.6f, 0.0f},
        {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
        {0.7f, 0.2f, 0.01f, 0.3f, 0.01f, 0.8f, 0.9f, 0.0f},  // thresholds: no glue, no sieve
        {0.9f, 0.8f, 0.4f, 0.6f, 0.011f, 0.3f, 0.5f, 0.51f},  // bypassed
        {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f},
    };
    BlockSettings s{};
    for (int i = 0; i < parameterCount; ++i) s.parameters[i] = sets[block % 6][i];
    s.hostBypass = block % 23 == 22;
    return s;
}

void expectStatesEquivalent(const EngineState& a, const EngineState& b) {
    // States behind the block tanh and sin differ by rounding. The side is the difference of
    // the channels, so near-mono passages make its states small next to their rounding: an
    // absolute allowance on the scale of the signal (about 1), far below the output's 1.2e-7.
    const auto near = [](double x, double y) {
        return x == y || std::fabs(x - y) <= 1e-9 * std::fmax(std::fabs(x), std::fabs(y)) + 1e-12;
    };
    for (int c = 0; c < 2; ++c) {
        const BandSplit& ba = a.bands[c];
        const BandSplit& bb = b.bands[c];
        const FilterSection* fa[8] = {&ba.lowSplit[0], &ba.lowSplit[1], &ba.highSplit[0], &ba.highSplit[1],
                                      &ba.midSplit[0], &ba.midSplit[1], &ba.topSplit[0], &ba.topSplit[1]};
        const FilterSection* fb[8] = {&bb.lowSplit[0], &bb.lowSplit[1], &bb.highSplit[0], &bb.highSplit[1],
                                      &bb.midSplit[0], &bb.midSplit[1], &bb.topSplit[0], &bb.topSplit[1]};
        for (int s = 0; s < 8; ++s) {
            EXPECT_EQ(fa[s]->z1, fb[s]->z1) << "band split state, channel " << c << " section " << s;
            EXPECT_EQ(fa[s]->z2, fb[s]->z2) << "band split state, channel " << c << " section " << s;
        }
        EXPECT_TRUE(near(a.lowPeakFollowers[c].lowPeak, b.lowPeakFollowers[c].lowPeak));
    }
    EXPECT_TRUE(near(a.sideHighPass.z1, b.sideHighPass.z1));
    EXPECT_TRUE(near(a.sidePresence.z2, b.sidePresence.z2));
    EXPECT_EQ(a.level, b.level);
    EXPECT_EQ(a.slowLevel, b.slowLevel);
    EXPECT_EQ(a.peakNorm, b.peakNorm);
    EXPECT_EQ(a.lfoPhase, b.lfoPhase);
    EXPECT_EQ(a.crest, b.crest);
    EXPECT_EQ(a.crestNorm, b.crestNorm);
    EXPECT_EQ(a.crestSoftener, b.crestSoftener);
    EXPECT_EQ(a.levelCubic, b.levelCubic);
    EXPECT_EQ(a.levelSquare, b.levelSquare);
    EXPECT_TRUE(near(a.lfoValue, b.lfoValue));
    EXPECT_TRUE(near(a.lfoDepth, b.lfoDepth));
}

Agreement renderBoth(const BlockKernel& kernel, int64_t totalFrames, bool inPlace) {
    EngineState literal, fast;
    double fs = prepareEngine(literal, 44100.0);
    prepareEngine(fast, 44100.0);
    const int32_t blockSizes[] = {1, 64, 511, 4096, 37, 128, 0, 2};
    NoiseSource noise{99u};
    Agreement agreement;
    int64_t frame = 0;
    for (int block = 0; frame < totalFrames; ++block) {
        if (block % 40 == 39) {  // sample-rate changes between blocks
            const double rates[] = {48000.0, 96000.0, 44100.0, 4000.0};
            fs = prepareEngine(literal, rates[(block / 40) % 4]);
            prepareEngine(fast, rates[(block / 40) % 4]);
        }
        const int32_t n = blockSizes[block % 8];
        std::vector<float> inL(n + 1), inR(n + 1), outLiteralL(n + 1), outLiteralR(n + 1);
        for (int32_t i = 0; i < n; ++i) {
            inL[i] = testSample(frame + i, 0, noise);
            inR[i] = testSample(frame + i, 1, noise);
        }
        const BlockSettings settings = settingsFor(block / 3);
        const float* in[2] = {inL.data(), inR.data()};
        float* outLiteral[2] = {outLiteralL.data(), outLiteralR.data()};
        processBlockReference(literal, fs, settings, in, outLiteral, n);
        std::vector<float> fastL = inL, fastR = inR, separateL(n + 1), separateR(n + 1);
        float* fastBuffers[2] = {inPlace ? fastL.data() : separateL.data(),
                                 inPlace ? fastR.data() : separateR.data()};
        const float* fastIn[2] = {inPlace ? fastL.data() : inL.data(), inPlace ? fastR.data() : inR.data()};
        processBlockWith(kernel.process, fast, fs, settings, fastIn, fastBuffers, n);
        for (int32_t i = 0; i < n; ++i)
            for (int c = 0; c < 2; ++c) {
                // Bit for bit: a not-a-number that a bypassed block copies counts as identical.
                const float a = outLiteral[c][i], b = fastBuffers[c][i];
                ++agreement.samples;
                if (std::memcmp(&a, &b, sizeof a) == 0) {
                    ++agreement.identical;
                    continue;
                }
                const double d = std::fabs(static_cast<double>(a) - b);
                if (!(d <= agreement.largestDifference)) agreement.largestDifference = d;
            }
        frame += n;
        // After every block, odd sizes and single frames included.
        expectStatesEquivalent(literal, fast);
        if (::testing::Test::HasFailure()) break;
    }
    return agreement;
}

TEST(FastEngine, MatchesTheLiteralPathOverLongVariedSignalsWithFaults) {
    for (const BlockKernel* kernel : kernelsHere())
        for (const bool inPlace : {false, true}) {
        SCOPED_TRACE(kernel->name);
        const Agreement a = renderBoth(*kernel, 600000, inPlace);
        const double share = static_cast<double>(a.identical) / static_cast<double>(a.samples);
        std::printf("%s, in place %d: %lld samples, %.6f%% identical, largest difference %.3g\n",
                    kernel->name, inPlace, static_cast<long long>(a.samples), 100.0 * share,
                    a.largestDifference);
        EXPECT_GE(share, 0.9999);
        EXPECT_LE(a.largestDifference, 1.2e-7);
    }
}

double ulpsApart(double a, double b) {
    if (a == b) return 0.0;
    return std::fabs(a - b) / (std::nextafter(std::fabs(b), INFINITY) - std::fabs(b));
}

TEST(FastEngine, BlockTanhAndSinStayWithinTwoUlpsOfTheLibrary) {
    for (const BlockKernel* kernel : kernelsHere()) {
    SCOPED_TRACE(kernel->name);
    const auto tanhBlock = kernel->tanhBlock;
    const auto sinBlock = kernel->sinBlock;
    (void)sinBlock;
    std::vector<double> x;
    for (int i = -200000; i <= 200000; ++i) x.push_back(i * 1.37e-4);  // through 0.625 and 20
    for (int i = 0; i < 2000; ++i) x.push_back(std::ldexp(1.0 + i * 1e-3, -40 + i / 50));
    std::vector<double> t = x, s = x;
    tanhBlock(t.data(), static_cast<int>(t.size()));
    sinBlock(s.data(), static_cast<int>(s.size()));
    double worstTanh = 0.0, worstSin = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
        worstTanh = std::fmax(worstTanh, ulpsApart(t[i], std::tanh(x[i])));
        if (std::fabs(std::sin(x[i])) > 1e-6) worstSin = std::fmax(worstSin, ulpsApart(s[i], std::sin(x[i])));
    }
    EXPECT_LE(worstTanh, 2.0);
#ifdef _WIN32
    // MinGW's own sin is several ulps off near multiples of π: compare more loosely there.
    EXPECT_LE(worstSin, 8.0);
#else
    EXPECT_LE(worstSin, 2.0);
#endif

    double special[] = {NAN, INFINITY, -INFINITY, 0.0, -0.0, 1e300, -25.0, 3e5};
    double tanhSpecial[8], sinSpecial[8];
    for (int i = 0; i < 8; ++i) tanhSpecial[i] = sinSpecial[i] = special[i];
    tanhBlock(tanhSpecial, 7);  // odd count: the last value alone
    sinBlock(sinSpecial, 8);
    EXPECT_TRUE(std::isnan(tanhSpecial[0]));
    EXPECT_EQ(tanhSpecial[1], 1.0);
    EXPECT_EQ(tanhSpecial[2], -1.0);
    EXPECT_TRUE(tanhSpecial[4] == 0.0 && std::signbit(tanhSpecial[4]));
    EXPECT_EQ(tanhSpecial[5], 1.0);
    EXPECT_EQ(tanhSpecial[6], -1.0);
    EXPECT_EQ(tanhSpecial[7], 3e5);  // beyond the count: untouched
    EXPECT_TRUE(std::isnan(sinSpecial[0]) && std::isnan(sinSpecial[1]));
    // The library at run time, not the compiler's folded value.
    volatile double huge = 1e300, farOut = 3e5;
    EXPECT_EQ(sinSpecial[5], std::sin(huge));
    EXPECT_EQ(sinSpecial[7], std::sin(farOut));
    }
}

// tanh's upper range takes e^2|x| as a fraction with its division folded into tanh's own:
// across the seams (0.625, where the exponential's reduction steps, 20) it stays odd, never
// falls by more than an ulp of 1 and never leaves [−1, 1].
TEST(FastEngine, BlockTanhIsOddAndMonotonicAcrossItsRanges) {
    for (const BlockKernel* kernel : kernelsHere()) {
    SCOPED_TRACE(kernel->name);
    const auto tanhBlock = kernel->tanhBlock;
    const auto sinBlock = kernel->sinBlock;
    (void)sinBlock;
    std::vector<double> x;
    for (const double seam : {0.625, 0.8664339756999316, 1.2130075659799042, 20.0})
        for (int i = -300; i <= 300; ++i) x.push_back(seam + i * std::ldexp(seam, -50));
    for (int i = 0; i <= 100000; ++i) x.push_back(i * 2.5e-4);
    std::vector<double> positive = x, negative = x;
    for (double& v : negative) v = -v;
    tanhBlock(positive.data(), static_cast<int>(positive.size()));
    tanhBlock(negative.data(), static_cast<int>(negative.size()));
    for (size_t i = 0; i < x.size(); ++i) {
        ASSERT_EQ(negative[i], -positive[i]) << x[i];
        ASSERT_LE(positive[i], 1.0) << x[i];
        ASSERT_GE(positive[i], 0.0) << x[i];
        if (i > 0 && x[i] > x[i - 1]) {
            ASSERT_GE(positive[i], positive[i - 1] - 2.3e-16) << x[i];
        }
    }
    }
}

// The band split runs a chunk without its guard and flush and redoes the chunk when either
// would have acted. A fault or a decay into the flush range at any frame of a chunk must leave
// the output and every state exactly as the literal path leaves them, chunk after chunk.
TEST(FastEngine, FaultsAndTinyStatesInsideAChunkMatchTheGuardedPath) {
    for (const BlockKernel* kernel : kernelsHere()) {
    SCOPED_TRACE(kernel->name);
    struct Case {
        const char* name;
        int faultFrame;  // within the 64-frame chunk
        int channel;
        float fault;
        double amplitude;
    };
    const Case cases[] = {
        {"infinity at the first frame", 0, 0, INFINITY, 0.5},
        {"minus infinity mid-chunk", 37, 1, -INFINITY, 0.5},
        {"not a number at the last frame", 63, 1, NAN, 0.5},
        {"not a number in both channels", 20, 2, NAN, 0.5},
        {"states around the flush threshold", -1, 0, 0.0f, 3e-14},
        {"states below the flush threshold", -1, 0, 0.0f, 1e-16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineState literal, fast;
        const double fs = prepareEngine(literal, 48000.0);
        prepareEngine(fast, 48000.0);
        const BlockSettings settings = settingsFor(1);
        float inL[64], inR[64], outLiteral[2][64], outFast[2][64];
        for (int block = 0; block < 12; ++block) {
            for (int i = 0; i < 64; ++i) {
                const double t = block * 64 + i;
                inL[i] = static_cast<float>(c.amplitude * std::sin(t * 0.07));
                inR[i] = static_cast<float>(c.amplitude * std::cos(t * 0.031));
            }
            if (block % 4 == 2 && c.faultFrame >= 0) {
                if (c.channel != 1) inL[c.faultFrame] = c.fault;
                if (c.channel != 0) inR[c.faultFrame] = c.fault;
            }
            const float* in[2] = {inL, inR};
            float* literalOut[2] = {outLiteral[0], outLiteral[1]};
            float* fastOut[2] = {outFast[0], outFast[1]};
            processBlockReference(literal, fs, settings, in, literalOut, 64);
            processBlockWith(kernel->process, fast, fs, settings, in, fastOut, 64);
            expectStatesEquivalent(literal, fast);
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < 64; ++i)
                    ASSERT_NEAR(outFast[ch][i], outLiteral[ch][i], 1.2e-7) << "block " << block << " frame " << i;
        }
    }
    }
}

// Every kernel gives the very same bits as every other: outputs and every state word, over
// the long varied signal, block by block.
TEST(FastEngine, KernelsAgreeBitForBit) {
    const std::vector<const BlockKernel*> kernels = kernelsHere();
    std::vector<EngineState> engines(kernels.size());
    double fs = 0.0;
    for (EngineState& e : engines) fs = prepareEngine(e, 48000.0);
    NoiseSource noise{7u};
    const int32_t blockSizes[] = {512, 1, 63, 65, 7, 4096, 130};
    int64_t frame = 0;
    for (int block = 0; block < 140; ++block) {
        const int32_t n = blockSizes[block % 7];
        std::vector<float> inL(n), inR(n);
        for (int32_t i = 0; i < n; ++i) {
            inL[i] = testSample(frame + i, 0, noise);
            inR[i] = testSample(frame + i, 1, noise);
        }
        frame += n;
        const float* in[2] = {inL.data(), inR.data()};
        const BlockSettings settings = settingsFor(block / 2);
        std::vector<std::vector<float>> outs;
        for (size_t k = 0; k < kernels.size(); ++k) {
            std::vector<float> out(2 * static_cast<size_t>(n));
            float* o[2] = {out.data(), out.data() + n};
            processBlockWith(kernels[k]->process, engines[k], fs, settings, in, o, n);
            outs.push_back(std::move(out));
        }
        for (size_t k = 1; k < kernels.size(); ++k) {
            SCOPED_TRACE(kernels[k]->name);
            ASSERT_EQ(std::memcmp(outs[k].data(), outs[0].data(), outs[0].size() * sizeof(float)), 0)
                << "block " << block;
            ASSERT_EQ(std::memcmp(&engines[k], &engines[0], sizeof(EngineState)), 0) << "block " << block;
        }
    }
}

// The 64-bit samples path is the 32-bit one before its last rounding: every kernel's doubles,
// rounded, are its floats, over the long varied signal with its faults, with the same state.
TEST(FastEngine, SixtyFourBitSamplesRoundToTheThirtyTwoBitOutput) {
    for (const BlockKernel* kernel : kernelsHere()) {
        SCOPED_TRACE(kernel->name);
        EngineState narrow, wide;
        const double fs = prepareEngine(narrow, 44100.0);
        prepareEngine(wide, 44100.0);
        NoiseSource noise{11u};
        const int32_t n = 3000;
        int64_t unrounded = 0;
        for (int block = 0; block < 12; ++block) {
            std::vector<float> in32(2 * n), out32(2 * n);
            for (int32_t i = 0; i < 2 * n; ++i) in32[i] = testSample(block * n + i / 2, i % 2, noise);
            std::vector<double> in64(in32.begin(), in32.end()), out64(2 * n);
            const float* i32[2] = {in32.data(), in32.data() + n};
            float* o32[2] = {out32.data(), out32.data() + n};
            const double* i64[2] = {in64.data(), in64.data() + n};
            double* o64[2] = {out64.data(), out64.data() + n};
            processBlockWith(kernel->process, narrow, fs, settingsFor(block), i32, o32, n);
            processBlockWith(kernel->process64, wide, fs, settingsFor(block), i64, o64, n);
            for (int32_t i = 0; i < 2 * n; ++i) {
                const float rounded = static_cast<float>(out64[i]);
                ASSERT_EQ(std::memcmp(&out32[i], &rounded, sizeof rounded), 0) << block << " " << i;
                unrounded += out64[i] != double(out32[i]);
            }
            ASSERT_EQ(std::memcmp(&narrow, &wide, sizeof(EngineState)), 0) << block;
        }
        EXPECT_GT(unrounded, 10 * n);
    }
}

TEST(FastEngine, SilenceStaysExactAndTheModulatorRunsOn) {
    for (const BlockKernel* kernel : kernelsHere()) {
    SCOPED_TRACE(kernel->name);
    EngineState literal, fast;
    const double fs = prepareEngine(literal, 48000.0);
    prepareEngine(fast, 48000.0);
    std::vector<float> zeros(3000, 0.0f), outA(3000, 1.0f), outB(3000, 1.0f);
    const float* in[2] = {zeros.data(), zeros.data()};
    float* a[2] = {outA.data(), outA.data()};
    float* b[2] = {outB.data(), outB.data()};
    const BlockSettings settings = settingsFor(1);
    processBlockReference(literal, fs, settings, in, a, 3000);
    processBlockWith(kernel->process, fast, fs, settings, in, b, 3000);
    for (int i = 0; i < 3000; ++i) ASSERT_TRUE(outB[i] == 0.0f && !std::signbit(outB[i]));
    EXPECT_EQ(fast.lfoPhase, literal.lfoPhase);
    EXPECT_NE(fast.lfoPhase, 0.0);
    expectStatesEquivalent(literal, fast);
    }
}

}  // namespace
