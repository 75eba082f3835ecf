// Instances created and closed on two threads at once under Windows, GDI+ included: the
// startups and shutdowns stay paired, and GDI+ still draws afterwards.
#include <gtest/gtest.h>

#include <windows.h>

#include <gdiplus.h>

#include <atomic>

#include "host/plugin_instance.h"
#include "robustness/instance_churn.h"
#include "support/plugin_library.h"

namespace {

constexpr int churnCycles = 2000;  // per thread

// A bitmap, a graphics on it and a filled rectangle: GDI+ is started and sound.
bool gdiplusDraws() {
    using namespace Gdiplus;
    GpBitmap* bitmap = nullptr;
    if (DllExports::GdipCreateBitmapFromScan0(64, 64, 0, PixelFormat32bppARGB, nullptr, &bitmap) != Ok) return false;
    GpGraphics* graphics = nullptr;
    GpSolidFill* brush = nullptr;
    bool ok = DllExports::GdipGetImageGraphicsContext(bitmap, &graphics) == Ok &&
              DllExports::GdipCreateSolidFill(0xff336699, &brush) == Ok &&
              DllExports::GdipFillRectangleI(graphics, brush, 0, 0, 64, 64) == Ok;
    ARGB pixel = 0;
    ok = ok && DllExports::GdipBitmapGetPixel(bitmap, 10, 10, &pixel) == Ok && pixel == 0xff336699;
    if (brush) DllExports::GdipDeleteBrush(brush);
    if (graphics) DllExports::GdipDeleteGraphics(graphics);
    DllExports::GdipDisposeImage(bitmap);
    return ok;
}

TEST(InstanceThreadsWin, TwoThreadsCreateAndCloseThroughTheDll) {
    PluginLibrary library;
    ASSERT_TRUE(library.loaded());
    std::atomic<int> failures{0};
    onTwoThreads(churnCycles, [&](int, int) {
        AEffect* effect = library.create();
        if (!effect) {
            failures.fetch_add(1);
            return;
        }
        closeEffect(effect);
    });
    EXPECT_EQ(failures.load(), 0);

    AEffect* effect = library.create();
    ASSERT_NE(effect, nullptr);
    EXPECT_TRUE(gdiplusDraws());
    closeEffect(effect);
}

// The host objects linked in, with the real GDI+ calls counted behind the platform seam.
TEST(InstanceThreadsWin, GdiplusStartupsAndShutdownsStayPaired) {
    CountingSeam counting;
    onTwoThreads(churnCycles, [](int, int) { closeEffect(VSTPluginMain(quietHostCallback)); });
    EXPECT_EQ(gdiplusCounts.overlaps.load(), 0);
    EXPECT_GE(gdiplusCounts.startups.load(), 1);
    EXPECT_EQ(gdiplusCounts.startups.load(), gdiplusCounts.shutdowns.load());
    EXPECT_EQ(moduleState.instanceCount, 0);
    EXPECT_EQ(moduleState.gdiplusToken, 0u);

    AEffect* pinned = VSTPluginMain(quietHostCallback);
    EXPECT_NE(moduleState.gdiplusToken, 0u);
    EXPECT_TRUE(gdiplusDraws());
    closeEffect(pinned);
}

}  // namespace
