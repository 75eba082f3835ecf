#include "editor/cairo_painter.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <cstring>

#include "editor/panel_layout.h"
#include "editor/panel_style.h"

namespace {

constexpr double pi = 3.141592653589793;
constexpr double degreesToRadians = pi / 180.0;

double channel(uint32_t argb, int shift) { return static_cast<double>((argb >> shift) & 0xff) / 255.0; }

void setColour(cairo_t* cr, uint32_t argb) {
    cairo_set_source_rgba(cr, channel(argb, 16), channel(argb, 8), channel(argb, 0),
                          channel(argb, 24));
}

void addColourStop(cairo_pattern_t* pattern, double offset, uint32_t argb) {
    cairo_pattern_add_color_stop_rgba(pattern, offset, channel(argb, 16), channel(argb, 8),
                                      channel(argb, 0), channel(argb, 24));
}

// Stops from one colour to another, blended linearly with both premultiplied by alpha
// (a blend to transparent black then keeps the first colour's hue all the way).
void addPremultipliedBlend(cairo_pattern_t* pattern, uint32_t from, uint32_t to) {
    constexpr int steps = 16;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const double alpha = channel(from, 24) * (1.0 - t) + channel(to, 24) * t;
        double rgb[3] = {0.0, 0.0, 0.0};
        for (int c = 0; c < 3; ++c) {
            const int shift = 16 - 8 * c;
            const double premultiplied = channel(from, shift) * channel(from, 24) * (1.0 - t) +
                                         channel(to, shift) * channel(to, 24) * t;
            if (alpha > 0.0) rgb[c] = premultiplied / alpha;
        }
        cairo_pattern_add_color_stop_rgba(pattern, t, rgb[0], rgb[1], rgb[2], alpha);
    }
}

// Fills with a pattern made for this one call.
void fillWithPattern(cairo_t* cr, cairo_pattern_t* pattern) {
    cairo_set_source(cr, pattern);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
}

void strokeWith(cairo_t* cr, const PenStyle& pen) {
    setColour(cr, pen.colour);
    cairo_set_line_width(cr, pen.width);
    cairo_stroke(cr);
}

// The ellipse inscribed in a box as the current path.
void ellipsePath(cairo_t* cr, const PanelBox& box) {
    cairo_save(cr);
    cairo_translate(cr, box.x + box.width / 2.0, box.y + box.height / 2.0);
    cairo_scale(cr, box.width / 2.0, box.height / 2.0);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0.0, 0.0, 1.0, 0.0, 2.0 * pi);
    cairo_close_path(cr);
    cairo_restore(cr);
}

void fillEllipse(cairo_t* cr, const PanelBox& box, uint32_t argb) {
    ellipsePath(cr, box);
    setColour(cr, argb);
    cairo_fill(cr);
}

// An arc of the circle inscribed in a square box, clockwise on the screen from start.
void strokeArc(cairo_t* cr, const PanelBox& box, float sweepDegrees, const PenStyle& pen) {
    if (!(sweepDegrees > 0.0f)) return;
    const double start = knobArcStartDegrees * degreesToRadians;
    cairo_new_path(cr);
    cairo_arc(cr, box.x + box.width / 2.0, box.y + box.height / 2.0, box.width / 2.0, start,
              start + sweepDegrees * degreesToRadians);
    strokeWith(cr, pen);
}

// Whether fontconfig knows the family by that very name; a painter that finds no family
// leaves its texts out rather than fall back to another.
bool familyInstalled(const char* family) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcObjectSet* properties = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, pattern, properties);
    const bool found = fonts && fonts->nfont > 0;
    if (fonts) FcFontSetDestroy(fonts);
    FcObjectSetDestroy(properties);
    FcPatternDestroy(pattern);
    return found;
}

// Listing the fonts costs more than a whole paint, and the installed fonts do not change
// under a running editor: each family is looked up once per process.
bool titleFamilyInstalled() {
    static const bool found = familyInstalled(titleFamily);
    return found;
}

bool textFamilyInstalled() {
    static const bool found = familyInstalled(textFamily);
    return found;
}

// UTF-16 to UTF-8, cut to fit and terminated.
void toUtf8(const char16_t* text, char* out, int size) {
    int n = 0;
    for (; *text; ++text) {
        uint32_t c = *text;
        if (c >= 0xd800 && c < 0xdc00 && text[1] >= 0xdc00 && text[1] < 0xe000) {
            c = 0x10000 + ((c - 0xd800) << 10) + (text[1] - 0xdc00);
            ++text;
        }
        char bytes[4];
        int count;
        if (c < 0x80) {
            bytes[0] = static_cast<char>(c);
            count = 1;
        } else if (c < 0x800) {
            bytes[0] = static_cast<char>(0xc0 | (c >> 6));
            bytes[1] = static_cast<char>(0x80 | (c & 0x3f));
            count = 2;
        } else if (c < 0x10000) {
            bytes[0] = static_cast<char>(0xe0 | (c >> 12));
            bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            bytes[2] = static_cast<char>(0x80 | (c & 0x3f));
            count = 3;
        } else {
            bytes[0] = static_cast<char>(0xf0 | (c >> 18));
            bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3f));
            bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            bytes[3] = static_cast<char>(0x80 | (c & 0x3f));
            count = 4;
        }
        if (n + count >= size) break;
        for (int i = 0; i < count; ++i) out[n++] = bytes[i];
    }
    out[n] = 0;
}

// One font map per thread: Pango's font maps are not for sharing between threads, and
// two hosts' threads may each paint an editor.
thread_local PangoFontMap* panelFontMap = nullptr;

PangoContext* createPangoContext(cairo_t* cr) {
    if (!panelFontMap) panelFontMap = pango_cairo_font_map_new();
    PangoContext* context = pango_font_map_create_context(panelFontMap);
    pango_cairo_update_context(cr, context);
    return context;
}

// The texts of one paint: one Pango context on the paint's Cairo context, and which of
// the two families are installed.
class PanelTexts {
public:
    explicit PanelTexts(cairo_t* cr)
        : cr_(cr), context_(createPangoContext(cr)),
          titleFamilyFound_(titleFamilyInstalled()), textFamilyFound_(textFamilyInstalled()) {}
    PanelTexts(const PanelTexts&) = delete;
    PanelTexts& operator=(const PanelTexts&) = delete;
    ~PanelTexts() { g_object_unref(context_); }

    void draw(const char16_t* text, const FontRequest& font, uint32_t colour, TextAnchor anchor,
              PanelPoint at) {
        const bool title = std::strcmp(font.family, titleFamily) == 0;
        if (!(title ? titleFamilyFound_ : textFamilyFound_)) return;
        char utf8[4 * readoutTextSize];
        toUtf8(text, utf8, sizeof utf8);

        PangoFontDescription* description = pango_font_description_new();
        pango_font_description_set_family_static(description, font.family);
        pango_font_description_set_absolute_size(description, font.size * PANGO_SCALE);
        pango_font_description_set_weight(description,
                                          font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        PangoLayout* layout = pango_layout_new(context_);
        pango_layout_set_font_description(layout, description);
        pango_layout_set_text(layout, utf8, -1);

        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        const double width = static_cast<double>(logical.width) / PANGO_SCALE;
        const double height = static_cast<double>(logical.height) / PANGO_SCALE;
        double x = at.x;
        double y = at.y;
        if (anchor == TextAnchor::leftTop)
            x += font.size * textPaddingEms;
        else
            x -= width / 2.0;
        if (anchor == TextAnchor::centreMiddle) y -= height / 2.0;
        setColour(cr_, colour);
        cairo_move_to(cr_, x, y);
        pango_cairo_show_layout(cr_, layout);
        cairo_new_path(cr_);

        g_object_unref(layout);
        pango_font_description_free(description);
    }

    void draw(const char16_t* text, const TextStyle& style, PanelPoint at) {
        draw(text, style.font, style.colour, style.anchor, at);
    }

private:
    cairo_t* cr_;
    PangoContext* context_;
    bool titleFamilyFound_;
    bool textFamilyFound_;
};

void paintBackground(cairo_t* cr, int32_t width, int32_t height) {
    cairo_rectangle(cr, 0.0, 0.0, width, height);
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0.0, 0.0, 0.0, height);
    addColourStop(gradient, 0.0, backgroundTopColour);
    addColourStop(gradient, 1.0, backgroundBottomColour);
    fillWithPattern(cr, gradient);
}

void paintScrews(cairo_t* cr, int32_t width, int32_t height) {
    for (int corner = 0; corner < 4; ++corner)
        fillEllipse(cr, screwBox(corner, width, height), screwColour);
}

void paintScreen(cairo_t* cr) {
    cairo_rectangle(cr, screenBox.x, screenBox.y, screenBox.width, screenBox.height);
    setColour(cr, screenColour);
    cairo_fill_preserve(cr);
    strokeWith(cr, framePen);
}

// The ellipse's own gradient: the centre colour in the middle, fading linearly to the
// edge colour on the outline.
void paintGlow(cairo_t* cr, const PanelValues& values) {
    const double rx = glowBox.width / 2.0;
    const double ry = glowBox.height / 2.0;
    cairo_save(cr);
    cairo_translate(cr, glowBox.x + rx, glowBox.y + ry);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0.0, 0.0, 1.0, 0.0, 2.0 * pi);
    cairo_pattern_t* gradient = cairo_pattern_create_radial(0.0, 0.0, 0.0, 0.0, 0.0, 1.0);
    addPremultipliedBlend(gradient,
                          glowCentreColour(values.parameters[parameterDrive], values.animationPhase),
                          glowEdgeColour);
    fillWithPattern(cr, gradient);
    cairo_restore(cr);
}

void paintTransferCurve(cairo_t* cr, const PanelValues& values) {
    PanelPoint points[curvePointCount];
    for (int n = 0; n < curvePointCount; ++n)
        points[n] = transferCurvePoint(n, values.parameters[parameterDrive],
                                       values.parameters[parameterTubeBias]);
    cairo_move_to(cr, points[0].x, points[0].y);
    for (int n = 0; n + 1 < curvePointCount; ++n) {
        const CurveSegment segment = curveSegment(points, curvePointCount, n);
        cairo_curve_to(cr, segment.first.x, segment.first.y, segment.second.x, segment.second.y,
                       points[n + 1].x, points[n + 1].y);
    }
    strokeWith(cr, curvePen);
}

void paintKnob(cairo_t* cr, const KnobEntry& entry, float value) {
    const KnobGeometry knob = knobGeometry(entry.centreX, entry.centreY, entry.radius, value);

    ellipsePath(cr, knob.body);
    cairo_pattern_t* body = cairo_pattern_create_linear(
        knob.body.x, knob.body.y, knob.body.x + knob.body.width, knob.body.y + knob.body.height);
    addColourStop(body, 0.0, knobBodyTopLeftColour);
    addColourStop(body, 1.0, knobBodyBottomRightColour);
    fillWithPattern(cr, body);
    ellipsePath(cr, knob.body);
    strokeWith(cr, knobRimPen);

    strokeArc(cr, knob.arcs, knobArcSweepDegrees, knobTrackPen);
    strokeArc(cr, knob.arcs, valueArcSweep(value), {entry.accent, knobValuePenWidth});

    // The cap then hides the pointer's inner part, leaving a tick short of the arcs.
    cairo_move_to(cr, knob.centre.x, knob.centre.y);
    cairo_line_to(cr, knob.pointerTip.x, knob.pointerTip.y);
    strokeWith(cr, knobPointerPen);
    fillEllipse(cr, knob.cap, knobCapColour);

    char16_t valueText[valueTextSize];
    formatKnobValue(entry.parameter, value, valueText);
    PanelTexts texts(cr);
    texts.draw(entry.caption, knobCaptionStyle, knob.captionAnchor);
    texts.draw(valueText, knobValueFont, entry.accent, knobCaptionStyle.anchor, knob.valueAnchor);
}

// Every part starts from the same drawing state and leaves cr's own as it was.
void beginPart(cairo_t* cr) {
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
}

}  // namespace

void paintPanelBackdropCairo(cairo_t* cr, int32_t width, int32_t height) {
    beginPart(cr);
    paintBackground(cr, width, height);
    paintScrews(cr, width, height);
    {
        PanelTexts texts(cr);
        texts.draw(panelTitle, titleStyle, titleOrigin);
        texts.draw(panelSubtitle, subtitleStyle, subtitleOrigin);
        texts.draw(panelFooter, footerStyle, footerAnchor(width, height));
    }
    paintScreen(cr);
    cairo_restore(cr);
}

void paintGlowCairo(cairo_t* cr, const PanelValues& values) {
    beginPart(cr);
    paintGlow(cr, values);
    cairo_restore(cr);
}

void paintCurveAndReadoutCairo(cairo_t* cr, const PanelValues& values) {
    beginPart(cr);
    paintTransferCurve(cr, values);
    char16_t readout[readoutTextSize];
    formatReadout(values.parameters[parameterGlue], values.parameters[parameterDrive], readout);
    PanelTexts(cr).draw(readout, readoutStyle, readoutAnchor);
    cairo_restore(cr);
}

void paintScreenContentsCairo(cairo_t* cr, const PanelValues& values) {
    paintGlowCairo(cr, values);
    paintCurveAndReadoutCairo(cr, values);
}

void paintKnobCairo(cairo_t* cr, int knob, float value) {
    beginPart(cr);
    paintKnob(cr, knobTable[knob], value);
    cairo_restore(cr);
}

bool screenContentsDiffer(const PanelValues& a, const PanelValues& b) {
    const float* x = a.parameters;
    const float* y = b.parameters;
    // The glow's alpha is a whole number: most idle steps of the phase leave it as it was.
    return x[parameterDrive] != y[parameterDrive] || x[parameterTubeBias] != y[parameterTubeBias] ||
           x[parameterGlue] != y[parameterGlue] ||
           glowCentreColour(x[parameterDrive], a.animationPhase) !=
               glowCentreColour(y[parameterDrive], b.animationPhase);
}

PanelBox knobPartBox(int knob) {
    // Half the distance between neighbouring knobs' centres, less a pixel, holds the widest
    // caption; from the rim's top to below the value text.
    const KnobEntry& entry = knobTable[knob];
    constexpr int32_t halfWidth = 94;
    const int32_t top = entry.centreY - entry.radius - 4;
    return {entry.centreX - halfWidth, top, 2 * halfWidth, entry.centreY + entry.radius + 48 - top};
}

void paintPanelCairo(cairo_t* cr, const PanelValues& values, int32_t width, int32_t height) {
    // The parts cover one another nowhere, so the order of the footer (in the backdrop)
    // and the knobs does not show.
    paintPanelBackdropCairo(cr, width, height);
    paintScreenContentsCairo(cr, values);
    for (int knob = 0; knob < knobCount; ++knob)
        paintKnobCairo(cr, knob, values.parameters[knobTable[knob].parameter]);
}

void releasePanelFonts() {
    if (panelFontMap) g_object_unref(panelFontMap);
    panelFontMap = nullptr;
}

void paintPanelCairo(cairo_t* cr, const PanelValues& values) {
    paintPanelCairo(cr, values, panelWidth, panelHeight);
}
