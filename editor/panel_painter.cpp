#include "editor/panel_painter.h"

#include <gdiplus.h>

#include "editor/gdiplus_objects.h"
#include "editor/knob_drawing.h"
#include "editor/panel_layout.h"
#include "host/plugin_instance.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

void fillScrews(GpGraphics* graphics, GpBrush* brush, int w, int h) {
    GdipFillEllipseI(graphics, brush, 12, 12, 10, 10);
    GdipFillEllipseI(graphics, brush, w - 22, 12, 10, 10);
    GdipFillEllipseI(graphics, brush, 12, h - 22, 10, 10);
    GdipFillEllipseI(graphics, brush, w - 22, h - 22, 10, 10);
}

void drawTransferCurve(GpGraphics* graphics, float drive, float bias) {
    PointF points[curvePointCount];
    for (int n = 0; n < curvePointCount; ++n) {
        const PanelPoint p = transferCurvePoint(n, drive, bias);
        points[n] = PointF(p.x, p.y);
    }
    GpPen* curvePen = createPen(0xffffaf3c, 2.2f);
    GdipDrawCurve(graphics, curvePen, points, curvePointCount);
    GdipDeletePen(curvePen);
}

void drawKnobs(GpGraphics* graphics, const PluginInstance& instance) {
    char16_t valueText[valueTextSize];
    for (const KnobEntry& knob : knobTable) {
        const float value = loadParameter(instance, knob.parameter);
        formatKnobValue(knob.parameter, value, valueText);
        drawKnob(graphics, knob.centreX, knob.centreY, knob.radius, value, knob.caption,
                 valueText, knob.accent);
    }
}

}  // namespace

void paintPanel(const PluginInstance& instance, HDC paintDC) {
    RECT client{};
    GetClientRect(static_cast<HWND>(instance.editorWindow.load(std::memory_order_relaxed)),
                  &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;

    HDC memoryDC = CreateCompatibleDC(paintDC);
    HBITMAP surface = CreateCompatibleBitmap(paintDC, w, h);
    HGDIOBJ replacedBitmap = SelectObject(memoryDC, surface);

    GpGraphics* graphics = nullptr;
    GdipCreateFromHDC(memoryDC, &graphics);
    GdipSetSmoothingMode(graphics, SmoothingModeAntiAlias);
    GdipSetTextRenderingHint(graphics, TextRenderingHintClearTypeGridFit);

    GpLineGradient* backgroundBrush = nullptr;
    const Rect panelBox(0, 0, w, h);
    GdipCreateLineBrushFromRectI(&panelBox, 0xff090b10, 0xff040508, LinearGradientModeVertical,
                                 WrapModeTile, &backgroundBrush);
    GdipFillRectangleI(graphics, backgroundBrush, 0, 0, w, h);

    GpSolidFill* screwBrush = createSolidBrush(0xff2d3241);
    fillScrews(graphics, screwBrush, w, h);

    GpFontFamily* cinzel = createFamily(L"Cinzel");
    GpFontFamily* inter = createFamily(L"Inter");
    GpFont* titleFont = createFont(cinzel, 18.0f, FontStyleBold);
    GpFont* subtitleFont = createFont(inter, 9.5f, FontStyleBold);
    GpSolidFill* goldBrush = createSolidBrush(0xfff0cb64);
    GpSolidFill* mutedBrush = createSolidBrush(0xb48c96af);

    drawTextAt(graphics, panelTitle, titleFont, goldBrush, nullptr, 28.0f, 20.0f);
    drawTextAt(graphics, panelSubtitle, subtitleFont, mutedBrush, nullptr, 29.0f, 44.0f);

    GpSolidFill* screenBrush = createSolidBrush(0xff0c0f16);
    GdipFillRectangleI(graphics, screenBrush, 260, 85, 320, 175);
    GpPen* framePen = createPen(0x50f0cb64, 1.2f);
    GdipDrawRectangleI(graphics, framePen, 260, 85, 320, 175);

    const float drive = loadParameter(instance, parameterDrive);
    GpPath* glowPath = nullptr;
    GdipCreatePath(FillModeAlternate, &glowPath);
    GdipAddPathEllipseI(glowPath, 300, 100, 240, 145);
    GpPathGradient* glowBrush = nullptr;
    GdipCreatePathGradientFromPath(glowPath, &glowBrush);
    GdipSetPathGradientCenterColor(glowBrush, glowCentreColour(drive, instance.animationPhase));
    auto* surround = static_cast<ARGB*>(GdipAlloc(sizeof(ARGB)));
    if (surround) {
        surround[0] = 0x00000000;
        INT surroundCount = 1;
        GdipSetPathGradientSurroundColorsWithCount(glowBrush, surround, &surroundCount);
    }
    GdipFree(surround);
    GdipFillPath(graphics, glowBrush, glowPath);

    drawTransferCurve(graphics, drive, loadParameter(instance, parameterTubeBias));

    GpFont* readoutFont = createFont(inter, 10.0f, FontStyleBold);
    GpStringFormat* centred = createCentredFormat(false);
    char16_t readout[readoutTextSize];
    formatReadout(loadParameter(instance, parameterGlue), drive, readout);
    drawTextAt(graphics, readout, readoutFont, goldBrush, centred, 420.0f, 238.0f);

    drawKnobs(graphics, instance);

    GpFont* footerFont = createFont(inter, 9.0f, FontStyleRegular);
    drawTextAt(graphics, panelFooter, footerFont, mutedBrush, centred,
               static_cast<float>(w) * 0.5f, static_cast<float>(h - 22));

    BitBlt(paintDC, 0, 0, w, h, memoryDC, 0, 0, SRCCOPY);

    GdipDeleteFont(footerFont);
    GdipDeleteFont(readoutFont);
    GdipDeleteFont(subtitleFont);
    GdipDeleteFont(titleFont);
    GdipDeleteStringFormat(centred);
    GdipDeleteBrush(glowBrush);
    GdipDeleteBrush(screenBrush);
    GdipDeleteBrush(mutedBrush);
    GdipDeleteBrush(goldBrush);
    GdipDeleteBrush(screwBrush);
    GdipDeleteBrush(backgroundBrush);
    GdipDeletePen(framePen);
    GdipDeletePath(glowPath);
    GdipDeleteFontFamily(inter);
    GdipDeleteFontFamily(cinzel);
    GdipDeleteGraphics(graphics);

    SelectObject(memoryDC, replacedBitmap);
    DeleteObject(surface);
    DeleteDC(memoryDC);
}
