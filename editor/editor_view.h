// editor/editor_view.h — no window-system, host or engine-state header
#pragma once

#include <cstdint>

#include "engine/parameter_index.h"

struct PanelValues {               // everything a painter reads for one paint
    float parameters[parameterCount];
    float animationPhase;
};
struct EditorDrag { int32_t index = -1; int32_t startY = 0; float startValue = 0.0f; };
struct EditorView {                // the editor's narrow view of its owner (VST instance or LV2 UI)
    void* context;
    float (*readParameter)(void* context, int32_t index);
    // stores the (already clamped) value and reports it to the host
    void (*changeParameter)(void* context, int32_t index, float value);
    EditorDrag* drag;
    float* animationPhase;
};
PanelValues panelValues(const EditorView& view);
bool pressAt(const EditorView& view, int32_t x, int32_t y);  // starts a drag on a hit knob
bool dragTo(const EditorView& view, int32_t y);              // true when a value was written
void endDrag(const EditorView& view);
void advanceAnimation(const EditorView& view);               // the idle step of the glow phase
