#include "editor/gdiplus_painter.h"

#include <gdiplus.h>

#include <cstring>

#include "editor/gdiplus_objects.h"
#include "editor/gdiplus_knob.h"
#include "editor/panel_layout.h"
#include "editor/panel_style.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// A memory device context with a bitmap compatible with the window's, selected in for the
// paint and deselected and deleted after it.
class OffscreenSurface {
public:
    OffscreenSurface(HDC paintDC, int32_t width, int32_t height)
        : dc_(CreateCompatibleDC(paintDC)), bitmap_(CreateCompatibleBitmap(paintDC, width, height)),
          replaced_(SelectObject(dc_, bitmap_)) {}
    OffscreenSurface(const OffscreenSurface&) = delete;
    OffscreenSurface& operator=(const OffscreenSurface&) = delete;
    ~OffscreenSurface() {
        SelectObject(dc_, replaced_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ replaced_;
};

// The objects the texts of the panel share: both families and the two text brushes.
struct PanelInks {
    OwnedFamily cinzel;
    OwnedFamily inter;
    OwnedSolidBrush gold;
    OwnedSolidBrush muted;
};

void fillBox(GpGraphics* graphics, GpBrush* brush, const PanelBox& box) {
    GdipFillRectangleI(graphics, brush, box.x, box.y, box.width, box.height);
}

void paintBackground(GpGraphics* graphics, int32_t width, int32_t height) {
    OwnedLineGradient brush;
    const Rect panelBox(0, 0, width, height);
    GdipCreateLineBrushFromRectI(&panelBox, backgroundTopColour, backgroundBottomColour,
                                 LinearGradientModeVertical, WrapModeTile, brush.receive());
    fillBox(graphics, brush.get(), {0, 0, width, height});
}

void paintScrews(GpGraphics* graphics, int32_t width, int32_t height) {
    OwnedSolidBrush brush;
    makeSolidBrush(brush, screwColour);
    for (int corner = 0; corner < 4; ++corner) {
        const PanelBox box = screwBox(corner, width, height);
        GdipFillEllipseI(graphics, brush.get(), box.x, box.y, box.width, box.height);
    }
}

const OwnedFamily& familyOf(const PanelInks& inks, const FontRequest& font) {
    return std::strcmp(font.family, titleFamily) == 0 ? inks.cinzel : inks.inter;
}

void paintTitles(GpGraphics* graphics, const PanelInks& inks) {
    OwnedFont titleFont;
    makeFont(titleFont, familyOf(inks, titleStyle.font), titleStyle.font);
    OwnedFont subtitleFont;
    makeFont(subtitleFont, familyOf(inks, subtitleStyle.font), subtitleStyle.font);
    drawTextAt(graphics, panelTitle, titleFont.get(), inks.gold.get(), nullptr, titleOrigin);
    drawTextAt(graphics, panelSubtitle, subtitleFont.get(), inks.muted.get(), nullptr,
               subtitleOrigin);
}

void paintScreen(GpGraphics* graphics) {
    OwnedSolidBrush brush;
    makeSolidBrush(brush, screenColour);
    fillBox(graphics, brush.get(), screenBox);
    OwnedPen frame;
    makePen(frame, framePen);
    GdipDrawRectangleI(graphics, frame.get(), screenBox.x, screenBox.y, screenBox.width,
                       screenBox.height);
}

void paintGlow(GpGraphics* graphics, const PanelValues& values) {
    OwnedPath path;
    GdipCreatePath(FillModeAlternate, path.receive());
    GdipAddPathEllipseI(path.get(), glowBox.x, glowBox.y, glowBox.width, glowBox.height);
    OwnedPathGradient brush;
    GdipCreatePathGradientFromPath(path.get(), brush.receive());
    GdipSetPathGradientCenterColor(
        brush.get(), glowCentreColour(values.parameters[parameterDrive], values.animationPhase));
    auto* surround = static_cast<ARGB*>(GdipAlloc(sizeof(ARGB)));
    if (surround) {
        surround[0] = glowEdgeColour;
        INT surroundCount = 1;
        GdipSetPathGradientSurroundColorsWithCount(brush.get(), surround, &surroundCount);
    }
    GdipFree(surround);
    GdipFillPath(graphics, brush.get(), path.get());
}

void paintTransferCurve(GpGraphics* graphics, const PanelValues& values) {
    PointF points[curvePointCount];
    for (int n = 0; n < curvePointCount; ++n) {
        const PanelPoint p = transferCurvePoint(n, values.parameters[parameterDrive],
                                                values.parameters[parameterTubeBias]);
        points[n] = PointF(p.x, p.y);
    }
    OwnedPen pen;
    makePen(pen, curvePen);
    // GDI+'s default tension is the panel's curveTension.
    GdipDrawCurve(graphics, pen.get(), points, curvePointCount);
}

void paintKnobs(GpGraphics* graphics, const PanelValues& values) {
    char16_t valueText[valueTextSize];
    for (const KnobEntry& knob : knobTable) {
        const float value = values.parameters[knob.parameter];
        formatKnobValue(knob.parameter, value, valueText);
        drawKnob(graphics, knob.centreX, knob.centreY, knob.radius, value, knob.caption,
                 valueText, knob.accent);
    }
}

// The readout under the curve and the footer share the centred format.
void paintReadoutKnobsAndFooter(GpGraphics* graphics, const PanelInks& inks,
                                const PanelValues& values, int32_t width, int32_t height) {
    OwnedFont readoutFont;
    makeFont(readoutFont, familyOf(inks, readoutStyle.font), readoutStyle.font);
    OwnedFormat centred;
    makeCentredFormat(centred, readoutStyle.anchor);
    char16_t readout[readoutTextSize];
    formatReadout(values.parameters[parameterGlue], values.parameters[parameterDrive], readout);
    drawTextAt(graphics, readout, readoutFont.get(), inks.gold.get(), centred.get(),
               readoutAnchor);

    paintKnobs(graphics, values);

    OwnedFont footerFont;
    makeFont(footerFont, familyOf(inks, footerStyle.font), footerStyle.font);
    drawTextAt(graphics, panelFooter, footerFont.get(), inks.muted.get(), centred.get(),
               footerAnchor(width, height));
}

}  // namespace

void paintPanel(const PanelValues& values, HDC paintDC, int32_t pixelWidth, int32_t pixelHeight,
                double scale) {
    const OffscreenSurface surface(paintDC, pixelWidth, pixelHeight);
    {
        OwnedGraphics graphics;
        GdipCreateFromHDC(surface.dc(), graphics.receive());
        GdipSetSmoothingMode(graphics.get(), SmoothingModeAntiAlias);
        GdipSetTextRenderingHint(graphics.get(), TextRenderingHintClearTypeGridFit);
        // Every coordinate, width, radius and font size goes through the world transform:
        // the panel is drawn as vectors at the scale, in panel units from here on.
        int32_t width = pixelWidth, height = pixelHeight;
        if (scale != 1.0) {
            GdipScaleWorldTransform(graphics.get(), static_cast<REAL>(scale),
                                    static_cast<REAL>(scale), MatrixOrderPrepend);
            width = static_cast<int32_t>(pixelWidth / scale + 0.5);
            height = static_cast<int32_t>(pixelHeight / scale + 0.5);
        }

        paintBackground(graphics.get(), width, height);
        paintScrews(graphics.get(), width, height);
        PanelInks inks;
        makeFamily(inks.cinzel, titleFamily);
        makeFamily(inks.inter, textFamily);
        makeSolidBrush(inks.gold, goldColour);
        makeSolidBrush(inks.muted, mutedColour);
        paintTitles(graphics.get(), inks);
        paintScreen(graphics.get());
        paintGlow(graphics.get(), values);
        paintTransferCurve(graphics.get(), values);
        paintReadoutKnobsAndFooter(graphics.get(), inks, values, width, height);

        BitBlt(paintDC, 0, 0, pixelWidth, pixelHeight, surface.dc(), 0, 0, SRCCOPY);
    }  // every GDI+ object, the graphics last, before the surface goes
}
