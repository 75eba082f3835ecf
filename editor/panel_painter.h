// The whole editor panel of one instance, painted off-screen and copied to the window.
#pragma once

#include <windows.h>

struct PluginInstance;

// Paints the panel of instance onto paintDC, sized to the client area of its editorWindow.
// Reads only the parameters and animationPhase; every GDI and GDI+ object it makes is
// released before it returns.
void paintPanel(const PluginInstance& instance, HDC paintDC);
