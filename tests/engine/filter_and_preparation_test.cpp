// The filter section (step, guard, flush, designs) and the preparation for a sample rate.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <limits>

#include "engine/engine_state.h"
#include "engine/filter_section.h"
#include "engine/process_block.h"
#include "support/noise.h"

namespace {

constexpr double pi = 3.141592653589793;

double magnitudeAt(const FilterSection& s, double f, double fs) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * pi * f / fs);
    const std::complex<double> z2 = z1 * z1;
    return std::abs((s.b0 + s.b1 * z1 + s.b2 * z2) / (1.0 + s.a1 * z1 + s.a2 * z2));
}

std::complex<double> responseAt(const FilterSection& s, double f, double fs) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * pi * f / fs);
    const std::complex<double> z2 = z1 * z1;
    return (s.b0 + s.b1 * z1 + s.b2 * z2) / (1.0 + s.a1 * z1 + s.a2 * z2);
}

bool sameCoefficients(const FilterSection& a, const FilterSection& b) {
    return a.b0 == b.b0 && a.b1 == b.b1 && a.b2 == b.b2 && a.a1 == b.a1 && a.a2 == b.a2;
}

TEST(FilterSection, IdentityPassesFiniteInputAndKeepsNoState) {
    FilterSection s;
    for (double x : {0.0, 1.0, -0.5, 1e-300, 3e38, -7.25}) {
        EXPECT_EQ(step(s, x), x);
        EXPECT_EQ(s.z1, 0.0);
        EXPECT_EQ(s.z2, 0.0);
    }
}

TEST(FilterSection, LowPassCoefficientsFollowTheirFormulaWithTheLiteralDivisor) {
    FilterSection s;
    designLowPass(s, 95.0, 44100.0);
    const double w0 = (6.283185307179586 * 95.0) / 44100.0;
    const double alpha = std::sin(w0) / 1.414213562373095;
    const double a0 = alpha + 1.0;
    EXPECT_EQ(s.b0, ((1.0 - std::cos(w0)) * 0.5) / a0);
    EXPECT_EQ(s.b1, (1.0 - std::cos(w0)) / a0);
    EXPECT_EQ(s.b2, s.b0);
    EXPECT_EQ(s.a1, (-2.0 * std::cos(w0)) / a0);
    EXPECT_EQ(s.a2, (1.0 - alpha) / a0);
    EXPECT_EQ(s.z1, 0.0);
}

TEST(FilterSection, ButterworthSectionsAreThreeDecibelsDownAtTheirFrequency) {
    FilterSection low, high;
    designLowPass(low, 95.0, 44100.0);
    designHighPass(high, 95.0, 44100.0);
    EXPECT_NEAR(magnitudeAt(low, 95.0, 44100.0), 1.0 / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(magnitudeAt(high, 95.0, 44100.0), 1.0 / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(magnitudeAt(low, 1.0, 44100.0), 1.0, 1e-6);
    EXPECT_NEAR(magnitudeAt(high, 20000.0, 44100.0), 1.0, 1e-3);
}

TEST(FilterSection, PeakingSectionCutsToPointEightAtItsCentre) {
    FilterSection s;
    designPeaking(s, 2600.0, 44100.0);
    EXPECT_NEAR(magnitudeAt(s, 2600.0, 44100.0), 0.8, 1e-12);
    EXPECT_NEAR(magnitudeAt(s, 5.0, 44100.0), 1.0, 1e-4);
    EXPECT_LT(magnitudeAt(s, 2600.0, 44100.0), magnitudeAt(s, 1500.0, 44100.0));
}

TEST(FilterSection, CrossoverPairsSumToUnitMagnitude) {
    FilterSection low[2], high[2];
    designCrossover(low, high, 95.0, 44100.0);
    EXPECT_TRUE(sameCoefficients(low[0], low[1]));
    EXPECT_TRUE(sameCoefficients(high[0], high[1]));
    for (double f : {20.0, 95.0, 300.0, 2000.0, 15000.0}) {
        const auto l = responseAt(low[0], f, 44100.0);
        const auto h = responseAt(high[0], f, 44100.0);
        EXPECT_NEAR(std::abs(l * l + h * h), 1.0, 1e-9) << f;
    }
    EXPECT_NEAR(std::pow(magnitudeAt(low[0], 95.0, 44100.0), 2), 0.5, 1e-12);  // -6.02 dB
}

TEST(FilterSection, DesignFrequencyIsLimitedAndFloored) {
    EXPECT_EQ(limitedDesignFrequency(5000.0, 8000.0), 0.49 * 8000.0);
    EXPECT_EQ(limitedDesignFrequency(5000.0, 10300.0), 5000.0);
    EXPECT_EQ(limitedDesignFrequency(5000.0, 44100.0), 5000.0);
    EXPECT_EQ(limitedDesignFrequency(95.0, 8000.0), 95.0);
    EXPECT_EQ(limitedDesignFrequency(5.0, 44100.0), 10.0);
    EXPECT_EQ(limitedDesignFrequency(10.0, 44100.0), 10.0);

    FilterSection limited, direct;
    designLowPass(limited, 5000.0, 8000.0);
    designLowPass(direct, 0.49 * 8000.0, 8000.0);
    EXPECT_TRUE(sameCoefficients(limited, direct));
    FilterSection floored, tenHz;
    designHighPass(floored, 1.0, 44100.0);
    designHighPass(tenHz, 10.0, 44100.0);
    EXPECT_TRUE(sameCoefficients(floored, tenHz));
}

TEST(FilterSection, NonFiniteInputResetsAndPassesThrough) {
    const double inf = std::numeric_limits<double>::infinity();
    for (double bad : {inf, -inf, std::nan("")}) {
        FilterSection s, fresh;
        designLowPass(s, 95.0, 44100.0);
        designLowPass(fresh, 95.0, 44100.0);
        for (int i = 0; i < 10; ++i) step(s, 0.5);
        ASSERT_NE(s.z1, 0.0);
        const double y = step(s, bad);
        if (std::isnan(bad))
            EXPECT_TRUE(std::isnan(y));
        else
            EXPECT_EQ(y, bad);
        EXPECT_EQ(s.z1, 0.0);
        EXPECT_EQ(s.z2, 0.0);
        EXPECT_EQ(step(s, 0.25), step(fresh, 0.25));  // from rest again
        EXPECT_EQ(s.z1, fresh.z1);
    }
}

TEST(FilterSection, OverflowingStateResetsEvenWhenTheOutputIsFinite) {
    FilterSection s;
    s.b0 = 0.0;
    s.b2 = 1e300;  // new z2 = 1e300 * x overflows while y = 0
    s.z1 = 0.125;
    EXPECT_EQ(step(s, 1e10), 1e10);
    EXPECT_EQ(s.z1, 0.0);
    EXPECT_EQ(s.z2, 0.0);

    FilterSection t;
    t.b1 = 1e300;  // new z1 overflows
    EXPECT_EQ(step(t, -1e10), -1e10);
    EXPECT_EQ(t.z1, 0.0);
}

TEST(FilterSection, TinyStateWordsAreFlushedSeparatelyAndTheThresholdIsKept) {
    FilterSection s;
    s.b1 = 1.0;  // new z1 = x
    s.b2 = 1.0;  // new z2 = x
    step(s, 1e-15);
    EXPECT_EQ(s.z1, 1e-15);
    EXPECT_EQ(s.z2, 1e-15);

    FilterSection t;
    t.b1 = 1.0;
    t.b2 = 1.0;
    step(t, -1e-15);
    EXPECT_EQ(t.z1, -1e-15);
    EXPECT_EQ(t.z2, -1e-15);

    FilterSection u;
    u.b1 = 1.0;
    u.b2 = 1e5;
    step(u, 9.9e-16);
    EXPECT_EQ(u.z2, 9.9e-16 * 1e5);
    EXPECT_EQ(u.z1, 0.0);  // below threshold: zeroed although z2 is not

    FilterSection v;
    v.b1 = 1e5;
    v.b2 = 1.0;
    step(v, 9.9e-16);
    EXPECT_EQ(v.z2, 0.0);
    EXPECT_NE(v.z1, 0.0);
    // The output itself is never flushed.
    FilterSection w;
    EXPECT_EQ(step(w, 1e-20), 1e-20);
}

TEST(FilterSection, DecayingStateReachesExactZero) {
    FilterSection s;
    designLowPass(s, 95.0, 44100.0);
    step(s, 1.0);
    int frames = 0;
    while ((s.z1 != 0.0 || s.z2 != 0.0) && frames < 1000000) {
        step(s, 0.0);
        ++frames;
    }
    EXPECT_LT(frames, 1000000);
    EXPECT_EQ(step(s, 0.0), 0.0);
}

TEST(PrepareEngine, ConstantsAndDesignsFor48k) {
    EngineState e;
    EXPECT_EQ(prepareEngine(e, 48000.0), 48000.0);
    EXPECT_EQ(e.levelAttack, std::exp(-1.0 / (0.001 * 48000.0)));
    EXPECT_DOUBLE_EQ(e.levelAttack, std::exp(-1.0 / 48.0));
    EXPECT_EQ(e.levelRelease, std::exp(-1.0 / (0.06 * 48000.0)));
    EXPECT_EQ(e.peakNormDecay, std::exp(-1.0 / (1.5 * 48000.0)));
    EXPECT_EQ(e.slowCoef, 1.0 - std::exp(-1.0 / (0.08 * 48000.0)));
    EXPECT_EQ(e.lfoIncrement, 36.4424747816416 / 48000.0);
    for (const LowPeakFollower& f : e.lowPeakFollowers)
        EXPECT_EQ(f.lowPeakRelease, std::exp(-1.0 / (0.12 * 48000.0)));

    FilterSection low95, high95, low5k, high5k, side120, presence;
    designLowPass(low95, 95.0, 48000.0);
    designHighPass(high95, 95.0, 48000.0);
    designLowPass(low5k, 5000.0, 48000.0);
    designHighPass(high5k, 5000.0, 48000.0);
    designHighPass(side120, 120.0, 48000.0);
    designPeaking(presence, 2600.0, 48000.0);
    for (const BandSplit& b : e.bands) {
        for (int i = 0; i < 2; ++i) {
            EXPECT_TRUE(sameCoefficients(b.lowSplit[i], low95));
            EXPECT_TRUE(sameCoefficients(b.highSplit[i], high95));
            EXPECT_TRUE(sameCoefficients(b.midSplit[i], low5k));
            EXPECT_TRUE(sameCoefficients(b.topSplit[i], high5k));
        }
    }
    EXPECT_TRUE(sameCoefficients(e.sideHighPass, side120));
    EXPECT_TRUE(sameCoefficients(e.sidePresence, presence));
}

TEST(PrepareEngine, LowRatesAndNotANumberPrepareFor8k) {
    for (double rate : {4000.0, 8000.0, 1.0, 0.0, -5.0, std::nan("")}) {
        EngineState e;
        EXPECT_EQ(prepareEngine(e, rate), 8000.0) << rate;
        EXPECT_EQ(e.levelAttack, std::exp(-1.0 / (0.001 * 8000.0)));
        FilterSection low5k, low95, presence;
        designLowPass(low5k, 0.49 * 8000.0, 8000.0);
        designLowPass(low95, 95.0, 8000.0);
        designPeaking(presence, 2600.0, 8000.0);
        EXPECT_TRUE(sameCoefficients(e.bands[0].midSplit[0], low5k));
        EXPECT_TRUE(sameCoefficients(e.bands[1].lowSplit[1], low95));
        EXPECT_TRUE(sameCoefficients(e.sidePresence, presence));
    }
}

TEST(PrepareEngine, KeepsEveryStateAndIsIdempotent) {
    EngineState e;
    prepareEngine(e, 44100.0);
    e.bands[0].lowSplit[0].z1 = 0.3;
    e.bands[1].topSplit[1].z2 = -0.2;
    e.sidePresence.z1 = 0.1;
    e.lowPeakFollowers[0].lowPeak = 0.9;
    e.lowPeakFollowers[1].lowPeak = 0.4;
    e.level = 0.6;
    e.slowLevel = 0.5;
    e.peakNorm = 0.7;
    e.lfoPhase = 2.0;
    e.crest = 3.0;
    prepareEngine(e, 96000.0);
    EXPECT_EQ(e.bands[0].lowSplit[0].z1, 0.3);
    EXPECT_EQ(e.bands[1].topSplit[1].z2, -0.2);
    EXPECT_EQ(e.sidePresence.z1, 0.1);
    EXPECT_EQ(e.lowPeakFollowers[0].lowPeak, 0.9);
    EXPECT_EQ(e.lowPeakFollowers[1].lowPeak, 0.4);
    EXPECT_EQ(e.level, 0.6);
    EXPECT_EQ(e.slowLevel, 0.5);
    EXPECT_EQ(e.peakNorm, 0.7);
    EXPECT_EQ(e.lfoPhase, 2.0);
    EXPECT_EQ(e.crest, 3.0);

    EngineState again = e;
    prepareEngine(again, 96000.0);
    EXPECT_EQ(std::memcmp(&again, &e, sizeof e), 0);
}

// After loud noise the state holds history everywhere; a reset leaves exactly what a fresh
// state prepared for the last rate holds, bit for bit, construction values and designs alike.
TEST(ResetEngineHistory, LeavesAFreshlyPreparedStateOfTheLastRate) {
    constexpr int32_t frames = 4096;
    float left[frames], right[frames];
    NoiseSource noise{18};
    for (int32_t i = 0; i < frames; ++i)
        left[i] = static_cast<float>(noise.symmetric()), right[i] = static_cast<float>(noise.symmetric());
    const float* inputs[2] = {left, right};
    float outL[frames], outR[frames];
    float* outputs[2] = {outL, outR};
    const BlockSettings settings{{0.9f, 0.3f, 0.7f, 1.0f, 0.75f, 0.5f, 1.0f, 0.0f}, false};

    EngineState e;
    prepareEngine(e, 48000.0);
    processBlock(e, 48000.0, settings, inputs, outputs, frames);
    prepareEngine(e, 96000.0);
    processBlock(e, 96000.0, settings, inputs, outputs, frames);
    EngineState fresh;
    prepareEngine(fresh, 96000.0);
    ASSERT_NE(e.bands[0].lowSplit[0].z1, 0.0);
    ASSERT_NE(e.lowPeakFollowers[1].lowPeak, 0.0);
    ASSERT_NE(e.crestSoftener, 1.0);
    ASSERT_NE(e.peakNorm, fresh.peakNorm);
    ASSERT_NE(e.lfoPhase, 0.0);

    resetEngineHistory(e);
    EXPECT_EQ(std::memcmp(&e, &fresh, sizeof e), 0);  // the 96 kHz designs, not the 48 kHz ones
}

}  // namespace
