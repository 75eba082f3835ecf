// The painted panel read back from the window: colours, geometry, the curve, the knobs'
// arcs, the glow's pulse, the texts, and the objects a paint leaves behind (none).
#include "editor_host.h"

#include <gdiplus.h>

#include <functional>

#include "editor/panel_layout.h"

namespace {

constexpr double pi = 3.141592653589793;

struct Extent {
    int count = 0;
    int left = 1 << 30;
    int right = -1;
    int top = 1 << 30;
    int bottom = -1;
    double middleX() const { return (left + right) / 2.0; }
    double middleY() const { return (top + bottom) / 2.0; }
};

// Where the pixels that pass the test lie within a rectangle (inclusive bounds).
Extent ink(const WindowPixels& pixels, int x0, int y0, int x1, int y1,
           const std::function<bool(uint32_t)>& test) {
    Extent found;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (test(pixels.at(x, y))) {
                ++found.count;
                found.left = std::min(found.left, x);
                found.right = std::max(found.right, x);
                found.top = std::min(found.top, y);
                found.bottom = std::max(found.bottom, y);
            }
    return found;
}

uint32_t rgbOf(uint32_t argb) { return argb & 0x00ffffff; }

// A point on a knob's circle of the given radius, at a scale angle in degrees.
POINT onKnob(const KnobEntry& knob, double radius, double degrees) {
    const double radians = degrees * pi / 180.0;
    return {static_cast<LONG>(std::lround(knob.centreX + radius * std::cos(radians))),
            static_cast<LONG>(std::lround(knob.centreY + radius * std::sin(radians)))};
}

bool lightText(uint32_t rgb) {
    return channel(rgb, 16) > 100 && channel(rgb, 8) > 105 && channel(rgb, 0) > 120;
}

bool goldText(uint32_t rgb) {
    return channel(rgb, 16) > 110 && channel(rgb, 8) > 85 && channel(rgb, 0) + 40 < channel(rgb, 16);
}

bool mutedText(uint32_t rgb) {
    return channel(rgb, 0) > 55 && channel(rgb, 0) >= channel(rgb, 16);
}

// The width GDI+ gives a text in a font of an installed family, for comparing the ink.
float measuredWidth(const wchar_t* family, float size, int style, const wchar_t* text) {
    using namespace Gdiplus::DllExports;
    Gdiplus::GpFontFamily* fontFamily = nullptr;
    GdipCreateFontFamilyFromName(family, nullptr, &fontFamily);
    Gdiplus::GpFont* font = nullptr;
    GdipCreateFont(fontFamily, size, style, Gdiplus::UnitPixel, &font);
    HDC screen = GetDC(nullptr);
    Gdiplus::GpGraphics* graphics = nullptr;
    GdipCreateFromHDC(screen, &graphics);
    const Gdiplus::RectF layout(0.0f, 0.0f, 0.0f, 0.0f);
    Gdiplus::RectF bounds;
    GdipMeasureString(graphics, text, -1, font, &layout, nullptr, &bounds, nullptr, nullptr);
    GdipDeleteGraphics(graphics);
    ReleaseDC(nullptr, screen);
    GdipDeleteFont(font);
    GdipDeleteFontFamily(fontFamily);
    return bounds.Width;
}

}  // namespace

using EditorPaintTest = EditorTest;

TEST_F(EditorPaintTest, BackgroundScrewsAndScreen) {
    const WindowPixels pixels = capture();
    ASSERT_EQ(pixels.width, 840);
    ASSERT_EQ(pixels.height, 520);
    // The vertical gradient from 0x090b10 to 0x040508.
    EXPECT_TRUE(closeTo(pixels.at(5, 1), 0x090b10, 1)) << std::hex << pixels.at(5, 1);
    EXPECT_TRUE(closeTo(pixels.at(835, 518), 0x040508, 1)) << std::hex << pixels.at(835, 518);
    EXPECT_TRUE(closeTo(pixels.at(5, 260), 0x07080c, 1)) << std::hex << pixels.at(5, 260);
    // Screws: 10 x 10 circles 12 pixels in from each corner.
    for (const POINT screw : {POINT{17, 17}, POINT{823, 17}, POINT{17, 503}, POINT{823, 503}}) {
        EXPECT_TRUE(closeTo(pixels.at(screw.x, screw.y), 0x2d3241, 2)) << screw.x << ", " << screw.y;
        // Just below the screw, the background as at the panel's edge.
        const int edge = screw.x < 420 ? 5 : 835;
        EXPECT_TRUE(closeTo(pixels.at(screw.x, screw.y + 8), pixels.at(edge, screw.y + 8), 1));
    }
    EXPECT_TRUE(closeTo(pixels.at(9, 17), pixels.at(5, 17), 1));
    // The screen x 260..580, y 85..260, with its faint gold frame.
    for (const POINT inside : {POINT{264, 89}, POINT{576, 89}, POINT{264, 256}, POINT{576, 256}})
        EXPECT_TRUE(closeTo(pixels.at(inside.x, inside.y), 0x0c0f16, 2)) << inside.x << ", " << inside.y;
    for (const POINT outside : {POINT{256, 89}, POINT{584, 89}, POINT{264, 81}, POINT{576, 264}})
        EXPECT_FALSE(closeTo(pixels.at(outside.x, outside.y), 0x0c0f16, 1)) << outside.x << ", " << outside.y;
    const Extent frameLeft = ink(pixels, 258, 120, 262, 120, [](uint32_t p) { return channel(p, 16) > 40; });
    EXPECT_GE(frameLeft.count, 1);
    EXPECT_GE(frameLeft.left, 259);
    EXPECT_LE(frameLeft.right, 261);
    const Extent frameTop = ink(pixels, 400, 83, 400, 87, [](uint32_t p) { return channel(p, 16) > 40; });
    EXPECT_GE(frameTop.count, 1);
    EXPECT_GE(frameTop.top, 84);
    EXPECT_LE(frameTop.bottom, 86);
}

TEST_F(EditorPaintTest, CurvePassesThroughItsPointsForDriveAndTubeBias) {
    const float settings[][2] = {{0.4f, 0.5f}, {0.0f, 1.0f}, {0.0f, 0.0f}, {1.0f, 0.5f}, {0.7f, 0.2f}};
    for (const auto& setting : settings) {
        const float drive = setting[0];
        const float bias = setting[1];
        SCOPED_TRACE(testing::Message() << "drive " << drive << " bias " << bias);
        setParameter(parameterDrive, drive);
        setParameter(parameterTubeBias, bias);
        const WindowPixels pixels = capture();
        for (int n : {6, 14, 24, 34, 40, 46, 56, 66, 74}) {
            const PanelPoint point = transferCurvePoint(n, drive, bias);
            const int x = static_cast<int>(std::lround(point.x));
            const int y = static_cast<int>(std::lround(point.y));
            EXPECT_TRUE(anyCloseTo(pixels, x, y, 1, 0xffaf3c, 40)) << "point " << n << " at " << x << ", " << y;
            EXPECT_FALSE(closeTo(pixels.at(x, y - 8), 0xffaf3c, 60)) << "above point " << n;
            EXPECT_FALSE(closeTo(pixels.at(x, y + 8), 0xffaf3c, 60)) << "below point " << n;
        }
    }
}

TEST_F(EditorPaintTest, ValueArcsPointersAndCapsShowTheKnobValues) {
    const float values[knobCount] = {0.3f, 0.6f, 0.45f, 0.7f, 0.2f, 0.85f};
    for (int k = 0; k < knobCount; ++k) setParameter(knobTable[k].parameter, values[k]);
    const WindowPixels pixels = capture();
    for (int k = 0; k < knobCount; ++k) {
        const KnobEntry& knob = knobTable[k];
        const float value = values[k];
        SCOPED_TRACE(knob.parameter);
        const uint32_t accent = rgbOf(knob.accent);
        const double arc = knob.radius - 5;
        for (double share : {0.1, 0.5, 0.9}) {
            const POINT p = onKnob(knob, arc, 150.0 + 240.0 * value * share);
            EXPECT_TRUE(anyCloseTo(pixels, p.x, p.y, 0, accent, 24)) << "value arc at share " << share << std::hex << " " << pixels.at(p.x, p.y);
        }
        for (double share : {0.15, 0.5, 0.85}) {
            const POINT p = onKnob(knob, arc, 150.0 + 240.0 * (value + (1.0 - value) * share));
            const uint32_t track = pixels.at(p.x, p.y);
            EXPECT_FALSE(closeTo(track, accent, 60)) << "track at share " << share;
            EXPECT_GT(channel(track, 16), 50) << std::hex << track;  // the faint white track
            EXPECT_LT(channel(track, 16), 130) << std::hex << track;
        }
        // The gap at the bottom of the scale shows the dark body.
        const POINT gap = onKnob(knob, arc, 90.0);
        EXPECT_LT(channel(pixels.at(gap.x, gap.y), 16), 0x30);
        // The pointer tick between the cap and the arcs, white; under the cap only the cap.
        const double pointer = 240.0 * value + 150.0;
        const POINT tick = onKnob(knob, knob.radius - 15, pointer);
        EXPECT_TRUE(anyCloseTo(pixels, tick.x, tick.y, 0, 0xffffff, 60)) << std::hex << pixels.at(tick.x, tick.y);
        const POINT covered = onKnob(knob, knob.radius - 24, pointer);
        EXPECT_TRUE(closeTo(pixels.at(covered.x, covered.y), 0x0f1219, 2));
        EXPECT_TRUE(closeTo(pixels.at(knob.centreX, knob.centreY), 0x0f1219, 2));
        // The tick points the way of the value and nowhere else.
        const POINT opposite = onKnob(knob, knob.radius - 15, pointer + 180.0);
        EXPECT_LT(channel(pixels.at(opposite.x, opposite.y), 16), 0x40);
        // The light rim on the body's edge, brighter than the body inside it.
        const POINT rim = onKnob(knob, knob.radius - 0.5, 90.0);
        const POINT body = onKnob(knob, knob.radius - 3, 90.0);
        EXPECT_GT(channel(pixels.at(rim.x, rim.y), 16), channel(pixels.at(body.x, body.y), 16) + 20);
    }
}

TEST_F(EditorPaintTest, KnobsAtTheEndsOfTheirRange) {
    setParameter(parameterDrive, 0.0f);
    setParameter(parameterTubeBias, 1.0f);
    const WindowPixels pixels = capture();
    const KnobEntry& drive = knobTable[0];
    const KnobEntry& bias = knobTable[1];
    // Drive at 0: no value arc, the tick 17 pixels below the centre on the left.
    for (double degrees : {160.0, 270.0, 380.0})
        EXPECT_FALSE(anyCloseTo(pixels, onKnob(drive, 41, degrees).x, onKnob(drive, 41, degrees).y, 0,
                             rgbOf(drive.accent), 60));
    const POINT low = onKnob(drive, 31, 150.0);
    EXPECT_TRUE(anyCloseTo(pixels, low.x, low.y, 0, 0xffffff, 60));
    // Tube Bias at 1: the whole track in gold, the tick at the lower right.
    for (double degrees : {155.0, 270.0, 385.0}) {
        const POINT p = onKnob(bias, 41, degrees);
        EXPECT_TRUE(anyCloseTo(pixels, p.x, p.y, 0, rgbOf(bias.accent), 24)) << degrees;
    }
    const POINT high = onKnob(bias, 31, 30.0);
    EXPECT_TRUE(anyCloseTo(pixels, high.x, high.y, 0, 0xffffff, 60));
}

TEST_F(EditorPaintTest, GlowPulsesWithTheIdleAnimation) {
    // (400, 150) lies inside the glow ellipse, clear of the curve.
    auto glowRed = [this] { return channel(capture().at(400, 150), 16); };
    const int resting = glowRed();  // phase 0: alpha 114
    idle(39);                       // phase 1.56: alpha 128
    const int raised = glowRed();
    idle(79);                       // phase 4.72: alpha 99
    const int lowered = glowRed();
    idle(39);                       // 157 steps: one wrap, phase 0.0168
    const int again = glowRed();
    EXPECT_GT(raised, resting + 3);
    EXPECT_LT(lowered, resting - 3);
    EXPECT_NEAR(again, resting, 2);
    // The swing is about ±15 of alpha around 114: the two sides alike.
    EXPECT_NEAR(raised - resting, resting - lowered, 3);
    // Drive raises the glow: alpha 50 at Drive 0, 210 at Drive 1.
    setParameter(parameterDrive, 0.0f);
    const int dim = glowRed();
    setParameter(parameterDrive, 1.0f);
    const int bright = glowRed();
    EXPECT_LT(dim, lowered);
    EXPECT_GT(bright, raised + 20);
    // The screen behind the glow's edge stays the screen's colour.
    EXPECT_TRUE(closeTo(capture().at(300, 101), 0x0c0f16, 2));
}

TEST_F(EditorPaintTest, TextsStandWhereTheyBelong) {
    // Drive 0 keeps the curve away from the readout's line.
    setParameter(parameterDrive, 0.0f);
    const WindowPixels pixels = capture();

    const Extent title = ink(pixels, 20, 14, 420, 42, goldText);
    EXPECT_GT(title.count, 150);
    EXPECT_NEAR(title.left, 29, 3);
    EXPECT_GE(title.top, 20);
    // The trade mark sign widens the title beyond the bare name.
    const float withMark = measuredWidth(L"Cinzel", 18.0f, 1, L"TOLVAN VELMORA\u2122");
    const float bare = measuredWidth(L"Cinzel", 18.0f, 1, L"TOLVAN VELMORA");
    ASSERT_GT(withMark, bare + 5.0f);
    EXPECT_GT(title.right, 28 + bare - 3 + (withMark - bare) / 2);
    EXPECT_LT(title.right, 28 + withMark);

    const Extent subtitle = ink(pixels, 20, 43, 700, 60, mutedText);
    EXPECT_GT(subtitle.count, 150);
    EXPECT_NEAR(subtitle.left, 30, 3);
    EXPECT_GE(subtitle.top, 44);
    const float subtitleWidth = measuredWidth(
        L"Inter", 9.5f, 1, L"ANALOG TUBE & TAPE SATURATION \u2022 PURE RUVA\u2122 QUANTUM APEX CORE");
    EXPECT_NEAR(subtitle.right, 29 + subtitleWidth - 2, 5);

    const Extent readout = ink(pixels, 262, 234, 578, 258, goldText);
    EXPECT_GT(readout.count, 100);
    EXPECT_NEAR(readout.middleX(), 420.0, 3.0);
    EXPECT_GE(readout.top, 238);
    EXPECT_LE(readout.top, 243);

    const Extent footer = ink(pixels, 100, 490, 740, 515, mutedText);
    EXPECT_GT(footer.count, 100);
    EXPECT_NEAR(footer.middleX(), 420.0, 3.0);
    EXPECT_GE(footer.top, 498);

    for (const KnobEntry& knob : knobTable) {
        SCOPED_TRACE(knob.parameter);
        const int captionY = knob.centreY + knob.radius + 14;
        const Extent caption = ink(pixels, knob.centreX - 80, captionY - 9, knob.centreX + 80,
                                   captionY + 6, lightText);
        EXPECT_GT(caption.count, 40);
        EXPECT_NEAR(caption.middleX(), knob.centreX, 3.0);
        EXPECT_NEAR(caption.middleY(), captionY, 3.0);
        const int valueY = knob.centreY + knob.radius + 28;
        const uint32_t accent = rgbOf(knob.accent);
        const Extent value = ink(pixels, knob.centreX - 40, valueY - 9, knob.centreX + 40, valueY + 8,
                                 [accent](uint32_t p) { return closeTo(p, accent, 70); });
        EXPECT_GT(value.count, 10);
        EXPECT_NEAR(value.middleX(), knob.centreX, 3.0);
        EXPECT_NEAR(value.middleY(), valueY, 3.0);
    }
}

TEST_F(EditorPaintTest, OutputAndBypassChangeNothingOnThePanel) {
    const WindowPixels before = capture();
    setParameter(parameterOutput, 0.95f);
    setParameter(parameterBypass, 1.0f);
    dispatch(effect, effSetBypass, 0, 1);
    const WindowPixels after = capture();
    EXPECT_TRUE(before.rgb == after.rgb);
    setParameter(parameterMix, 0.3f);
    EXPECT_FALSE(before.rgb == capture().rgb);
}

TEST_F(EditorPaintTest, ScrewsAndFooterFollowAnotherClientSize) {
    SetWindowPos(host, nullptr, 0, 0, 1000, 700, SWP_NOZORDER | SWP_NOMOVE);
    SetWindowPos(editor, nullptr, 0, 0, 900, 600, SWP_NOZORDER | SWP_NOMOVE);
    const WindowPixels pixels = capture();
    ASSERT_EQ(pixels.width, 900);
    ASSERT_EQ(pixels.height, 600);
    for (const POINT screw : {POINT{17, 17}, POINT{883, 17}, POINT{17, 583}, POINT{883, 583}})
        EXPECT_TRUE(closeTo(pixels.at(screw.x, screw.y), 0x2d3241, 2)) << screw.x << ", " << screw.y;
    EXPECT_TRUE(closeTo(pixels.at(5, 598), 0x040508, 1)) << std::hex << pixels.at(5, 598);
    EXPECT_TRUE(closeTo(pixels.at(895, 1), 0x090b10, 1)) << std::hex << pixels.at(895, 1);
    const Extent footer = ink(pixels, 5, 560, 894, 595, mutedText);
    EXPECT_GT(footer.count, 100);
    EXPECT_NEAR(footer.middleX(), 450.0, 3.0);
    EXPECT_GE(footer.top, 578);
    // Nothing of the footer at its old place.
    EXPECT_EQ(ink(pixels, 100, 490, 740, 515, mutedText).count, 0);
    // Fixed elements keep their place.
    EXPECT_TRUE(closeTo(pixels.at(264, 89), 0x0c0f16, 2));
    EXPECT_TRUE(closeTo(pixels.at(130, 165), 0x0f1219, 2));
}

TEST_F(EditorPaintTest, PaintsLeaveNoObjectsBehind) {
    auto paint = [this] {
        InvalidateRect(editor, nullptr, FALSE);
        UpdateWindow(editor);
    };
    paint();
    paint();
    const unsigned gdiAfterTwo = liveGdiObjects();
    const size_t heapAfterTwo = liveHeapBlocks();
    ASSERT_GT(gdiAfterTwo, 0u);
    for (int i = 2; i < 200; ++i) {
        dispatch(effect, effEditIdle);  // the glow changes from paint to paint
        paint();
    }
    EXPECT_EQ(liveGdiObjects(), gdiAfterTwo);
    EXPECT_EQ(liveHeapBlocks(), heapAfterTwo);
}
