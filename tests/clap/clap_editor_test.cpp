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
    EXPECT_TRUE(gui->can_resize(p->plugin));
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
    for (int step = 1; step <= 4; ++step) {
        movePointerTo(display, window, 130, 165 - 10 * step);
        fdReady();
    }
    EXPECT_GT(p->host.flushRequests, 0);
    setLeftButton(display, false);
    fdReady();
    const std::vector<SentEvent> events = p->flush();
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events.front().type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
    for (int step = 1; step <= 4; ++step) {
        EXPECT_EQ(events[step].type, CLAP_EVENT_PARAM_VALUE);
        EXPECT_EQ(events[step].value, 40.0 + 5.0 * step) << step;
    }
    EXPECT_EQ(events.back().type, CLAP_EVENT_PARAM_GESTURE_END);
    for (const SentEvent& event : events) EXPECT_EQ(event.parameter, 0u);
    EXPECT_EQ(p->value(0), 60.0);
    EXPECT_TRUE(p->flush().empty());

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
}

}  // namespace
