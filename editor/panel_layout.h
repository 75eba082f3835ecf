// The numbers and texts of the editor panel that need no window system: the knob table
// shared by the drawing and the hit test, the drag arithmetic, the transfer curve, the
// glow, the knob pointer and the formatted texts. Everything is single precision where
// the panel draws in single precision, so these functions give the painter's own values.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "parameters/parameter_index.h"
#include "parameters/parameter_set.h"

struct KnobEntry {
    int parameter;  // a ParameterIndex
    int32_t centreX;
    int32_t centreY;
    int32_t radius;
    const char16_t* caption;
    uint32_t accent;  // ARGB
};

constexpr int knobCount = 6;

// Drawn in this order, hit-tested in this order.
inline constexpr KnobEntry knobTable[knobCount] = {
    {parameterDrive, 130, 165, 46, u"DRIVE / HEAT", 0xffff7828},
    {parameterTubeBias, 710, 165, 46, u"TUBE BIAS", 0xfff0cb64},
    {parameterGlue, 130, 375, 40, u"580 GLUE", 0xfff0be50},
    {parameterMomentum, 320, 375, 40, u"9\u00b2 MOMENTUM (808)", 0xffc084fc},
    {parameterSieve, 510, 375, 40, u"172 PRIME SIEVE", 0xff34d399},
    {parameterMix, 700, 375, 40, u"DRY / WET", 0xff38bdf8},
};

inline constexpr const char16_t* panelTitle = u"TOLVAN VELMORA\u2122";
inline constexpr const char16_t* panelSubtitle =
    u"ANALOG TUBE & TAPE SATURATION \u2022 PURE RUVA\u2122 QUANTUM APEX CORE";
inline constexpr const char16_t* panelFooter =
    u"TOLVAN AUDIO TECHNOLOGIES \u2022 64-BIT NATIVE VST2 \u2022 ZERO LATENCY DSP";

constexpr int readoutTextSize = 64;
constexpr int valueTextSize = 32;
constexpr int curvePointCount = 81;

struct PanelPoint {
    float x;
    float y;
};

// The entry of knobTable whose circle (rim included) holds the point, in panel units, or
// -1. Mouse coordinates are signed 16-bit (divided by the scale, at other sizes), so the
// squared distance is summed in double: in 32-bit integers it overflows for points far
// from a knob and may then pass for a hit.
inline int hitKnob(double x, double y) {
    for (int k = 0; k < knobCount; ++k) {
        const double dx = x - knobTable[k].centreX;
        const double dy = y - knobTable[k].centreY;
        const double radius = knobTable[k].radius;
        if (dx * dx + dy * dy <= radius * radius) return k;
    }
    return -1;
}

// 200 panel units of vertical travel span the whole range (2000 when fine); up raises the
// value. Whole pixels at 100 % give the very float arithmetic of an integer difference.
constexpr float dragStep = 0.005f;
constexpr float fineDragStep = 0.0005f;
inline float dragValue(float startValue, float startY, float y, bool fine = false) {
    return clampParameter((startY - y) * (fine ? fineDragStep : dragStep) + startValue);
}

// The wheel: a notch moves a knob 1 % of its range, 0.1 % when fine.
constexpr float wheelStep = 0.01f;
constexpr float fineWheelStep = 0.001f;
inline float wheelValue(float value, float notches, bool fine) {
    return clampParameter(value + notches * (fine ? fineWheelStep : wheelStep));
}

// Point n (0..80) of the transfer curve across the screen, about the line y = 172.5.
inline PanelPoint transferCurvePoint(int n, float drive, float bias) {
    const float k = 2.5f * drive + 1.0f;
    const int i = 4 * n;
    const float u = (static_cast<float>(i) / 320.0f - 0.5f) * 2.0f;
    float a;
    if (u >= 0.0f)
        a = std::tanh(u * ((bias - 0.5f) + k));
    else
        a = -std::tanh(-u * ((0.5f - bias) + k));
    return {static_cast<float>(260 + i), 172.5f - 73.5f * a};
}

// The glow's centre alpha, pulsing with the idle animation.
inline int glowAlpha(float drive, float phase) {
    const float s = std::sin(phase);
    const float v = 160.0f * drive + 50.0f + 15.0f * s;
    int alpha = static_cast<int>(v);
    if (alpha < 20) alpha = 20;
    if (alpha > 255) alpha = 255;
    return alpha;
}

inline uint32_t glowCentreColour(float drive, float phase) {
    return static_cast<uint32_t>(glowAlpha(drive, phase)) * 0x1000000u + 0xff6e1eu;
}

// The knob's scale starts at 150 degrees and runs 240 degrees clockwise (angles from the
// positive x axis, y growing downwards).
constexpr float knobArcStartDegrees = 150.0f;
constexpr float knobArcSweepDegrees = 240.0f;

inline float valueArcSweep(float knobValue) { return knobArcSweepDegrees * knobValue; }

inline PanelPoint pointerEnd(int32_t centreX, int32_t centreY, int32_t radius, float knobValue) {
    const float degrees = knobArcSweepDegrees * knobValue + knobArcStartDegrees;
    const float radians =
        static_cast<float>(static_cast<double>(degrees) * 3.141592653589793 / 180.0);
    const float length = static_cast<float>(radius - 12);
    return {static_cast<float>(centreX) + length * std::cos(radians),
            static_cast<float>(centreY) + length * std::sin(radians)};
}

// A terminated UTF-16 text in a fixed buffer; what does not fit is cut.
struct PanelText {
    char16_t* data;
    int size;
    int length;
};

inline PanelText startText(char16_t* data, int size) {
    data[0] = 0;
    return {data, size, 0};
}

inline void appendText(PanelText& text, const char16_t* piece) {
    for (; *piece && text.length < text.size - 1; ++piece) text.data[text.length++] = *piece;
    text.data[text.length] = 0;
}

// ASCII text, widened character by character.
inline void appendAscii(PanelText& text, const char* ascii) {
    for (; *ascii && text.length < text.size - 1; ++ascii)
        text.data[text.length++] = static_cast<char16_t>(*ascii);
    text.data[text.length] = 0;
}

// The number as "%.*f" prints it in the "C" locale, whatever the host's.
inline void appendNumber(PanelText& text, double value, int decimals) {
    char digits[48];
    formatFixed(value, decimals, digits, sizeof digits);
    appendAscii(text, digits);
}

// "580 ATTRACTOR GLUE: %.0f%% • HEAT DRIVE: +%.1f dB"
inline void formatReadout(float glue, float drive, char16_t (&buffer)[readoutTextSize]) {
    PanelText text = startText(buffer, readoutTextSize);
    appendText(text, u"580 ATTRACTOR GLUE: ");
    appendNumber(text, static_cast<double>(glue * 100.0f), 0);
    appendText(text, u"% \u2022 HEAT DRIVE: +");
    appendNumber(text, static_cast<double>(drive * 18.0f), 1);
    appendText(text, u" dB");
}

// The parameter's display text, and a "%" after the per-cent ones ("0.50", "40%").
inline void formatKnobValue(int parameter, float value, char16_t (&buffer)[valueTextSize]) {
    PanelText text = startText(buffer, valueTextSize);
    const ParameterSpec& spec = parameterTable[parameter];
    char digits[48];
    formatParameterNumber(spec, value, digits, sizeof digits, TextConvention::vst2Library);
    appendAscii(text, digits);
    if (spec.unit[0] == '%') appendText(text, u"%");
}
