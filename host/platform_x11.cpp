// Linux: no GDI+; the editor is an X11 child window (editor/x11_editor.h). The window
// handle the host layer keeps is the X11Editor record, which lives from effEditOpen to
// effEditClose or effClose even when the host has destroyed the X window under it.
#include "editor/x11_editor.h"
#include "host/platform.h"

namespace {

X11Editor* editorOf(void* window) { return static_cast<X11Editor*>(window); }

void noStart(uintptr_t*) {}
void noShutdown(uintptr_t) {}
void noModuleCall(void*) {}

bool isEditor(void* window) { return window != nullptr; }

void destroyEditor(void* window) { closeX11Editor(editorOf(window)); }

// Parameter changes may arrive on any thread, the record may be closing on the host's
// user-interface thread: nothing is touched here. Every idle looks for changed values
// anyway (the glow moves), so the change shows at the next one.
void noInvalidate(void*) {}

void idleEditor(void* window) {
    invalidateX11Editor(editorOf(window));
    pumpX11Editor(editorOf(window));
}

// The view's window-gone hook is not used: the record stays the instance's handle until
// effEditClose or effClose frees it, whatever became of its window.
void* createEditor(const EditorView* view, void* parent, void*) {
    return openX11Editor(reinterpret_cast<uintptr_t>(parent), *view);
}

const PlatformSeam x11Seam{true,         noStart,      noShutdown,   noModuleCall,
                           isEditor,     destroyEditor, noInvalidate, noModuleCall,
                           noModuleCall, createEditor, idleEditor};

}  // namespace

const PlatformSeam& nativePlatformSeam() { return x11Seam; }
const PlatformSeam* platform = &x11Seam;
