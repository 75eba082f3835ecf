// The editor under the window system: a thousand open, idle and close cycles and ten
// thousand forced paints leave the process's GDI objects and memory where they were.
#include <gtest/gtest.h>

#include "robustness_win/process_counters.h"
#include "support/plugin_library.h"

namespace {

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    return DefWindowProcA(window, message, w, l);
}

// A host's top-level window to embed the editor in.
struct HostWindow {
    HWND window = nullptr;
    HostWindow() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = hostWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VelmoraRobustnessHost";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, wc.lpszClassName, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 600,
                                 nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~HostWindow() { DestroyWindow(window); }
};

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

HWND editorOf(HWND host) { return FindWindowExA(host, nullptr, "TolvanVelmoraEditorWndClass", nullptr); }

// The counter has to see GDI objects come and go, or "flat" would mean nothing.
TEST(EditorCycles, GdiCounterSeesObjects) {
    DeleteObject(CreateSolidBrush(RGB(9, 9, 9)));  // GDI's own first-use objects
    const long before = gdiObjectCount();
    HBRUSH brushes[16];
    for (int i = 0; i < 16; ++i) brushes[i] = CreateSolidBrush(RGB(i, 2 * i, 3 * i));
    EXPECT_EQ(gdiObjectCount(), before + 16);
    for (HBRUSH b : brushes) DeleteObject(b);
    EXPECT_EQ(gdiObjectCount(), before);
}

TEST(EditorCycles, ThousandOpenIdleCloseCyclesLeaveNothingBehind) {
    PluginLibrary library;
    ASSERT_TRUE(library.loaded());
    AEffect* effect = library.create();
    ASSERT_NE(effect, nullptr);
    HostWindow host;
    ASSERT_NE(host.window, nullptr);

    auto cycle = [&] {
        if (dispatch(effect, effEditOpen, 0, 0, host.window) != 1) return false;
        HWND editor = editorOf(host.window);
        dispatch(effect, effEditIdle);
        if (editor) UpdateWindow(editor);
        pumpMessages();
        dispatch(effect, effEditClose);
        pumpMessages();
        return editor != nullptr && editorOf(host.window) == nullptr;
    };
    for (int n = 0; n < 20; ++n) ASSERT_TRUE(cycle());  // caches of the window system settle
    const long gdiBefore = gdiObjectCount();
    const size_t memoryBefore = committedBytes();
    for (int n = 0; n < 1000; ++n) ASSERT_TRUE(cycle()) << "cycle " << n;
    EXPECT_EQ(gdiObjectCount(), gdiBefore);
    EXPECT_LT(committedBytes(), memoryBefore + (1u << 20)) << "grew by " << committedBytes() - memoryBefore;
    closeEffect(effect);
}

// Scanners and hosts unload the library (FreeLibrary) and load it again: twenty times, the
// editor shown each time.
TEST(EditorCycles, TheLibraryLoadsAgainAfterFreeLibraryWithItsEditorShown) {
    HostWindow host;
    ASSERT_NE(host.window, nullptr);
    for (int n = 0; n < 20; ++n) {
        PluginLibrary library;
        ASSERT_TRUE(library.loaded()) << "cycle " << n;
        AEffect* effect = library.create();
        ASSERT_NE(effect, nullptr);
        ASSERT_EQ(dispatch(effect, effEditOpen, 0, 0, host.window), 1) << "cycle " << n;
        HWND editor = editorOf(host.window);
        dispatch(effect, effEditIdle);
        if (editor) UpdateWindow(editor);
        pumpMessages();
        EXPECT_EQ(dispatch(effect, effEditClose), 1);
        pumpMessages();
        EXPECT_NE(editor, nullptr);
        closeEffect(effect);
    }
}

TEST(EditorCycles, TenThousandPaintsLeaveNothingBehind) {
    PluginLibrary library;
    AEffect* effect = library.create();
    ASSERT_NE(effect, nullptr);
    HostWindow host;
    ASSERT_EQ(dispatch(effect, effEditOpen, 0, 0, host.window), 1);
    HWND editor = editorOf(host.window);
    ASSERT_NE(editor, nullptr);

    auto paint = [&](int n) {
        effect->setParameter(effect, n % 7, static_cast<float>(n % 101) / 100.0f);
        dispatch(effect, effEditIdle);
        InvalidateRect(editor, nullptr, FALSE);
        UpdateWindow(editor);  // WM_PAINT now, not when the queue gets to it
        pumpMessages();
    };
    for (int n = 0; n < 50; ++n) paint(n);
    const long gdiBefore = gdiObjectCount();
    const size_t memoryBefore = committedBytes();
    for (int n = 0; n < 10000; ++n) paint(n);
    EXPECT_EQ(gdiObjectCount(), gdiBefore);
    EXPECT_LT(committedBytes(), memoryBefore + (1u << 20)) << "grew by " << committedBytes() - memoryBefore;
    EXPECT_TRUE(IsWindow(editor));
    closeEffect(effect);  // closes the open editor too
    EXPECT_FALSE(IsWindow(editor));
}

}  // namespace
