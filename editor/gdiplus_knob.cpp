#include "editor/gdiplus_knob.h"

#include "editor/gdiplus_objects.h"
#include "editor/panel_style.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

void fillEllipse(GpGraphics* graphics, GpBrush* brush, const PanelBox& box) {
    GdipFillEllipseI(graphics, brush, box.x, box.y, box.width, box.height);
}

void drawArc(GpGraphics* graphics, GpPen* pen, const PanelBox& box, float sweep) {
    GdipDrawArcI(graphics, pen, box.x, box.y, box.width, box.height, knobArcStartDegrees, sweep);
}

}  // namespace

void drawKnob(GpGraphics* graphics, int32_t centreX, int32_t centreY, int32_t radius,
              float knobValue, const char16_t* caption, const char16_t* valueText,
              uint32_t accent) {
    const KnobGeometry knob = knobGeometry(centreX, centreY, radius, knobValue);

    OwnedLineGradient bodyBrush;
    const Rect bodyBox(knob.body.x, knob.body.y, knob.body.width, knob.body.height);
    GdipCreateLineBrushFromRectI(&bodyBox, knobBodyTopLeftColour, knobBodyBottomRightColour,
                                 LinearGradientModeForwardDiagonal, WrapModeTile,
                                 bodyBrush.receive());
    fillEllipse(graphics, bodyBrush.get(), knob.body);

    OwnedPen rimPen;
    makePen(rimPen, knobRimPen);
    GdipDrawEllipseI(graphics, rimPen.get(), knob.body.x, knob.body.y, knob.body.width,
                     knob.body.height);

    OwnedPen trackPen;
    makePen(trackPen, knobTrackPen);
    drawArc(graphics, trackPen.get(), knob.arcs, knobArcSweepDegrees);
    OwnedPen valuePen;
    makePen(valuePen, {accent, knobValuePenWidth});
    drawArc(graphics, valuePen.get(), knob.arcs, valueArcSweep(knobValue));

    // The cap then hides the pointer's inner part, leaving a tick short of the arcs.
    OwnedPen pointerPen;
    makePen(pointerPen, knobPointerPen);
    GdipDrawLine(graphics, pointerPen.get(), knob.centre.x, knob.centre.y, knob.pointerTip.x,
                 knob.pointerTip.y);
    OwnedSolidBrush capBrush;
    makeSolidBrush(capBrush, knobCapColour);
    fillEllipse(graphics, capBrush.get(), knob.cap);

    OwnedFamily family;
    makeFamily(family, knobCaptionStyle.font.family);
    OwnedFont captionFont;
    makeFont(captionFont, family, knobCaptionStyle.font);
    OwnedFont valueFont;
    makeFont(valueFont, family, knobValueFont);
    OwnedFormat format;
    makeCentredFormat(format, knobCaptionStyle.anchor);
    OwnedSolidBrush captionBrush;
    makeSolidBrush(captionBrush, knobCaptionStyle.colour);
    OwnedSolidBrush valueBrush;
    makeSolidBrush(valueBrush, accent);
    drawTextAt(graphics, caption, captionFont.get(), captionBrush.get(), format.get(),
               knob.captionAnchor);
    drawTextAt(graphics, valueText, valueFont.get(), valueBrush.get(), format.get(),
               knob.valueAnchor);
}
