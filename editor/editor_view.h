// The editor's narrow view of its owner (the VST instance, or another format's UI): the
// parameter values, a way to report a change, the drag state and the animation phase.
// No window-system, host or engine-state header; the Win32 window and other windows all
// drive the press, drag and idle steps below, so that arithmetic lives here only.
#pragma once

#include <cstdint>

#include "parameters/parameter_index.h"

// The panel's size as created; the background, the screws and the footer follow the
// actual size, everything else sits at fixed coordinates.
constexpr int32_t panelWidth = 840;
constexpr int32_t panelHeight = 520;

struct PanelValues {  // everything a painter reads for one paint
    float parameters[parameterCount];
    float animationPhase;
};

struct EditorDrag {
    int32_t index = -1;  // the parameter being dragged, -1 for none
    int32_t startY = 0;
    float startValue = 0.0f;
};

struct EditorView {
    void* context;
    float (*readParameter)(void* context, int32_t index);
    // Stores the (already clamped) value and reports it to the host.
    void (*changeParameter)(void* context, int32_t index, float value);
    EditorDrag* drag;
    float* animationPhase;
    // Optional (may be null): the window system destroyed this window; the owner forgets
    // it if it is still the one it shows.
    void (*windowGone)(void* context, void* window);
    // Optional (may be null): a gesture on a parameter begins (a knob grabbed) and ends (let
    // go); its changes come in between. Hosts that record touch automation hear of both.
    void (*beginEdit)(void* context, int32_t index) = nullptr;
    void (*endEdit)(void* context, int32_t index) = nullptr;
};

PanelValues panelValues(const EditorView& view);
// Every gesture brackets its changes with these, once each, whatever the input that makes
// it (a drag begins with the press and ends with endDrag).
void beginEdit(const EditorView& view, int32_t index);
void endEdit(const EditorView& view, int32_t index);
// Starts a drag when the point is on a knob, and with it the edit; true when it did.
bool pressAt(const EditorView& view, int32_t x, int32_t y);
// Continues a drag to the given y; true when a value was written.
bool dragTo(const EditorView& view, int32_t y);
// Ends the drag, and its edit, if there is one.
void endDrag(const EditorView& view);
bool dragging(const EditorView& view);
// The idle step of the glow's phase: 0.04 radians, wrapped at 6.283185.
void advanceAnimation(const EditorView& view);
