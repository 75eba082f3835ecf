// The thin seam between the host layer and the window system and GDI+. On Windows it
// holds the real calls, on Linux it is the X11 editor, and unit tests swap in a fake
// that records the calls. Window and module handles pass through it as plain pointers.
#pragma once

#include <cstdint>

struct EditorView;

struct PlatformSeam {
    bool hasEditor;
    void (*startGdiplus)(uintptr_t* token);
    void (*shutdownGdiplus)(uintptr_t token);
    void (*disableThreadLibraryCalls)(void* module);
    bool (*isWindow)(void* window);
    void (*destroyWindow)(void* window);
    void (*invalidateWindow)(void* window);  // whole client area, no erase
    void (*registerEditorClass)(void* module);
    void (*unregisterEditorClass)(void* module);
    // Creates the editor as a child of parent; null when that fails.
    void* (*createEditorWindow)(const EditorView* view, void* parent, void* module);
    // The host's idle call reached the open editor: a window system without a message
    // loop of its own handles the window's events and repaints here.
    void (*idleWindow)(void* window);
};

// The seam in use; points at the build's own table unless a test replaces it.
extern const PlatformSeam* platform;
const PlatformSeam& nativePlatformSeam();
