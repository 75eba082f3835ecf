// The .clap's editor under a real X server, in this test's CLAP host: embedded in a host
// window, driven only by the host's timer and fd calls, showing the panel, and a knob drag
// with XTest reaching the host as gesture begin, the values and gesture end.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "clap/clap_test_host.h"
#include "editor_x11/x11_test_host.h"

namespace {

struct ClapEditorX11 : ::testing::Test {
    Display* display = nullptr;
    Window window = 0;
    ClapLibrary library;
    std::unique_ptr<ClapPlugin> p;
    const clap_plugin_gui_t* gui = nullptr;

    void SetUp() override {
        SKIP_WITHOUT_DISPLAY();
        display = testDisplay();
        ASSERT_NE(display, nullptr);
        window = createHostWindow(display, 900, 560);
        p = std::make_unique<ClapPlugin>(library);
        gui = pluginExtension<clap_plugin_gui_t>(p->plugin, CLAP_EXT_GUI);
        ASSERT_NE(gui, nullptr);
    }
    void TearDown() override {
        p.reset();
        if (window) XDestroyWindow(display, window);
    }
    bool open() {
        clap_window_t parent{CLAP_WINDOW_API_X11, {}};
        parent.x11 = window;
        return gui->create(p->plugin, CLAP_WINDOW_API_X11, false) && gui->set_parent(p->plugin, &parent);
    }
    void timer(int times = 1) {
        const auto* timers = pluginExtension<clap_plugin_timer_support_t>(p->plugin, CLAP_EXT_TIMER_SUPPORT);
        for (int i = 0; i < times; ++i) timers->on_timer(p->plugin, p->host.timer);
    }
    void fdReady() {
        const auto* fds = pluginExtension<clap_plugin_posix_fd_support_t>(p->plugin, CLAP_EXT_POSIX_FD_SUPPORT);
        fds->on_fd(p->plugin, p->host.fd, CLAP_POSIX_FD_READ);
    }
};

TEST_F(ClapEditorX11, ShowsThePanelDrivenByTheHostsTimer) {
    uint32_t width = 0, height = 0;
    EXPECT_TRUE(gui->get_size(p->plugin, &width, &height));
    EXPECT_EQ(width * 1000 + height, 840u * 1000 + 520u);
    EXPECT_FALSE(gui->can_resize(p->plugin));
    EXPECT_FALSE(gui->is_api_supported(p->plugin, CLAP_WINDOW_API_X11, true));
    EXPECT_FALSE(gui->is_api_supported(p->plugin, "wayland", false));

    p->set(0, 80.0);
    p->set(1, 0.3);
    ASSERT_TRUE(open());
    EXPECT_EQ(p->host.timerPeriod, 30u);
    EXPECT_GE(p->host.fd, 0);
    ASSERT_EQ(childrenOf(display, window).size(), 1u);
    timer(40);
    EXPECT_EQ(differenceFromPanelPicture(display, window, "0=0.8 1=0.3", 40), 0);

    gui->destroy(p->plugin);
    EXPECT_TRUE(childrenOf(display, window).empty());
    EXPECT_EQ(p->host.timer, CLAP_INVALID_ID);
    EXPECT_EQ(p->host.fd, -1);
}

TEST_F(ClapEditorX11, ADragSendsGestureBeginTheValuesAndGestureEnd) {
    ASSERT_TRUE(open());
    timer();
    movePointerTo(display, window, 130, 165);  // Drive, from 40
    setLeftButton(display, true);
    std::vector<SentEvent> events;
    for (int step = 1; step <= 4; ++step) {
        movePointerTo(display, window, 130, 165 - 10 * step);
        fdReady();
        // The first flush's list is full: the gesture's begin comes with the next, and only
        // the value in between is skipped.
        const std::vector<SentEvent> sent = p->flush(nullptr, step == 1 ? 1 : 0);
        events.insert(events.end(), sent.begin(), sent.end());
    }
    EXPECT_GT(p->host.flushRequests, 0);
    setLeftButton(display, false);
    fdReady();
    const std::vector<SentEvent> last = p->flush();
    events.insert(events.end(), last.begin(), last.end());
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events.front().type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
    for (int step = 2; step <= 4; ++step) {
        EXPECT_EQ(events[step - 1].type, CLAP_EVENT_PARAM_VALUE);
        EXPECT_EQ(events[step - 1].value, 40.0 + 5.0 * step) << step;
    }
    EXPECT_EQ(events.back().type, CLAP_EVENT_PARAM_GESTURE_END);
    for (const SentEvent& event : events) EXPECT_EQ(event.parameter, 0u);
    EXPECT_EQ(p->value(0), 60.0);
    EXPECT_TRUE(p->flush().empty());

    // Hundreds of values while the host collects nothing: it gets the gesture and the
    // latest value, and the end the editor's destruction adds.
    movePointerTo(display, window, 130, 165);
    setLeftButton(display, true);
    for (int move = 1; move <= 300; ++move) {
        movePointerTo(display, window, 130, 165 + 10 * (move % 2));
        fdReady();
    }
    gui->destroy(p->plugin);
    setLeftButton(display, false);
    events = p->flush();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].type * 100 + events[1].type * 10 + events[2].type,
              CLAP_EVENT_PARAM_GESTURE_BEGIN * 100 + CLAP_EVENT_PARAM_VALUE * 10 + CLAP_EVENT_PARAM_GESTURE_END);
    EXPECT_EQ(events[1].value, 60.0);
    ASSERT_TRUE(open());

    // The editor closed mid-drag still ends the gesture; process delivers it too.
    movePointerTo(display, window, 700, 375);  // Mix
    setLeftButton(display, true);
    movePointerTo(display, window, 700, 395);
    timer();
    gui->destroy(p->plugin);
    setLeftButton(display, false);
    ASSERT_TRUE(p->activate(48000.0));
    EventSink sink;
    p->process(nullptr, nullptr, 0, nullptr, &sink);
    ASSERT_EQ(sink.events.size(), 3u);
    EXPECT_EQ(sink.events[1].value, 90.0);
    EXPECT_EQ(sink.events[2].type, CLAP_EVENT_PARAM_GESTURE_END);
}

bool mapped(Display* display, Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state != IsUnmapped;
}

// Hidden, the editor is unmapped and the host's timer stopped until it is shown again.
TEST_F(ClapEditorX11, HideUnmapsAndStopsTheTimerUntilShow) {
    ASSERT_TRUE(open());
    ASSERT_TRUE(gui->show(p->plugin));
    const Window editor = childrenOf(display, window).at(0);
    EXPECT_TRUE(mapped(display, editor));
    ASSERT_TRUE(gui->hide(p->plugin));
    EXPECT_FALSE(mapped(display, editor));
    EXPECT_EQ(p->host.timer, CLAP_INVALID_ID);
    ASSERT_TRUE(gui->show(p->plugin));
    EXPECT_TRUE(mapped(display, editor));
    EXPECT_EQ(p->host.timer, 7u);
    timer(40);
    EXPECT_EQ(differenceFromPanelPicture(display, window, "", 40), 0L);
}

// The host destroys its window with the editor in it: the dead connection is no longer
// watched (a level-triggered fd would call back without end).
TEST_F(ClapEditorX11, ADeadEditorsConnectionIsNoLongerWatched) {
    ASSERT_TRUE(open());
    ASSERT_GE(p->host.fd, 0);
    XDestroyWindow(display, window);
    XSync(display, False);
    window = 0;
    fdReady();
    EXPECT_EQ(p->host.fd, -1);
    timer();
    gui->destroy(p->plugin);
}

TEST_F(ClapEditorX11, CreatedAndDestroyedManyTimesAndOnlyWithATimer) {
    const long resourcesBefore = serverResourceCount(display);
    for (int cycle = 0; cycle < 50; ++cycle) {
        ASSERT_TRUE(open()) << cycle;
        EXPECT_FALSE(gui->create(p->plugin, CLAP_WINDOW_API_X11, false));  // one at a time
        timer(2);
        gui->destroy(p->plugin);
    }
    XSync(display, False);
    EXPECT_EQ(serverResourceCount(display), resourcesBefore);

    ClapPlugin noTimers(library, false);
    const auto* itsGui = pluginExtension<clap_plugin_gui_t>(noTimers.plugin, CLAP_EXT_GUI);
    EXPECT_FALSE(itsGui->create(noTimers.plugin, CLAP_WINDOW_API_X11, false));
    clap_window_t parent{CLAP_WINDOW_API_X11, {}};
    parent.x11 = window;
    EXPECT_FALSE(itsGui->set_parent(noTimers.plugin, &parent));  // not created: no timers read
}

}  // namespace
