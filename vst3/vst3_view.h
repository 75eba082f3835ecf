// The editor view record shared by the platforms' halves: vst3_view.cpp answers the host
// (references, size, frame), vst3_view_x11.cpp or vst3_view_win32.cpp opens, drives and
// closes the panel.
#pragma once

#include <atomic>

#include "vst3/vst3_plugin.h"

struct Vst3View {
    vst3::IPlugView view;
    vst3::ITimerHandler timer;   // the host run loop's calls, where the platform needs them
    vst3::IEventHandler events;
    vst3::IPlugViewContentScaleSupport contentScale;
    std::atomic<uint32_t> references;
    Vst3Plugin* plugin;         // held for the view's life
    vst3::IPlugFrame* frame;    // held while set
    vst3::IRunLoop* runLoop;    // held while attached, where the platform uses one
    void* editor;               // the platform's panel while attached
    int connection;             // a file descriptor the run loop watches, or -1
};

// The platform's half.
extern const char* const viewPlatformType;
// Opens the panel in parent; false, with nothing left open, when that fails.
bool openViewEditor(Vst3View& view, void* parent);
void closeViewEditor(Vst3View& view);
void viewTimerTick(Vst3View& view);
void viewEventsPending(Vst3View& view);
// The open panel takes the size and repaints at it.
void resizeViewEditor(Vst3View& view, PanelSize size);

// After the panel's events and ticks, on the UI thread: closes the edit of a drag the panel
// has finished and tells the host of a latency change it has not seen.
inline void afterPanelEvents(Vst3Plugin& plugin) {
    if (plugin.editedParameter >= 0 && !dragging(plugin.editorView)) finishEditorEdit(plugin);
    reportLatencyChange(plugin);
}
