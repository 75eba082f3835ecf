#include "editor/editor_window.h"

#include <windows.h>

#include "host/plugin_instance.h"

namespace {

LRESULT CALLBACK editorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* instance = reinterpret_cast<PluginInstance*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_CREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return 0;
    }
    case WM_DESTROY:
        if (instance) instance->editorWindow.store(nullptr, std::memory_order_relaxed);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

void registerEditorWindowClass(void* moduleHandle) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = editorWindowProc;
    windowClass.hInstance = static_cast<HINSTANCE>(moduleHandle);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = editorWindowClassName;
    RegisterClassExA(&windowClass);
}

void unregisterEditorWindowClass(void* moduleHandle) {
    UnregisterClassA(editorWindowClassName, static_cast<HINSTANCE>(moduleHandle));
}

void* createEditorWindow(PluginInstance* instance, void* parent, void* moduleHandle) {
    return CreateWindowExA(0, editorWindowClassName, "Tolvan Velmora",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                           instance->editorRect.right, instance->editorRect.bottom,
                           static_cast<HWND>(parent), nullptr, static_cast<HINSTANCE>(moduleHandle),
                           instance);
}
