// The VST 3 editor view under a real X server: embedded in a window of this host, driven by
// the host's run loop, showing what the VST 2.4 library's editor shows, and dragged with XTest
// into begin, perform and end edits.
#include "editor_x11/x11_test_host.h"

#include <set>

#include "support/plugin_library.h"
#include "vst3_test_host.h"

namespace {

constexpr int panelWidth = 840, panelHeight = 520;

// The host's frame with its run loop; a tick calls every registered timer once.
struct RunLoopFrame {
    IPlugFrame frame{&frameTable};
    IRunLoop loop{&loopTable};
    std::vector<std::pair<ITimerHandler*, uint64_t>> timers;

    static RunLoopFrame& of(IRunLoop* l) {
        return *reinterpret_cast<RunLoopFrame*>(reinterpret_cast<char*>(l) - offsetof(RunLoopFrame, loop));
    }
    void tick(int times = 1) {
        for (int i = 0; i < times; ++i)
            for (auto [timer, interval] : std::vector(timers)) timer->vtbl->onTimer(timer);
    }
    static inline const IPlugFrameVtbl frameTable = {
        [](IPlugFrame* f, const TUID iid, void** object) -> tresult {
            *object = sameUid(iid, IRunLoop_iid) ? &reinterpret_cast<RunLoopFrame*>(f)->loop : nullptr;
            return *object ? kResultOk : kNoInterface;
        },
        +[](IPlugFrame*) -> uint32_t { return 1; }, +[](IPlugFrame*) -> uint32_t { return 1; },
        [](IPlugFrame*, IPlugView*, ViewRect*) -> tresult { return kResultFalse; },
    };
    static inline const IRunLoopVtbl loopTable = {
        TEST_HOST_UNKNOWN(IRunLoop),
        [](IRunLoop*, IEventHandler*, int) -> tresult { return kResultOk; },
        [](IRunLoop*, IEventHandler*) -> tresult { return kResultOk; },
        [](IRunLoop* l, ITimerHandler* timer, uint64_t interval) -> tresult {
            of(l).timers.emplace_back(timer, interval);
            return kResultOk;
        },
        [](IRunLoop* l, ITimerHandler* timer) -> tresult {
            std::erase_if(of(l).timers, [timer](const auto& entry) { return entry.first == timer; });
            return kResultOk;
        },
    };
};

struct Vst3EditorX11 : ::testing::Test {
    Display* display = nullptr;
    Vst3Module module;
    std::unique_ptr<Vst3Instance> plugin;
    RecordingHandler handler;
    RunLoopFrame host;
    Window window = 0;

    void SetUp() override {
        SKIP_WITHOUT_DISPLAY();
        display = testDisplay();
        ASSERT_TRUE(display && module.factory());
        plugin = std::make_unique<Vst3Instance>(module, 48000.0);
        plugin->controller->vtbl->setComponentHandler(plugin->controller, &handler.handler);
        window = createHostWindow(display, panelWidth, panelHeight);
    }
    void TearDown() override {
        plugin.reset();
        if (window) XDestroyWindow(display, window);
        EXPECT_EQ(handler.references, 0);
    }
    IPlugView* open() {
        IPlugView* view = plugin->controller->vtbl->createView(plugin->controller, "editor");
        view->vtbl->setFrame(view, &host.frame);
        EXPECT_EQ(view->vtbl->attached(view, reinterpret_cast<void*>(window), "X11EmbedWindowID"), kResultOk);
        return view;
    }
};

TEST_F(Vst3EditorX11, ShowsTheVst2EditorsPanelThroughTheRunLoop) {
    IEditController* e = plugin->controller;
    EXPECT_EQ(e->vtbl->createView(e, "other"), nullptr);
    IPlugView* view = e->vtbl->createView(e, "editor");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->vtbl->isPlatformTypeSupported(view, "HWND"), kResultFalse);
    ViewRect size{};
    ASSERT_EQ(view->vtbl->getSize(view, &size), kResultOk);
    EXPECT_EQ(size.right - size.left, panelWidth);
    EXPECT_EQ(size.bottom - size.top, panelHeight);
    EXPECT_EQ(view->vtbl->canResize(view), kResultTrue);
    // Without a run loop nothing would ever paint it.
    EXPECT_EQ(view->vtbl->attached(view, reinterpret_cast<void*>(window), "X11EmbedWindowID"), kResultFalse);
    release(view);

    plugin->setParameter(0, 0.7);
    plugin->setParameter(6, 0.35);
    view = open();
    ASSERT_EQ(host.timers.size(), 1u);
    EXPECT_GT(host.timers[0].second, 0u);
    host.tick(5);
    const Pixels shown = captureWindow(display, window, panelWidth, panelHeight);
    EXPECT_GT(std::set<uint32_t>(shown.begin(), shown.end()).size(), 100u);  // the panel, painted

    PluginLibrary vst2;
    AEffect* effect = vst2.create();
    effect->setParameter(effect, 0, 0.7f);
    effect->setParameter(effect, 6, 0.35f);
    const Window vst2Window = createHostWindow(display, panelWidth, panelHeight);
    ASSERT_EQ(dispatch(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(vst2Window)), 1);
    for (int i = 0; i < 5; ++i) dispatch(effect, effEditIdle);
    EXPECT_TRUE(shown == captureWindow(display, vst2Window, panelWidth, panelHeight));
    closeEffect(effect);
    XDestroyWindow(display, vst2Window);

    EXPECT_EQ(view->vtbl->removed(view), kResultOk);
    EXPECT_TRUE(host.timers.empty());
    EXPECT_TRUE(childrenOf(display, window).empty());
    EXPECT_EQ(release(view), 0u);
}

TEST_F(Vst3EditorX11, DragIsOneEditReportedToTheHost) {
    IPlugView* view = open();
    host.tick();
    movePointerTo(display, window, 130, 165);  // Drive, at 0.4
    setLeftButton(display, true);
    for (int step = 1; step <= 4; ++step) movePointerTo(display, window, 130, 165 - 10 * step);
    host.tick();
    setLeftButton(display, false);
    host.tick();
    ASSERT_GE(handler.calls.size(), 3u);
    EXPECT_EQ(handler.calls.front(), "begin 0");
    EXPECT_EQ(handler.calls[handler.calls.size() - 2], "perform 0 0.6");
    EXPECT_EQ(handler.calls.back(), "end 0");
    EXPECT_FLOAT_EQ(plugin->parameter(0), 0.6f);

    // A drag cut short by closing the editor still ends its edit.
    handler.calls.clear();
    movePointerTo(display, window, 130, 165);
    setLeftButton(display, true);
    movePointerTo(display, window, 130, 175);
    host.tick();
    view->vtbl->removed(view);
    setLeftButton(display, false);
    EXPECT_EQ(handler.calls.back(), "end 0");
    release(view);
}

}  // namespace
