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
