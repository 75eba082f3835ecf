// The LV2 UI: the panel in an X11 child of the host's window. It keeps its own copy of the
// eight parameter values, follows the host's port events and writes dragged values through
// the host's write function, each gesture between the host's touch calls when it offers
// them; the plug-in instance itself stays out of its reach. While the window cannot be
// seen, idle only takes its events.
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "editor/editor_view.h"
#include "editor/panel_size.h"
#include "editor/x11_editor.h"
#include "lv2/port_values.h"
#include "parameters/parameter_set.h"

namespace {

struct Lv2Ui {
    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    float parameters[parameterCount];
    EditorDrag drag;
    float animationPhase;
    EditorView view;
    EditorSizing sizing;
    X11Editor* editor;
    const LV2UI_Touch* touch;  // null when the host offers none
};

float readParameter(void* context, int32_t index) {
    return static_cast<Lv2Ui*>(context)->parameters[index];
}

void changeParameter(void* context, int32_t index, float value) {
    auto* ui = static_cast<Lv2Ui*>(context);
    ui->parameters[index] = value;
    const float portValue = portValueFromParameter(index, value);
    ui->write(ui->controller, static_cast<uint32_t>(index), sizeof portValue, 0, &portValue);
    invalidateX11Editor(ui->editor);
}

void touchPort(void* context, int32_t index, bool grabbed) {
    const LV2UI_Touch* touch = static_cast<Lv2Ui*>(context)->touch;
    touch->touch(touch->handle, static_cast<uint32_t>(index), grabbed);
}
void grabPort(void* context, int32_t index) { touchPort(context, index, true); }
void releasePort(void* context, int32_t index) { touchPort(context, index, false); }

const void* findFeature(const LV2_Feature* const* features, const char* uri) {
    for (; features && *features; ++features)
        if (std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
    return nullptr;
}

// The host's ui:scaleFactor among its options, as a float; 1 when it gives none.
double hostScaleFactor(const LV2_Feature* const* features) {
    const auto* map = static_cast<const LV2_URID_Map*>(findFeature(features, LV2_URID__map));
    const auto* option = static_cast<const LV2_Options_Option*>(findFeature(features, LV2_OPTIONS__options));
    if (!map || !map->map || !option) return 1.0;
    const LV2_URID scaleFactor = map->map(map->handle, LV2_UI__scaleFactor);
    const LV2_URID floatType = map->map(map->handle, LV2_ATOM__Float);
    for (; option->key != 0 || option->value; ++option)
        if (option->key == scaleFactor && option->type == floatType && option->size == sizeof(float) &&
            option->value) {
            float factor;
            std::memcpy(&factor, option->value, sizeof factor);
            if (factor > 0.0f && factor <= 16.0f) return factor;
        }
    return 1.0;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    const auto parent = reinterpret_cast<uintptr_t>(findFeature(features, LV2_UI__parent));
    if (!write || !widget || parent == 0) return nullptr;
    auto* ui = new (std::nothrow) Lv2Ui{};
    if (!ui) return nullptr;
    ui->write = write;
    ui->controller = controller;
    for (int i = 0; i < parameterCount; ++i) ui->parameters[i] = parameterDefaults[i];
    ui->view =
        EditorView{ui, readParameter, changeParameter, &ui->drag, &ui->animationPhase, nullptr};
    ui->view.scalingAndGestures = true;
    ui->touch = static_cast<const LV2UI_Touch*>(findFeature(features, LV2_UI__touch));
    if (ui->touch && ui->touch->touch) {
        ui->view.beginEdit = grabPort;
        ui->view.endEdit = releasePort;
    }
    ui->sizing.hostScale = hostScaleFactor(features);
    const PanelSize size = editorSizeOf(ui->sizing);
    ui->editor = openX11Editor(parent, ui->view, size);
    if (!ui->editor) {
        delete ui;
        return nullptr;
    }
    *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(x11EditorWindow(ui->editor)));
    if (const auto* resize = static_cast<const LV2UI_Resize*>(findFeature(features, LV2_UI__resize)))
        if (resize->ui_resize) resize->ui_resize(resize->handle, int(size.width), int(size.height));
    // From here on the host's resizing of its window sizes the panel.
    followX11Parent(ui->editor);
    return ui;
}

void cleanup(LV2UI_Handle handle) {
    auto* ui = static_cast<Lv2Ui*>(handle);
    closeX11Editor(ui->editor);
    delete ui;
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer) {
    auto* ui = static_cast<Lv2Ui*>(handle);
    if (format != 0 || size != sizeof(float) || !buffer || port >= parameterCount) return;
    float portValue;
    std::memcpy(&portValue, buffer, sizeof portValue);
    ui->parameters[port] = parameterFromPortValue(static_cast<int>(port), portValue);
    invalidateX11Editor(ui->editor);
}

// The host's idle call: one step of the glow, then the window's events and repaint; only
// the events while the window cannot be seen (the whole panel is shown again once it can).
// Non-zero tells the host that the window is gone.
int idle(LV2UI_Handle handle) {
    auto* ui = static_cast<Lv2Ui*>(handle);
    if (!x11EditorAlive(ui->editor)) return 1;
    if (!x11EditorVisible(ui->editor)) return x11EditorAlive(ui->editor) ? 0 : 1;
    advanceAnimation(ui->view);
    invalidateX11Editor(ui->editor);
    pumpX11Editor(ui->editor);
    return x11EditorAlive(ui->editor) ? 0 : 1;
}

const LV2UI_Idle_Interface idleInterface{idle};

const void* extensionData(const char* uri) {
    return std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &idleInterface : nullptr;
}

const LV2UI_Descriptor descriptor{VELMORA_LV2_UI_URI, instantiate, cleanup, portEvent,
                                  extensionData};

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(
    uint32_t index) {
    return index == 0 ? &descriptor : nullptr;
}
