#include "vst3/vst3_view.h"

#include <algorithm>
#include <cstring>
#include <new>

using namespace vst3;

namespace {

template <typename Interface>
Vst3View* viewOf(Interface* self, size_t offset) {
    return reinterpret_cast<Vst3View*>(reinterpret_cast<char*>(self) - offset);
}
Vst3View* viewOf(IPlugView* self) { return viewOf(self, offsetof(Vst3View, view)); }
Vst3View* viewOf(ITimerHandler* self) { return viewOf(self, offsetof(Vst3View, timer)); }
Vst3View* viewOf(IEventHandler* self) { return viewOf(self, offsetof(Vst3View, events)); }
Vst3View* viewOf(IPlugViewContentScaleSupport* self) {
    return viewOf(self, offsetof(Vst3View, contentScale));
}

void detach(Vst3View& view) {
    if (!view.editor) return;
    closeViewEditor(view);
    view.editor = nullptr;
    endDrag(view.plugin->editorView);
    finishEditorEdit(*view.plugin);
}

tresult queryView(Vst3View& view, const TUID iid, void** object) {
    if (!object) return kInvalidArgument;
    void* found = nullptr;
    if (iid && (sameUid(iid, FUnknown_iid) || sameUid(iid, IPlugView_iid))) found = &view.view;
    if (iid && sameUid(iid, ITimerHandler_iid)) found = &view.timer;
    if (iid && sameUid(iid, IEventHandler_iid)) found = &view.events;
    if (iid && sameUid(iid, IPlugViewContentScaleSupport_iid)) found = &view.contentScale;
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
        holdReference(view.frame, static_cast<IPlugFrame*>(nullptr));
        releasePlugin(view.plugin);
        delete &view;
    }
    return left;
}

tresult VELMORA_VST3_CALL isPlatformTypeSupported(IPlugView*, FIDString type) {
    return type && std::strcmp(type, viewPlatformType) == 0 ? kResultOk : kResultFalse;
}

tresult VELMORA_VST3_CALL attached(IPlugView* self, void* parent, FIDString type) {
    Vst3View& view = *viewOf(self);
    if (!parent || view.editor || isPlatformTypeSupported(self, type) != kResultOk) return kResultFalse;
    return openViewEditor(view, parent) ? kResultOk : kResultFalse;
}

tresult VELMORA_VST3_CALL removed(IPlugView* self) {
    detach(*viewOf(self));
    return kResultOk;
}

tresult VELMORA_VST3_CALL ignoreWheel(IPlugView*, float) { return kResultFalse; }
tresult VELMORA_VST3_CALL ignoreKey(IPlugView*, char16_t, int16_t, int16_t) { return kResultFalse; }

// The size: the host's content scale times the user's zoom, 75 % to 300 % of 840 × 520
// with the panel's aspect.
PanelSize currentSize(const Vst3View& view) { return editorSizeOf(view.plugin->editorSizing); }

ViewRect rectOf(PanelSize size) { return {0, 0, int32_t(size.width), int32_t(size.height)}; }

PanelSize sizeOfRect(const ViewRect& rect) {
    return nearestPanelSize(uint32_t(std::max(rect.right - rect.left, 0)),
                            uint32_t(std::max(rect.bottom - rect.top, 0)));
}

tresult VELMORA_VST3_CALL getSize(IPlugView* self, ViewRect* size) {
    if (!size) return kInvalidArgument;
    *size = rectOf(currentSize(*viewOf(self)));
    return kResultOk;
}

// The host gives the size it chose after checkSizeConstraint; anything else gets the
// nearest size on the aspect.
tresult VELMORA_VST3_CALL onSize(IPlugView* self, ViewRect* size) {
    if (!size) return kInvalidArgument;
    Vst3View& view = *viewOf(self);
    const PanelSize chosen = sizeOfRect(*size);
    chooseEditorSize(view.plugin->editorSizing, chosen);
    if (view.editor) resizeViewEditor(view, chosen);
    return kResultOk;
}
tresult VELMORA_VST3_CALL onFocus(IPlugView*, TBool) { return kResultOk; }
tresult VELMORA_VST3_CALL canResize(IPlugView*) { return kResultTrue; }
tresult VELMORA_VST3_CALL checkSizeConstraint(IPlugView*, ViewRect* rect) {
    if (!rect) return kInvalidArgument;
    const PanelSize size = sizeOfRect(*rect);
    rect->right = rect->left + int32_t(size.width);
    rect->bottom = rect->top + int32_t(size.height);
    return kResultTrue;
}

// A new scale asks the frame for the size it makes; the host then calls onSize.
tresult VELMORA_VST3_CALL setContentScaleFactor(IPlugViewContentScaleSupport* self, float factor) {
    if (!(factor > 0.0f && factor <= 16.0f)) return kResultFalse;
    Vst3View& view = *viewOf(self);
    const PanelSize before = currentSize(view);
    view.plugin->editorSizing.hostScale = factor;
    const PanelSize after = currentSize(view);
    if (after == before) return kResultTrue;
    ViewRect wanted = rectOf(after);
    if (view.frame && view.frame->vtbl->resizeView(view.frame, &view.view, &wanted) == kResultOk) return kResultTrue;
    if (view.editor) resizeViewEditor(view, after);  // a frame that does not resize
    return kResultTrue;
}

tresult VELMORA_VST3_CALL scaleQuery(IPlugViewContentScaleSupport* self, const TUID iid, void** object) {
    return queryView(*viewOf(self), iid, object);
}
uint32_t VELMORA_VST3_CALL scaleAddRef(IPlugViewContentScaleSupport* self) {
    return addViewReference(*viewOf(self));
}
uint32_t VELMORA_VST3_CALL scaleRelease(IPlugViewContentScaleSupport* self) {
    return releaseView(*viewOf(self));
}

tresult VELMORA_VST3_CALL setFrame(IPlugView* self, IPlugFrame* frame) {
    holdReference(viewOf(self)->frame, frame);
    return kResultOk;
}

tresult VELMORA_VST3_CALL viewQuery(IPlugView* self, const TUID iid, void** object) {
    return queryView(*viewOf(self), iid, object);
}
uint32_t VELMORA_VST3_CALL viewAddRef(IPlugView* self) { return addViewReference(*viewOf(self)); }
uint32_t VELMORA_VST3_CALL viewRelease(IPlugView* self) { return releaseView(*viewOf(self)); }

tresult VELMORA_VST3_CALL timerQuery(ITimerHandler* self, const TUID iid, void** object) {
    return queryView(*viewOf(self), iid, object);
}
uint32_t VELMORA_VST3_CALL timerAddRef(ITimerHandler* self) { return addViewReference(*viewOf(self)); }
uint32_t VELMORA_VST3_CALL timerRelease(ITimerHandler* self) { return releaseView(*viewOf(self)); }
void VELMORA_VST3_CALL onTimer(ITimerHandler* self) {
    if (Vst3View* view = viewOf(self); view->editor) viewTimerTick(*view);
}

tresult VELMORA_VST3_CALL eventsQuery(IEventHandler* self, const TUID iid, void** object) {
    return queryView(*viewOf(self), iid, object);
}
uint32_t VELMORA_VST3_CALL eventsAddRef(IEventHandler* self) { return addViewReference(*viewOf(self)); }
uint32_t VELMORA_VST3_CALL eventsRelease(IEventHandler* self) { return releaseView(*viewOf(self)); }
void VELMORA_VST3_CALL onFDIsSet(IEventHandler* self, int) {
    if (Vst3View* view = viewOf(self); view->editor) viewEventsPending(*view);
}

const IPlugViewVtbl viewTable = {
    viewQuery, viewAddRef, viewRelease, isPlatformTypeSupported, attached, removed, ignoreWheel,
    ignoreKey, ignoreKey, getSize, onSize, onFocus, setFrame, canResize, checkSizeConstraint,
};
const ITimerHandlerVtbl timerTable = {timerQuery, timerAddRef, timerRelease, onTimer};
const IEventHandlerVtbl eventTable = {eventsQuery, eventsAddRef, eventsRelease, onFDIsSet};
const IPlugViewContentScaleSupportVtbl contentScaleTable = {scaleQuery, scaleAddRef, scaleRelease,
                                                            setContentScaleFactor};

}  // namespace

IPlugView* createVst3View(Vst3Plugin* plugin) {
    Vst3View* view = new (std::nothrow) Vst3View{};
    if (!view) return nullptr;
    view->view.vtbl = &viewTable;
    view->timer.vtbl = &timerTable;
    view->events.vtbl = &eventTable;
    view->contentScale.vtbl = &contentScaleTable;
    view->references.store(1);
    view->plugin = plugin;
    addPluginReference(plugin);
    view->connection = -1;
    return &view->view;
}
