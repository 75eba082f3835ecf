#include "editor/editor_window.h"

#include <windows.h>

#include "editor/panel_layout.h"
#include "editor/panel_painter.h"
#include "host/plugin_instance.h"

namespace {

int32_t signedLow(LPARAM lParam) { return static_cast<int16_t>(lParam & 0xffff); }
int32_t signedHigh(LPARAM lParam) { return static_cast<int16_t>((lParam >> 16) & 0xffff); }

bool dragging(const PluginInstance& instance) {
    return instance.dragIndex >= 0 && instance.dragIndex < parameterCount;
}

void startDrag(PluginInstance& instance, HWND window, LPARAM lParam) {
    const int32_t y = signedHigh(lParam);
    const int knob = hitKnob(signedLow(lParam), y);
    if (knob < 0) return;
    instance.dragIndex = knobTable[knob].parameter;
    instance.dragStartY = y;
    instance.dragStartValue = loadParameter(instance, instance.dragIndex);
    SetCapture(window);
}

void continueDrag(PluginInstance& instance, HWND window, LPARAM lParam) {
    if (!dragging(instance)) return;
    const int32_t index = instance.dragIndex;
    const float value = dragValue(instance.dragStartValue, instance.dragStartY, signedHigh(lParam));
    instance.parameters[index].store(value, std::memory_order_relaxed);
    if (instance.hostCallback)
        instance.hostCallback(&instance.effect, audioMasterAutomate, index, 0, nullptr, value);
    InvalidateRect(window, nullptr, FALSE);
}

void endDrag(PluginInstance& instance) {
    if (instance.dragIndex < 0) return;
    instance.dragIndex = -1;  // before the release, whose WM_CAPTURECHANGED then finds no drag
    ReleaseCapture();
}

LRESULT CALLBACK editorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* instance = reinterpret_cast<PluginInstance*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_CREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return 0;
    }
    case WM_DESTROY:
        // Only while the instance still shows this window: a replaced window's destruction
        // must not forget the new one (or end the new one's drag).
        if (instance) {
            void* expected = window;
            if (instance->editorWindow.compare_exchange_strong(expected, nullptr,
                                                               std::memory_order_relaxed))
                instance->dragIndex = -1;
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC paintDC = BeginPaint(window, &paint);
        if (instance) paintPanel(*instance, paintDC);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
        if (instance) startDrag(*instance, window, lParam);
        return 0;
    case WM_MOUSEMOVE:
        if (instance) continueDrag(*instance, window, lParam);
        return 0;
    case WM_LBUTTONUP:
        if (instance) endDrag(*instance);
        return 0;
    case WM_CAPTURECHANGED:
        // Capture taken away mid-drag (another window, a switch of application): the
        // button may come up elsewhere, so the drag ends here.
        if (instance && reinterpret_cast<HWND>(lParam) != window) instance->dragIndex = -1;
        return 0;
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
