// The editor as a VST 3 view on Linux: the X11 panel embedded in the host's window, driven by
// the host's run loop (Linux plug-ins have no loop of their own). Each timer tick advances the
// glow, handles the panel's pending events and repaints; a drag's end closes its edit.
#include <atomic>
#include <cstring>
#include <new>

#include "editor/x11_editor.h"
#include "vst3/vst3_plugin.h"

using namespace vst3;

namespace {

constexpr uint64_t frameMilliseconds = 30;

struct Vst3View {
    IPlugView view;
    ITimerHandler timer;
    IEventHandler events;
    std::atomic<uint32_t> references;
    Vst3Plugin* plugin;  // held for the view's life
    IPlugFrame* frame;   // held while set
    IRunLoop* runLoop;   // held while attached
    X11Editor* editor;
    int connection;  // the editor's X connection, -1 when it is not watched
};

template <typename Interface>
Vst3View* viewOf(Interface* self, size_t offset) {
    return reinterpret_cast<Vst3View*>(reinterpret_cast<char*>(self) - offset);
}
Vst3View* viewOf(IPlugView* self) { return viewOf(self, offsetof(Vst3View, view)); }
Vst3View* viewOf(ITimerHandler* self) { return viewOf(self, offsetof(Vst3View, timer)); }
Vst3View* viewOf(IEventHandler* self) { return viewOf(self, offsetof(Vst3View, events)); }

// The file descriptor of the editor's own X connection, for the run loop to watch. The
// editor does not expose it yet, so the timer handles the panel's events as well.
int editorConnection(const X11Editor*) { return -1; }

void pump(Vst3View& view) {
    if (!view.editor) return;
    pumpX11Editor(view.editor);
    if (view.plugin->editedParameter >= 0 && !dragging(view.plugin->editorView))
        finishEditorEdit(*view.plugin);
}

void detach(Vst3View& view) {
    if (view.runLoop) {
        view.runLoop->vtbl->unregisterTimer(view.runLoop, &view.timer);
        if (view.connection >= 0) view.runLoop->vtbl->unregisterEventHandler(view.runLoop, &view.events);
        view.runLoop->vtbl->release(view.runLoop);
        view.runLoop = nullptr;
    }
    if (view.editor) {
        closeX11Editor(view.editor);
        view.editor = nullptr;
        endDrag(view.plugin->editorView);
        finishEditorEdit(*view.plugin);
    }
    view.connection = -1;
}

tresult queryView(Vst3View& view, const TUID iid, void** object) {
    if (!object) return kInvalidArgument;
    void* found = nullptr;
    if (iid && (sameUid(iid, FUnknown_iid) || sameUid(iid, IPlugView_iid))) found = &view.view;
    if (iid && sameUid(iid, ITimerHandler_iid)) found = &view.timer;
    if (iid && sameUid(iid, IEventHandler_iid)) found = &view.events;
    *object = found;
    if (!found) return kNoInterface;
    view.references.fetch_add(1, std::memory_order_relaxed);
    return kResultOk;
}

uint32_t addViewReference(Vst3View& view) {
    return view.references.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32_t releaseView(Vst3View& view) {
    const uint32_t left = view.references.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) {
        detach(view);
        if (view.frame) view.frame->vtbl->release(view.frame);
        releasePlugin(view.plugin);
        delete &view;
    }
    return left;
}

tresult VELMORA_VST3_CALL isPlatformTypeSupported(IPlugView*, FIDString type) {
    return type && std::strcmp(type, kPlatformTypeX11EmbedWindowID) == 0 ? kResultOk : kResultFalse;
}

tresult VELMORA_VST3_CALL attached(IPlugView* self, void* parent, FIDString type) {
    Vst3View& view = *viewOf(self);
    if (!parent || view.editor || isPlatformTypeSupported(self, type) != kResultOk) return kResultFalse;
    void* loop = nullptr;
    if (!view.frame || view.frame->vtbl->queryInterface(view.frame, IRunLoop_iid.bytes, &loop) != kResultOk ||
        !loop)
        return kResultFalse;  // nothing would ever paint the panel
    view.runLoop = static_cast<IRunLoop*>(loop);
    view.editor = openX11Editor(reinterpret_cast<uintptr_t>(parent), view.plugin->editorView);
    if (!view.editor) {
        detach(view);
        return kResultFalse;
    }
    view.runLoop->vtbl->registerTimer(view.runLoop, &view.timer, frameMilliseconds);
    view.connection = editorConnection(view.editor);
    if (view.connection >= 0 &&
        view.runLoop->vtbl->registerEventHandler(view.runLoop, &view.events, view.connection) != kResultOk)
        view.connection = -1;
    invalidateX11Editor(view.editor);
    return kResultOk;
}

tresult VELMORA_VST3_CALL removed(IPlugView* self) {
    detach(*viewOf(self));
    return kResultOk;
}

tresult VELMORA_VST3_CALL ignoreWheel(IPlugView*, float) { return kResultFalse; }
tresult VELMORA_VST3_CALL ignoreKey(IPlugView*, char16_t, int16_t, int16_t) { return kResultFalse; }

tresult VELMORA_VST3_CALL getSize(IPlugView*, ViewRect* size) {
    if (!size) return kInvalidArgument;
    *size = {0, 0, panelWidth, panelHeight};
    return kResultOk;
}

// The panel has one size.
tresult VELMORA_VST3_CALL onSize(IPlugView*, ViewRect* size) {
    return size && size->right - size->left == panelWidth && size->bottom - size->top == panelHeight
               ? kResultOk
               : kResultFalse;
}
tresult VELMORA_VST3_CALL onFocus(IPlugView*, TBool) { return kResultOk; }
tresult VELMORA_VST3_CALL canResize(IPlugView*) { return kResultFalse; }
tresult VELMORA_VST3_CALL checkSizeConstraint(IPlugView*, ViewRect* rect) {
    if (!rect) return kInvalidArgument;
    rect->right = rect->left + panelWidth;
    rect->bottom = rect->top + panelHeight;
    return kResultOk;
}

tresult VELMORA_VST3_CALL setFrame(IPlugView* self, IPlugFrame* frame) {
    Vst3View& view = *viewOf(self);
    if (frame) frame->vtbl->addRef(frame);
    if (view.frame) view.frame->vtbl->release(view.frame);
    view.frame = frame;
    return kResultOk;
}

const IPlugViewVtbl viewTable = {
    [](IPlugView* self, const TUID iid, void** object) { return queryView(*viewOf(self), iid, object); },
    [](IPlugView* self) { return addViewReference(*viewOf(self)); },
    [](IPlugView* self) { return releaseView(*viewOf(self)); },
    isPlatformTypeSupported, attached, removed, ignoreWheel, ignoreKey, ignoreKey, getSize, onSize,
    onFocus, setFrame, canResize, checkSizeConstraint,
};

const ITimerHandlerVtbl timerTable = {
    [](ITimerHandler* self, const TUID iid, void** object) { return queryView(*viewOf(self), iid, object); },
    [](ITimerHandler* self) { return addViewReference(*viewOf(self)); },
    [](ITimerHandler* self) { return releaseView(*viewOf(self)); },
    [](ITimerHandler* self) {
        Vst3View& view = *viewOf(self);
        if (!view.editor) return;
        advanceAnimation(view.plugin->editorView);
        invalidateX11Editor(view.editor);
        pump(view);
    },
};

const IEventHandlerVtbl eventTable = {
    [](IEventHandler* self, const TUID iid, void** object) { return queryView(*viewOf(self), iid, object); },
    [](IEventHandler* self) { return addViewReference(*viewOf(self)); },
    [](IEventHandler* self) { return releaseView(*viewOf(self)); },
    [](IEventHandler* self, int) { pump(*viewOf(self)); },
};

}  // namespace

IPlugView* createVst3View(Vst3Plugin* plugin) {
    Vst3View* view = new (std::nothrow) Vst3View{};
    if (!view) return nullptr;
    view->view.vtbl = &viewTable;
    view->timer.vtbl = &timerTable;
    view->events.vtbl = &eventTable;
    view->references.store(1);
    view->plugin = plugin;
    addPluginReference(plugin);
    view->connection = -1;
    return &view->view;
}
