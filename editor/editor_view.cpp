#include "editor/editor_view.h"

#include "editor/panel_layout.h"

PanelValues panelValues(const EditorView& view) {
    PanelValues values{};
    for (int32_t i = 0; i < parameterCount; ++i)
        values.parameters[i] = view.readParameter(view.context, i);
    values.animationPhase = *view.animationPhase;
    return values;
}

void beginEdit(const EditorView& view, int32_t index) {
    if (view.beginEdit) view.beginEdit(view.context, index);
}

void endEdit(const EditorView& view, int32_t index) {
    if (view.endEdit) view.endEdit(view.context, index);
}

bool pressAt(const EditorView& view, float x, float y, bool fine) {
    const int knob = hitKnob(x, y);
    if (knob < 0) return false;
    endDrag(view);  // a press without the last one's release
    EditorDrag& drag = *view.drag;
    drag.index = knobTable[knob].parameter;
    drag.startY = y;
    drag.startValue = view.readParameter(view.context, drag.index);
    drag.fine = fine;
    beginEdit(view, drag.index);
    return true;
}

namespace {

// A one-step gesture (a double-click, a wheel notch): one edit around its one change.
void editOnce(const EditorView& view, int parameter, float value) {
    beginEdit(view, parameter);
    view.changeParameter(view.context, parameter, value);
    endEdit(view, parameter);
}

}  // namespace

bool resetKnobAt(const EditorView& view, float x, float y) {
    const int knob = hitKnob(x, y);
    if (knob < 0) return false;
    const int parameter = knobTable[knob].parameter;
    editOnce(view, parameter, parameterDefaults[parameter]);
    return true;
}

bool wheelAt(const EditorView& view, float x, float y, float notches, bool fine) {
    const int knob = hitKnob(x, y);
    if (knob < 0) return false;
    const int parameter = knobTable[knob].parameter;
    editOnce(view, parameter, wheelValue(view.readParameter(view.context, parameter), notches, fine));
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

void endDrag(const EditorView& view) {
    if (!dragging(view)) return;
    const int32_t index = view.drag->index;
    view.drag->index = -1;
    endEdit(view, index);
}

void advanceAnimation(const EditorView& view) {
    float phase = *view.animationPhase + 0.04f;
    if (phase > 6.283185f) phase -= 6.283185f;
    *view.animationPhase = phase;
}
