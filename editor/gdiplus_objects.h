// Short makers for the GDI+ objects of a paint. Each returns null when GDI+ fails; the
// drawing calls then fail in turn and leave their element out, which is all the panel
// does about errors. The caller releases what it made.
#pragma once

#include <windows.h>

#include <gdiplus.h>

#include <cstdint>

inline Gdiplus::GpSolidFill* createSolidBrush(uint32_t argb) {
    Gdiplus::GpSolidFill* brush = nullptr;
    Gdiplus::DllExports::GdipCreateSolidFill(argb, &brush);
    return brush;
}

// Widths in world units, which are pixels on the panel.
inline Gdiplus::GpPen* createPen(uint32_t argb, float width) {
    Gdiplus::GpPen* pen = nullptr;
    Gdiplus::DllExports::GdipCreatePen1(argb, width, Gdiplus::UnitWorld, &pen);
    return pen;
}

// An installed family by name; no private collection, no fallback.
inline Gdiplus::GpFontFamily* createFamily(const wchar_t* name) {
    Gdiplus::GpFontFamily* family = nullptr;
    Gdiplus::DllExports::GdipCreateFontFamilyFromName(name, nullptr, &family);
    return family;
}

// Sizes in pixels.
inline Gdiplus::GpFont* createFont(Gdiplus::GpFontFamily* family, float size, int style) {
    Gdiplus::GpFont* font = nullptr;
    Gdiplus::DllExports::GdipCreateFont(family, size, style, Gdiplus::UnitPixel, &font);
    return font;
}

// Centred horizontally on the text's x; vertically too when asked, otherwise the given y
// is the top of the line.
inline Gdiplus::GpStringFormat* createCentredFormat(bool centreVertically) {
    Gdiplus::GpStringFormat* format = nullptr;
    Gdiplus::DllExports::GdipCreateStringFormat(0, LANG_NEUTRAL, &format);
    Gdiplus::DllExports::GdipSetStringFormatAlign(format, Gdiplus::StringAlignmentCenter);
    if (centreVertically)
        Gdiplus::DllExports::GdipSetStringFormatLineAlign(format, Gdiplus::StringAlignmentCenter);
    return format;
}

// Draws a terminated UTF-16 text at a point: a layout rectangle of zero size neither wraps
// nor clips it. Without a format the text starts at x with its line's top at y.
inline void drawTextAt(Gdiplus::GpGraphics* graphics, const char16_t* text,
                       Gdiplus::GpFont* font, Gdiplus::GpBrush* brush,
                       Gdiplus::GpStringFormat* format, float x, float y) {
    // GDI+ takes UTF-16 as WCHAR, which is 16 bits wide on Windows.
    static_assert(sizeof(WCHAR) == sizeof(char16_t));
    const Gdiplus::RectF origin(x, y, 0.0f, 0.0f);
    Gdiplus::DllExports::GdipDrawString(graphics, reinterpret_cast<const WCHAR*>(text), -1, font,
                                        &origin, format, brush);
}
