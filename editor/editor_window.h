// The editor's child window: class registration, creation and the window procedure.
#pragma once

struct PluginInstance;

void registerEditorWindowClass(void* moduleHandle);
void unregisterEditorWindowClass(void* moduleHandle);
// Creates the 840 × 520 child of parent; null when that fails.
void* createEditorWindow(PluginInstance* instance, void* parent, void* moduleHandle);

constexpr const char* editorWindowClassName = "TolvanVelmoraEditorWndClass";
