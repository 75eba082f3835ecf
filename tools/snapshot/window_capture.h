// Reads back what a window shows: its client area copied into a 32-bit top-down bitmap.
// Used by the snapshot tool and by the editor's tests.
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
