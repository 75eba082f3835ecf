// The editor's size in the formats that let hosts and users scale it (CLAP, VST 3, LV2):
// 75 % to 300 % of panelWidth × panelHeight in whole pixels, the panel's aspect kept. The
// painters draw the panel's description multiplied by width / panelWidth; the mouse
// arithmetic divides by it, so it works in panel units at every size.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "editor/editor_view.h"
#include "editor/panel_style.h"

struct PanelSize {
    uint32_t width;
    uint32_t height;
};

constexpr double minimumPanelScale = 0.75;
constexpr double maximumPanelScale = 3.0;
constexpr uint32_t minimumPanelWidth = 630;   // 840 × 0.75
constexpr uint32_t maximumPanelWidth = 2520;  // 840 × 3

constexpr bool operator==(PanelSize a, PanelSize b) { return a.width == b.width && a.height == b.height; }

// The height that keeps the aspect at a width, to the nearest pixel (13 / 21 exactly).
constexpr uint32_t panelHeightFor(uint32_t width) {
    return static_cast<uint32_t>((static_cast<uint64_t>(width) * panelHeight * 2 + panelWidth) /
                                 (2 * panelWidth));
}

inline PanelSize panelSizeOfWidth(double width) {
    const double clamped = std::clamp(std::isfinite(width) ? width : double(panelWidth),
                                      double(minimumPanelWidth), double(maximumPanelWidth));
    const auto whole = static_cast<uint32_t>(std::lround(clamped));
    return {whole, panelHeightFor(whole)};
}

// The panel at a scale (1 is 840 × 520), held to the range.
inline PanelSize panelSizeAt(double scale) { return panelSizeOfWidth(scale * panelWidth); }

// The size with the aspect nearest to the asked one: the asked point projected onto the
// line of the aspect, then held to the range.
inline PanelSize nearestPanelSize(uint32_t width, uint32_t height) {
    const double w = panelWidth, h = panelHeight;
    const double along = (double(width) * w + double(height) * h) / (w * w + h * h);
    return panelSizeOfWidth(along * w);
}

// The largest size with the aspect that fits in the box (the smallest if none does).
inline PanelSize panelSizeWithin(uint32_t width, uint32_t height) {
    const double byHeight = std::ceil(double(height) * panelWidth / panelHeight);
    PanelSize size = panelSizeOfWidth(std::min(double(width), byHeight));
    while (size.height > height && size.width > minimumPanelWidth) size = panelSizeOfWidth(size.width - 1.0);
    return size;
}

// The factor from panel units to the pixels of a client area: the larger factor whose
// panel still fits, so that a size off the aspect shows all of the panel.
inline double panelScaleOf(uint32_t width, uint32_t height) {
    return std::min(double(width) / panelWidth, double(height) / panelHeight);
}

// What a format keeps of its editor's size: the host's scale (its display's pixels per
// panel unit at 100 %) and the user's zoom on top of it, which the format's state saves.
struct EditorSizing {
    double hostScale = 1.0;
    double zoom = 1.0;
};

inline PanelSize editorSizeOf(const EditorSizing& sizing) {
    return panelSizeAt(sizing.hostScale * sizing.zoom);
}

// The user (or host) chose a size: it becomes the zoom over the host's scale.
inline void chooseEditorSize(EditorSizing& sizing, PanelSize size) {
    sizing.zoom = double(size.width) / (panelWidth * sizing.hostScale);
}

// A zoom as a state keeps it: anything that is not a number in the range loads as 100 %.
inline double savedZoomOrDefault(float zoom) {
    return std::isfinite(zoom) && zoom >= 0.25f && zoom <= 4.0f ? double(zoom) : 1.0;
}

// A box of panel units as the whole pixels that hold it at a scale.
inline PanelBox pixelBoxOf(const PanelBox& box, double scale) {
    const auto x0 = static_cast<int32_t>(std::floor(box.x * scale));
    const auto y0 = static_cast<int32_t>(std::floor(box.y * scale));
    const auto x1 = static_cast<int32_t>(std::ceil((box.x + box.width) * scale));
    const auto y1 = static_cast<int32_t>(std::ceil((box.y + box.height) * scale));
    return {x0, y0, x1 - x0, y1 - y0};
}
