// Linux: the X11 editor as a child of the host's window. CLAP has no idle call: the host's
// timer advances the glow and repaints, and the editor's display connection, watched by the
// host, brings its events in as they arrive.
#include "clap/clap_instance.h"
#include "editor/x11_editor.h"

namespace {

X11Editor* editorOf(const ClapInstance& instance) {
    return static_cast<X11Editor*>(instance.editor.window);
}

const clap_host_posix_fd_support_t* hostFds(const ClapInstance& instance) {
    return static_cast<const clap_host_posix_fd_support_t*>(instance.hostFds);
}

void onFd(const clap_plugin_t* plugin, int fd, uint32_t) {
    ClapInstance& instance = instanceOf(plugin);
    if (instance.editor.window && fd == instance.editor.fd) driveClapWindow(instance, false);
}

const clap_plugin_posix_fd_support_t fdSupport = {onFd};

}  // namespace

const char* const clapWindowApi = CLAP_WINDOW_API_X11;
const void* const clapPosixFdSupport = &fdSupport;
void (*const clapWindowGone)(void*, void*) = nullptr;  // the editor finds out itself

bool openClapWindow(ClapInstance& instance, const clap_window_t& parent) {
    ClapEditor& editor = instance.editor;
    X11Editor* window = openX11Editor(parent.x11, editor.view, editorSizeOf(editor.sizing));
    if (!window) return false;
    editor.window = window;
    const int fd = x11EditorConnection(window);
    const clap_host_posix_fd_support_t* fds = hostFds(instance);
    if (fd >= 0 && fds && fds->register_fd &&
        fds->register_fd(instance.host, fd, CLAP_POSIX_FD_READ | CLAP_POSIX_FD_ERROR))
        editor.fd = fd;
    return true;
}

void closeClapWindow(ClapInstance& instance) {
    ClapEditor& editor = instance.editor;
    if (!editor.window) return;
    if (editor.fd >= 0 && hostFds(instance)->unregister_fd)
        hostFds(instance)->unregister_fd(instance.host, editor.fd);
    closeX11Editor(editorOf(instance));
    editor.window = nullptr;
    editor.fd = -1;
}

void showClapWindow(ClapInstance& instance, bool shown) { showX11Editor(editorOf(instance), shown); }

namespace {

// The fd callback is level-triggered: a dead connection left registered would call back
// without end.
void forgetDeadConnection(ClapInstance& instance) {
    ClapEditor& editor = instance.editor;
    if (editor.fd < 0 || x11EditorAlive(editorOf(instance))) return;
    if (hostFds(instance)->unregister_fd) hostFds(instance)->unregister_fd(instance.host, editor.fd);
    editor.fd = -1;
}

}  // namespace

void driveClapWindow(ClapInstance& instance, bool animate) {
    X11Editor* window = editorOf(instance);
    if (animate) {
        advanceAnimation(instance.editor.view);
        invalidateX11Editor(window);
    }
    pumpX11Editor(window);
    forgetDeadConnection(instance);
    finishEditorGesture(instance);
}

void resizeClapWindow(ClapInstance& instance, PanelSize size) {
    resizeX11Editor(editorOf(instance), size);
}
