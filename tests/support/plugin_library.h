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

// A library loaded as hosts load one, let go on destruction.
class SharedLibrary {
public:
    explicit SharedLibrary(const std::string& path) {
#ifdef _WIN32
        handle_ = LoadLibraryA(path.c_str());
#else
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
    }
    ~SharedLibrary() {
#ifdef _WIN32
        if (handle_) FreeLibrary(handle_);
#else
        if (handle_) dlclose(handle_);
#endif
    }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    void* symbol(const char* name) const {
        if (!handle_) return nullptr;
#ifdef _WIN32
        return reinterpret_cast<void*>(GetProcAddress(handle_, name));
#else
        return dlsym(handle_, name);
#endif
    }

private:
#ifdef _WIN32
    HMODULE handle_ = nullptr;
#else
    void* handle_ = nullptr;
#endif
};

class PluginLibrary {
public:
    explicit PluginLibrary(const std::string& path = VELMORA_PLUGIN_PATH)
        : library_(path),
          entry_(reinterpret_cast<VstPluginMainProc>(library_.symbol("VSTPluginMain"))),
          mainEntry_(reinterpret_cast<VstPluginMainProc>(library_.symbol("main"))) {}

    bool loaded() const { return entry_ != nullptr; }
    VstPluginMainProc entry() const { return entry_; }
    VstPluginMainProc mainEntry() const { return mainEntry_; }
    AEffect* create(audioMasterCallback callback = quietHostCallback) const {
        return entry_ ? entry_(callback) : nullptr;
    }

private:
    SharedLibrary library_;
    VstPluginMainProc entry_ = nullptr;
    VstPluginMainProc mainEntry_ = nullptr;
};

inline intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                         void* ptr = nullptr, float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

inline void closeEffect(AEffect* effect) { dispatch(effect, effClose); }
