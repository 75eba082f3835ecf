// Stand-in until the shared editor view of an instance lands.
#pragma once

#include "editor/editor_view.h"

struct PluginInstance;

EditorView editorViewOf(PluginInstance& instance);
