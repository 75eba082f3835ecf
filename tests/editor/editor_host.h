// A small Windows host for the editor: loads the built plug-in, makes a top-level window,
// opens the editor as its child and talks to it with window messages, recording what the
// plug-in reports back through the host callback.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "parameters/parameter_index.h"
#include "support/plugin_library.h"
#include "tools/snapshot/window_capture.h"

struct HostCall {
    AEffect* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
};

// Every call of the plug-in into the host except the version query.
inline std::vector<HostCall> hostCalls;

inline intptr_t recordingHostCallback(AEffect* effect, int32_t opcode, int32_t index,
                                      intptr_t value, void* ptr, float opt) {
    if (opcode == audioMasterVersion) return 2400;
    hostCalls.push_back({effect, opcode, index, value, ptr, opt});
    return 0;
}

// One library for the whole program, like a host that keeps a plug-in loaded.
inline PluginLibrary& pluginLibrary() {
    static PluginLibrary library;
    return library;
}

inline constexpr const char* editorClassName = "TolvanVelmoraEditorWndClass";

// The one top-level window of the program, kept to the end: under Wine without a window
// manager, destroying a top-level window waits seconds for X, a child window does not.
inline HWND testFrame() {
    static const HWND frame = createTopLevelWindow("VelmoraTestHost", 1024, 768);
    return frame;
}

// The host's own window for the editor, at the frame's top left.
inline HWND createHostWindow(int width, int height) {
    if (!testFrame()) return nullptr;
    return CreateWindowExA(0, "VelmoraTestHost", "test host",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, width,
                           height, testFrame(), nullptr, GetModuleHandleA(nullptr), nullptr);
}

inline void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

inline LPARAM pointParam(int x, int y) {
    return static_cast<LPARAM>(static_cast<uint16_t>(x) | (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16));
}

// GDI objects alive in this process. Windows counts them for GetGuiResources; Wine answers
// 0 there, but keeps the same shared handle table that the process environment block
// points at (24-byte entries, the object type at byte 14, zero when free).
inline unsigned liveGdiObjects() {
    const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted != 0) return counted;
    const unsigned char* peb = nullptr;
    asm("movq %%gs:0x60, %0" : "=r"(peb));  // the process environment block of x64
    const auto* table = *reinterpret_cast<const unsigned char* const*>(peb + 0xf8);
    if (!table) return 0;
    unsigned live = 0;
    for (unsigned i = 0; i < 0x10000; ++i)
        if (table[i * 24 + 14] != 0) ++live;
    return live;
}

// Blocks in use on the process heap, where GDI+ keeps its brushes, pens, paths, fonts,
// families, formats and graphics.
inline size_t liveHeapBlocks() {
    HANDLE heap = GetProcessHeap();
    size_t blocks = 0;
    HeapLock(heap);
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++blocks;
    HeapUnlock(heap);
    return blocks;
}

// The plug-in instance with its editor open in a host window of the editor's size.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pluginLibrary().loaded());
        hostCalls.clear();
        effect = pluginLibrary().create(recordingHostCallback);
        ASSERT_NE(effect, nullptr);
        host = createHostWindow(840, 520);
        ASSERT_NE(host, nullptr);
        ASSERT_EQ(dispatch(effect, effEditOpen, 0, 0, host), 1);
        editor = FindWindowExA(host, nullptr, editorClassName, nullptr);
        ASSERT_NE(editor, nullptr);
        pumpMessages();
    }
    void TearDown() override {
        if (effect) closeEffect(effect);
        if (host) DestroyWindow(host);
        pumpMessages();
    }

    void setParameter(int index, float value) { effect->setParameter(effect, index, value); }
    float parameter(int index) { return effect->getParameter(effect, index); }
    void idle(int times) {
        for (int i = 0; i < times; ++i) dispatch(effect, effEditIdle);
    }
    LRESULT send(UINT message, int x, int y, WPARAM wParam = 0) {
        return SendMessageA(editor, message, wParam, pointParam(x, y));
    }
    WindowPixels capture() {
        InvalidateRect(editor, nullptr, FALSE);
        return captureWindow(editor);
    }

    AEffect* effect = nullptr;
    HWND host = nullptr;
    HWND editor = nullptr;
};

inline int channel(uint32_t rgb, int shift) { return static_cast<int>((rgb >> shift) & 0xff); }

// Each of red, green and blue within tolerance.
inline bool closeTo(uint32_t rgb, uint32_t expected, int tolerance) {
    for (int shift : {16, 8, 0})
        if (std::abs(channel(rgb, shift) - channel(expected, shift)) > tolerance) return false;
    return true;
}

// Whether some pixel in the square of the given half size about (x, y) is near colour.
inline bool anyCloseTo(const WindowPixels& pixels, int x, int y, int half, uint32_t colour,
                    int tolerance) {
    for (int py = y - half; py <= y + half; ++py)
        for (int px = x - half; px <= x + half; ++px)
            if (px >= 0 && py >= 0 && px < pixels.width && py < pixels.height &&
                closeTo(pixels.at(px, py), colour, tolerance))
                return true;
    return false;
}
