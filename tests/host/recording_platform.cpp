#include "recording_platform.h"

#include <cstdio>

namespace {

RecordingPlatform& rec() { return *RecordingPlatform::current(); }

std::string hex(const void* p) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", p);
    return text;
}

void startGdiplus(uintptr_t* token) {
    rec().calls.push_back("GdiplusStartup");
    *token = rec().nextToken;
}
void shutdownGdiplus(uintptr_t token) {
    rec().calls.push_back("GdiplusShutdown " + std::to_string(token));
}
void disableThreadLibraryCalls(void* module) {
    rec().calls.push_back("DisableThreadLibraryCalls " + hex(module));
}
bool isWindow(void* window) {
    rec().calls.push_back("IsWindow");
    return rec().isLive(window);
}
void destroyWindow(void* window) {
    rec().calls.push_back("DestroyWindow");
    RecordingPlatform& r = rec();
    for (size_t i = 0; i < r.liveWindows.size(); ++i) {
        if (r.liveWindows[i] != window) continue;
        // The window procedure's WM_DESTROY: the owner forgets the handle if it is its own.
        const EditorView* owner = r.windowOwners[i];
        r.forgetWindow(window);
        owner->windowGone(owner->context, window);
        return;
    }
}
void invalidateWindow(void*) { rec().calls.push_back("InvalidateRect"); }
void registerEditorClass(void* module) { rec().calls.push_back("RegisterClassExA " + hex(module)); }
void unregisterEditorClass(void* module) {
    rec().calls.push_back("UnregisterClassA " + hex(module));
}
void* createEditorWindow(const EditorView* view, void* parent, void*) {
    rec().calls.push_back("CreateWindowExA");
    if (!parent) return nullptr;  // a child window needs a parent
    void* window = reinterpret_cast<void*>(rec().nextWindow++);
    rec().liveWindows.push_back(window);
    rec().windowOwners.push_back(view);
    return window;
}

void idleWindow(void*) { rec().calls.push_back("IdleWindow"); }

const PlatformSeam recordingSeam{true,          startGdiplus,        shutdownGdiplus,
                                 disableThreadLibraryCalls, isWindow, destroyWindow,
                                 invalidateWindow, registerEditorClass, unregisterEditorClass,
                                 createEditorWindow, idleWindow};

}  // namespace

const PlatformSeam& RecordingPlatform::seam() { return recordingSeam; }
