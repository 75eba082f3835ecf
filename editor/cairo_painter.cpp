// Stand-in until the shared Cairo painter lands: knobs, pointers and a pulsing glow.
#include "editor/cairo_painter.h"

#include <cmath>

#include "editor/panel_layout.h"

void paintPanelCairo(cairo_t* cr, const PanelValues& values) {
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.12);
    cairo_paint(cr);
    for (const KnobEntry& knob : knobTable) {
        cairo_arc(cr, knob.centreX, knob.centreY, knob.radius, 0, 6.283);
        cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
        cairo_fill(cr);
        const PanelPoint end =
            pointerEnd(knob.centreX, knob.centreY, knob.radius, values.parameters[knob.parameter]);
        cairo_move_to(cr, knob.centreX, knob.centreY);
        cairo_line_to(cr, end.x, end.y);
        cairo_set_source_rgb(cr, 1, 0.5, 0.2);
        cairo_stroke(cr);
    }
    cairo_arc(cr, 420, 170, 40 + 10 * std::sin(values.animationPhase), 0, 6.283);
    cairo_set_source_rgba(cr, 1, 0.4, 0.1, 0.5);
    cairo_fill(cr);
}
