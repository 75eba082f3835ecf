// Windows: the GDI+ editor window as a child of the host's window. Its messages come from the
// host's message loop; the host's timer advances the glow. The window class and GDI+ live
// while an editor window is open, so nothing of this library is left registered after the
// host unloads it.
#include <windows.h>

#include <gdiplus.h>

#include "clap/clap_instance.h"
#include "editor/win32_editor.h"

namespace {

int openWindows = 0;  // on the host's main thread only
ULONG_PTR gdiplusToken = 0;

HMODULE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&thisModule), &module);
    return module;
}

void firstWindowOpens() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);
    registerEditorWindowClass(thisModule(), true);
}

void lastWindowClosed() {
    unregisterEditorWindowClass(thisModule());
    if (gdiplusToken) Gdiplus::GdiplusShutdown(gdiplusToken);
    gdiplusToken = 0;
}

// The host destroyed its window and ours with it: the handle is not ours any more (it may
// name another window soon), and the drag it had ends.
void windowGone(void* context, void* window) {
    ClapInstance& instance = *static_cast<ClapInstance*>(context);
    if (instance.editor.window != window) return;
    instance.editor.windowGone = true;
    endDrag(instance.editor.view);
}

HWND liveWindow(const ClapInstance& instance) {
    return instance.editor.windowGone ? nullptr : static_cast<HWND>(instance.editor.window);
}

}  // namespace

const char* const clapWindowApi = CLAP_WINDOW_API_WIN32;
const void* const clapPosixFdSupport = nullptr;
void (*const clapWindowGone)(void*, void*) = windowGone;

bool openClapWindow(ClapInstance& instance, const clap_window_t& parent) {
    ClapEditor& editor = instance.editor;
    if (openWindows++ == 0) firstWindowOpens();
    const PanelSize size = editorSizeOf(editor.sizing);
    editor.window = createEditorWindow(&editor.view, parent.win32, thisModule(), int(size.width),
                                       int(size.height));
    if (!editor.window && --openWindows == 0) lastWindowClosed();
    return editor.window != nullptr;
}

void closeClapWindow(ClapInstance& instance) {
    ClapEditor& editor = instance.editor;
    if (!editor.window) return;
    if (const HWND window = liveWindow(instance)) DestroyWindow(window);
    editor.window = nullptr;
    editor.windowGone = false;
    if (--openWindows == 0) lastWindowClosed();
}

void showClapWindow(ClapInstance& instance, bool shown) {
    if (const HWND window = liveWindow(instance)) ShowWindow(window, shown ? SW_SHOW : SW_HIDE);
}

void driveClapWindow(ClapInstance& instance, bool animate) {
    const HWND window = liveWindow(instance);
    if (animate && window) {
        advanceAnimation(instance.editor.view);
        InvalidateRect(window, nullptr, FALSE);
    }
    finishEditorGesture(instance);
}

void resizeClapWindow(ClapInstance& instance, PanelSize size) {
    const HWND window = static_cast<HWND>(instance.editor.window);
    if (window && IsWindow(window))
        SetWindowPos(window, nullptr, 0, 0, int(size.width), int(size.height),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
