// The parameters as CLAP hosts see them: the table's shown units (stepped ones by position),
// texts with their units, and the events that carry values in and editor gestures out.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "clap/clap_instance.h"
#include "parameters/parameter_set.h"

// A stepped parameter's host value becomes its step by truncation, as CLAP defines it.
float normalizedFromHostValue(int index, double value) {
    const ParameterSpec& spec = parameterTable[index];
    if (spec.steps > 0)
        return clampParameter(static_cast<float>(std::trunc(value)) / static_cast<float>(spec.steps));
    return clampParameter(normalizedFromShown(spec, static_cast<float>(value)));
}

// The value kept is a 32-bit normalized float: the host gets the shortest decimal in shown
// units that maps back to it, so that 60 set is 60 read, not 60.0000038.
double hostValueFromNormalized(int index, float value) {
    const ParameterSpec& spec = parameterTable[index];
    if (spec.steps > 0) return std::nearbyint(static_cast<double>(value) * spec.steps);
    const double shown = shownFromNormalized(spec, value);
    double scale = 1.0;
    for (int digits = 0; digits <= 9; ++digits, scale *= 10.0) {
        const double candidate = std::nearbyint(shown * scale) / scale;
        if (normalizedFromHostValue(index, candidate) == value) return candidate;
    }
    return shown;
}

namespace {

// The Oversampling parameter's host value is its position, 0..3.
int oversamplingChoiceFromHostValue(double value) {
    constexpr double last = oversamplingChoiceCount - 1;
    return value >= 0.0 ? static_cast<int>(value < last ? value : last) : 0;
}

}  // namespace

int tableIndexOf(clap_id id) {
    for (int i = 0; i < parameterCount; ++i)
        if (tableParameterIds[i] == id) return i;
    return -1;
}

void applyParameterEvent(ClapInstance& instance, const clap_event_header_t& event) {
    if (event.space_id != CLAP_CORE_EVENT_SPACE_ID || event.type != CLAP_EVENT_PARAM_VALUE ||
        event.size < sizeof(clap_event_param_value_t))
        return;
    const auto& change = reinterpret_cast<const clap_event_param_value_t&>(event);
    if (change.param_id == oversamplingParameterId) {
        chooseOversampling(instance, oversamplingChoiceFromHostValue(change.value));
        return;
    }
    const int index = tableIndexOf(change.param_id);
    if (index < 0) return;
    instance.parameters[index].store(normalizedFromHostValue(index, change.value),
                                     std::memory_order_relaxed);
}

namespace {

bool pushValue(const clap_output_events_t* out, int index, float value) {
    clap_event_param_value_t event{{sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0},
                                   tableParameterIds[index], nullptr, -1, -1, -1, -1,
                                   hostValueFromNormalized(index, value)};
    return out->try_push(out, &event.header);
}

bool pushGesture(const clap_output_events_t* out, int index, uint16_t type) {
    const clap_event_param_gesture_t event{
        {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, type, 0}, tableParameterIds[index]};
    return out->try_push(out, &event.header);
}

// One event at a time, each taken as sent only once the list accepted it: the host's open
// gesture ends (after the latest value) when the editor ended one since; a gesture the
// editor began since opens (several collapse into one); then the latest value. False when
// there is nothing more or the list refused.
bool sendNextEdit(PendingEdit& edit, int index, const clap_output_events_t* out) {
    const uint32_t ends = edit.ends.load(std::memory_order_acquire);
    const uint32_t begins = edit.begins.load(std::memory_order_acquire);
    const uint32_t values = edit.values.load(std::memory_order_acquire);
    const bool valuePending = values != edit.sentValues;
    auto sendValue = [&] {
        if (!pushValue(out, index, edit.value.load(std::memory_order_relaxed))) return false;
        edit.sentValues = values;
        return true;
    };
    if (edit.hostInGesture && ends != edit.sentEnds) {
        if (valuePending) return sendValue();
        if (!pushGesture(out, index, CLAP_EVENT_PARAM_GESTURE_END)) return false;
        edit.hostInGesture = false;
        ++edit.sentEnds;
        return true;
    }
    if (!edit.hostInGesture && begins != edit.sentBegins) {
        if (!pushGesture(out, index, CLAP_EVENT_PARAM_GESTURE_BEGIN)) return false;
        edit.hostInGesture = true;
        edit.sentBegins = begins;
        edit.sentEnds = begins - 1;  // the gestures before the last are over
        return true;
    }
    return valuePending && sendValue();
}

}  // namespace

void sendEditorEvents(ClapInstance& instance, const clap_output_events_t* out) {
    if (!out || !out->try_push) return;  // kept for the next list
    for (int i = 0; i < parameterCount; ++i)
        while (sendNextEdit(instance.editorEdits[i], i, out)) {
        }
}

namespace {

uint32_t count(const clap_plugin_t*) { return parameterCount + 1; }

// The table's parameters first, then Oversampling.
bool getInfo(const clap_plugin_t*, uint32_t index, clap_param_info_t* info) {
    if (!info || index > static_cast<uint32_t>(parameterCount)) return false;
    if (index == static_cast<uint32_t>(parameterCount)) {
        std::memset(info, 0, sizeof *info);
        info->id = oversamplingParameterId;
        info->flags = CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM | CLAP_PARAM_REQUIRES_PROCESS;
        std::snprintf(info->name, sizeof info->name, "%s", oversamplingName);
        info->max_value = oversamplingChoiceCount - 1;
        return true;
    }
    const ParameterSpec& spec = parameterTable[index];
    std::memset(info, 0, sizeof *info);
    info->id = tableParameterIds[index];
    info->flags = CLAP_PARAM_IS_AUTOMATABLE;
    if (spec.steps > 0) info->flags |= CLAP_PARAM_IS_STEPPED;
    if (spec.isBypass) info->flags |= CLAP_PARAM_IS_BYPASS;
    std::snprintf(info->name, sizeof info->name, "%s", spec.name);
    const int i = static_cast<int>(index);
    info->min_value = hostValueFromNormalized(i, 0.0f);
    info->max_value = hostValueFromNormalized(i, 1.0f);
    info->default_value = hostValueFromNormalized(i, parameterDefaults[i]);
    return true;
}

bool getValue(const clap_plugin_t* plugin, clap_id id, double* value) {
    if (id == oversamplingParameterId && value) {
        *value = instanceOf(plugin).oversamplingChoice.load(std::memory_order_relaxed);
        return true;
    }
    const int i = tableIndexOf(id);
    if (i < 0 || !value) return false;
    *value = hostValueFromNormalized(i, instanceOf(plugin).parameters[i].load(std::memory_order_relaxed));
    return true;
}

// The display text followed by the unit: "40%", "0.50 Asym", "-18.0 dB".
bool valueToText(const clap_plugin_t*, clap_id id, double value, char* text, uint32_t capacity) {
    if (id == oversamplingParameterId && text && capacity >= 3) {
        formatOversamplingChoice(oversamplingChoiceFromHostValue(value), text, capacity);
        return true;
    }
    const int i = tableIndexOf(id);
    if (i < 0 || !text || capacity == 0) return false;
    const ParameterSpec& spec = parameterTable[i];
    char number[48];
    formatParameterNumber(spec, normalizedFromHostValue(i, value), number, sizeof number,
                          TextConvention::newerFormats);
    const char* separator = spec.unit[0] == '\0' || spec.unit[0] == '%' ? "" : " ";
    const int length = std::snprintf(text, capacity, "%s%s%s", number, separator, spec.unit);
    return length >= 0 && static_cast<uint32_t>(length) < capacity;
}

bool textToValue(const clap_plugin_t*, clap_id id, const char* text, double* value) {
    int choice = 0;
    if (id == oversamplingParameterId && value && parseOversamplingText(text, &choice)) {
        *value = choice;
        return true;
    }
    const int i = tableIndexOf(id);
    if (i < 0 || !text || !value) return false;
    float normalized;
    if (!parseParameterText(parameterTable[i], text, &normalized, TextConvention::newerFormats))
        return false;
    *value = hostValueFromNormalized(i, normalized);
    return true;
}

void flush(const clap_plugin_t* plugin, const clap_input_events_t* in,
           const clap_output_events_t* out) {
    ClapInstance& instance = instanceOf(plugin);
    const uint32_t eventCount = in && in->size && in->get ? in->size(in) : 0;
    for (uint32_t k = 0; k < eventCount; ++k)
        if (const clap_event_header_t* event = in->get(in, k)) applyParameterEvent(instance, *event);
    sendEditorEvents(instance, out);
}

}  // namespace

const clap_plugin_params_t clapParams = {count, getInfo, getValue, valueToText, textToValue, flush};
