// editor/cairo_painter.h — needs only <cairo.h>
#pragma once

#include <cairo.h>

#include "editor/editor_view.h"

void paintPanelCairo(cairo_t* cr, const PanelValues& values);  // the whole 840 x 520 panel
