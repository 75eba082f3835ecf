// The Windows .clap's editor under Wine, in this test's CLAP host: a child of a host window,
// mouse messages on the Drive knob reaching the host as gesture begin, values and gesture
// end, and the window class gone with the last window so the library can be reloaded; the
// window at the host's scale, painted at it, and posted mouse messages on every knob at 150 %.
#include <gtest/gtest.h>

#include <memory>

#include "clap/clap_test_host.h"
#include "editor/panel_layout.h"
#include "support/picture_difference.h"
#include "tools/snapshot/window_capture.h"

namespace {

bool open(ClapPlugin& p, HWND parent) {
    const auto* gui = pluginExtension<clap_plugin_gui_t>(p.plugin, CLAP_EXT_GUI);
    clap_window_t window{CLAP_WINDOW_API_WIN32, {}};
    window.win32 = parent;
    return gui->create(p.plugin, CLAP_WINDOW_API_WIN32, false) && gui->set_parent(p.plugin, &window);
}

HWND editorIn(HWND parent) { return FindWindowExA(parent, nullptr, "TolvanVelmoraEditorWndClass", nullptr); }

// Each instance is destroyed with its editor open; each load of the library ends with the
// editor's window class gone.
TEST(ClapEditorWin32, DragGesturesEditorCyclesAndLibraryReloads) {
    const HWND host = CreateWindowExA(0, "STATIC", "CLAP host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                      900, 600, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    for (int load = 0; load < 3; ++load) {
        ClapLibrary library;
        for (int cycle = 0; cycle < 10; ++cycle) {
            ClapPlugin p(library);
            ASSERT_TRUE(open(p, host)) << load << " " << cycle;
            const HWND editor = editorIn(host);
            ASSERT_NE(editor, nullptr);
            RECT client{};
            GetClientRect(editor, &client);
            EXPECT_EQ(client.right * 1000 + client.bottom, 840 * 1000 + 520);
            if (cycle > 0) continue;

            SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(130, 165));  // Drive, from 40
            for (int step = 1; step <= 4; ++step)
                SendMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(130, 165 - 10 * step));
            SendMessageA(editor, WM_LBUTTONUP, 0, MAKELPARAM(130, 125));
            pluginExtension<clap_plugin_timer_support_t>(p.plugin, CLAP_EXT_TIMER_SUPPORT)
                ->on_timer(p.plugin, p.host.timer);
            const std::vector<SentEvent> sent = p.flush();  // the values in between collapse
            ASSERT_EQ(sent.size(), 3u);
            EXPECT_EQ(sent.front().type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
            EXPECT_EQ(sent[1].value, 60.0);
            EXPECT_EQ(sent.back().type, CLAP_EVENT_PARAM_GESTURE_END);
            pluginExtension<clap_plugin_gui_t>(p.plugin, CLAP_EXT_GUI)->destroy(p.plugin);
            EXPECT_EQ(editorIn(host), nullptr);
            EXPECT_EQ(p.host.timer, CLAP_INVALID_ID);
        }
        EXPECT_EQ(editorIn(host), nullptr);
        WNDCLASSEXA info{};
        info.cbSize = sizeof info;
        EXPECT_FALSE(GetClassInfoExA(GetModuleHandleA("Tolvan_Velmora.clap"), "TolvanVelmoraEditorWndClass", &info));
    }
    DestroyWindow(host);
}

// The host destroys its window, the editor's with it, mid-drag: the drag's gesture ends,
// the dead window is not touched again, and hide and show work on a live one only.
TEST(ClapEditorWin32, TheHostsWindowGoneEndsTheDragAndHideHidesTheWindow) {
    ClapLibrary library;
    ClapPlugin p(library);
    const auto* gui = pluginExtension<clap_plugin_gui_t>(p.plugin, CLAP_EXT_GUI);
    const HWND host = CreateWindowExA(0, "STATIC", "CLAP host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                      900, 600, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(open(p, host));
    const HWND editor = editorIn(host);
    ASSERT_TRUE(gui->show(p.plugin) && IsWindowVisible(editor));
    ASSERT_TRUE(gui->hide(p.plugin));
    EXPECT_FALSE(IsWindowVisible(editor));
    EXPECT_EQ(p.host.timer, CLAP_INVALID_ID);
    ASSERT_TRUE(gui->show(p.plugin));
    EXPECT_TRUE(IsWindowVisible(editor) && p.host.timer != CLAP_INVALID_ID);

    SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(130, 165));
    SendMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(130, 145));
    DestroyWindow(host);
    pluginExtension<clap_plugin_timer_support_t>(p.plugin, CLAP_EXT_TIMER_SUPPORT)->on_timer(p.plugin, p.host.timer);
    const std::vector<SentEvent> sent = p.flush();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1].value, 50.0);
    EXPECT_EQ(sent[2].type, CLAP_EVENT_PARAM_GESTURE_END);
    gui->hide(p.plugin);
    gui->destroy(p.plugin);
    EXPECT_EQ(p.host.timer, CLAP_INVALID_ID);
}

// The posted messages go through the message loop, then the host's timer ends the gesture.
void deliver(ClapPlugin& p) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    pluginExtension<clap_plugin_timer_support_t>(p.plugin, CLAP_EXT_TIMER_SUPPORT)->on_timer(p.plugin, p.host.timer);
}

TEST(ClapEditorWin32, ScaledWindowAndKnobGesturesAt150PerCent) {
    const HWND host = createTopLevelWindow("ClapScaleHost", 1700, 1060);
    ClapLibrary library;
    Pixels pictures[2];
    for (const double scale : {1.0, 1.5, 2.0}) {
        ClapPlugin p(library);
        const auto* gui = pluginExtension<clap_plugin_gui_t>(p.plugin, CLAP_EXT_GUI);
        ASSERT_TRUE(gui->set_scale(p.plugin, scale));
        ASSERT_TRUE(open(p, host));
        RECT client{};
        GetClientRect(editorIn(host), &client);
        EXPECT_EQ(client.right * 10000 + client.bottom, int(840 * scale) * 10000 + int(520 * scale)) << scale;
        if (scale != 1.5) pictures[scale == 2.0] = captureWindow(editorIn(host)).rgb;
        gui->destroy(p.plugin);
    }
    // Measured in this build's Wine prefix: about 0.8 of 255.
    const double difference = meanDifferenceOfHalf(pictures[1], pictures[0], 840);
    std::printf("200 %% halved against 100 %%: mean difference %.2f of 255\n", difference);
    EXPECT_GE(difference, 0.0);
    EXPECT_LT(difference, 4.0);

    ClapPlugin p(library);
    pluginExtension<clap_plugin_gui_t>(p.plugin, CLAP_EXT_GUI)->set_scale(p.plugin, 1.5);
    ASSERT_TRUE(open(p, host));
    const HWND editor = editorIn(host);
    const auto post = [&](UINT message, WPARAM keys, int32_t x, int32_t y) {
        PostMessageA(editor, message, keys, MAKELPARAM(x * 3 / 2, y * 3 / 2));
    };
    const auto span = [](int i) { return double(parameterTable[i].maximum - parameterTable[i].minimum); };
    for (const KnobEntry& knob : knobTable) {  // 20 panel units down: a tenth, that knob only
        double before[parameterCount];
        for (int i = 0; i < parameterCount; ++i) before[i] = p.value(clap_id(i));
        post(WM_LBUTTONDOWN, MK_LBUTTON, knob.centreX, knob.centreY);
        post(WM_MOUSEMOVE, MK_LBUTTON, knob.centreX, knob.centreY + 20);
        post(WM_LBUTTONUP, 0, knob.centreX, knob.centreY + 20);
        deliver(p);
        expectOneGesture(p.flush(), clap_id(knob.parameter), "drag");
        for (int i = 0; i < parameterCount; ++i)
            EXPECT_NEAR(p.value(clap_id(i)), before[i] - (i == knob.parameter ? 0.1 * span(i) : 0.0), 1e-4 * span(i));
    }
    for (const UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        post(message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, 130, 165);
    deliver(p);
    expectOneGesture(p.flush(), 0, "double-click");
    EXPECT_EQ(p.value(0), 40.0);
    post(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 130, 165);
    post(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, 130, 185);
    post(WM_LBUTTONUP, MK_SHIFT, 130, 185);
    deliver(p);
    expectOneGesture(p.flush(), 0, "fine drag");
    EXPECT_NEAR(p.value(0), 39.0, 1e-3);
    POINT glue{195, 562};  // 580 Glue's centre, at 60
    ClientToScreen(editor, &glue);
    PostMessageA(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(glue.x, glue.y));
    deliver(p);
    expectOneGesture(p.flush(), 2, "wheel");
    EXPECT_NEAR(p.value(2), 61.0, 1e-3);
    PostMessageA(editor, WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, -WHEEL_DELTA), MAKELPARAM(glue.x, glue.y));
    deliver(p);
    expectOneGesture(p.flush(), 2, "fine wheel");
    EXPECT_NEAR(p.value(2), 60.9, 1e-3);
    // A drag whose capture is taken away (WM_CAPTURECHANGED) ends its gesture unreleased.
    post(WM_LBUTTONDOWN, MK_LBUTTON, 320, 375);
    post(WM_MOUSEMOVE, MK_LBUTTON, 320, 385);
    deliver(p);
    EXPECT_EQ(GetCapture(), editor);
    ReleaseCapture();
    deliver(p);
    expectOneGesture(p.flush(), 3, "capture lost");
    pluginExtension<clap_plugin_gui_t>(p.plugin, CLAP_EXT_GUI)->destroy(p.plugin);
    DestroyWindow(host);
}

}  // namespace
