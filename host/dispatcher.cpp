#include "host/dispatcher.h"

#include <cmath>
#include <cstring>

#include "host/vst2_parameters.h"
#include "host/plugin_instance.h"
#include "parameters/plugin_version.h"

namespace {

constexpr int nameStringBytes = 31;
constexpr int32_t highestOpcode = 51;
constexpr intptr_t cockosExtensionsAnswer = 0xbeef0000;

// One opcode that answers with a text: exactly `bytes` bytes go to the host's buffer, the
// text and then zeros. A per-parameter text answers 0 for an index outside 0..7 and writes
// nothing; `text` may compose into the scratch buffer it is given.
struct StringOpcode {
    int32_t opcode;
    bool perParameter;
    int bytes;
    const char* (*text)(const PluginInstance& instance, int32_t index, char* scratch);
};

const StringOpcode stringOpcodes[] = {
    {effGetParamLabel, true, parameterLabelBytes,
     [](const PluginInstance&, int32_t index, char*) { return parameterLabel(index); }},
    {effGetParamDisplay, true, parameterTextBytes,
     [](const PluginInstance& instance, int32_t index, char* scratch) {
         formatParameterDisplay(index, loadParameter(instance, index), scratch,
                                TextConvention::vst2Library);
         return static_cast<const char*>(scratch);
     }},
    {effGetParamName, true, parameterTextBytes,
     [](const PluginInstance&, int32_t index, char*) { return parameterName(index); }},
    {effGetEffectName, false, nameStringBytes,
     [](const PluginInstance&, int32_t, char*) { return velmoraPluginName; }},
    {effGetVendorString, false, nameStringBytes,
     [](const PluginInstance&, int32_t, char*) { return velmoraVendorName; }},
    {effGetProductString, false, nameStringBytes,
     [](const PluginInstance&, int32_t, char*) { return "Tolvan Velmora Saturation"; }},
};

const StringOpcode* stringOpcodeFor(int32_t opcode) {
    for (const StringOpcode& entry : stringOpcodes)
        if (entry.opcode == opcode) return &entry;
    return nullptr;
}

intptr_t answerWithText(const StringOpcode& entry, const PluginInstance& instance,
                        int32_t index, void* ptr) {
    if (!ptr || (entry.perParameter && !validParameterIndex(index))) return 0;
    char scratch[parameterTextBytes];
    const char* text = entry.text(instance, index, scratch);
    char* out = static_cast<char*>(ptr);
    const size_t size = static_cast<size_t>(entry.bytes);
    std::memset(out, 0, size);
    const size_t length = std::strlen(text);
    std::memcpy(out, text, length < size - 1 ? length : size - 1);
    return 1;
}

intptr_t canDo(const char* text) {
    if (std::strcmp(text, "hasCockosExtensions") == 0) return cockosExtensionsAnswer;
    if (std::strcmp(text, "1in2out") == 0 || std::strcmp(text, "2in2out") == 0) return 1;
    return 0;
}

// A rate that is not positive, not a number or infinite prepares for 44100 Hz.
double hostRateOrDefault(float opt) {
    const double rate = opt;
    return (rate > 0.0 && std::isfinite(rate)) ? rate : 44100.0;
}

}  // namespace

intptr_t dispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                    float opt) {
    PluginInstance* instance = instanceOf(effect);
    if (!instance || opcode < 0 || opcode > highestOpcode) return 0;
    if (const StringOpcode* entry = stringOpcodeFor(opcode))
        return answerWithText(*entry, *instance, index, ptr);

    switch (opcode) {
    case effClose:
        closeInstance(instance);
        return 0;
    case effSetSampleRate:
        prepareInstance(*instance, hostRateOrDefault(opt));
        return 0;
    case effMainsChanged:
        // A resume starts from silence, as a new instance does: a host that suspends at
        // every transport stop would otherwise hear the last run's filters ring out.
        if (value != 0) resetEngineHistory(instance->engine);
        return 0;
    case effEditGetRect:
        if (ptr) *static_cast<ERect**>(ptr) = &instance->editorRect;
        return 1;
    case effEditOpen:
        return openEditor(*instance, ptr);
    case effEditClose:
        return closeEditor(*instance);
    case effEditIdle:
        return idleEditor(*instance);
    case effCanBeAutomated:
        return validParameterIndex(index) ? 1 : 0;
    case effGetPlugCategory:
        return kPlugCategEffect;
    case effSetBypass:
        instance->bypassed.store(value != 0, std::memory_order_relaxed);
        return 1;
    case effGetVendorVersion:
        return 1000;
    case effCanDo:
        return ptr ? canDo(static_cast<const char*>(ptr)) : 0;
    default:
        return 0;
    }
}
