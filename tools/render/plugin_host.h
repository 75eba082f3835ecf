// Hosts an effect as a DAW does: a VST 2.4 library (loaded, instances created through
// VSTPluginMain with a host callback and driven through open, sample rate, block size,
// resume, processing in blocks, suspend and close) or an LV2 plug-in through lilv
// (instantiated, activated, run in blocks, deactivated). The functions below take either.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/vst2_abi.h"
#include "tools/render/lv2_host.h"

using PluginEntryProc = AEffect* (*)(audioMasterCallback);

struct LibraryCloser {
    void operator()(void* handle) const;
};

struct PluginModule {
    std::string path;
    std::unique_ptr<void, LibraryCloser> handle;
    PluginEntryProc entry = nullptr;
    std::shared_ptr<const Lv2Plugin> lv2;  // an LV2 plug-in instead of a library
};

// What the host callback answers for one instance.
struct HostContext {
    double sampleRate = 44100.0;
    int32_t blockSize = 512;
};

struct HostedEffect {
    AEffect* effect = nullptr;
    std::unique_ptr<HostContext> context;
    bool resumed = false;
    Lv2Instance lv2;
};

// A VST 2.4 parameter (normalized 0..1) or an LV2 control input (in its own units, from
// minimum to maximum).
struct ParameterInfo {
    int index = 0;
    std::string name;
    float value = 0.0f;
    std::string display;
    std::string label;
    bool normalizedOnly = true;  // VST 2.4: values are set normalized (or in per cent)
    float minimum = 0.0f, maximum = 1.0f;
    bool integer = false;
    bool enabledSwitch = false;  // LV2's enable switch, set and shown as Bypass
    std::vector<ScalePoint> scalePoints;
};

struct EffectIdentity {
    std::string name;
    std::string vendor;
    int32_t numInputs = 0;
    int32_t numOutputs = 0;
};

// A library path, or an LV2 URI or bundle folder. Throws ProcessingError when the library
// does not load or has no VSTPluginMain, or no LV2 plug-in is found.
PluginModule loadPluginModule(const std::string& path);

// The LV2 bundle Tolvan_Velmora.lv2 beside the running executable.
std::string defaultPluginPath();

// Creates an instance and sends effOpen; throws ProcessingError when none is created.
HostedEffect createEffect(const PluginModule& module, const HostContext& context);
// VST 2.4: the normalized value; LV2: the port value.
void setEffectParameter(HostedEffect& hosted, int index, float value);
// Sample rate, block size, then resume.
void startEffect(HostedEffect& hosted);
// One block: processReplacing, or the accumulating process into zeroed outputs.
void processEffectBlock(HostedEffect& hosted, float** inputs, float** outputs, int32_t frames);
// Suspends if resumed, then effClose. Safe to call twice.
void closeEffect(HostedEffect& hosted);

// Closes the instance when it goes out of scope, also on an exception.
struct EffectGuard {
    HostedEffect& hosted;
    ~EffectGuard() { closeEffect(hosted); }
};

EffectIdentity identifyEffect(const HostedEffect& hosted, const std::string& libraryPath);
std::vector<ParameterInfo> describeParameters(const HostedEffect& hosted);
// A value as the plug-in shows it: a scale point's label, else the number and its unit.
std::string displayText(const ParameterInfo& parameter, float value);
int effectInputCount(const HostedEffect& hosted);
int effectOutputCount(const HostedEffect& hosted);
// Frames the output comes late: LV2's latency port after a run, VST 2.4's initialDelay.
int64_t effectLatency(const HostedEffect& hosted);
