// The Linux libraries loaded, used with their editors shown and unloaded again, as hosts,
// scanners and suil (which unloads a UI library whenever its window closes) do, in a
// process that links no GUI toolkit: only Xlib, for the host's window and error handler.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <lv2/ui/ui.h>

#include <cstdlib>

#include "support/plugin_library.h"

namespace {

int hostErrors = 0;
int countHostError(Display*, XErrorEvent*) {
    ++hostErrors;
    return 0;
}

void ignoreWrite(LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {}

// A UI library cycle: instantiate in the parent, a port event, idles, cleanup, dlclose.
void runUiCycle(Window parent, bool shown) {
    void* library = dlopen(VELMORA_LV2_UI_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(library) << dlerror();
    const auto* descriptor = reinterpret_cast<LV2UI_DescriptorFunction>(
        dlsym(library, "lv2ui_descriptor"))(0);
    ASSERT_TRUE(descriptor);
    if (shown) {
        const auto* idle = static_cast<const LV2UI_Idle_Interface*>(
            descriptor->extension_data(LV2_UI__idleInterface));
        const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent)};
        const LV2_Feature* features[] = {&parentFeature, nullptr};
        LV2UI_Widget widget = nullptr;
        LV2UI_Handle ui = descriptor->instantiate(descriptor, "", "", ignoreWrite, nullptr,
                                                  &widget, features);
        ASSERT_TRUE(ui && idle);
        const float drive = 75.0f;
        descriptor->port_event(ui, 0, sizeof drive, 0, &drive);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(idle->idle(ui), 0);
        descriptor->cleanup(ui);
    }
    EXPECT_EQ(dlclose(library), 0);
}

TEST(UnloadCycles, TheLibrariesLoadAgainAfterDlcloseWithAndWithoutTheirEditors) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY is set";
    Display* display = XOpenDisplay(nullptr);
    ASSERT_TRUE(display);
    const XErrorHandler before = XSetErrorHandler(countHostError);
    const Window parent =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 840, 520, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);

    // Every fifth cycle the editor stays closed.
    for (int cycle = 0; cycle < 20; ++cycle) {
        PluginLibrary library;
        ASSERT_TRUE(library.loaded());
        AEffect* effect = library.create();
        ASSERT_TRUE(effect);
        if (cycle % 5 != 0) {
            ASSERT_EQ(dispatch(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(parent)), 1);
            for (int i = 0; i < 3; ++i) EXPECT_EQ(dispatch(effect, effEditIdle), 0);
            EXPECT_EQ(dispatch(effect, effEditClose), 1);
        }
        closeEffect(effect);
    }
    for (int cycle = 0; cycle < 20; ++cycle) runUiCycle(parent, cycle % 5 != 0);

    // The host's handler is still its own and still sees the host's errors.
    EXPECT_EQ(hostErrors, 0);
    XMapWindow(display, 0x1ffffff0);  // no such window
    XSync(display, False);
    EXPECT_EQ(hostErrors, 1);
    EXPECT_EQ(XSetErrorHandler(before), countHostError);
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
}

}  // namespace
