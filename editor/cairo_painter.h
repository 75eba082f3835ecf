// The editor panel drawn with Cairo, its texts set with Pango in the installed families.
#pragma once

#include <cairo.h>

#include <cstdint>

#include "editor/editor_view.h"
#include "editor/panel_style.h"

// Draws the whole panelWidth × panelHeight panel onto cr (any surface), from the origin of
// its current transformation. cr's state is as before when it returns.
void paintPanelCairo(cairo_t* cr, const PanelValues& values);

// The same at another client size: the background, the screws and the footer follow it.
void paintPanelCairo(cairo_t* cr, const PanelValues& values, int32_t width, int32_t height);

// The same panel in parts, for an editor that keeps what never changes and repaints only
// what did. The parts cover one another nowhere and each stays inside its box, so the
// backdrop, then the screen's contents over its box of the backdrop and each knob over its
// box, give the very pixels of a whole paint.

// Everything that never changes: background, screws, title, subtitle, footer, the screen's
// face and frame.
void paintPanelBackdropCairo(cairo_t* cr, int32_t width, int32_t height);

// The glow, the transfer curve and the readout, inside screenPartBox.
constexpr PanelBox screenPartBox{screenBox.x - 2, screenBox.y - 2, screenBox.width + 4,
                                 screenBox.height + 4};
void paintScreenContentsCairo(cairo_t* cr, const PanelValues& values);
// The same in two steps: the glow, inside glowBox and looking the same for the same
// glowCentreColour, then the curve and the readout over it.
void paintGlowCairo(cairo_t* cr, const PanelValues& values);
void paintCurveAndReadoutCairo(cairo_t* cr, const PanelValues& values);
// Whether the screen's contents of a and of b look different.
bool screenContentsDiffer(const PanelValues& a, const PanelValues& b);

// Knob k of knobTable at the value, with its caption and value text, inside knobPartBox(k).
PanelBox knobPartBox(int knob);
void paintKnobCairo(cairo_t* cr, int knob, float value);

// The painter keeps its own Pango font map (and through it the fonts it has loaded) from
// the first paint on a thread, apart from the process's default one, so that it can let it
// go: this releases the calling thread's (its next paint makes a new one).
void releasePanelFonts();
