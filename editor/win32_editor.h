// The editor's Win32 child window: class registration, creation and the window procedure.
#pragma once

#include "editor/editor_view.h"

void registerEditorWindowClass(void* moduleHandle);
// doubleClicks: the class of the scaling editors, which take double-clicks (CS_DBLCLKS).
void registerEditorWindowClass(void* moduleHandle, bool doubleClicks);
void unregisterEditorWindowClass(void* moduleHandle);
// Creates the child of parent showing view, which must outlive the window, panelWidth ×
// panelHeight or (for a view with scalingAndGestures) the given size; null when that fails.
// A scaling editor's panel follows the window's size from then on.
void* createEditorWindow(const EditorView* view, void* parent, void* moduleHandle, int width,
                         int height);
void* createEditorWindow(const EditorView* view, void* parent, void* moduleHandle);

constexpr const char* editorWindowClassName = "TolvanVelmoraEditorWndClass";
