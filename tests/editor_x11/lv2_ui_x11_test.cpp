// The LV2 UI library loaded as an LV2 host loads it (dlopen, lv2ui_descriptor), embedded in
// a window of this test host; runs under the sanitizers, where jalv cannot. The frames the
// UI sends are counted here: this program defines XPutImage, exported so that the UI
// library's calls reach it first, and hands each call on to Xlib's.
#include <dlfcn.h>
#include <lv2/ui/ui.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "editor_x11/x11_test_host.h"

namespace {

std::vector<float> drivePortWrites;
int resizedWidth = 0;
std::string touches;  // "g4 r4 ": port 4 grabbed, then released
int framesSent = 0, wholePanelsSent = 0;

void writePort(LV2UI_Controller, uint32_t port, uint32_t size, uint32_t protocol,
               const void* buffer) {
    float value = -1.0f;
    if (port == 0 && size == sizeof value && protocol == 0) std::memcpy(&value, buffer, size);
    drivePortWrites.push_back(value);
    touches += "w ";
}

void touch(LV2UI_Feature_Handle, uint32_t port, bool grabbed) {
    touches += (grabbed ? "g" : "r") + std::to_string(port) + " ";
}
LV2UI_Touch touchFeatureData{nullptr, touch};
const LV2_Feature touchFeature{LV2_UI__touch, &touchFeatureData};

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

int resize(LV2UI_Feature_Handle, int width, int) {
    resizedWidth = width;
    return 0;
}

struct Lv2UiX11 : ::testing::Test {
    Display* display = nullptr;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idle = nullptr;

    void SetUp() override {
        SKIP_WITHOUT_DISPLAY();
        display = testDisplay();
        library = dlopen(VELMORA_LV2_UI_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_TRUE(display && library);
        descriptor = reinterpret_cast<LV2UI_DescriptorFunction>(
            dlsym(library, "lv2ui_descriptor"))(0);
        ASSERT_TRUE(descriptor);
        idle = static_cast<const LV2UI_Idle_Interface*>(
            descriptor->extension_data(LV2_UI__idleInterface));
        ASSERT_TRUE(idle);
    }
    void TearDown() override {
        if (library) dlclose(library);
    }
};

TEST_F(Lv2UiX11, FollowsPortEventsWritesDragsAndEndsWithItsParent) {

    const Window parent = createHostWindow(display, 840, 520);
    LV2UI_Widget widget = nullptr;
    LV2UI_Resize resizeData{nullptr, resize};
    const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent)};
    const LV2_Feature resizeFeature{LV2_UI__resize, &resizeData};
    const LV2_Feature* withParent[] = {&parentFeature, &resizeFeature, &touchFeature, nullptr};
    const LV2_Feature* without[] = {&resizeFeature, nullptr};
    EXPECT_EQ(descriptor->instantiate(descriptor, "", "", writePort, nullptr, &widget, without),
              nullptr);
    LV2UI_Handle ui =
        descriptor->instantiate(descriptor, "", "", writePort, nullptr, &widget, withParent);
    ASSERT_TRUE(ui);
    EXPECT_EQ(childrenOf(display, parent), std::vector<Window>{reinterpret_cast<uintptr_t>(widget)});
    EXPECT_EQ(resizedWidth, 840);

    // Drive at 60 % from the host; a bad index and a non-float format are ignored.
    const float sixty = 60.0f, ninety = 90.0f;
    descriptor->port_event(ui, 0, 4, 0, &sixty);
    descriptor->port_event(ui, 12, 4, 0, &ninety);
    descriptor->port_event(ui, 0, 4, 99, &ninety);
    EXPECT_EQ(idle->idle(ui), 0);
    movePointerTo(display, parent, 130, 165);
    setLeftButton(display, true);
    movePointerTo(display, parent, 130, 145);  // 20 pixels up
    setLeftButton(display, false);
    for (int x : {510, 420}) {  // 172 Sieve pressed and let go unmoved; no knob
        movePointerTo(display, parent, x, 375);
        setLeftButton(display, true);
        setLeftButton(display, false);
    }
    EXPECT_EQ(idle->idle(ui), 0);
    EXPECT_EQ(drivePortWrites, std::vector<float>{(20.0f * 0.005f + 0.6f) * 100.0f});
    EXPECT_EQ(touches, "g0 w r0 g4 r4 ");

    // Hidden (the host's window unmapped, then covered), idle sends nothing; the first idle
    // once it shows sends the whole panel.
    auto framesOverIdles = [&](int count) {
        idle->idle(ui);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // for the X events
        idle->idle(ui);
        const int before = framesSent;
        for (int i = 0; i < count; ++i) EXPECT_EQ(idle->idle(ui), 0);
        return framesSent - before;
    };
    XUnmapWindow(display, parent);
    XSync(display, False);
    EXPECT_EQ(framesOverIdles(20), 0);
    XMapWindow(display, parent);
    XSync(display, False);
    const int wholeBefore = wholePanelsSent;
    EXPECT_EQ(idle->idle(ui), 0);
    EXPECT_EQ(wholePanelsSent, wholeBefore + 1);
    EXPECT_GT(framesOverIdles(5), 0);  // the glow moves at every idle
    const Window cover = createHostWindow(display, 900, 600);
    EXPECT_EQ(framesOverIdles(20), 0);
    XDestroyWindow(display, cover);
    XSync(display, False);
    EXPECT_GT(framesOverIdles(5), 0);

    XDestroyWindow(display, parent);
    XSync(display, False);
    EXPECT_EQ(idle->idle(ui), 1);
    descriptor->cleanup(ui);
}

// UIs opened, idled and closed over and over on two threads, and refused bogus parents,
// while the host has its own error handler: it stays installed and sees only the host's
// errors.
TEST_F(Lv2UiX11, UisOnTwoThreadsLeaveTheHostsErrorHandlerAlone) {
    const XErrorHandler before = XSetErrorHandler(countHostError);
    hostErrors = 0;
    auto run = [&](Window parent, int* opened) {
        for (int n = 0; n < 10; ++n) {
            for (uintptr_t window : {uintptr_t{parent}, uintptr_t{0x1ffffff0}}) {
                const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(window)};
                const LV2_Feature* features[] = {&parentFeature, nullptr};
                LV2UI_Widget widget = nullptr;
                LV2UI_Handle ui = descriptor->instantiate(descriptor, "", "", writePort, nullptr,
                                                          &widget, features);
                if (!ui) continue;
                ++*opened;
                for (int i = 0; i < 20; ++i) idle->idle(ui);
                descriptor->cleanup(ui);
            }
        }
    };
    int opened[2] = {0, 0};
    const Window parents[2] = {createHostWindow(display, 840, 520),
                               createHostWindow(display, 840, 520)};
    std::thread first(run, parents[0], &opened[0]);
    std::thread second(run, parents[1], &opened[1]);
    first.join();
    second.join();
    for (Window parent : parents) XDestroyWindow(display, parent);
    EXPECT_EQ(opened[0], 10);
    EXPECT_EQ(opened[1], 10);
    EXPECT_EQ(hostErrors, 0);
    causeHostError(display);
    EXPECT_EQ(hostErrors, 1);
    EXPECT_EQ(XSetErrorHandler(before), countHostError);
}

}  // namespace
