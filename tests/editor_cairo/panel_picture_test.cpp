// The Linux panel against the Windows one: velmora-panel-picture paints the panel with
// Cairo through the built plug-in, and the picture is compared with docs/panel.png, which
// velmora-snapshot made under Wine at the same settings (defaults, 39 idle steps).
#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "editor/editor_view.h"
#include "editor/panel_layout.h"
#include "editor/panel_style.h"

namespace {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

struct Picture {
    Surface surface{nullptr, cairo_surface_destroy};
    int width = 0;
    int height = 0;
    uint32_t at(int x, int y) const {
        const unsigned char* row = cairo_image_surface_get_data(surface.get()) +
                                   static_cast<size_t>(y) * cairo_image_surface_get_stride(surface.get());
        return reinterpret_cast<const uint32_t*>(row)[x] & 0xffffff;
    }
};

Picture load(const std::string& path) {
    Picture picture;
    picture.surface.reset(cairo_image_surface_create_from_png(path.c_str()));
    if (cairo_surface_status(picture.surface.get()) != CAIRO_STATUS_SUCCESS) return picture;
    cairo_surface_flush(picture.surface.get());
    picture.width = cairo_image_surface_get_width(picture.surface.get());
    picture.height = cairo_image_surface_get_height(picture.surface.get());
    return picture;
}

// Runs the command-line tool with the given settings and loads what it wrote.
Picture linuxPanel(const std::string& name, const std::string& settings) {
    const std::string output = std::string(VELMORA_TEST_OUTPUT_DIR) + "/" + name + ".png";
    std::remove(output.c_str());
    const std::string command = std::string("'") + VELMORA_PANEL_PICTURE + "' '" + output + "' " +
                                settings + " --idle 39 > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return load(output);
}

double pixelDifference(uint32_t a, uint32_t b) {
    int sum = 0;
    for (int shift = 0; shift < 24; shift += 8)
        sum += std::abs(static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff));
    return sum / 3.0;
}

// Anti-aliasing and text rasterizers differ between the two graphics libraries, so a pixel
// is matched with the closest one within two pixels of it, each picture against the other.
constexpr int shiftTolerated = 2;

double nearestDifference(const Picture& from, const Picture& to, int x, int y) {
    double best = 255.0;
    for (int dy = -shiftTolerated; dy <= shiftTolerated; ++dy)
        for (int dx = -shiftTolerated; dx <= shiftTolerated; ++dx) {
            const int tx = x + dx;
            const int ty = y + dy;
            if (tx >= 0 && ty >= 0 && tx < to.width && ty < to.height)
                best = std::min(best, pixelDifference(from.at(x, y), to.at(tx, ty)));
        }
    return best;
}

// The mean per-pixel difference (0..255, the mean of the three channels) within a box.
double meanDifference(const Picture& a, const Picture& b, const PanelBox& box) {
    double sum = 0.0;
    for (int y = box.y; y < box.y + box.height; ++y)
        for (int x = box.x; x < box.x + box.width; ++x)
            sum += std::max(nearestDifference(a, b, x, y), nearestDifference(b, a, x, y));
    return sum / (static_cast<double>(box.width) * box.height);
}

PanelBox grown(const PanelBox& box, int by) {
    return {box.x - by, box.y - by, box.width + 2 * by, box.height + 2 * by};
}

// The panel's difference: the largest mean over the whole panel, the curve display and
// each knob's disc (where a knob's value shows).
double panelDifference(const Picture& a, const Picture& b) {
    double worst = meanDifference(a, b, {0, 0, panelWidth, panelHeight});
    worst = std::max(worst, meanDifference(a, b, grown(screenBox, 3)));
    for (const KnobEntry& knob : knobTable)
        worst = std::max(worst, meanDifference(a, b, grown(knobGeometry(knob.centreX, knob.centreY,
                                                                         knob.radius, 0.0f).body, 3)));
    return worst;
}

// Measured: 3.11 at the defaults (the Dry/Wet disc; 1.16 over the whole panel); the
// smallest of the six 10 % moves below gives 3.66.
constexpr double panelBound = 3.4;

int goldInk(const Picture& picture) {
    int count = 0;
    for (int y = 18; y < 42; ++y)
        for (int x = 28; x < 240; ++x) {
            const uint32_t p = picture.at(x, y);
            if (((p >> 16) & 0xff) > 150 && ((p >> 8) & 0xff) > 110 && (p & 0xff) < 120) ++count;
        }
    return count;
}

class PanelPicture : public ::testing::Test {
protected:
    Picture windows = load(VELMORA_WINDOWS_PANEL);
};

TEST_F(PanelPicture, LinuxAndWindowsPanelsAgreeWithinTheBound) {
    ASSERT_EQ(windows.width, panelWidth);
    ASSERT_EQ(windows.height, panelHeight);
    const Picture onLinux = linuxPanel("panel-defaults", "");
    ASSERT_EQ(onLinux.width, panelWidth);
    ASSERT_EQ(onLinux.height, panelHeight);
    const double difference = panelDifference(onLinux, windows);
    std::printf("panel difference at the defaults: %.3f (bound %.1f)\n", difference, panelBound);
    EXPECT_LT(difference, panelBound);
    // The title is set in Cinzel on both: about as much gold ink.
    const int onLinuxGold = goldInk(onLinux);
    const int windowsGold = goldInk(windows);
    EXPECT_GT(windowsGold, 500);
    EXPECT_GT(onLinuxGold, windowsGold * 3 / 4);
    EXPECT_LT(onLinuxGold, windowsGold * 5 / 4);
}

TEST_F(PanelPicture, AnyKnobMovedByATenthOfItsRangeExceedsTheBound) {
    const char* moves[] = {"0=0.5", "1=0.6", "2=0.6", "3=0.75", "4=0.85", "6=0.9"};
    for (const char* move : moves) {
        const Picture moved = linuxPanel(std::string("panel-moved-") + move[0], move);
        ASSERT_EQ(moved.width, panelWidth) << move;
        const double difference = panelDifference(moved, windows);
        std::printf("panel difference with %s: %.3f\n", move, difference);
        EXPECT_GT(difference, panelBound) << move;
    }
}

}  // namespace
