// The panel's look: every colour, pen width, font request, box and text anchor of the
// panel and its knobs. The painters (GDI+ on Windows, Cairo elsewhere) only turn these into
// their own drawing calls. Colours are ARGB with alpha in the top byte; sizes are pixels.
#pragma once

#include <cstdint>

#include "editor/panel_layout.h"

struct PanelBox {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// A family requested by name from the installed fonts, with no fallback: a missing family
// leaves its texts out.
constexpr const char* titleFamily = "Cinzel";
constexpr const char* textFamily = "Inter";

struct FontRequest {
    const char* family;
    float size;
    bool bold;
};

// A text's layout box has a padding of 1/6 em on either side: a left-aligned text starts
// that far right of its x (GDI+'s default string layout does this by itself).
constexpr float textPaddingEms = 1.0f / 6.0f;

enum class TextAnchor {
    leftTop,       // starts at x, top of the line at y
    centreTop,     // centred on x, top of the line at y
    centreMiddle,  // centred on x and on y
};

struct TextStyle {
    FontRequest font;
    uint32_t colour;
    TextAnchor anchor;
};

struct PenStyle {
    uint32_t colour;
    float width;
};

// Background: a vertical gradient over the whole client area.
constexpr uint32_t backgroundTopColour = 0xff090b10;
constexpr uint32_t backgroundBottomColour = 0xff040508;

constexpr uint32_t screwColour = 0xff2d3241;
constexpr int32_t screwSize = 10;
constexpr int32_t screwInset = 12;

// Four screws 12 pixels in from the corners: top left, top right, bottom left, bottom right.
inline PanelBox screwBox(int corner, int32_t width, int32_t height) {
    const int32_t fromFarEdge = screwInset + screwSize;
    const int32_t x = (corner & 1) ? width - fromFarEdge : screwInset;
    const int32_t y = (corner & 2) ? height - fromFarEdge : screwInset;
    return {x, y, screwSize, screwSize};
}

constexpr uint32_t goldColour = 0xfff0cb64;
constexpr uint32_t mutedColour = 0xb48c96af;

constexpr TextStyle titleStyle{{titleFamily, 18.0f, true}, goldColour, TextAnchor::leftTop};
constexpr PanelPoint titleOrigin{28.0f, 20.0f};
constexpr TextStyle subtitleStyle{{textFamily, 9.5f, true}, mutedColour, TextAnchor::leftTop};
constexpr PanelPoint subtitleOrigin{29.0f, 44.0f};

// The curve display: a dark screen with a frame, a glow and the transfer curve.
constexpr uint32_t screenColour = 0xff0c0f16;
constexpr PanelBox screenBox{260, 85, 320, 175};
constexpr PenStyle framePen{0x50f0cb64, 1.2f};
// The glow fills this ellipse, from its centre colour (glowCentreColour) at the centre to
// glowEdgeColour on its outline, blended linearly with the colours premultiplied by alpha.
constexpr PanelBox glowBox{300, 100, 240, 145};
constexpr uint32_t glowEdgeColour = 0x00000000;
constexpr PenStyle curvePen{0xffffaf3c, 2.2f};
// The curve is an open cardinal spline through its points at this tension.
constexpr float curveTension = 0.5f;

constexpr TextStyle readoutStyle{{textFamily, 10.0f, true}, goldColour, TextAnchor::centreTop};
constexpr PanelPoint readoutAnchor{420.0f, 238.0f};

constexpr TextStyle footerStyle{{textFamily, 9.0f, false}, mutedColour, TextAnchor::centreTop};
inline PanelPoint footerAnchor(int32_t width, int32_t height) {
    return {static_cast<float>(width) * 0.5f, static_cast<float>(height - 22)};
}

// Knobs: a diagonal gradient disc with a rim, a track arc and a value arc, a pointer, a cap,
// and the caption and value text beneath.
constexpr uint32_t knobBodyTopLeftColour = 0xff202430;
constexpr uint32_t knobBodyBottomRightColour = 0xff0c0e14;
constexpr PenStyle knobRimPen{0x78ffffff, 1.5f};
constexpr PenStyle knobTrackPen{0x3cffffff, 4.0f};
constexpr float knobValuePenWidth = 4.5f;  // in the knob's accent colour
constexpr PenStyle knobPointerPen{0xffffffff, 2.5f};
constexpr uint32_t knobCapColour = 0xff0f1219;
// The scale's angles are knobArcStartDegrees and knobArcSweepDegrees (panel_layout.h).
constexpr TextStyle knobCaptionStyle{{textFamily, 10.0f, true}, 0xdcc8d2e6, TextAnchor::centreMiddle};
// The value text is drawn in the knob's accent colour.
constexpr FontRequest knobValueFont{textFamily, 11.5f, false};

struct KnobGeometry {
    PanelBox body;
    PanelBox arcs;  // the box of the track and value arcs
    PanelBox cap;
    PanelPoint centre;
    PanelPoint pointerTip;
    PanelPoint captionAnchor;
    PanelPoint valueAnchor;
};

inline KnobGeometry knobGeometry(int32_t centreX, int32_t centreY, int32_t radius,
                                 float knobValue) {
    const int32_t capRadius = radius - 18;
    return {{centreX - radius, centreY - radius, 2 * radius, 2 * radius},
            {centreX - radius + 5, centreY - radius + 5, 2 * radius - 10, 2 * radius - 10},
            {centreX - capRadius, centreY - capRadius, 2 * radius - 36, 2 * radius - 36},
            {static_cast<float>(centreX), static_cast<float>(centreY)},
            pointerEnd(centreX, centreY, radius, knobValue),
            {static_cast<float>(centreX), static_cast<float>(centreY + radius + 14)},
            {static_cast<float>(centreX), static_cast<float>(centreY + radius + 28)}};
}

// The transfer curve's cubic Bézier segment from point n to n + 1 of an open cardinal
// spline at curveTension: the two inner control points. The end points use themselves as
// their missing neighbours.
struct CurveSegment {
    PanelPoint first;
    PanelPoint second;
};

inline CurveSegment curveSegment(const PanelPoint* points, int count, int n) {
    const PanelPoint& before = points[n > 0 ? n - 1 : 0];
    const PanelPoint& from = points[n];
    const PanelPoint& to = points[n + 1];
    const PanelPoint& after = points[n + 2 < count ? n + 2 : count - 1];
    const float t = curveTension / 3.0f;
    return {{from.x + t * (to.x - before.x), from.y + t * (to.y - before.y)},
            {to.x - t * (after.x - from.x), to.y - t * (after.y - from.y)}};
}
