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
    float startY = 0.0f;  // panel units
    float startValue = 0.0f;
    bool fine = false;    // Shift held since startY
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
    // The CLAP, VST 3 and LV2 editors scale with their window and take a double-click (the
    // default), Shift-drags (ten times finer) and the wheel; the VST 2.4 editor keeps its
    // fixed size and plain drags.
    bool scalingAndGestures = false;
    // Optional (may be null): a gesture on a parameter begins (a knob grabbed) and ends (let
    // go); its changes come in between. Hosts that record touch automation hear of both.
    void (*beginEdit)(void* context, int32_t index) = nullptr;
    void (*endEdit)(void* context, int32_t index) = nullptr;
};

PanelValues panelValues(const EditorView& view);
// Every gesture brackets its changes with these, once each, whatever the input that makes
// it (a drag begins with the press and ends with endDrag; a double-click or a wheel notch is
// one edit of one change).
void beginEdit(const EditorView& view, int32_t index);
void endEdit(const EditorView& view, int32_t index);
// Points are in panel units: the window's pixels divided by its scale.
// Starts a drag when the point is on a knob, and with it the edit, fine when Shift is held;
// true when it did.
bool pressAt(const EditorView& view, float x, float y, bool fine = false);
// Continues a drag to the given y; true when a value was written. A change of fine (Shift)
// goes on from the value the old rate reaches at this y, at the new rate.
bool dragTo(const EditorView& view, float y, bool fine = false);
// A double-click: the knob under the point goes to its default; true when there was one.
bool resetKnobAt(const EditorView& view, float x, float y);
// The wheel over a knob: notches up (positive) or down; true when there was a knob.
bool wheelAt(const EditorView& view, float x, float y, float notches, bool fine);
// Ends the drag, and its edit, if there is one.
void endDrag(const EditorView& view);
bool dragging(const EditorView& view);
// The idle step of the glow's phase: 0.04 radians, wrapped at 6.283185.
void advanceAnimation(const EditorView& view);
