// The real Windows calls behind the platform seam.
#include <windows.h>

#include <gdiplus.h>

#include "editor/win32_editor.h"
#include "host/platform.h"

namespace {

void startGdiplus(uintptr_t* token) {
    Gdiplus::GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    input.DebugEventCallback = nullptr;
    input.SuppressBackgroundThread = FALSE;
    input.SuppressExternalCodecs = FALSE;
    ULONG_PTR started = 0;
    Gdiplus::GdiplusStartup(&started, &input, nullptr);
    *token = started;
}

void shutdownGdiplus(uintptr_t token) { Gdiplus::GdiplusShutdown(token); }

void disableThreadLibraryCalls(void* module) {
    DisableThreadLibraryCalls(static_cast<HMODULE>(module));
}

bool isWindow(void* window) { return IsWindow(static_cast<HWND>(window)) != FALSE; }

void destroyWindow(void* window) { DestroyWindow(static_cast<HWND>(window)); }

void invalidateWindow(void* window) { InvalidateRect(static_cast<HWND>(window), nullptr, FALSE); }

void noIdle(void*) {}  // the host's message loop delivers the window's messages

const PlatformSeam win32Seam{true,
                             startGdiplus,
                             shutdownGdiplus,
                             disableThreadLibraryCalls,
                             isWindow,
                             destroyWindow,
                             invalidateWindow,
                             registerEditorWindowClass,
                             unregisterEditorWindowClass,
                             createEditorWindow,
                             noIdle};

}  // namespace

const PlatformSeam& nativePlatformSeam() { return win32Seam; }
const PlatformSeam* platform = &win32Seam;
