// The Windows .clap's editor under Wine, in this test's CLAP host: a child of a host window,
// mouse messages on the Drive knob reaching the host as gesture begin, values and gesture
// end, and the window class gone with the last window so the library can be reloaded.
#include <gtest/gtest.h>

#include <memory>

#include "clap/clap_test_host.h"

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

}  // namespace
