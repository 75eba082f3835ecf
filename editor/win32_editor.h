// The editor's Win32 child window: class registration, creation and the window procedure.
#pragma once

struct EditorView;

void registerEditorWindowClass(void* moduleHandle);
void unregisterEditorWindowClass(void* moduleHandle);
// Creates the panelWidth × panelHeight child of parent showing view, which must outlive the
// window; null when that fails.
void* createEditorWindow(const EditorView* view, void* parent, void* moduleHandle);

constexpr const char* editorWindowClassName = "TolvanVelmoraEditorWndClass";
