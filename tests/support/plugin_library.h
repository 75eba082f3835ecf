// Loads the built plug-in library the way a host does and creates instances through
// VSTPluginMain. Works with dlopen on Linux and LoadLibrary under Windows/Wine.
#pragma once

#include <string>

#include "host/vst2_abi.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

using VstPluginMainProc = AEffect* (*)(audioMasterCallback);

// The default host callback: answers audioMasterVersion with 2400 and everything else 0.
inline intptr_t quietHostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

class PluginLibrary {
public:
    explicit PluginLibrary(const std::string& path = VELMORA_PLUGIN_PATH) {
#ifdef _WIN32
        handle_ = LoadLibraryA(path.c_str());
        if (handle_) {
            entry_ = reinterpret_cast<VstPluginMainProc>(
                reinterpret_cast<void*>(GetProcAddress(handle_, "VSTPluginMain")));
            mainEntry_ = reinterpret_cast<VstPluginMainProc>(
                reinterpret_cast<void*>(GetProcAddress(handle_, "main")));
        }
#else
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_) {
            entry_ = reinterpret_cast<VstPluginMainProc>(dlsym(handle_, "VSTPluginMain"));
            mainEntry_ = reinterpret_cast<VstPluginMainProc>(dlsym(handle_, "main"));
        }
#endif
    }
    ~PluginLibrary() {
#ifdef _WIN32
        if (handle_) FreeLibrary(handle_);
#else
        if (handle_) dlclose(handle_);
#endif
    }
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool loaded() const { return handle_ && entry_; }
    VstPluginMainProc entry() const { return entry_; }
    VstPluginMainProc mainEntry() const { return mainEntry_; }
    AEffect* create(audioMasterCallback callback = quietHostCallback) const {
        return entry_ ? entry_(callback) : nullptr;
    }

private:
#ifdef _WIN32
    HMODULE handle_ = nullptr;
#else
    void* handle_ = nullptr;
#endif
    VstPluginMainProc entry_ = nullptr;
    VstPluginMainProc mainEntry_ = nullptr;
};

inline intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                         void* ptr = nullptr, float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

inline void closeEffect(AEffect* effect) { dispatch(effect, effClose); }
