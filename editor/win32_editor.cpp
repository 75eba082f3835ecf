#include "editor/win32_editor.h"

#include <windows.h>

#include "editor/editor_view.h"
#include "editor/gdiplus_painter.h"
#include "editor/panel_size.h"

namespace {

int32_t signedLow(LPARAM lParam) { return static_cast<int16_t>(lParam & 0xffff); }
int32_t signedHigh(LPARAM lParam) { return static_cast<int16_t>((lParam >> 16) & 0xffff); }

struct ClientSize {
    int32_t width;
    int32_t height;
};

ClientSize clientSizeOf(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return {client.right - client.left, client.bottom - client.top};
}

// Pixels per panel unit: 1 for the fixed editor, else from the window's size.
double scaleOf(const EditorView& view, HWND window) {
    if (!view.scalingAndGestures) return 1.0;
    const ClientSize size = clientSizeOf(window);
    if (size.width <= 0 || size.height <= 0) return 1.0;
    return panelScaleOf(uint32_t(size.width), uint32_t(size.height));
}

float inPanelUnits(const EditorView& view, HWND window, int32_t pixels) {
    return static_cast<float>(pixels / scaleOf(view, window));
}

void paint(const EditorView& view, HWND window) {
    PAINTSTRUCT paintStruct;
    HDC paintDC = BeginPaint(window, &paintStruct);
    const ClientSize size = clientSizeOf(window);
    paintPanel(panelValues(view), paintDC, size.width, size.height, scaleOf(view, window));
    EndPaint(window, &paintStruct);
}

bool fine(const EditorView& view, WPARAM wParam) {
    return view.scalingAndGestures && (wParam & MK_SHIFT);
}

// The wheel's point comes in screen coordinates, its turn in 120ths of a notch.
bool wheel(const EditorView& view, HWND window, WPARAM wParam, LPARAM lParam) {
    POINT point{signedLow(lParam), signedHigh(lParam)};
    ScreenToClient(window, &point);
    const float notches = static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA;
    return wheelAt(view, inPanelUnits(view, window, point.x), inPanelUnits(view, window, point.y),
                   notches, fine(view, wParam));
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
        if (view && pressAt(*view, inPanelUnits(*view, window, signedLow(lParam)),
                            inPanelUnits(*view, window, signedHigh(lParam)), fine(*view, wParam)))
            SetCapture(window);
        return 0;
    case WM_LBUTTONDBLCLK:  // only the scaling editors' class has CS_DBLCLKS
        if (view && view->scalingAndGestures) {
            if (resetKnobAt(*view, inPanelUnits(*view, window, signedLow(lParam)),
                            inPanelUnits(*view, window, signedHigh(lParam))))
                InvalidateRect(window, nullptr, FALSE);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_MOUSEWHEEL:
        if (view && view->scalingAndGestures) {
            if (wheel(*view, window, wParam, lParam)) InvalidateRect(window, nullptr, FALSE);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_MOUSEMOVE:
        if (view && dragTo(*view, inPanelUnits(*view, window, signedHigh(lParam)), fine(*view, wParam)))
            InvalidateRect(window, nullptr, FALSE);
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

void registerEditorWindowClass(void* moduleHandle, bool doubleClicks) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | (doubleClicks ? CS_DBLCLKS : 0u);
    windowClass.lpfnWndProc = editorWindowProc;
    windowClass.hInstance = static_cast<HINSTANCE>(moduleHandle);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = editorWindowClassName;
    RegisterClassExA(&windowClass);
}

void registerEditorWindowClass(void* moduleHandle) { registerEditorWindowClass(moduleHandle, false); }

void unregisterEditorWindowClass(void* moduleHandle) {
    UnregisterClassA(editorWindowClassName, static_cast<HINSTANCE>(moduleHandle));
}

void* createEditorWindow(const EditorView* view, void* parent, void* moduleHandle, int width,
                         int height) {
    if (!view || !view->scalingAndGestures) {
        width = panelWidth;
        height = panelHeight;
    }
    return CreateWindowExA(0, editorWindowClassName, "Tolvan Velmora",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                           width, height, static_cast<HWND>(parent), nullptr,
                           static_cast<HINSTANCE>(moduleHandle), const_cast<EditorView*>(view));
}

void* createEditorWindow(const EditorView* view, void* parent, void* moduleHandle) {
    return createEditorWindow(view, parent, moduleHandle, panelWidth, panelHeight);
}
