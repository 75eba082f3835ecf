// The editor view's Windows half: the panel's child window in the host's HWND, its messages
// delivered by the host's own message loop. A window timer advances the glow and closes the
// edit of a finished drag. GDI+ runs while any panel is open; the window class is registered
// at the first panel and unregistered when the library is unloaded.
#include <windows.h>

#include <gdiplus.h>

#include <mutex>

#include "editor/win32_editor.h"
#include "vst3/vst3_view.h"

namespace {

constexpr UINT frameMilliseconds = 30;

struct ModuleEditors {
    std::mutex lock;
    HMODULE module = nullptr;
    int openPanels = 0;
    ULONG_PTR gdiplusToken = 0;
    bool classRegistered = false;
};
ModuleEditors editors;

HWND panelOf(const Vst3View& view) { return static_cast<HWND>(view.editor); }

// The timer's identifier is the view itself.
void CALLBACK animate(HWND window, UINT, UINT_PTR id, DWORD) {
    Vst3View& view = *reinterpret_cast<Vst3View*>(id);
    advanceAnimation(view.plugin->editorView);
    InvalidateRect(window, nullptr, FALSE);
    afterPanelEvents(*view.plugin);
}

void countPanelOut() {
    std::lock_guard<std::mutex> guard(editors.lock);
    if (--editors.openPanels == 0 && editors.gdiplusToken) {
        Gdiplus::GdiplusShutdown(editors.gdiplusToken);
        editors.gdiplusToken = 0;
    }
}

}  // namespace

const char* const viewPlatformType = vst3::kPlatformTypeHWND;

bool openViewEditor(Vst3View& view, void* parent) {
    {
        std::lock_guard<std::mutex> guard(editors.lock);
        if (editors.openPanels++ == 0) {
            Gdiplus::GdiplusStartupInput input;
            Gdiplus::GdiplusStartup(&editors.gdiplusToken, &input, nullptr);
        }
        if (!editors.classRegistered) {
            registerEditorWindowClass(editors.module, true);
            editors.classRegistered = true;
        }
    }
    const PanelSize size = editorSizeOf(view.plugin->editorSizing);
    HWND panel = static_cast<HWND>(createEditorWindow(&view.plugin->editorView, parent, editors.module,
                                                      int(size.width), int(size.height)));
    if (!panel) {
        countPanelOut();
        return false;
    }
    view.editor = panel;
    SetTimer(panel, reinterpret_cast<UINT_PTR>(&view), frameMilliseconds, animate);
    return true;
}

// A panel whose window the host already destroyed (with its parent) is only counted out.
void closeViewEditor(Vst3View& view) {
    HWND panel = panelOf(view);
    if (IsWindow(panel) && GetWindowLongPtrA(panel, GWLP_USERDATA) ==
                               reinterpret_cast<LONG_PTR>(&view.plugin->editorView)) {
        KillTimer(panel, reinterpret_cast<UINT_PTR>(&view));
        DestroyWindow(panel);
    }
    countPanelOut();
}

void resizeViewEditor(Vst3View& view, PanelSize size) {
    HWND panel = panelOf(view);
    if (IsWindow(panel))
        SetWindowPos(panel, nullptr, 0, 0, int(size.width), int(size.height),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The host's message loop does this work on Windows.
void viewTimerTick(Vst3View&) {}
void viewEventsPending(Vst3View&) {}

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        editors.module = module;
        DisableThreadLibraryCalls(module);
    } else if (reason == DLL_PROCESS_DETACH && editors.classRegistered) {
        unregisterEditorWindowClass(module);
    }
    return TRUE;
}
