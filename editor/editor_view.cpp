#include "editor/editor_view.h"

#include "editor/panel_layout.h"

PanelValues panelValues(const EditorView& view) {
    PanelValues values{};
    for (int32_t i = 0; i < parameterCount; ++i)
        values.parameters[i] = view.readParameter(view.context, i);
    values.animationPhase = *view.animationPhase;
    return values;
}

bool pressAt(const EditorView& view, float x, float y, bool fine) {
    const int knob = hitKnob(x, y);
    if (knob < 0) return false;
    EditorDrag& drag = *view.drag;
    drag.index = knobTable[knob].parameter;
    drag.startY = y;
    drag.startValue = view.readParameter(view.context, drag.index);
    drag.fine = fine;
    return true;
}

bool resetKnobAt(const EditorView& view, float x, float y) {
    const int knob = hitKnob(x, y);
    if (knob < 0) return false;
    const int parameter = knobTable[knob].parameter;
    view.changeParameter(view.context, parameter, parameterDefaults[parameter]);
    return true;
}

bool wheelAt(const EditorView& view, float x, float y, float notches, bool fine) {
    const int knob = hitKnob(x, y);
    if (knob < 0) return false;
    const int parameter = knobTable[knob].parameter;
    const float value = view.readParameter(view.context, parameter);
    view.changeParameter(view.context, parameter, wheelValue(value, notches, fine));
    return true;
}

bool dragging(const EditorView& view) { return validParameterIndex(view.drag->index); }

bool dragTo(const EditorView& view, float y, bool fine) {
    if (!dragging(view)) return false;
    EditorDrag& drag = *view.drag;
    if (fine != drag.fine) {
        drag.startValue = dragValue(drag.startValue, drag.startY, y, drag.fine);
        drag.startY = y;
        drag.fine = fine;
    }
    view.changeParameter(view.context, drag.index, dragValue(drag.startValue, drag.startY, y, fine));
    return true;
}

void endDrag(const EditorView& view) { view.drag->index = -1; }

void advanceAnimation(const EditorView& view) {
    float phase = *view.animationPhase + 0.04f;
    if (phase > 6.283185f) phase -= 6.283185f;
    *view.animationPhase = phase;
}
