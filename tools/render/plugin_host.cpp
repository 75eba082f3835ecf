#include "tools/render/plugin_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "tools/render/errors.h"

namespace {

// Host callback opcodes beyond the two the plug-in itself uses.
constexpr int32_t audioMasterCurrentId = 2;
constexpr int32_t audioMasterIdle = 3;
constexpr int32_t audioMasterGetSampleRate = 16;
constexpr int32_t audioMasterGetBlockSize = 17;
constexpr int32_t audioMasterGetCurrentProcessLevel = 23;
constexpr int32_t audioMasterGetAutomationState = 24;
constexpr int32_t audioMasterGetVendorString = 32;
constexpr int32_t audioMasterGetProductString = 33;
constexpr int32_t audioMasterGetVendorVersion = 34;
constexpr int32_t audioMasterCanDo = 37;
constexpr int32_t audioMasterGetLanguage = 38;
constexpr int32_t audioMasterUpdateDisplay = 42;
constexpr int32_t audioMasterBeginEdit = 43;
constexpr int32_t audioMasterEndEdit = 44;

constexpr intptr_t kVstProcessLevelOffline = 4;
constexpr intptr_t kVstAutomationOff = 1;
constexpr intptr_t kVstLangEnglish = 1;
constexpr size_t kVstMaxVendorStrLen = 64;

// Plug-ins write names past the 8 to 64 bytes the protocol allows; give them room.
constexpr size_t textBufferBytes = 512;

// Many plug-ins keep unguarded module-wide state, so instances are created and closed
// one at a time; processing runs freely in parallel.
std::mutex lifecycleLock;

// During VSTPluginMain the plug-in has no AEffect to pass back yet, so the context being
// created is known per thread; afterwards it hangs off the host-reserved resvd1 field.
thread_local const HostContext* contextInCreation = nullptr;

const HostContext& contextOf(AEffect* effect) {
    static const HostContext fallback{};
    if (effect && effect->resvd1) return *reinterpret_cast<const HostContext*>(effect->resvd1);
    return contextInCreation ? *contextInCreation : fallback;
}

void copyHostString(void* ptr, const char* text) {
    if (!ptr) return;
    std::memset(ptr, 0, kVstMaxVendorStrLen);
    std::strncpy(static_cast<char*>(ptr), text, kVstMaxVendorStrLen - 1);
}

intptr_t hostCallback(AEffect* effect, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    switch (opcode) {
    case audioMasterAutomate:  // parameter changes from the plug-in are accepted silently
        return 0;
    case audioMasterVersion:
        return 2400;
    case audioMasterCurrentId:
        return effect ? effect->uniqueID : 0;
    case audioMasterIdle:
        return 0;
    case audioMasterGetSampleRate:
        return static_cast<intptr_t>(contextOf(effect).sampleRate);
    case audioMasterGetBlockSize:
        return contextOf(effect).blockSize;
    case audioMasterGetCurrentProcessLevel:
        return kVstProcessLevelOffline;
    case audioMasterGetAutomationState:
        return kVstAutomationOff;
    case audioMasterGetVendorString:
        copyHostString(ptr, "Tolvan Audio Technologies");
        return ptr ? 1 : 0;
    case audioMasterGetProductString:
        copyHostString(ptr, "velmora-render");
        return ptr ? 1 : 0;
    case audioMasterGetVendorVersion:
        return 1000;
    case audioMasterCanDo:
        return 0;  // no events, no time info, no windows
    case audioMasterGetLanguage:
        return kVstLangEnglish;
    case audioMasterUpdateDisplay:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        return 1;
    default:
        return 0;
    }
}

intptr_t dispatch(const HostedEffect& hosted, int32_t opcode, int32_t index = 0,
                  intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) {
    return hosted.effect->dispatcher(hosted.effect, opcode, index, value, ptr, opt);
}

std::string dispatchText(const HostedEffect& hosted, int32_t opcode, int32_t index = 0) {
    char text[textBufferBytes] = {};
    dispatch(hosted, opcode, index, 0, text);
    text[textBufferBytes - 1] = '\0';
    std::string result(text);
    auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    result.erase(std::find_if(result.rbegin(), result.rend(), notSpace).base(), result.end());
    result.erase(result.begin(), std::find_if(result.begin(), result.end(), notSpace));
    return result;
}

}  // namespace

void LibraryCloser::operator()(void* handle) const {
    if (handle) dlclose(handle);
}

PluginModule loadPluginModule(const std::string& path) {
    if (isLv2Reference(path)) {
        PluginModule module;
        module.path = path;
        module.lv2 = loadLv2Plugin(path);
        return module;
    }
    if (!std::filesystem::exists(path))
        throw ProcessingError("plug-in library " + inQuotes(path) + " does not exist");
    // A bare file name would make dlopen search the library path instead.
    std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    PluginModule module;
    module.path = path;
    module.handle.reset(dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!module.handle) {
        const char* reason = dlerror();
        throw ProcessingError("plug-in library " + inQuotes(path) + " does not load: " +
                              (reason ? reason : "unknown reason"));
    }
    void* entry = dlsym(module.handle.get(), "VSTPluginMain");
    // The pre-2.4 name, still the only export of some builds (DPF's among them).
    if (!entry) entry = dlsym(module.handle.get(), "main");
    if (!entry)
        throw ProcessingError("plug-in library " + inQuotes(path) +
                              " has no VSTPluginMain entry point");
    module.entry = reinterpret_cast<PluginEntryProc>(entry);
    return module;
}

std::string defaultPluginPath() {
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "Tolvan_Velmora.lv2";
    return (self.parent_path() / "Tolvan_Velmora.lv2").string();
}

HostedEffect createEffect(const PluginModule& module, const HostContext& context) {
    HostedEffect hosted;
    hosted.context = std::make_unique<HostContext>(context);
    if (module.lv2) {
        hosted.lv2 = instantiateLv2(module.lv2, context.sampleRate);
        return hosted;
    }
    std::lock_guard<std::mutex> guard(lifecycleLock);
    contextInCreation = hosted.context.get();
    hosted.effect = module.entry(hostCallback);
    contextInCreation = nullptr;
    if (!hosted.effect)
        throw ProcessingError("plug-in " + inQuotes(module.path) + " created no instance");
    if (hosted.effect->magic != kEffectMagic) {
        hosted.effect = nullptr;  // not ours to close: it is no VST 2.4 effect
        throw ProcessingError("plug-in " + inQuotes(module.path) +
                              " returned something that is not a VST 2.4 effect");
    }
    hosted.effect->resvd1 = reinterpret_cast<intptr_t>(hosted.context.get());
    dispatch(hosted, effOpen);
    return hosted;
}

void setEffectParameter(HostedEffect& hosted, int index, float value) {
    if (hosted.lv2.instance) {
        hosted.lv2.portValues.at(static_cast<size_t>(index)) = value;
        return;
    }
    hosted.effect->setParameter(hosted.effect, index, value);
}

void startEffect(HostedEffect& hosted) {
    if (hosted.lv2.instance) {
        lilv_instance_activate(hosted.lv2.instance);
        hosted.lv2.active = true;
        return;
    }
    dispatch(hosted, effSetSampleRate, 0, 0, nullptr, static_cast<float>(hosted.context->sampleRate));
    dispatch(hosted, effSetBlockSize, 0, hosted.context->blockSize);
    dispatch(hosted, effMainsChanged, 0, 1);
    hosted.resumed = true;
}

void processEffectBlock(HostedEffect& hosted, float** inputs, float** outputs, int32_t frames) {
    if (hosted.lv2.instance) {
        runLv2(hosted.lv2, inputs, outputs, frames);
        return;
    }
    AEffect* effect = hosted.effect;
    if ((effect->flags & effFlagsCanReplacing) && effect->processReplacing) {
        effect->processReplacing(effect, inputs, outputs, frames);
        return;
    }
    // The old accumulating call adds to what the outputs hold.
    for (int32_t i = 0; i < effect->numOutputs; ++i)
        std::fill(outputs[i], outputs[i] + frames, 0.0f);
    if (effect->process) effect->process(effect, inputs, outputs, frames);
}

void closeEffect(HostedEffect& hosted) {
    freeLv2(hosted.lv2);
    if (!hosted.effect) return;
    if (hosted.resumed) dispatch(hosted, effMainsChanged, 0, 0);
    hosted.resumed = false;
    std::lock_guard<std::mutex> guard(lifecycleLock);
    dispatch(hosted, effClose);
    hosted.effect = nullptr;
}

EffectIdentity identifyEffect(const HostedEffect& hosted, const std::string& libraryPath) {
    EffectIdentity identity;
    if (const Lv2Plugin* plugin = hosted.lv2.plugin.get()) {
        identity.name = plugin->name;
        identity.vendor = plugin->vendor;
        identity.numInputs = effectInputCount(hosted);
        identity.numOutputs = effectOutputCount(hosted);
        return identity;
    }
    identity.name = dispatchText(hosted, effGetEffectName);
    if (identity.name.empty()) identity.name = dispatchText(hosted, effGetProductString);
    if (identity.name.empty()) identity.name = std::filesystem::path(libraryPath).stem().string();
    identity.vendor = dispatchText(hosted, effGetVendorString);
    identity.numInputs = hosted.effect->numInputs;
    identity.numOutputs = hosted.effect->numOutputs;
    return identity;
}

std::vector<ParameterInfo> describeParameters(const HostedEffect& hosted) {
    std::vector<ParameterInfo> parameters;
    if (const Lv2Plugin* plugin = hosted.lv2.plugin.get()) {
        for (const Lv2Port& port : plugin->ports) {
            if (port.kind != Lv2PortKind::controlInput) continue;
            ParameterInfo info;
            info.index = static_cast<int>(port.index);
            info.name = port.enabledSwitch ? "Bypass" : port.name;  // set and shown as Bypass
            const float portValue = hosted.lv2.portValues[port.index];
            info.value = port.enabledSwitch ? 1.0f - portValue : portValue;  // Bypass: 1 bypasses
            info.label = port.unit;
            info.normalizedOnly = false;
            info.minimum = port.minimum;
            info.maximum = port.maximum;
            info.integer = port.integer;
            info.enabledSwitch = port.enabledSwitch;
            info.scalePoints = port.scalePoints;
            info.display = displayText(info, info.value);
            parameters.push_back(std::move(info));
        }
        return parameters;
    }
    for (int i = 0; i < hosted.effect->numParams; ++i) {
        ParameterInfo info;
        info.index = i;
        info.name = dispatchText(hosted, effGetParamName, i);
        info.value = hosted.effect->getParameter(hosted.effect, i);
        info.display = dispatchText(hosted, effGetParamDisplay, i);
        info.label = dispatchText(hosted, effGetParamLabel, i);
        parameters.push_back(std::move(info));
    }
    return parameters;
}

std::string displayText(const ParameterInfo& parameter, float value) {
    if (parameter.enabledSwitch) return value > 0.5f ? "on" : "off";  // Bypass, on when bypassed
    for (const ScalePoint& point : parameter.scalePoints)
        if (point.value == value) return point.label;
    char text[64];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return parameter.label.empty() ? text : text + (" " + parameter.label);
}

int effectInputCount(const HostedEffect& hosted) {
    return hosted.lv2.plugin ? countLv2Ports(*hosted.lv2.plugin, Lv2PortKind::audioInput) : hosted.effect->numInputs;
}

int effectOutputCount(const HostedEffect& hosted) {
    return hosted.lv2.plugin ? countLv2Ports(*hosted.lv2.plugin, Lv2PortKind::audioOutput) : hosted.effect->numOutputs;
}

int64_t effectLatency(const HostedEffect& hosted) {
    if (const Lv2Plugin* plugin = hosted.lv2.plugin.get()) {
        if (plugin->latencyPort < 0) return 0;
        const float frames = hosted.lv2.portValues[static_cast<size_t>(plugin->latencyPort)];
        return frames > 0.0f && frames < 1e9f ? static_cast<int64_t>(frames + 0.5f) : 0;
    }
    return hosted.effect->initialDelay > 0 ? hosted.effect->initialDelay : 0;
}
