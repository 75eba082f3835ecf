// The Linux VST 2.4 library's editor under a real X server: loaded with dlopen, opened in
// a window of this test host, idled, captured, dragged with XTest.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor_x11/x11_test_host.h"
#include "support/heap_in_use.h"
#include "support/plugin_library.h"

namespace {

std::vector<std::pair<int32_t, float>> automateCalls;  // index, value
int otherHostCalls = 0;

intptr_t recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float opt) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterAutomate)
        automateCalls.emplace_back(index, opt);
    else
        ++otherHostCalls;
    return 0;
}

struct EditorX11 : ::testing::Test {
    Display* display = nullptr;
    AEffect* effect = nullptr;
    Window host = 0;

    void SetUp() override {
        SKIP_WITHOUT_DISPLAY();
        static PluginLibrary library;
        display = testDisplay();
        ASSERT_TRUE(display && library.loaded());
        effect = library.create(recordingHost);
        host = createHostWindow(display, 900, 560);
        automateCalls.clear();
    }
    void TearDown() override {
        if (effect) closeEffect(effect);
        if (host) XDestroyWindow(display, host);
    }
    intptr_t open(Window parent) {
        return dispatch(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(parent));
    }
    void idle(int times = 1) {
        for (int i = 0; i < times; ++i) EXPECT_EQ(dispatch(effect, effEditIdle), 0);
    }
    void drag(int x, int y, int dy, int steps) {
        movePointerTo(display, host, x, y);
        setLeftButton(display, true);
        for (int step = 1; step <= steps; ++step) movePointerTo(display, host, x, y + dy * step);
        setLeftButton(display, false);
        idle();
    }
};

// The editor repaints only what changed and keeps the glow's pictures; after changes
// between idles, and a whole turn of the glow's phase, its window still equals a whole
// paint of the final values.
TEST_F(EditorX11, ShowsThePanelPictureOfTheSameSettings) {
    effect->setParameter(effect, 0, 0.5f);
    ASSERT_EQ(open(host), 1);
    idle(20);
    effect->setParameter(effect, 0, 1.0f);  // with Glue at 1, the widest readout
    effect->setParameter(effect, 1, 0.3f);
    idle(10);
    effect->setParameter(effect, 2, 1.0f);
    effect->setParameter(effect, 3, 0.95f);
    effect->setParameter(effect, 6, 0.0f);
    idle(170);
    EXPECT_EQ(differenceFromPanelPicture(display, host, "0=1 1=0.3 2=1 3=0.95 6=0", 200), 0);
    const Pixels shown = captureWindow(display, host, 840, 520);

    // Further idle steps move the glow (its alpha is whole numbers, so one step may not).
    idle(20);
    EXPECT_NE(captureWindow(display, host, 840, 520), shown);
    EXPECT_EQ(dispatch(effect, effEditClose), 1);
    EXPECT_TRUE(childrenOf(display, host).empty());
}

TEST_F(EditorX11, DragsMoveTheKnobsParameterAndReportEveryStep) {
    ASSERT_EQ(open(host), 1);
    idle();
    drag(130, 165, -10, 4);  // Drive from 0.4, 200 pixels span the range
    const std::vector<std::pair<int32_t, float>> drive{
        {0, 10.0f * 0.005f + 0.4f}, {0, 20.0f * 0.005f + 0.4f},
        {0, 30.0f * 0.005f + 0.4f}, {0, 40.0f * 0.005f + 0.4f}};
    EXPECT_EQ(automateCalls, drive);
    EXPECT_EQ(effect->getParameter(effect, 0), drive.back().second);
    movePointerTo(display, host, 130, 100);  // after the release: no drag any more
    idle();
    EXPECT_EQ(automateCalls.size(), 4u);

    automateCalls.clear();
    drag(700, 375, 300, 1);  // Mix, far outside the window: clamped
    EXPECT_EQ(automateCalls, (std::vector<std::pair<int32_t, float>>{{6, 0.0f}}));
    EXPECT_EQ(otherHostCalls, 0);
}

TEST_F(EditorX11, ADragEndsWhenHidingTheWindowTakesThePointerGrab) {
    ASSERT_EQ(open(host), 1);
    idle();
    movePointerTo(display, host, 130, 165);
    setLeftButton(display, true);
    movePointerTo(display, host, 130, 155);
    idle();
    XUnmapWindow(display, host);
    XSync(display, False);
    idle();
    XMapWindow(display, host);
    XSync(display, False);
    idle();
    movePointerTo(display, host, 130, 120);  // the button still held, over the knob again
    idle();
    setLeftButton(display, false);
    EXPECT_EQ(automateCalls.size(), 1u);
    EXPECT_EQ(effect->getParameter(effect, 0), 10.0f * 0.005f + 0.4f);
}

// The editor's X errors stay on its own connection: the host's handler sees its own
// errors, while an editor is open too, and none of the editor's.
TEST_F(EditorX11, BadParentsAndDisplaysLeaveTheHostAndItsErrorHandlerAlone) {
    const XErrorHandler before = XSetErrorHandler(countHostError);
    hostErrors = 0;
    EXPECT_EQ(open(0), 0);
    EXPECT_EQ(open(0x7ffffff0), 0);  // no such window
    idle();
    const Window doomed = createHostWindow(display, 840, 520);
    ASSERT_EQ(open(doomed), 1);
    idle();
    causeHostError(display);
    EXPECT_EQ(hostErrors, 1);
    XDestroyWindow(display, doomed);
    XSync(display, False);
    idle(3);
    EXPECT_EQ(dispatch(effect, effEditClose), 1);
    EXPECT_EQ(dispatch(effect, effEditClose), 1);
    causeHostError(display);
    EXPECT_EQ(hostErrors, 2);
    EXPECT_EQ(XSetErrorHandler(before), countHostError);

    const std::string name = std::getenv("DISPLAY");
    setenv("DISPLAY", ":9999", 1);  // no server there
    EXPECT_EQ(open(host), 0);
    setenv("DISPLAY", name.c_str(), 1);
    EXPECT_EQ(open(host), 1);
}

TEST_F(EditorX11, AThousandOpenIdleCloseCyclesLeaveResourcesFlat) {
    auto cycle = [&] {
        ASSERT_EQ(open(host), 1);
        idle(2);
        ASSERT_EQ(dispatch(effect, effEditClose), 1);
    };
    // The libraries' caches and the allocator's heap settle over the first cycles.
    for (int i = 0; i < 100; ++i) cycle();
    const long resourcesBefore = serverResourceCount(display);
    const size_t heapBefore = heapInUse();
    for (int i = 0; i < 1000; ++i) cycle();
    const long resourcesAfter = serverResourceCount(display);
    const size_t heapAfter = heapInUse();
    std::printf("X resources %ld -> %ld, heap %zu -> %zu bytes over 1000 cycles\n",
                resourcesBefore, resourcesAfter, heapBefore, heapAfter);
    EXPECT_GT(resourcesBefore, 0);
    EXPECT_EQ(resourcesAfter, resourcesBefore);
    EXPECT_LT(heapAfter, heapBefore + 64 * 1024);  // a frame is 1.7 MB, 64 bytes a cycle shows
}

}  // namespace
