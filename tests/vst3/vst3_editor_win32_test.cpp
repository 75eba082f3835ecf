// The VST 3 editor view on Windows (under Wine in CI): the panel as a child of this host's
// window, its timer and mouse messages through the host's message loop, a drag reported as
// one edit, the panel at the host's content scale with a double-click and a wheel turn as
// one edit each, and the window and GDI objects gone after each close.
#include <gtest/gtest.h>

#include <set>

#include "vst3_test_host.h"

namespace {

void pumpMessages(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    MSG message;
    while (GetTickCount() < end) {
        // Bounded by the time too: on a loaded machine a paint can outlast the panel's timer
        // period, and the queue then never runs dry.
        while (GetTickCount() < end && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
}

HWND onlyChildOf(HWND parent) {
    HWND child = GetWindow(parent, GW_CHILD);
    return child && !GetWindow(child, GW_HWNDNEXT) ? child : nullptr;
}

LPARAM at(int x, int y) { return MAKELPARAM(x, y); }

struct Vst3EditorWin32 : ::testing::Test {
    Vst3Module module;
    std::unique_ptr<Vst3Instance> plugin;
    RecordingHandler handler;
    HWND host = nullptr;

    void SetUp() override {
        plugin = std::make_unique<Vst3Instance>(module, 48000.0);
        ASSERT_NE(plugin->component, nullptr);
        plugin->controller->vtbl->setComponentHandler(plugin->controller, &handler.handler);
        host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 600,
                               nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(host, nullptr);
    }
    void TearDown() override {
        plugin.reset();
        DestroyWindow(host);
        EXPECT_EQ(handler.references, 0);
    }
};

TEST_F(Vst3EditorWin32, PanelInTheHostWindowReportsADragAsOneEdit) {
    IEditController* e = plugin->controller;
    IPlugView* view = e->vtbl->createView(e, "editor");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->vtbl->isPlatformTypeSupported(view, "X11EmbedWindowID"), kResultFalse);
    EXPECT_EQ(view->vtbl->attached(view, host, "X11EmbedWindowID"), kResultFalse);
    ASSERT_EQ(view->vtbl->attached(view, host, "HWND"), kResultOk);
    HWND panel = onlyChildOf(host);
    ASSERT_NE(panel, nullptr);
    RECT client{};
    GetClientRect(panel, &client);
    EXPECT_EQ(client.right, 840);
    EXPECT_EQ(client.bottom, 520);
    pumpMessages(100);
    HDC screen = GetDC(panel);  // painted through GDI+: many colours along the Drive knob's row
    std::set<COLORREF> colours;
    for (int x = 0; x < 840; ++x) colours.insert(GetPixel(screen, x, 165));
    ReleaseDC(panel, screen);
    EXPECT_GT(colours.size(), 20u);

    SendMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, at(130, 165));  // Drive, at 0.4
    for (int step = 1; step <= 4; ++step) SendMessageA(panel, WM_MOUSEMOVE, MK_LBUTTON, at(130, 165 - 10 * step));
    SendMessageA(panel, WM_LBUTTONUP, 0, at(130, 125));
    pumpMessages(150);  // the panel's timer closes the edit
    ASSERT_GE(handler.calls.size(), 3u);
    EXPECT_EQ(handler.calls.front(), "begin 0");
    EXPECT_EQ(handler.calls[handler.calls.size() - 2], "perform 0 0.6");
    EXPECT_EQ(handler.calls.back(), "end 0");
    EXPECT_FLOAT_EQ(plugin->parameter(0), 0.6f);

    EXPECT_EQ(view->vtbl->removed(view), kResultOk);
    EXPECT_EQ(GetWindow(host, GW_CHILD), nullptr);
    EXPECT_EQ(release(view), 0u);
}

// Open and close cycles leave no window and no GDI object behind; a view whose parent the host
// destroyed first closes all the same.
TEST_F(Vst3EditorWin32, OpenCloseCyclesLeaveNothingBehind) {
    IEditController* e = plugin->controller;
    auto cycle = [&](HWND parent, bool destroyParentFirst) {
        IPlugView* view = e->vtbl->createView(e, "editor");
        EXPECT_EQ(view->vtbl->attached(view, parent, "HWND"), kResultOk);
        pumpMessages(40);
        if (destroyParentFirst) DestroyWindow(parent);
        view->vtbl->removed(view);
        release(view);
    };
    cycle(host, false);
    const DWORD gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 10; ++i) cycle(host, false);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiObjects);
    EXPECT_EQ(GetWindow(host, GW_CHILD), nullptr);
    HWND doomed = CreateWindowExA(0, "STATIC", "doomed", WS_OVERLAPPEDWINDOW, 0, 0, 900, 600, nullptr,
                                  nullptr, nullptr, nullptr);
    cycle(doomed, true);
}

// Without a frame to ask, the view resizes itself to the scale; checkSizeConstraint keeps the
// aspect and the range.
TEST_F(Vst3EditorWin32, ContentScaleSizesThePanelAndGesturesAreOneEditEach) {
    SetWindowPos(host, nullptr, 0, 0, 1800, 1200, SWP_NOMOVE | SWP_NOZORDER);
    IPlugView* view = plugin->controller->vtbl->createView(plugin->controller, "editor");
    ASSERT_EQ(view->vtbl->attached(view, host, "HWND"), kResultOk);
    auto* scale = queryAs<IPlugViewContentScaleSupport>(unknown(view), IPlugViewContentScaleSupport_iid);
    ASSERT_NE(scale, nullptr);
    ASSERT_EQ(scale->vtbl->setContentScaleFactor(scale, 2.0f), kResultTrue);
    HWND panel = onlyChildOf(host);
    RECT client{};
    GetClientRect(panel, &client);
    EXPECT_EQ(client.right * 10000 + client.bottom, 1680 * 10000 + 1040);
    ViewRect rect{0, 0, 3000, 3000};
    view->vtbl->checkSizeConstraint(view, &rect);
    EXPECT_EQ(rect.right * 10000 + rect.bottom, 2520 * 10000 + 1560);

    plugin->controller->vtbl->setParamNormalized(plugin->controller, 6, 0.5);
    for (const UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        PostMessageA(panel, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, at(1400, 750));  // Mix
    const auto pumpUntilTheEditEnds = [&] {  // a 200 % paint under Wine may outlast a timer period
        for (int i = 0; i < 40 && (handler.calls.empty() || handler.calls.back() != "end 6"); ++i) pumpMessages(50);
    };
    pumpUntilTheEditEnds();
    EXPECT_EQ(handler.calls, (std::vector<std::string>{"begin 6", "perform 6 1", "end 6"}));
    handler.calls.clear();
    POINT mix{1400, 750};
    ClientToScreen(panel, &mix);
    PostMessageA(panel, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(mix.x, mix.y));
    pumpUntilTheEditEnds();
    EXPECT_EQ(handler.calls, (std::vector<std::string>{"begin 6", "perform 6 0.99", "end 6"}));
    view->vtbl->removed(view);
    release(scale);
    EXPECT_EQ(release(view), 0u);
}

}  // namespace
