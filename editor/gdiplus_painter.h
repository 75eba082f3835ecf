// The whole editor panel painted with GDI+, off-screen, and copied to the window.
#pragma once

#include <windows.h>

#include <cstdint>

#include "editor/editor_view.h"

// Paints the panel of the given values onto paintDC, width × height pixels, its description
// multiplied by scale (pixels per panel unit; at 1 no transformation is set at all). Every
// GDI and GDI+ object it makes is released before it returns.
void paintPanel(const PanelValues& values, HDC paintDC, int32_t width, int32_t height,
                double scale = 1.0);
