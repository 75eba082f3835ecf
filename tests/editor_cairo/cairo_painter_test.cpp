// The Cairo painter itself: it leaks nothing over many paints, leaves the context as it
// found it, and leaves out the texts of a family fontconfig does not have.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdlib>

#include "editor/cairo_painter.h"
#include "editor/panel_style.h"
#include "support/heap_in_use.h"

namespace {

PanelValues valuesFor(int paint) {
    PanelValues values{};
    for (int i = 0; i < parameterCount; ++i)
        values.parameters[i] = static_cast<float>((paint * (i + 3)) % 101) / 100.0f;
    values.animationPhase = static_cast<float>(paint % 157) * 0.04f;
    return values;
}

struct ImagePanel {
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, panelWidth, panelHeight);
    cairo_t* cr = cairo_create(surface);
    ~ImagePanel() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    uint32_t at(int x, int y) {
        cairo_surface_flush(surface);
        const unsigned char* row =
            cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
        return reinterpret_cast<const uint32_t*>(row)[x] & 0xffffff;
    }
};

// Texts change from paint to paint (every value and the glow move), so the font and
// layout caches see many strings; after they have warmed up the heap stays where it was.
TEST(CairoPainter, TenThousandPaintsLeaveTheHeapFlat) {
    ImagePanel panel;
    for (int paint = 0; paint < 500; ++paint) paintPanelCairo(panel.cr, valuesFor(paint));
    const size_t warm = heapInUse();
    for (int paint = 500; paint < 10000; ++paint) paintPanelCairo(panel.cr, valuesFor(paint));
    const size_t after = heapInUse();
    EXPECT_EQ(cairo_status(panel.cr), CAIRO_STATUS_SUCCESS);
    EXPECT_LT(after, warm + 64 * 1024) << "warm " << warm << ", after " << after;
    // What the fonts held goes with them (LeakSanitizer checks the rest at exit).
    releasePanelFonts();
    EXPECT_LT(heapInUse(), warm);
}

TEST(CairoPainter, LeavesTheContextAsItFoundIt) {
    ImagePanel panel;
    cairo_translate(panel.cr, 5.0, 7.0);
    cairo_set_source_rgb(panel.cr, 0.0, 1.0, 0.0);
    cairo_set_line_width(panel.cr, 9.0);
    paintPanelCairo(panel.cr, valuesFor(1));
    double x = 0.0;
    double y = 0.0;
    cairo_user_to_device(panel.cr, &x, &y);
    EXPECT_EQ(x, 5.0);
    EXPECT_EQ(y, 7.0);
    EXPECT_EQ(cairo_get_line_width(panel.cr), 9.0);
    EXPECT_FALSE(cairo_has_current_point(panel.cr));
    // Painted from the translated origin: the first screw's centre moved with it.
    const PanelBox screw = screwBox(0, panelWidth, panelHeight);
    EXPECT_EQ(panel.at(5 + screw.x + 5, 7 + screw.y + 5), screwColour & 0xffffff);
    releasePanelFonts();
}

// Run by CTest with a fontconfig file that hides Cinzel and Inter (and only then).
TEST(CairoPainter, WithoutTheFamiliesTheTextsAreLeftOut) {
    if (!std::getenv("VELMORA_PANEL_FONTS_HIDDEN")) GTEST_SKIP() << "needs the families hidden";
    ImagePanel withoutTexts;
    PanelValues values{};
    paintPanelCairo(withoutTexts.cr, values);
    // The title's and the footer's rows hold nothing but the background gradient.
    for (int y = 18; y < 60; ++y)
        for (int x = 28; x < 400; ++x) ASSERT_EQ(withoutTexts.at(x, y), withoutTexts.at(27, y));
    for (int x = 200; x < 640; ++x)
        ASSERT_EQ(withoutTexts.at(x, panelHeight - 16), withoutTexts.at(199, panelHeight - 16));
    // The shapes are there: the cap of the first knob.
    EXPECT_EQ(withoutTexts.at(knobTable[0].centreX, knobTable[0].centreY + 10),
              knobCapColour & 0xffffff);
    releasePanelFonts();
}

}  // namespace
