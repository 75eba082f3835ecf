// The Linux VST 2.4 library's editor under a real X server: loaded with dlopen, opened in
// a window of this test host, idled, captured, dragged with XTest.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor_x11/x11_test_host.h"
#include "support/plugin_library.h"

namespace {

struct AutomateCall {
    int32_t index;
    float value;
};

std::vector<AutomateCall> automateCalls;
int otherHostCalls = 0;

intptr_t recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float opt) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterAutomate)
        automateCalls.push_back({index, opt});
    else
        ++otherHostCalls;
    return 0;
}

PluginLibrary& library() {
    static PluginLibrary loaded;
    return loaded;
}

struct EditorFixture : ::testing::Test {
    struct {
        Display* display = nullptr;
    } x;
    AEffect* effect = nullptr;
    Window host = 0;

    void SetUp() override {
        const char* name = std::getenv("DISPLAY");
        if (!name || !*name) GTEST_SKIP() << "no DISPLAY is set";
        x.display = testDisplay();
        ASSERT_TRUE(x.display);
        ASSERT_TRUE(library().loaded());
        effect = library().create(recordingHost);
        ASSERT_TRUE(effect);
        host = createHostWindow(x.display, 900, 560);
        automateCalls.clear();
        otherHostCalls = 0;
    }
    void TearDown() override {
        if (effect) closeEffect(effect);
        if (host) XDestroyWindow(x.display, host);
    }
    intptr_t open(Window parent) {
        return dispatch(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(parent));
    }
    void idle(int times = 1) {
        for (int i = 0; i < times; ++i) dispatch(effect, effEditIdle);
    }
    Window editorWindow() {
        const std::vector<Window> children = childrenOf(x.display, host);
        return children.size() == 1 ? children[0] : 0;
    }
};

// The panel picture the PNG command paints for the same values and idle steps.
Capture referencePicture(const std::string& settings, int idleSteps) {
    const std::string path = "/tmp/velmora-x11-reference-" + std::to_string(getpid()) + ".png";
    // The picture program's own leak checks belong to its tests, not to this comparison.
    const std::string command = "ASAN_OPTIONS=detect_leaks=0 " + std::string(VELMORA_PANEL_PICTURE) +
                                " " + path + " " + settings +
                                " --idle " + std::to_string(idleSteps) + " > /dev/null";
    Capture capture;
    if (std::system(command.c_str()) != 0) return capture;
    capture = readPng(path);
    std::remove(path.c_str());
    return capture;
}

TEST_F(EditorFixture, ReportsAnEditorOf840By520) {
    EXPECT_EQ(effect->flags, 17);
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->right - rect->left, 840);
    EXPECT_EQ(rect->bottom - rect->top, 520);
}

TEST_F(EditorFixture, ShowsThePanelPictureOfTheSameSettings) {
    effect->setParameter(effect, 0, 0.8f);
    effect->setParameter(effect, 1, 0.3f);
    ASSERT_EQ(open(host), 1);
    ASSERT_NE(editorWindow(), 0u);
    idle(40);
    const Capture shown = captureWindow(x.display, host, 840, 520);
    const Capture expected = referencePicture("0=0.8 1=0.3", 40);
    ASSERT_EQ(expected.width, 840);
    ASSERT_EQ(shown.pixels.size(), expected.pixels.size());
    int differing = 0;
    for (size_t i = 0; i < shown.pixels.size(); ++i) differing += shown.pixels[i] != expected.pixels[i];
    EXPECT_EQ(differing, 0);

    // Further idle steps move the glow (its alpha is whole numbers, so one step may not).
    idle(20);
    EXPECT_NE(captureWindow(x.display, host, 840, 520).pixels, shown.pixels);
    EXPECT_EQ(dispatch(effect, effEditClose), 1);
    EXPECT_TRUE(childrenOf(x.display, host).empty());
}

TEST_F(EditorFixture, DragOnAKnobMovesItsParameterAndReportsEveryStep) {
    ASSERT_EQ(open(host), 1);
    idle();
    // Drive from 0.4: four moves of 10 pixels up, 200 pixels span the range.
    movePointerTo(x.display, host, 130, 165);
    setLeftButton(x.display, true);
    for (int step = 1; step <= 4; ++step) movePointerTo(x.display, host, 133, 165 - 10 * step);
    idle();
    setLeftButton(x.display, false);
    movePointerTo(x.display, host, 130, 100);  // after the release: no drag any more
    idle();
    ASSERT_EQ(automateCalls.size(), 4u);
    for (int step = 1; step <= 4; ++step) {
        EXPECT_EQ(automateCalls[step - 1].index, 0);
        EXPECT_EQ(automateCalls[step - 1].value, static_cast<float>(10 * step) * 0.005f + 0.4f);
    }
    EXPECT_EQ(effect->getParameter(effect, 0), static_cast<float>(40) * 0.005f + 0.4f);
    EXPECT_EQ(otherHostCalls, 0);

    // Mix, dragged 300 pixels down, far outside the window: clamped at 0.
    automateCalls.clear();
    movePointerTo(x.display, host, 700, 375);
    setLeftButton(x.display, true);
    movePointerTo(x.display, host, 700, 675);
    setLeftButton(x.display, false);
    idle();
    ASSERT_EQ(automateCalls.size(), 1u);
    EXPECT_EQ(automateCalls[0].index, 6);
    EXPECT_EQ(automateCalls[0].value, 0.0f);
    EXPECT_EQ(effect->getParameter(effect, 6), 0.0f);
}

TEST_F(EditorFixture, ADragEndsWhenThePointerGrabIsLost) {
    ASSERT_EQ(open(host), 1);
    idle();
    movePointerTo(x.display, host, 130, 165);
    setLeftButton(x.display, true);
    movePointerTo(x.display, host, 130, 155);
    idle();
    ASSERT_EQ(automateCalls.size(), 1u);
    // Hiding the window ends the grab while the button is still down.
    XUnmapWindow(x.display, host);
    XSync(x.display, False);
    idle();
    XMapWindow(x.display, host);
    XSync(x.display, False);
    idle();
    movePointerTo(x.display, host, 130, 120);  // button held, over the knob again
    idle();
    setLeftButton(x.display, false);
    idle();
    EXPECT_EQ(automateCalls.size(), 1u);
    EXPECT_EQ(effect->getParameter(effect, 0), 10.0f * 0.005f + 0.4f);
}

TEST_F(EditorFixture, BadParentsAndDisplaysLeaveTheHostAlive) {
    EXPECT_EQ(open(0), 0);
    EXPECT_EQ(open(0x7ffffff0), 0);  // no such window
    idle();
    EXPECT_EQ(dispatch(effect, effEditClose), 1);

    // The parent destroyed under an open editor: idle and close still work.
    const Window doomed = createHostWindow(x.display, 840, 520);
    ASSERT_EQ(open(doomed), 1);
    idle();
    XDestroyWindow(x.display, doomed);
    XSync(x.display, False);
    idle(3);
    EXPECT_EQ(dispatch(effect, effEditClose), 1);
    EXPECT_EQ(dispatch(effect, effEditClose), 1);

    // No display at all.
    const std::string display = std::getenv("DISPLAY");
    setenv("DISPLAY", ":9999", 1);
    EXPECT_EQ(open(host), 0);
    setenv("DISPLAY", display.c_str(), 1);
    ASSERT_EQ(open(host), 1);
    idle();
}

TEST_F(EditorFixture, AThousandOpenIdleCloseCyclesLeaveResourcesFlat) {
    auto cycle = [&] {
        ASSERT_EQ(open(host), 1);
        idle(2);
        ASSERT_EQ(dispatch(effect, effEditClose), 1);
    };
    // The libraries' caches and the allocator's heap settle over the first cycles.
    for (int i = 0; i < 100; ++i) cycle();
    XSync(x.display, False);
    const long resourcesBefore = serverResourceCount(x.display);
    const long memoryBefore = residentKilobytes();
    for (int i = 0; i < 1000; ++i) cycle();
    XSync(x.display, False);
    const long resourcesAfter = serverResourceCount(x.display);
    const long memoryAfter = residentKilobytes();
    std::printf("X resources %ld -> %ld, resident %ld kB -> %ld kB over 1000 cycles\n",
                resourcesBefore, resourcesAfter, memoryBefore, memoryAfter);
    EXPECT_GT(resourcesBefore, 0);
    EXPECT_EQ(resourcesAfter, resourcesBefore);
    EXPECT_LT(memoryAfter - memoryBefore, 2048);  // a frame is 1.7 MB, a leak of 2 kB a cycle shows
}

}  // namespace
