// One rotary knob of the panel with its caption and value text, drawn with GDI+.
#pragma once

#include <windows.h>

#include <gdiplus.h>

#include <cstdint>

// Draws on graphics (anti-aliased, ClearType text); creates and releases every object it
// uses within the call.
void drawKnob(Gdiplus::GpGraphics* graphics, int32_t centreX, int32_t centreY, int32_t radius,
              float knobValue, const char16_t* caption, const char16_t* valueText,
              uint32_t accent);

// Draws a terminated UTF-16 text at a point: a layout rectangle of zero size neither wraps
// nor clips it. Without a format the text starts at x with its line's top at y; the format
// decides otherwise.
inline void drawTextAt(Gdiplus::GpGraphics* graphics, const char16_t* text,
                       Gdiplus::GpFont* font, Gdiplus::GpBrush* brush,
                       Gdiplus::GpStringFormat* format, float x, float y) {
    // GDI+ takes UTF-16 as WCHAR, which is 16 bits wide on Windows.
    static_assert(sizeof(WCHAR) == sizeof(char16_t));
    const Gdiplus::RectF origin(x, y, 0.0f, 0.0f);
    Gdiplus::DllExports::GdipDrawString(graphics, reinterpret_cast<const WCHAR*>(text), -1, font,
                                        &origin, format, brush);
}
