// The LV2 UI library loaded as an LV2 host loads it (dlopen, lv2ui_descriptor), embedded in
// a window of this test host under a real X server.
#include <dlfcn.h>
#include <lv2/ui/ui.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "editor_x11/x11_test_host.h"

namespace {

struct PortWrite {
    uint32_t port;
    uint32_t size;
    uint32_t protocol;
    float value;
};

struct Host {
    std::vector<PortWrite> writes;
    int resizedWidth = 0;
    int resizedHeight = 0;
};

void writePort(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
               const void* buffer) {
    float value = 0.0f;
    if (size == sizeof value) std::memcpy(&value, buffer, sizeof value);
    static_cast<Host*>(controller)->writes.push_back({port, size, protocol, value});
}

int resize(LV2UI_Feature_Handle handle, int width, int height) {
    static_cast<Host*>(handle)->resizedWidth = width;
    static_cast<Host*>(handle)->resizedHeight = height;
    return 0;
}

const LV2UI_Descriptor* uiDescriptor() {
    static void* library = dlopen(VELMORA_LV2_UI_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
    return entry ? entry(0) : nullptr;
}

struct Lv2UiFixture : ::testing::Test {
    Display* display = nullptr;
    Window parentWindow = 0;
    const LV2UI_Descriptor* descriptor = nullptr;
    Host host;
    LV2UI_Handle ui = nullptr;
    LV2UI_Widget widget = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;

    void SetUp() override {
        const char* name = std::getenv("DISPLAY");
        if (!name || !*name) GTEST_SKIP() << "no DISPLAY is set";
        display = testDisplay();
        ASSERT_TRUE(display);
        descriptor = uiDescriptor();
        ASSERT_TRUE(descriptor);
        parentWindow = createHostWindow(display, 900, 560);
    }
    void TearDown() override {
        if (ui) descriptor->cleanup(ui);
        if (parentWindow) XDestroyWindow(display, parentWindow);
    }
    LV2UI_Handle instantiate(void* parent) {
        const LV2_Feature parentFeature{LV2_UI__parent, parent};
        LV2UI_Resize resizeData{&host, resize};
        const LV2_Feature resizeFeature{LV2_UI__resize, &resizeData};
        const LV2_Feature* features[] = {&parentFeature, &resizeFeature, nullptr};
        return descriptor->instantiate(descriptor, "urn:tolvan-audio:velmora", "", writePort,
                                       &host, &widget, features);
    }
    void open() {
        ui = instantiate(reinterpret_cast<void*>(parentWindow));
        ASSERT_TRUE(ui);
        idleInterface = static_cast<const LV2UI_Idle_Interface*>(
            descriptor->extension_data(LV2_UI__idleInterface));
        ASSERT_TRUE(idleInterface);
    }
    void idle(int times = 1) {
        for (int i = 0; i < times; ++i) ASSERT_EQ(idleInterface->idle(ui), 0);
    }
    void sendPort(uint32_t port, float value) { descriptor->port_event(ui, port, 4, 0, &value); }
};

TEST_F(Lv2UiFixture, EmbedsInTheParentAndShowsThePortValuesTheHostSends) {
    open();
    EXPECT_STREQ(descriptor->URI, "urn:tolvan-audio:velmora:ui");
    const std::vector<Window> children = childrenOf(display, parentWindow);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(widget), children[0]);
    EXPECT_EQ(host.resizedWidth, 840);
    EXPECT_EQ(host.resizedHeight, 520);

    sendPort(0, 80.0f);   // Drive in per cent
    sendPort(1, 0.3f);    // Tube Bias as it is
    sendPort(12, 50.0f);  // no such control port: ignored
    float ignored = 10.0f;
    descriptor->port_event(ui, 2, 4, 99, &ignored);  // not a plain float: ignored
    idle(40);
    const Capture shown = captureWindow(display, parentWindow, 840, 520);
    const std::string path = "/tmp/velmora-lv2-ui-reference-" + std::to_string(getpid()) + ".png";
    const std::string command = "ASAN_OPTIONS=detect_leaks=0 " +
                                std::string(VELMORA_PANEL_PICTURE) + " " + path +
                                " 0=0.8 1=0.3 --idle 40 > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Capture expected = readPng(path);
    std::remove(path.c_str());
    ASSERT_EQ(expected.pixels.size(), shown.pixels.size());
    int differing = 0;
    for (size_t i = 0; i < shown.pixels.size(); ++i) differing += shown.pixels[i] != expected.pixels[i];
    EXPECT_EQ(differing, 0);
    EXPECT_TRUE(host.writes.empty());
}

TEST_F(Lv2UiFixture, DragWritesPortValuesThroughTheHost) {
    open();
    idle();
    movePointerTo(display, parentWindow, 130, 165);  // Drive, 40 % by default
    setLeftButton(display, true);
    for (int step = 1; step <= 4; ++step) movePointerTo(display, parentWindow, 130, 165 - 10 * step);
    setLeftButton(display, false);
    idle();
    ASSERT_EQ(host.writes.size(), 4u);
    for (int step = 1; step <= 4; ++step) {
        const PortWrite& write = host.writes[step - 1];
        EXPECT_EQ(write.port, 0u);
        EXPECT_EQ(write.size, 4u);
        EXPECT_EQ(write.protocol, 0u);
        EXPECT_EQ(write.value, (static_cast<float>(10 * step) * 0.005f + 0.4f) * 100.0f);
    }
}

TEST_F(Lv2UiFixture, NoParentOrABadOneGivesNoUi) {
    const LV2_Feature* none[] = {nullptr};
    EXPECT_EQ(descriptor->instantiate(descriptor, "urn:tolvan-audio:velmora", "", writePort,
                                      &host, &widget, none),
              nullptr);
    EXPECT_EQ(instantiate(reinterpret_cast<void*>(uintptr_t{0x7ffffff0})), nullptr);
    EXPECT_EQ(host.resizedWidth, 0);
}

TEST_F(Lv2UiFixture, IdleReportsTheWindowGoneWithItsParent) {
    const Window doomed = createHostWindow(display, 840, 520);
    ui = instantiate(reinterpret_cast<void*>(doomed));
    ASSERT_TRUE(ui);
    idleInterface = static_cast<const LV2UI_Idle_Interface*>(
        descriptor->extension_data(LV2_UI__idleInterface));
    EXPECT_EQ(idleInterface->idle(ui), 0);
    XDestroyWindow(display, doomed);
    XSync(display, False);
    EXPECT_EQ(idleInterface->idle(ui), 1);
}

}  // namespace
