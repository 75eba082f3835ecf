// The panel's arithmetic: the values the painter and the mouse handling compute, at the
// points where the order of single-precision operations or a boundary decides the result.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "editor/editor_view.h"
#include "editor/panel_layout.h"
#include "editor/panel_size.h"
#include "support/comma_locale.h"

namespace {

constexpr double pi = 3.141592653589793;

std::u16string knobText(int parameter, float value) {
    char16_t buffer[valueTextSize];
    formatKnobValue(parameter, value, buffer);
    return buffer;
}

}  // namespace

TEST(PanelLayout, HitTestCountsTheCircleAsInsideAndWalksTheTableInOrder) {
    EXPECT_EQ(hitKnob(130, 165), 0);
    EXPECT_EQ(hitKnob(176, 165), 0);
    EXPECT_EQ(hitKnob(177, 165), -1);
    EXPECT_EQ(hitKnob(130 + 30, 165 - 34), 0);   // 900 + 1156 = 2056 <= 2116
    EXPECT_EQ(hitKnob(130 + 33, 165 - 33), -1);  // 2178 > 2116
    EXPECT_EQ(hitKnob(710, 119), 1);
    EXPECT_EQ(hitKnob(130, 415), 2);
    EXPECT_EQ(hitKnob(130, 416), -1);
    EXPECT_EQ(hitKnob(280, 375), 3);
    EXPECT_EQ(hitKnob(510 + 24, 375 + 32), 4);  // 576 + 1024 = 1600
    EXPECT_EQ(hitKnob(740, 375), 5);
    EXPECT_EQ(hitKnob(420, 300), -1);
    // Far corners of the 16-bit range: the squared distances exceed 32 bits.
    EXPECT_EQ(hitKnob(-32768, 32767), -1);
    EXPECT_EQ(hitKnob(32767, -32768), -1);
    EXPECT_EQ(hitKnob(-32768, -32768), -1);
    EXPECT_EQ(knobTable[5].parameter, parameterMix);
}

TEST(PanelLayout, DragValueIsSinglePrecisionAndClamps) {
    EXPECT_EQ(dragValue(0.4f, 165, 125), static_cast<float>(40) * 0.005f + 0.4f);
    EXPECT_NEAR(dragValue(0.4f, 165, 125), 0.6f, 1e-7f);
    EXPECT_EQ(dragValue(0.4f, 165, 365), 0.0f);
    EXPECT_EQ(dragValue(0.4f, 165, 166 + 200), 0.0f);
    EXPECT_EQ(dragValue(0.0f, 0, -200), 1.0f);
    EXPECT_EQ(dragValue(0.999f, 100, 99), 1.0f);
    EXPECT_EQ(dragValue(0.7f, 300, 300), 0.7f);
    EXPECT_EQ(dragValue(0.5f, -32768, 32767), 0.0f);
    EXPECT_EQ(dragValue(0.5f, 32767, -32768), 1.0f);
}

TEST(PanelLayout, CurveAtTheDefaultsIsPointSymmetric) {
    const PanelPoint first = transferCurvePoint(0, 0.4f, 0.5f);
    const PanelPoint middle = transferCurvePoint(40, 0.4f, 0.5f);
    const PanelPoint last = transferCurvePoint(80, 0.4f, 0.5f);
    EXPECT_EQ(first.x, 260.0f);
    EXPECT_EQ(middle.x, 420.0f);
    EXPECT_EQ(last.x, 580.0f);
    EXPECT_EQ(middle.y, 172.5f);
    EXPECT_NEAR(first.y, 172.5 + 73.5 * std::tanh(2.0), 1e-4);
    EXPECT_NEAR(last.y, 172.5 - 73.5 * std::tanh(2.0), 1e-4);
    for (int n = 0; n <= 40; ++n) {
        const PanelPoint left = transferCurvePoint(n, 0.4f, 0.5f);
        const PanelPoint right = transferCurvePoint(80 - n, 0.4f, 0.5f);
        EXPECT_EQ(left.x + right.x, 840.0f);
        EXPECT_NEAR(left.y + right.y, 345.0f, 1e-4f) << n;
    }
}

TEST(PanelLayout, TubeBiasTiltsTheHalvesAndDriveSteepensBoth) {
    EXPECT_NEAR(transferCurvePoint(0, 0.0f, 1.0f).y, 172.5 + 73.5 * std::tanh(0.5), 1e-4);
    EXPECT_NEAR(transferCurvePoint(80, 0.0f, 1.0f).y, 172.5 - 73.5 * std::tanh(1.5), 1e-4);
    EXPECT_NEAR(transferCurvePoint(0, 0.0f, 0.0f).y, 172.5 + 73.5 * std::tanh(1.5), 1e-4);
    EXPECT_NEAR(transferCurvePoint(80, 0.0f, 0.0f).y, 172.5 - 73.5 * std::tanh(0.5), 1e-4);
    EXPECT_NEAR(transferCurvePoint(0, 1.0f, 0.5f).y, 172.5 + 73.5 * std::tanh(3.5), 1e-4);
    EXPECT_NEAR(transferCurvePoint(80, 1.0f, 0.5f).y, 172.5 - 73.5 * std::tanh(3.5), 1e-4);
    // u steps by 0.025: point 1 is u = -0.975.
    EXPECT_NEAR(transferCurvePoint(1, 0.4f, 0.5f).y, 172.5 + 73.5 * std::tanh(0.975 * 2.0), 1e-4);
    EXPECT_EQ(transferCurvePoint(1, 0.4f, 0.5f).x, 264.0f);
    for (int n = 0; n <= 80; ++n) {
        for (float drive : {0.0f, 1.0f})
            for (float bias : {0.0f, 1.0f}) {
                const float y = transferCurvePoint(n, drive, bias).y;
                EXPECT_GE(y, 99.0f);
                EXPECT_LE(y, 246.0f);
            }
    }
}

TEST(PanelLayout, GlowAlphaFollowsDriveAndPhase) {
    EXPECT_EQ(glowAlpha(0.4f, 0.0f), 114);
    EXPECT_EQ(glowCentreColour(0.4f, 0.0f), 0x72ff6e1eu);
    EXPECT_EQ(glowAlpha(1.0f, 1.5707964f), 225);
    EXPECT_EQ(glowAlpha(0.0f, 4.712389f), 35);
    EXPECT_EQ(glowAlpha(0.0f, 0.0f), 50);
    // Truncation, not rounding: 160 * 0.4 + 50 + 15 * sin(1) = 126.62...
    EXPECT_EQ(glowAlpha(0.4f, 1.0f), 126);
    // Below zero truncates toward zero before the limits apply.
    EXPECT_EQ(glowAlpha(-1.0f, 0.0f), 20);
    EXPECT_EQ(glowAlpha(2.0f, 0.0f), 255);
}

TEST(PanelLayout, PointerEndsAtTheScaleAngle) {
    const PanelPoint zero = pointerEnd(130, 165, 46, 0.0f);
    EXPECT_NEAR(zero.x, 130.0 + 34.0 * std::cos(150.0 * pi / 180.0), 1e-4);
    EXPECT_NEAR(zero.y, 182.0, 1e-4);  // 17 pixels below the centre
    const PanelPoint up = pointerEnd(130, 165, 46, 0.5f);
    EXPECT_NEAR(up.x, 130.0, 1e-4);
    EXPECT_NEAR(up.y, 131.0, 1e-4);
    const PanelPoint momentum = pointerEnd(320, 375, 40, 0.5f);
    EXPECT_NEAR(momentum.x, 320.0, 1e-4);
    EXPECT_NEAR(momentum.y, 347.0, 1e-4);
    const PanelPoint full = pointerEnd(130, 165, 46, 1.0f);
    EXPECT_NEAR(full.x, 130.0 + 34.0 * std::cos(pi / 6.0), 1e-4);
    EXPECT_NEAR(full.y, 182.0, 1e-4);
    const PanelPoint drive = pointerEnd(130, 165, 46, 0.4f);
    EXPECT_NEAR(drive.x, 130.0 + 34.0 * std::cos(246.0 * pi / 180.0), 1e-4);
    EXPECT_NEAR(drive.y, 165.0 + 34.0 * std::sin(246.0 * pi / 180.0), 1e-4);
    EXPECT_EQ(valueArcSweep(0.5f), 120.0f);
    EXPECT_EQ(valueArcSweep(1.0f), 240.0f);
}

TEST(PanelLayout, TextsAtTheDefaults) {
    char16_t readout[readoutTextSize];
    formatReadout(0.7f, 0.4f, readout);
    EXPECT_EQ(std::u16string(readout), u"580 ATTRACTOR GLUE: 70% \u2022 HEAT DRIVE: +7.2 dB");
    EXPECT_EQ(knobText(parameterDrive, 0.4f), u"40%");
    EXPECT_EQ(knobText(parameterTubeBias, 0.5f), u"0.50");
    EXPECT_EQ(knobText(parameterGlue, 0.7f), u"70%");
    EXPECT_EQ(knobText(parameterMomentum, 0.85f), u"85%");
    EXPECT_EQ(knobText(parameterSieve, 0.75f), u"75%");
    EXPECT_EQ(knobText(parameterMix, 1.0f), u"100%");
    EXPECT_EQ(knobText(parameterTubeBias, 0.0f), u"0.00");
    EXPECT_EQ(knobText(parameterTubeBias, 1.0f), u"1.00");
    formatReadout(1.0f, 1.0f, readout);
    EXPECT_EQ(std::u16string(readout), u"580 ATTRACTOR GLUE: 100% \u2022 HEAT DRIVE: +18.0 dB");
    formatReadout(0.0f, 0.0f, readout);
    EXPECT_EQ(std::u16string(readout), u"580 ATTRACTOR GLUE: 0% \u2022 HEAT DRIVE: +0.0 dB");
}

TEST(PanelLayout, TextsIgnoreTheHostsLocale) {
    CommaLocale locale;
    ASSERT_TRUE(locale.active) << "no de_DE.UTF-8 locale (scripts/install-deps.sh generates it)";
    char16_t readout[readoutTextSize];
    formatReadout(0.7f, 0.4f, readout);
    EXPECT_EQ(std::u16string(readout), u"580 ATTRACTOR GLUE: 70% \u2022 HEAT DRIVE: +7.2 dB");
    EXPECT_EQ(knobText(parameterTubeBias, 0.25f), u"0.25");
}

TEST(PanelLayout, TextsAreFormattedFromTheSinglePrecisionProduct) {
    // 0.025f * 100 is 2.5 in single precision (a tie, printed to even: 2); the double
    // product 2.50000004 would print 3. Likewise 0.015f gives 1.5 (2), not 1.4999999 (1).
    EXPECT_EQ(knobText(parameterDrive, 0.025f), u"2%");
    EXPECT_EQ(knobText(parameterMix, 0.015f), u"2%");
    EXPECT_EQ(knobText(parameterGlue, 0.055f), u"6%");
    // 0.475f * 18 is 8.5500002 in single precision (8.6); in double 8.5499999 (8.5).
    char16_t readout[readoutTextSize];
    formatReadout(0.025f, 0.475f, readout);
    EXPECT_EQ(std::u16string(readout), u"580 ATTRACTOR GLUE: 2% \u2022 HEAT DRIVE: +8.6 dB");
    // Tube Bias shows the raw value.
    EXPECT_EQ(knobText(parameterTubeBias, 0.125f), u"0.12");
}

TEST(PanelLayout, LongTextsAreCutAndTerminated) {
    char16_t buffer[8];
    PanelText text = startText(buffer, 8);
    appendText(text, u"0123456789");
    EXPECT_EQ(std::u16string(buffer), u"0123456");
    appendNumber(text, 5.0, 0);
    EXPECT_EQ(std::u16string(buffer), u"0123456");
    // Out of range values would not fit a knob text; they are cut, never overrun.
    char16_t value[valueTextSize];
    formatKnobValue(parameterDrive, 1e30f, value);
    EXPECT_EQ(std::u16string(value).size(), static_cast<size_t>(valueTextSize - 1));
}

// What the adjust_size, checkSizeConstraint and state tests of the formats do not reach.
TEST(PanelSize, FitInAWindowAndPixelBoxes) {
    EXPECT_TRUE(panelSizeWithin(1680, 2000) == (PanelSize{1680, 1040}));
    EXPECT_TRUE(panelSizeWithin(1001, 619) == (PanelSize{1000, 619}));  // 619.05 rounds to 619
    EXPECT_TRUE(panelSizeWithin(1001, 618) == (PanelSize{999, 618}));   // 618.43 rounds to 618
    EXPECT_TRUE(panelSizeWithin(1, 1) == (PanelSize{630, 390}));
    EXPECT_TRUE(panelSizeAt(std::nan("")) == (PanelSize{840, 520}));
    const PanelBox box = pixelBoxOf({95, 335, 71, 81}, 1.5);  // rounded outwards: 142..249, 502..624
    EXPECT_EQ(box.x * 1000 + box.y, 142 * 1000 + 502);
    EXPECT_EQ(box.width * 1000 + box.height, 107 * 1000 + 122);
}

namespace {

struct ViewOwner {
    float values[parameterCount] = {0.4f, 0.5f, 0.7f, 0.85f, 0.75f, 0.5f, 1.0f, 0.0f};
    int changes = 0;
    EditorDrag drag;
    float phase = 0.0f;
    EditorView view{this,
                    [](void* c, int32_t i) { return static_cast<ViewOwner*>(c)->values[i]; },
                    [](void* c, int32_t i, float v) {
                        static_cast<ViewOwner*>(c)->values[i] = v;
                        ++static_cast<ViewOwner*>(c)->changes;
                    },
                    &drag, &phase, nullptr, true};
};

}  // namespace

TEST(KnobGestures, FineDragsWheelAndDefaultInPanelUnits) {
    ViewOwner owner;
    ASSERT_TRUE(pressAt(owner.view, 130.0f, 165.0f));
    ASSERT_TRUE(dragTo(owner.view, 175.0f));  // 10 units down: 0.05
    EXPECT_FLOAT_EQ(owner.values[0], 0.35f);
    // Shift from here on: the next 100 units go ten times finer from 0.3 (at y 185).
    ASSERT_TRUE(dragTo(owner.view, 185.0f, true));
    EXPECT_FLOAT_EQ(owner.values[0], 0.3f);
    ASSERT_TRUE(dragTo(owner.view, 285.0f, true));
    EXPECT_FLOAT_EQ(owner.values[0], 0.25f);
    ASSERT_TRUE(dragTo(owner.view, 285.0f));  // Shift let go, then 10 units up at the full rate
    EXPECT_FLOAT_EQ(owner.values[0], 0.25f);
    ASSERT_TRUE(dragTo(owner.view, 275.0f));
    EXPECT_FLOAT_EQ(owner.values[0], 0.3f);
    endDrag(owner.view);

    EXPECT_TRUE(wheelAt(owner.view, 700.0f, 375.0f, 1.0f, false));  // Mix at 100 %: stays
    EXPECT_EQ(owner.values[parameterMix], 1.0f);
    EXPECT_TRUE(wheelAt(owner.view, 700.0f, 375.0f, -2.0f, true));
    EXPECT_FLOAT_EQ(owner.values[parameterMix], 0.998f);
    EXPECT_TRUE(resetKnobAt(owner.view, 130.0f, 165.0f));
    EXPECT_EQ(owner.values[0], 0.4f);
    const int changes = owner.changes;
    EXPECT_FALSE(wheelAt(owner.view, 420.0f, 300.0f, 1.0f, false));  // on no knob
    EXPECT_FALSE(resetKnobAt(owner.view, 420.0f, 300.0f));
    EXPECT_EQ(owner.changes, changes);
}
