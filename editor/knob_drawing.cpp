#include "editor/knob_drawing.h"

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

    GpPen* rimPen = nullptr;
    GdipCreatePen1(0x78ffffff, 1.5f, UnitWorld, &rimPen);
    GdipDrawEllipseI(graphics, rimPen, bodyX, bodyY, bodySize, bodySize);

    GpPen* trackPen = nullptr;
    GdipCreatePen1(0x3cffffff, 4.0f, UnitWorld, &trackPen);
    GdipDrawArcI(graphics, trackPen, arcX, arcY, arcSize, arcSize, 150.0f, 240.0f);

    GpPen* valuePen = nullptr;
    GdipCreatePen1(accent, 4.5f, UnitWorld, &valuePen);
    GdipDrawArcI(graphics, valuePen, arcX, arcY, arcSize, arcSize, 150.0f,
                 valueArcSweep(knobValue));

    GpPen* pointerPen = nullptr;
    GdipCreatePen1(0xffffffff, 2.5f, UnitWorld, &pointerPen);
    const PanelPoint tip = pointerEnd(centreX, centreY, radius, knobValue);
    GdipDrawLine(graphics, pointerPen, static_cast<float>(centreX), static_cast<float>(centreY),
                 tip.x, tip.y);

    GpSolidFill* capBrush = nullptr;
    GdipCreateSolidFill(0xff0f1219, &capBrush);
    GdipFillEllipseI(graphics, capBrush, centreX - capRadius, centreY - capRadius,
                     2 * radius - 36, 2 * radius - 36);

    GpFontFamily* family = nullptr;
    GdipCreateFontFamilyFromName(L"Inter", nullptr, &family);
    GpFont* captionFont = nullptr;
    GdipCreateFont(family, 10.0f, FontStyleBold, UnitPixel, &captionFont);
    GpFont* valueFont = nullptr;
    GdipCreateFont(family, 11.5f, FontStyleRegular, UnitPixel, &valueFont);
    GpStringFormat* format = nullptr;
    GdipCreateStringFormat(0, LANG_NEUTRAL, &format);
    GdipSetStringFormatAlign(format, StringAlignmentCenter);
    GdipSetStringFormatLineAlign(format, StringAlignmentCenter);

    GpSolidFill* captionBrush = nullptr;
    GdipCreateSolidFill(0xdcc8d2e6, &captionBrush);
    GpSolidFill* valueBrush = nullptr;
    GdipCreateSolidFill(accent, &valueBrush);

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
