#include "editor/win32_editor.h"

#include <windows.h>

#include "editor/editor_view.h"
#include "editor/gdiplus_painter.h"

namespace {

int32_t signedLow(LPARAM lParam) { return static_cast<int16_t>(lParam & 0xffff); }
int32_t signedHigh(LPARAM lParam) { return static_cast<int16_t>((lParam >> 16) & 0xffff); }

void paint(const EditorView& view, HWND window) {
    PAINTSTRUCT paintStruct;
    HDC paintDC = BeginPaint(window, &paintStruct);
    RECT client{};
    GetClientRect(window, &client);
    paintPanel(panelValues(view), paintDC, client.right - client.left, client.bottom - client.top);
    EndPaint(window, &paintStruct);
}

void release(const EditorView& view) {
    if (!dragging(view)) return;
    endDrag(view);  // before the release, whose WM_CAPTURECHANGED then finds no drag
    ReleaseCapture();
}

LRESULT CALLBACK editorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* view = reinterpret_cast<const EditorView*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_CREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return 0;
    }
    case WM_DESTROY:
        if (view && view->windowGone) view->windowGone(view->context, window);
        return 0;
    case WM_PAINT:
        if (view) {
            paint(*view, window);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
        if (view && pressAt(*view, signedLow(lParam), signedHigh(lParam))) SetCapture(window);
        return 0;
    case WM_MOUSEMOVE:
        if (view && dragTo(*view, signedHigh(lParam))) InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_LBUTTONUP:
        if (view) release(*view);
        return 0;
    case WM_CAPTURECHANGED:
        // Capture taken away mid-drag (another window, a switch of application): the
        // button may come up elsewhere, so the drag ends here.
        if (view && reinterpret_cast<HWND>(lParam) != window) endDrag(*view);
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

void* createEditorWindow(const EditorView* view, void* parent, void* moduleHandle) {
    return CreateWindowExA(0, editorWindowClassName, "Tolvan Velmora",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                           panelWidth, panelHeight, static_cast<HWND>(parent), nullptr,
                           static_cast<HINSTANCE>(moduleHandle), const_cast<EditorView*>(view));
}
