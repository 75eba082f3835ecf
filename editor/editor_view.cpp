// Stand-in until the shared editor view lands.
#include "editor/editor_view.h"

#include "editor/panel_layout.h"

PanelValues panelValues(const EditorView& view) {
    PanelValues values{};
    for (int i = 0; i < parameterCount; ++i) values.parameters[i] = view.readParameter(view.context, i);
    values.animationPhase = *view.animationPhase;
    return values;
}

bool pressAt(const EditorView& view, int32_t x, int32_t y) {
    const int knob = hitKnob(x, y);
    if (knob < 0) return false;
    view.drag->index = knobTable[knob].parameter;
    view.drag->startY = y;
    view.drag->startValue = view.readParameter(view.context, view.drag->index);
    return true;
}

bool dragTo(const EditorView& view, int32_t y) {
    if (view.drag->index < 0 || view.drag->index >= parameterCount) return false;
    view.changeParameter(view.context, view.drag->index,
                         dragValue(view.drag->startValue, view.drag->startY, y));
    return true;
}

void endDrag(const EditorView& view) { view.drag->index = -1; }

void advanceAnimation(const EditorView& view) {
    float phase = *view.animationPhase + 0.04f;
    if (phase > 6.283185f) phase -= 6.283185f;
    *view.animationPhase = phase;
}
