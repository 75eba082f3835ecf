// The editor view's Linux half: the X11 panel embedded in the host's window, driven by the
// host's run loop (a Linux plug-in has no loop of its own). Each timer tick advances the glow,
// handles the panel's pending events and repaints; a drag's end closes its edit.
#include "editor/x11_editor.h"
#include "vst3/vst3_view.h"

using namespace vst3;

namespace {

constexpr uint64_t frameMilliseconds = 30;

X11Editor* panelOf(const Vst3View& view) { return static_cast<X11Editor*>(view.editor); }

// The file descriptor of the editor's own X connection, for the run loop to watch; the timer
// also handles pending events, for hosts whose run loop refuses the descriptor.
int editorConnection(const X11Editor* editor) { return x11EditorConnection(editor); }

void releaseRunLoop(Vst3View& view) {
    if (!view.runLoop) return;
    view.runLoop->vtbl->unregisterTimer(view.runLoop, &view.timer);
    if (view.connection >= 0) view.runLoop->vtbl->unregisterEventHandler(view.runLoop, &view.events);
    view.runLoop->vtbl->release(view.runLoop);
    view.runLoop = nullptr;
    view.connection = -1;
}

// The host's run loop: the frame's, else the context's given to initialize or to the factory.
IRunLoop* hostRunLoop(const Vst3View& view) {
    FUnknown* sources[3] = {reinterpret_cast<FUnknown*>(view.frame), view.plugin->hostContext,
                            factoryHostContext()};
    for (FUnknown* source : sources) {
        void* loop = nullptr;
        if (source && source->vtbl->queryInterface(source, IRunLoop_iid.bytes, &loop) == kResultOk && loop)
            return static_cast<IRunLoop*>(loop);
    }
    return nullptr;
}

}  // namespace

const char* const viewPlatformType = kPlatformTypeX11EmbedWindowID;

// Without the run loop's timer nothing would ever paint the panel: no loop, or a loop that
// refuses the timer, fails the attachment with nothing left open.
bool openViewEditor(Vst3View& view, void* parent) {
    view.runLoop = hostRunLoop(view);
    if (!view.runLoop) return false;
    X11Editor* panel = openX11Editor(reinterpret_cast<uintptr_t>(parent), view.plugin->editorView,
                                     editorSizeOf(view.plugin->editorSizing));
    if (!panel || view.runLoop->vtbl->registerTimer(view.runLoop, &view.timer, frameMilliseconds) != kResultOk) {
        view.runLoop->vtbl->release(view.runLoop);
        view.runLoop = nullptr;
        closeX11Editor(panel);
        return false;
    }
    view.editor = panel;
    const int connection = editorConnection(panel);
    if (connection >= 0 &&
        view.runLoop->vtbl->registerEventHandler(view.runLoop, &view.events, connection) == kResultOk)
        view.connection = connection;
    invalidateX11Editor(panel);
    return true;
}

void closeViewEditor(Vst3View& view) {
    releaseRunLoop(view);
    closeX11Editor(panelOf(view));
}

void viewEventsPending(Vst3View& view) {
    pumpX11Editor(panelOf(view));
    afterPanelEvents(*view.plugin);
}

void viewTimerTick(Vst3View& view) {
    advanceAnimation(view.plugin->editorView);
    invalidateX11Editor(panelOf(view));
    viewEventsPending(view);
}

void resizeViewEditor(Vst3View& view, PanelSize size) { resizeX11Editor(panelOf(view), size); }
