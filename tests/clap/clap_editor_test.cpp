// The .clap's editor under a real X server, in this test's CLAP host: embedded in a host
// window, driven only by the host's timer and fd calls, showing the panel at the host's
// scale, and knob drags, double-clicks and wheel turns with XTest reaching the host as
// gesture begin, the values and gesture end.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "clap/clap_test_host.h"
#include "editor/panel_layout.h"
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

// The 200 % picture, averaged down to 100 %, against the 100 % one: the same vectors at
// twice the size, so only anti-aliasing and text hinting differ. Measured under Xvfb with the
// test fonts: about 1.3 of 255 (a 100 % panel against another's picture is 0).
constexpr double halvedPictureTolerance = 3.0;

TEST_F(ClapEditorX11, ScaledByTheHostAndResizedWithTheAspect) {
    uint32_t width = 0, height = 0;
    for (const double scale : {1.0, 1.5, 2.0}) {
        ASSERT_TRUE(gui->set_scale(p->plugin, scale));
        ASSERT_TRUE(gui->get_size(p->plugin, &width, &height));
        EXPECT_EQ(width * 10000 + height, uint32_t(840 * scale) * 10000 + uint32_t(520 * scale)) << scale;
    }
    EXPECT_FALSE(gui->set_scale(p->plugin, 0.0));
    clap_gui_resize_hints_t hints{};
    ASSERT_TRUE(gui->get_resize_hints(p->plugin, &hints));
    EXPECT_TRUE(hints.preserve_aspect_ratio && hints.can_resize_horizontally && hints.can_resize_vertically);
    EXPECT_EQ(hints.aspect_ratio_width * 520, hints.aspect_ratio_height * 840);
    const uint32_t asked[][4] = {{1000, 1000, 1170, 724}, {1260, 780, 1260, 780}, {10, 10, 630, 390},
                                 {9000, 100, 2520, 1560}, {0, 0, 630, 390}, {841, 519, 840, 520}};
    for (const auto& a : asked) {
        width = a[0], height = a[1];
        ASSERT_TRUE(gui->adjust_size(p->plugin, &width, &height));
        EXPECT_EQ(width * 10000 + height, a[2] * 10000 + a[3]) << a[0] << " x " << a[1];
    }

    XResizeWindow(display, window, 1700, 1060);
    ASSERT_TRUE(gui->set_scale(p->plugin, 1.0));
    ASSERT_TRUE(open());
    timer(40);
    const Pixels atOne = captureWindow(display, window, 840, 520);
    gui->destroy(p->plugin);
    p = std::make_unique<ClapPlugin>(library);  // the glow at the same phase
    gui = pluginExtension<clap_plugin_gui_t>(p->plugin, CLAP_EXT_GUI);
    ASSERT_TRUE(gui->set_scale(p->plugin, 2.0));
    ASSERT_TRUE(open());
    timer(40);
    const Pixels atTwo = captureWindow(display, window, 1680, 1040);
    const double difference = meanDifferenceOfHalf(atTwo, atOne, 840);
    std::printf("200 %% halved against 100 %%: mean difference %.2f of 255\n", difference);
    EXPECT_GE(difference, 0.0);
    EXPECT_LT(difference, halvedPictureTolerance);

    ASSERT_TRUE(gui->set_size(p->plugin, 1260, 780));
    timer();
    XWindowAttributes child{};
    XGetWindowAttributes(display, childrenOf(display, window).at(0), &child);
    EXPECT_EQ(child.width * 10000 + child.height, 1260 * 10000 + 780);
}

TEST_F(ClapEditorX11, KnobGesturesAt150PerCentInPanelUnits) {
    XResizeWindow(display, window, 1300, 800);
    ASSERT_TRUE(gui->set_scale(p->plugin, 1.5));
    ASSERT_TRUE(open());
    timer();
    const auto at = [](int32_t units) { return int(units * 3 / 2); };  // whole pixels
    const auto span = [](int parameter) {
        return double(parameterTable[parameter].maximum - parameterTable[parameter].minimum);
    };
    // A plain drag of 30 pixels (20 panel units) down: a tenth of the range, that knob only.
    for (const KnobEntry& knob : knobTable) {
        double before[parameterCount];
        for (int i = 0; i < parameterCount; ++i) before[i] = p->value(clap_id(i));
        movePointerTo(display, window, at(knob.centreX), at(knob.centreY));
        setLeftButton(display, true);
        movePointerTo(display, window, at(knob.centreX), at(knob.centreY) + 30);
        fdReady();
        setLeftButton(display, false);
        fdReady();
        expectOneGesture(p->flush(), clap_id(knob.parameter), "drag");
        for (int i = 0; i < parameterCount; ++i)
            EXPECT_NEAR(p->value(clap_id(i)), before[i] - (i == knob.parameter ? 0.1 * span(i) : 0.0), 1e-4 * span(i))
                << knob.parameter << " moved " << i;
    }
    // Drive is at 30: a double-click brings back its 40, Shift makes a drag ten times finer.
    movePointerTo(display, window, at(130), at(165));
    for (int click = 0; click < 4; ++click) setLeftButton(display, click % 2 == 0);
    fdReady();
    expectOneGesture(p->flush(), 0, "double-click");
    EXPECT_EQ(p->value(0), 40.0);
    setShift(display, true);
    setLeftButton(display, true);
    movePointerTo(display, window, at(130), at(165) + 30);
    fdReady();
    setLeftButton(display, false);
    setShift(display, false);
    fdReady();
    expectOneGesture(p->flush(), 0, "fine drag");
    EXPECT_NEAR(p->value(0), 39.0, 1e-3);
    // A wheel notch over 580 Glue (at 60): 1 %, with Shift 0.1 %.
    movePointerTo(display, window, at(130), at(375));
    turnWheel(display, true);
    fdReady();
    timer();
    expectOneGesture(p->flush(), 2, "wheel");
    EXPECT_NEAR(p->value(2), 61.0, 1e-3);
    setShift(display, true);
    turnWheel(display, false);
    setShift(display, false);
    fdReady();
    expectOneGesture(p->flush(), 2, "fine wheel");
    EXPECT_NEAR(p->value(2), 60.9, 1e-3);
}

TEST_F(ClapEditorX11, TheChosenSizeComesBackWithTheStateAndOlderStatesAt100PerCent) {
    const auto* state = pluginExtension<clap_plugin_state_t>(p->plugin, CLAP_EXT_STATE);
    ASSERT_TRUE(gui->set_size(p->plugin, 1260, 780));
    ByteStream saved;
    ASSERT_TRUE(state->save(p->plugin, &saved.out));
    const auto sizeAfterLoading = [&](std::vector<unsigned char> bytes, double scale) {
        ClapPlugin q(library);
        const auto* itsGui = pluginExtension<clap_plugin_gui_t>(q.plugin, CLAP_EXT_GUI);
        ByteStream in;
        in.bytes = std::move(bytes);
        itsGui->set_scale(q.plugin, scale);
        itsGui->set_size(q.plugin, 2000, 1238);  // replaced by what the state holds
        uint32_t width = 0, height = 0;
        if (!pluginExtension<clap_plugin_state_t>(q.plugin, CLAP_EXT_STATE)->load(q.plugin, &in.in)) return 0u;
        itsGui->get_size(q.plugin, &width, &height);
        return width * 10000 + height;
    };
    EXPECT_EQ(sizeAfterLoading(saved.bytes, 1.0), 1260u * 10000 + 780);
    EXPECT_EQ(sizeAfterLoading(saved.bytes, 2.0), 2520u * 10000 + 1560);  // 150 % of 200 %
    std::vector<unsigned char> older(saved.bytes.begin(), saved.bytes.end() - 4);
    older[4] = 2;
    EXPECT_EQ(sizeAfterLoading(older, 1.0), 840u * 10000 + 520);
}

}  // namespace
