// The editor as an X11 child window, shared by the Linux VST 2.4 library and the LV2 UI.
// Each editor opens its own display connection, so nothing here touches the host's
// connection or the process's X error handler, and every X error caused by an editor is
// caught on that connection and reported as a failure of that editor instead of ending
// the process.
#pragma once

#include <cstdint>

#include "editor/editor_view.h"
#include "editor/panel_size.h"

struct X11Editor;

// Creates the editor as a child of parent (an X11 window id) on the default display: 840 x
// 520, or for a view with scalingAndGestures at the given size. Null when there is no
// display, the parent is not a window or X runs out of resources. The view must outlive
// the editor.
X11Editor* openX11Editor(unsigned long parent, const EditorView& view,
                         PanelSize size = {panelWidth, panelHeight});

// A scaling editor takes the new size and repaints the panel at it; false for a fixed one
// (or when memory ran out, which ends the editor).
bool resizeX11Editor(X11Editor* editor, PanelSize size);
PanelSize x11EditorSize(const X11Editor* editor);

// From now on the scaling editor fits itself to its parent whenever the host resizes that,
// the aspect kept; to its present size too, unless that is below the smallest panel.
void followX11Parent(X11Editor* editor);

// Destroys the window and closes the connection. Safe with null.
void closeX11Editor(X11Editor* editor);

// Handles every pending event (drags, exposure, the window's destruction) and, after an
// invalidation, repaints the parts whose values changed since the last paint. Call on the
// thread that opened the editor.
void pumpX11Editor(X11Editor* editor);

// Handles every pending event, paints nothing, and tells whether the window can be seen:
// mapped, with every ancestor, and not fully covered. After it could not, the next pump
// shows the whole panel again. One round trip to the server.
bool x11EditorVisible(X11Editor* editor);

// Asks for a repaint at the next pump. Only sets a flag, so any thread may call it.
void invalidateX11Editor(X11Editor* editor);

// Maps or unmaps the window (a drag ends with the unmapping).
void showX11Editor(X11Editor* editor, bool shown);

// False once the window is gone (destroyed with its parent) or an X error broke it.
bool x11EditorAlive(const X11Editor* editor);

unsigned long x11EditorWindow(const X11Editor* editor);

// The file descriptor of the editor's display connection, for hosts that watch it; -1 for null.
int x11EditorConnection(const X11Editor* editor);
