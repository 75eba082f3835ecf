// A platform seam that records every call, in order, and plays the window system's part
// where the host layer relies on it (a destroyed window sends WM_DESTROY to its instance).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/platform.h"
#include "host/plugin_instance.h"

struct RecordingPlatform {
    std::vector<std::string> calls;
    std::vector<void*> liveWindows;
    std::vector<const EditorView*> windowOwners;  // parallel to liveWindows
    uintptr_t nextToken = 0x5eed;
    intptr_t nextWindow = 0x1000;

    static RecordingPlatform*& current() {
        static RecordingPlatform* active = nullptr;
        return active;
    }
    static const PlatformSeam& seam();

    bool isLive(void* window) const {
        for (void* w : liveWindows)
            if (w == window) return true;
        return false;
    }
    // What a host does when it destroys the parent: the child is gone without the plug-in.
    void forgetWindow(void* window) {
        for (size_t i = 0; i < liveWindows.size(); ++i)
            if (liveWindows[i] == window) {
                liveWindows.erase(liveWindows.begin() + i);
                windowOwners.erase(windowOwners.begin() + i);
                return;
            }
    }
};

// Installs a recording platform for the life of a test and restores the real one after.
struct ScopedRecordingPlatform {
    RecordingPlatform recorder;
    const PlatformSeam* previous;
    ScopedRecordingPlatform() : previous(platform) {
        RecordingPlatform::current() = &recorder;
        platform = &RecordingPlatform::seam();
    }
    ~ScopedRecordingPlatform() {
        platform = previous;
        RecordingPlatform::current() = nullptr;
    }
};
