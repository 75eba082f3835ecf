// Control signals, the band stages, the glue and the output clamp, at the values and
// boundaries where a slip in a constant, a comparison or an operation order shows.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/band_stages.h"
#include "engine/control_signals.h"
#include "engine/output_stages.h"
#include "engine/process_block.h"

namespace {

const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

EngineState preparedAt(double fs) {
    EngineState e;
    prepareEngine(e, fs);
    return e;
}

TEST(ControlSignals, DetectorInputSelection) {
    EXPECT_EQ(detectorInput(0.5, -0.25), 0.5);
    EXPECT_EQ(detectorInput(-0.1, 0.3), 0.3);
    EXPECT_EQ(detectorInput(2000000.0, 0.3), 0.0);
    EXPECT_EQ(detectorInput(inf, 0.3), 0.0);
    EXPECT_EQ(detectorInput(-inf, 0.3), 0.0);
    EXPECT_EQ(detectorInput(999999.0, 0.3), 999999.0);
    EXPECT_EQ(detectorInput(1000000.0, 0.3), 0.0);
    EXPECT_EQ(detectorInput(nan, 0.3), 0.0);  // a left NaN is always selected
    EXPECT_EQ(detectorInput(0.3, nan), 0.3);  // a right NaN never
}

TEST(ControlSignals, SilenceFromConstruction) {
    EngineState e = preparedAt(44100.0);
    for (int i = 0; i < 5000; ++i) {
        updateControlSignals(e, 0.0, 0.0);
        ASSERT_EQ(e.peakNorm, 0.001);
        ASSERT_EQ(e.level, 0.0);
        ASSERT_EQ(e.slowLevel, 0.0);
        ASSERT_EQ(e.crest, 0.0);
        ASSERT_EQ(e.levelCubic, 0.0);
        ASSERT_EQ(e.levelSquare, 0.0);
        ASSERT_EQ(e.crestSoftener, 1.0);
        ASSERT_EQ(e.lfoDepth, 0.08 * e.lfoValue);
    }
    EXPECT_NE(e.lfoPhase, 0.0);  // the modulator runs on
}

TEST(ControlSignals, FirstAndSecondFrameOfAFreshEngine) {
    EngineState e = preparedAt(44100.0);
    updateControlSignals(e, 0.5, -0.25);
    EXPECT_EQ(e.peakNorm, 0.5);
    EXPECT_EQ(e.level, 1.0 - e.levelAttack);
    EXPECT_EQ(e.slowLevel, e.level * e.slowCoef);
    EXPECT_EQ(e.lfoPhase, e.lfoIncrement);
    EXPECT_EQ(e.lfoValue, std::sin(e.lfoIncrement + 0.8224670334241132));
    const double crest = e.level / (std::fabs(0.1 * e.slowLevel) + 0.04);
    EXPECT_EQ(e.crest, crest);
    EXPECT_EQ(e.crestNorm, crest / 25.0);
    EXPECT_EQ(e.crestSoftener, 1.0 / (e.crestNorm * (2.0 * e.crestNorm) + 1.0));
    EXPECT_EQ(e.levelCubic, ((e.level * (e.level * e.level)) * 91.0) / 81.0);
    EXPECT_EQ(e.levelSquare, ((e.level * e.level) * 81.0) / 91.0);
    EXPECT_EQ(e.lfoDepth, (0.08 * e.lfoValue) / (std::fabs(crest) + 1.0));

    const double level1 = e.level;
    updateControlSignals(e, 0.25, 0.0);
    EXPECT_EQ(e.peakNorm, 0.5 * e.peakNormDecay);
    const double n = 0.25 / e.peakNorm;
    EXPECT_GT(n, 0.5);
    EXPECT_EQ(e.level, (1.0 - e.levelAttack) * n + e.levelAttack * level1);
}

TEST(ControlSignals, ReleaseAndTheLimitsOfTheDerivedValues) {
    EngineState e = preparedAt(44100.0);
    for (int i = 0; i < 20000; ++i) updateControlSignals(e, 0.9, 0.9);
    EXPECT_NEAR(e.level, 1.0, 1e-9);
    EXPECT_EQ(e.levelCubic, 1.0);  // capped
    EXPECT_LE(e.levelSquare, 81.0 / 91.0);
    EXPECT_GE(e.crestSoftener, 1.0 / 3.0);
    const double before = e.level;
    updateControlSignals(e, 0.0, 0.0);
    EXPECT_EQ(e.level, e.levelRelease * before);  // n = 0 below level: release
    EXPECT_EQ(e.crestNorm, std::min(e.crest / 25.0, 1.0));
}

TEST(ControlSignals, ModulatorWrapsOnlyAboveTwoPi) {
    EngineState e = preparedAt(44100.0);
    e.lfoIncrement = 0.0;
    e.lfoPhase = 6.283185307179586;
    updateControlSignals(e, 0.0, 0.0);
    EXPECT_EQ(e.lfoPhase, 6.283185307179586);
    e.lfoIncrement = 1e-3;
    updateControlSignals(e, 0.0, 0.0);
    EXPECT_EQ(e.lfoPhase, (6.283185307179586 + 1e-3) - 6.283185307179586);
}

TEST(ControlSignals, BadInputsKeepTheStateFinite) {
    EngineState e = preparedAt(44100.0);
    for (double x : {nan, inf, -inf, 1e30, 5e5}) {
        updateControlSignals(e, x, -x);
        EXPECT_TRUE(std::isfinite(e.level) && std::isfinite(e.peakNorm) &&
                    std::isfinite(e.slowLevel) && std::isfinite(e.lfoDepth));
    }
    EXPECT_EQ(e.peakNorm, 5e5);
}

TEST(MomentumStage, NoBoostAtZeroButTheLimiterStillActs) {
    double peak = 0.0;
    EXPECT_EQ(momentumStage(0.5, 0.0, peak, 0.99), 0.5);
    EXPECT_EQ(peak, 0.5);
    peak = 0.0;
    EXPECT_EQ(momentumStage(0.8, 0.0, peak, 0.99), 0.8 * (0.85 + (0.7 / 0.8) * 0.15));
}

TEST(MomentumStage, FullBoostOfAUnitValue) {
    double peak = 0.0;
    const double y = momentumStage(1.0, 1.0, peak, 0.99);
    const double b = (((26.666666666666668 * 1.0) * 81.0 * 1.0) * 81.0) * 3e-5 + 1.0;
    EXPECT_NEAR(b, 6.2488, 1e-12);
    EXPECT_EQ(peak, b);
    EXPECT_EQ(y, b * (0.85 + (0.7 / b) * 0.15));
}

TEST(MomentumStage, LimiterGainAndFollowerRelease) {
    double peak = 1.4;
    EXPECT_DOUBLE_EQ(momentumStage(0.01, 0.0, peak, 1.0), 0.01 * 0.925);
    peak = 0.7;
    EXPECT_EQ(momentumStage(0.01, 0.0, peak, 1.0), 0.01);  // exactly 0.7: no limiting
    peak = 0.5;
    momentumStage(0.1, 0.0, peak, 0.9);
    EXPECT_EQ(peak, 0.5 * 0.9 + (1.0 - 0.9) * 0.1);
    // Values above 1 are boosted as if 1 and follow the sign of the input.
    peak = 0.0;
    const double y = momentumStage(-3.0, 0.5, peak, 0.99);
    EXPECT_LT(y, -3.0 * 0.85);
    EXPECT_EQ(peak, 3.0 * ((((26.666666666666668 * 0.5) * 81.0) * 81.0) * 3e-5 + 1.0));
}

TEST(MomentumStage, NonFiniteValuesLeaveTheFollowerAlone) {
    for (double bad : {nan, inf, -inf}) {
        double peak = 0.8;
        const double y = momentumStage(bad, 0.85, peak, 0.99);
        EXPECT_FALSE(std::isfinite(y));
        EXPECT_EQ(peak, 0.8);  // the stored peak still limits later samples
        EXPECT_EQ(momentumStage(0.0, 0.85, peak, 0.99), 0.0);
        EXPECT_EQ(peak, 0.8 * 0.99);
    }
}

double defaultTube(double m, double drive = 0.4f, double fs = 44100.0) {
    return tubeStage(m, drive, 0.5f, 1.0, 0.0, 0.0, 0.0, fs);
}

TEST(TubeStage, AsymmetryOfTheTwoHalfWaves) {
    for (double m : {0.1, 0.5}) {
        const double pos = defaultTube(m), neg = defaultTube(-m);
        EXPECT_GT(pos, 0.0);
        EXPECT_LT(neg, 0.0);
        EXPECT_GT(std::fabs(pos), std::fabs(neg)) << m;
    }
    EXPECT_EQ(defaultTube(9e-13), 9e-13);
    EXPECT_EQ(defaultTube(-9e-13), -9e-13);
    EXPECT_NE(defaultTube(1e-12), 1e-12);  // the threshold itself runs the stage
    const double w = 6.283185307179586 * (1000.0 / 44100.0);
    const double tiny = defaultTube(-1e-11);
    EXPECT_LT(tiny, 0.0);
    EXPECT_NEAR(tiny, -std::tanh(0.002 * w * w * w), 1e-9);
    EXPECT_GT(std::fabs(tiny), 1e-6);
}

TEST(TubeStage, PositiveBranchFormula) {
    // K = 1.05 * (6.5 * Drive + 1) with the control values at rest.
    const double drive = 0.4f, bias = 0.7, levelCubic = 0.5, fs = 48000.0, m = 0.2;
    const double K = ((0.2 * 1.0 + 0.85) * (0.35 * 0.0 + 1.0)) * (6.5 * drive + 1.0);
    EXPECT_NEAR(K, 3.78, 1e-6);
    const double u = K * m, w = 6.283185307179586 * (1000.0 / fs);
    const double s = u / (u + 1.0), a = ((s * s) * 162.51651148859455) * 0.01, c = u * u * u;
    const double expected =
        std::tanh(((bias - 0.5) * 0.35 + 1.0) * u +
                  ((w * (1.0 / (0.25 * u + 1.0))) * c + (a - c * (w / 6.0))) * 0.2 *
                      (0.5 * levelCubic + 1.0));
    EXPECT_EQ(tubeStage(m, drive, bias, 1.0, 0.0, levelCubic, 0.0, fs), expected);
}

TEST(TubeStage, NegativeBranchFoldsBackAtFullDrive) {
    EXPECT_LT(defaultTube(-0.6, 1.0), 0.0);
    EXPECT_GT(defaultTube(-0.7, 1.0), 0.0);
    EXPECT_GT(defaultTube(-1.0, 1.0), 0.0);
    const double top = defaultTube(1.0, 1.0);
    EXPECT_LT(top, 1.0);
    EXPECT_GT(top, 0.999);
}

TEST(TubeStage, CurveDependsOnTheSampleRate) {
    EXPECT_LT(defaultTube(0.1, 0.4f, 48000.0), defaultTube(0.1, 0.4f, 44100.0));
    EXPECT_EQ(tubeRateConstant(44100.0), 6.283185307179586 * (1000.0 / 44100.0));
}

TEST(SieveStage, RippleFollowsTheSineOfTheMagnitude) {
    const double pi = 3.141592653589793;
    EXPECT_NEAR(sieveStage(0.25, 0.75), 0.25 * (1.0 - 0.045 * std::sin(0.43 * pi)), 1e-15);
    EXPECT_LT(sieveStage(0.25, 0.75), 0.25);
    EXPECT_GT(sieveStage(0.8, 0.75), 0.8);
    EXPECT_NEAR(sieveStage(1.0 / 1.72, 0.75), 1.0 / 1.72, 1e-15);
    EXPECT_EQ(sieveStage(-0.25, 0.75), -sieveStage(0.25, 0.75));
    EXPECT_EQ(sieveStage(0.0, 1.0), 0.0);
}

TEST(GlueStage, GainAndSaturation) {
    EXPECT_LT(glueGain(0.5), 1.0);
    EXPECT_GT(glueGain(0.5), 0.9);
    EXPECT_DOUBLE_EQ(glueGain(3.0), 1.0 / 3.4);
    EXPECT_EQ(glueGain(3.0), glueGain(100.0));
    EXPECT_EQ(glueGain(nan), glueGain(3.0));
    EXPECT_EQ(glueGain(0.0), 1.0);
    EXPECT_EQ(glueGain(0.005), 1.0);  // 116 x² below 0.00375
    const double a = (((116.0 * 0.5 * 0.5 - 0.00375) * 100.0) / 20.0) / 580.0;
    EXPECT_EQ(glueGain(0.5), 1.0 / ((0.15 * a) * a + 1.0));

    EXPECT_NEAR(glueStage(0.5, 1.0), std::tanh(0.65) * glueGain(0.5), 1e-15);
    EXPECT_GT(glueStage(0.5, 1.0), 0.5);
    EXPECT_LT(glueStage(2.0, 1.0), glueStage(1.0, 1.0));  // not monotonic at full glue
    EXPECT_EQ(glueStage(0.3, 0.0), 0.3);
}

TEST(OutputStage, ClampAndNarrowing) {
    const float limit = static_cast<float>(0.98);
    EXPECT_EQ(clampAndNarrow(0.98), limit);
    EXPECT_EQ(clampAndNarrow(1.5), limit);
    EXPECT_EQ(clampAndNarrow(inf), limit);
    EXPECT_EQ(clampAndNarrow(nan), limit);
    EXPECT_EQ(clampAndNarrow(-0.98), -limit);
    EXPECT_EQ(clampAndNarrow(-inf), -limit);
    EXPECT_EQ(clampAndNarrow(0.9799999), static_cast<float>(0.9799999));
    EXPECT_EQ(clampAndNarrow(-0.9799999), static_cast<float>(-0.9799999));
    EXPECT_EQ(clampAndNarrow(0.1), 0.1f);
}

TEST(OutputStage, OutputGainAndWidth) {
    EXPECT_EQ(outputGainFor(0.5f), 1.0);
    EXPECT_EQ(outputGainFor(0.0f), std::pow(10.0, -0.9));
    EXPECT_EQ(outputGainFor(1.0f), std::pow(10.0, 0.9));
    EXPECT_EQ(sideWidthFactor(0.0, 0.0), 1.0);
    EXPECT_EQ(sideWidthFactor(1.0, -1.0), 1.2 * (std::tanh(1.0) * 0.25) + 1.0);
}

TEST(BlockFrame, BypassDecision) {
    BlockSettings s{{0.4f, 0.5f, 0.7f, 0.85f, 0.75f, 0.5f, 1.0f, 0.5f}, false};
    EXPECT_FALSE(isBlockBypassed(s));
    s.parameters[parameterBypass] = 0.51f;
    EXPECT_TRUE(isBlockBypassed(s));
    s.parameters[parameterBypass] = 0.0f;
    s.hostBypass = true;
    EXPECT_TRUE(isBlockBypassed(s));
}

}  // namespace
