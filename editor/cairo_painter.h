// The editor panel drawn with Cairo, its texts set with Pango in the installed families.
#pragma once

#include <cairo.h>

#include <cstdint>

#include "editor/editor_view.h"

// Draws the whole panelWidth × panelHeight panel onto cr (any surface), from the origin of
// its current transformation. cr's state is as before when it returns.
void paintPanelCairo(cairo_t* cr, const PanelValues& values);

// The same at another client size: the background, the screws and the footer follow it.
void paintPanelCairo(cairo_t* cr, const PanelValues& values, int32_t width, int32_t height);

// The painter keeps its own Pango font map (and through it the fonts it has loaded) from
// the first paint on, apart from the process's default one, so that it can let it go: this
// releases it (the next paint makes a new one). Paints and this call belong to one thread.
void releasePanelFonts();
