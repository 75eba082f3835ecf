#include "editor/knob_drawing.h"

#include "editor/gdiplus_objects.h"
#include "editor/panel_layout.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

void drawKnob(GpGraphics* graphics, int32_t centreX, int32_t centreY, int32_t radius,
              float knobValue, const char16_t* caption, const char16_t* valueText,
              uint32_t accent) {
    const int32_t bodyX = centreX - radius;
    const int32_t bodyY = centreY - radius;
    const int32_t bodySize = 2 * radius;
    const int32_t arcX = centreX - radius + 5;
    const int32_t arcY = centreY - radius + 5;
    const int32_t arcSize = 2 * radius - 10;
    const int32_t capRadius = radius - 18;

    GpLineGradient* bodyBrush = nullptr;
    const Rect bodyBox(bodyX, bodyY, bodySize, bodySize);
    GdipCreateLineBrushFromRectI(&bodyBox, 0xff202430, 0xff0c0e14,
                                 LinearGradientModeForwardDiagonal, WrapModeTile, &bodyBrush);
    GdipFillEllipseI(graphics, bodyBrush, bodyX, bodyY, bodySize, bodySize);

    GpPen* rimPen = createPen(0x78ffffff, 1.5f);
    GdipDrawEllipseI(graphics, rimPen, bodyX, bodyY, bodySize, bodySize);

    // The scale runs 240 degrees clockwise from 150 (lower left) over the top.
    GpPen* trackPen = createPen(0x3cffffff, 4.0f);
    GdipDrawArcI(graphics, trackPen, arcX, arcY, arcSize, arcSize, 150.0f, 240.0f);
    GpPen* valuePen = createPen(accent, 4.5f);
    GdipDrawArcI(graphics, valuePen, arcX, arcY, arcSize, arcSize, 150.0f,
                 valueArcSweep(knobValue));

    // The cap then hides the pointer's inner part, leaving a tick short of the arcs.
    GpPen* pointerPen = createPen(0xffffffff, 2.5f);
    const PanelPoint tip = pointerEnd(centreX, centreY, radius, knobValue);
    GdipDrawLine(graphics, pointerPen, static_cast<float>(centreX), static_cast<float>(centreY),
                 tip.x, tip.y);
    GpSolidFill* capBrush = createSolidBrush(0xff0f1219);
    GdipFillEllipseI(graphics, capBrush, centreX - capRadius, centreY - capRadius,
                     2 * radius - 36, 2 * radius - 36);

    GpFontFamily* family = createFamily(L"Inter");
    GpFont* captionFont = createFont(family, 10.0f, FontStyleBold);
    GpFont* valueFont = createFont(family, 11.5f, FontStyleRegular);
    GpStringFormat* format = createCentredFormat(true);
    GpSolidFill* captionBrush = createSolidBrush(0xdcc8d2e6);
    GpSolidFill* valueBrush = createSolidBrush(accent);
    drawTextAt(graphics, caption, captionFont, captionBrush, format,
               static_cast<float>(centreX), static_cast<float>(centreY + radius + 14));
    drawTextAt(graphics, valueText, valueFont, valueBrush, format,
               static_cast<float>(centreX), static_cast<float>(centreY + radius + 28));

    GdipDeleteBrush(valueBrush);
    GdipDeleteBrush(captionBrush);
    GdipDeleteStringFormat(format);
    GdipDeleteFont(valueFont);
    GdipDeleteFont(captionFont);
    GdipDeleteFontFamily(family);
    GdipDeleteBrush(capBrush);
    GdipDeletePen(pointerPen);
    GdipDeletePen(valuePen);
    GdipDeletePen(trackPen);
    GdipDeletePen(rimPen);
    GdipDeleteBrush(bodyBrush);
}
