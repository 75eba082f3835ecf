// The LV2 UI in a window of this test host: the host's touch calls around each knob gesture,
// and idle while the host's window is unmapped or covered. The frames the UI sends are
// counted here: this program defines XPutImage (exported, so the UI library's calls reach it
// first) and hands each call on to Xlib's.
#include <dlfcn.h>
#include <lv2/ui/ui.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "editor_x11/x11_test_host.h"

namespace {

int framesSent = 0, wholePanelsSent = 0;
std::string log;  // g3 grabbed port 3, w3 wrote it, r3 released it

void writePort(LV2UI_Controller, uint32_t port, uint32_t, uint32_t, const void*) {
    log += "w" + std::to_string(port) + " ";
}
void touch(LV2UI_Feature_Handle, uint32_t port, bool grabbed) {
    log += (grabbed ? "g" : "r") + std::to_string(port) + " ";
}

}  // namespace

extern "C" int XPutImage(Display* display, Drawable drawable, GC gc, XImage* image, int sourceX,
                         int sourceY, int x, int y, unsigned int width, unsigned int height) {
    using Real = int (*)(Display*, Drawable, GC, XImage*, int, int, int, int, unsigned, unsigned);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "XPutImage"));
    ++framesSent;
    wholePanelsSent += width == 840 && height == 520;
    return real(display, drawable, gc, image, sourceX, sourceY, x, y, width, height);
}

namespace {

struct Lv2UiTouchIdle : ::testing::Test {
    Display* display = nullptr;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idle = nullptr;
    Window parent = 0;
    LV2UI_Handle ui = nullptr;

    void SetUp() override {
        SKIP_WITHOUT_DISPLAY();
        display = testDisplay();
        library = dlopen(VELMORA_LV2_UI_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_TRUE(display && library);
        descriptor = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"))(0);
        idle = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        parent = createHostWindow(display, 840, 520);
        static LV2UI_Touch touchData{nullptr, touch};
        const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent)};
        const LV2_Feature touchFeature{LV2_UI__touch, &touchData};
        const LV2_Feature* features[] = {&parentFeature, &touchFeature, nullptr};
        LV2UI_Widget widget = nullptr;
        ui = descriptor->instantiate(descriptor, "", "", writePort, nullptr, &widget, features);
        ASSERT_TRUE(ui);
    }
    void TearDown() override {
        if (ui) descriptor->cleanup(ui);
        if (parent) XDestroyWindow(display, parent), XSync(display, False);
        if (library) dlclose(library);
    }
    // Frames sent over some idles, after one idle and a pause that let X events arrive.
    int framesOverIdles(int count) {
        idle->idle(ui);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        idle->idle(ui);
        const int before = framesSent;
        for (int i = 0; i < count; ++i) EXPECT_EQ(idle->idle(ui), 0);
        return framesSent - before;
    }
};

TEST_F(Lv2UiTouchIdle, EveryKnobGestureIsBetweenGrabAndRelease) {
    idle->idle(ui);
    movePointerTo(display, parent, 130, 165);  // Drive
    setLeftButton(display, true);
    movePointerTo(display, parent, 130, 155);
    movePointerTo(display, parent, 130, 145);
    setLeftButton(display, false);
    movePointerTo(display, parent, 510, 375);  // 172 Sieve: pressed and let go unmoved
    setLeftButton(display, true);
    setLeftButton(display, false);
    movePointerTo(display, parent, 420, 60);  // no knob
    setLeftButton(display, true);
    setLeftButton(display, false);
    idle->idle(ui);
    EXPECT_EQ(log, "g0 w0 w0 r0 g4 r4 ");
}

TEST_F(Lv2UiTouchIdle, NothingIsSentWhileHiddenAndTheWholePanelOnceShown) {
    EXPECT_GT(framesOverIdles(5), 0);  // the glow moves at every idle
    XUnmapWindow(display, parent);
    XSync(display, False);
    EXPECT_EQ(framesOverIdles(20), 0);
    XMapWindow(display, parent);
    XSync(display, False);
    const int wholeBefore = wholePanelsSent;
    EXPECT_EQ(idle->idle(ui), 0);
    EXPECT_GE(wholePanelsSent, wholeBefore + 1);
    EXPECT_GT(framesOverIdles(5), 0);

    const Window cover = createHostWindow(display, 900, 600);  // over the host's window
    EXPECT_EQ(framesOverIdles(20), 0);
    XDestroyWindow(display, cover);
    XSync(display, False);
    EXPECT_GT(framesOverIdles(5), 0);
}

}  // namespace
