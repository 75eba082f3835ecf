// A plain host window for the editor, and reading back what a window shows: its client
// area copied into a 32-bit top-down bitmap. Used by the snapshot tool and by the
// editor's tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

struct WindowPixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgb;  // 0x00rrggbb, row after row from the top

    uint32_t at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

// A frameless visible window at the screen's origin (so all of it is on screen), of a
// class with the default window procedure that is registered here under className.
inline HWND createTopLevelWindow(const char* className, int width, int height) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassExA(&windowClass);
    return CreateWindowExA(0, className, "Tolvan Velmora", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                           0, 0, width, height, nullptr, nullptr, windowClass.hInstance, nullptr);
}

// Paints anything pending first, then copies the client area from the window's own
// device context.
inline WindowPixels captureWindow(HWND window) {
    WindowPixels pixels;
    UpdateWindow(window);
    RECT client{};
    GetClientRect(window, &client);
    pixels.width = client.right - client.left;
    pixels.height = client.bottom - client.top;
    if (pixels.width <= 0 || pixels.height <= 0) return pixels;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDC = GetDC(window);
    HDC memoryDC = CreateCompatibleDC(windowDC);
    HBITMAP bitmap = CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ replaced = SelectObject(memoryDC, bitmap);
        BitBlt(memoryDC, 0, 0, pixels.width, pixels.height, windowDC, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* source = static_cast<const uint32_t*>(bits);
        pixels.rgb.assign(source, source + static_cast<size_t>(pixels.width) * pixels.height);
        for (uint32_t& p : pixels.rgb) p &= 0x00ffffff;
        SelectObject(memoryDC, replaced);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memoryDC);
    ReleaseDC(window, windowDC);
    return pixels;
}
