// Hosts a VST 2.4 effect library as a DAW does: loads it, creates instances through
// VSTPluginMain with a host callback, and drives each instance through open, sample rate,
// block size, resume, processing in blocks, suspend and close.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/vst2_abi.h"

using PluginEntryProc = AEffect* (*)(audioMasterCallback);

struct LibraryCloser {
    void operator()(void* handle) const;
};

struct PluginModule {
    std::string path;
    std::unique_ptr<void, LibraryCloser> handle;
    PluginEntryProc entry = nullptr;
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
};

struct ParameterInfo {
    int index = 0;
    std::string name;
    float value = 0.0f;
    std::string display;
    std::string label;
};

struct EffectIdentity {
    std::string name;
    std::string vendor;
    int32_t numInputs = 0;
    int32_t numOutputs = 0;
};

// Throws ProcessingError when the library does not load or has no VSTPluginMain.
PluginModule loadPluginModule(const std::string& path);

// The Tolvan_Velmora.so beside the running executable.
std::string defaultPluginPath();

// Creates an instance and sends effOpen; throws ProcessingError when none is created.
HostedEffect createEffect(const PluginModule& module, const HostContext& context);
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
