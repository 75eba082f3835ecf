// Small owners for the GDI+ objects of one paint, and makers that turn the panel's
// description into them. A maker whose GDI+ call fails holds null; the drawing calls then
// fail in turn and leave their element out, which is all the panel does about errors.
// Owners release in reverse order of declaration.
#pragma once

#include <windows.h>

#include <gdiplus.h>

#include <cstdint>

#include "editor/panel_style.h"

template <typename T, Gdiplus::GpStatus (*release)(T*)>
class GdiplusObject {
public:
    GdiplusObject() = default;
    GdiplusObject(const GdiplusObject&) = delete;
    GdiplusObject& operator=(const GdiplusObject&) = delete;
    ~GdiplusObject() {
        if (object_) release(object_);
    }
    T* get() const { return object_; }
    T** receive() { return &object_; }  // for a GDI+ call that creates the object

private:
    T* object_ = nullptr;
};

namespace gdiplus_release {
inline Gdiplus::GpStatus graphics(Gdiplus::GpGraphics* g) {
    return Gdiplus::DllExports::GdipDeleteGraphics(g);
}
template <typename Brush>
Gdiplus::GpStatus brush(Brush* b) {
    return Gdiplus::DllExports::GdipDeleteBrush(b);
}
inline Gdiplus::GpStatus pen(Gdiplus::GpPen* p) { return Gdiplus::DllExports::GdipDeletePen(p); }
inline Gdiplus::GpStatus family(Gdiplus::GpFontFamily* f) {
    return Gdiplus::DllExports::GdipDeleteFontFamily(f);
}
inline Gdiplus::GpStatus font(Gdiplus::GpFont* f) { return Gdiplus::DllExports::GdipDeleteFont(f); }
inline Gdiplus::GpStatus format(Gdiplus::GpStringFormat* f) {
    return Gdiplus::DllExports::GdipDeleteStringFormat(f);
}
inline Gdiplus::GpStatus path(Gdiplus::GpPath* p) { return Gdiplus::DllExports::GdipDeletePath(p); }
}  // namespace gdiplus_release

using OwnedGraphics = GdiplusObject<Gdiplus::GpGraphics, gdiplus_release::graphics>;
using OwnedSolidBrush = GdiplusObject<Gdiplus::GpSolidFill, gdiplus_release::brush<Gdiplus::GpSolidFill>>;
using OwnedLineGradient =
    GdiplusObject<Gdiplus::GpLineGradient, gdiplus_release::brush<Gdiplus::GpLineGradient>>;
using OwnedPathGradient =
    GdiplusObject<Gdiplus::GpPathGradient, gdiplus_release::brush<Gdiplus::GpPathGradient>>;
using OwnedPen = GdiplusObject<Gdiplus::GpPen, gdiplus_release::pen>;
using OwnedFamily = GdiplusObject<Gdiplus::GpFontFamily, gdiplus_release::family>;
using OwnedFont = GdiplusObject<Gdiplus::GpFont, gdiplus_release::font>;
using OwnedFormat = GdiplusObject<Gdiplus::GpStringFormat, gdiplus_release::format>;
using OwnedPath = GdiplusObject<Gdiplus::GpPath, gdiplus_release::path>;

inline void makeSolidBrush(OwnedSolidBrush& brush, uint32_t argb) {
    Gdiplus::DllExports::GdipCreateSolidFill(argb, brush.receive());
}

// Widths in world units, which are pixels on the panel.
inline void makePen(OwnedPen& pen, PenStyle style) {
    Gdiplus::DllExports::GdipCreatePen1(style.colour, style.width, Gdiplus::UnitWorld,
                                        pen.receive());
}

// An installed family by its (ASCII) name; no private collection, no fallback.
inline void makeFamily(OwnedFamily& family, const char* name) {
    wchar_t wide[64];
    int n = 0;
    for (; name[n] && n < 63; ++n) wide[n] = static_cast<wchar_t>(name[n]);
    wide[n] = 0;
    Gdiplus::DllExports::GdipCreateFontFamilyFromName(wide, nullptr, family.receive());
}

// The font of a request from its already made family; sizes in pixels.
inline void makeFont(OwnedFont& font, const OwnedFamily& family, const FontRequest& request) {
    Gdiplus::DllExports::GdipCreateFont(family.get(), request.size,
                                        request.bold ? Gdiplus::FontStyleBold
                                                     : Gdiplus::FontStyleRegular,
                                        Gdiplus::UnitPixel, font.receive());
}

// Centred horizontally on the text's x; vertically too for TextAnchor::centreMiddle,
// otherwise the given y is the top of the line.
inline void makeCentredFormat(OwnedFormat& format, TextAnchor anchor) {
    Gdiplus::DllExports::GdipCreateStringFormat(0, LANG_NEUTRAL, format.receive());
    Gdiplus::DllExports::GdipSetStringFormatAlign(format.get(), Gdiplus::StringAlignmentCenter);
    if (anchor == TextAnchor::centreMiddle)
        Gdiplus::DllExports::GdipSetStringFormatLineAlign(format.get(),
                                                          Gdiplus::StringAlignmentCenter);
}

// Draws a terminated UTF-16 text at a point: a layout rectangle of zero size neither wraps
// nor clips it. Without a format the text starts at x with its line's top at y.
inline void drawTextAt(Gdiplus::GpGraphics* graphics, const char16_t* text,
                       Gdiplus::GpFont* font, Gdiplus::GpBrush* brush,
                       Gdiplus::GpStringFormat* format, PanelPoint at) {
    // GDI+ takes UTF-16 as WCHAR, which is 16 bits wide on Windows.
    static_assert(sizeof(WCHAR) == sizeof(char16_t));
    const Gdiplus::RectF origin(at.x, at.y, 0.0f, 0.0f);
    Gdiplus::DllExports::GdipDrawString(graphics, reinterpret_cast<const WCHAR*>(text), -1, font,
                                        &origin, format, brush);
}
