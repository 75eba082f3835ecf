// A small X11 host for the editor tests: its own connection to the display in DISPLAY, a
// top-level window the editor goes into, window capture with XGetImage, pointer input
// with XTest, and the X server's resource count for every client with XRes.
#pragma once

// GoogleTest first: Xlib's macros (None, Bool, Status) would break its headers.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>
#include <cairo.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/picture_difference.h"

// Tests that need an X server skip only when none is configured.
#define SKIP_WITHOUT_DISPLAY()                                      \
    do {                                                            \
        const char* name = std::getenv("DISPLAY");                  \
        if (!name || !*name) GTEST_SKIP() << "no DISPLAY is set";  \
    } while (false)

// One connection for the whole program: an X server resets when its last client leaves,
// and a connection attempt during that reset fails.
inline Display* testDisplay() {
    static Display* const display = XOpenDisplay(nullptr);
    return display;
}

inline Window createHostWindow(Display* display, int width, int height) {
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, width,
                                              height, 0, 0, 0x202020);
    XMapWindow(display, window);
    XSync(display, False);
    return window;
}

// The host's own Xlib error handler, counting the errors it receives.
inline int hostErrors = 0;
inline int countHostError(Display*, XErrorEvent*) {
    ++hostErrors;
    return 0;
}

// An error on the host's own connection: a window that does not exist mapped.
inline void causeHostError(Display* display) {
    XMapWindow(display, 0x1ffffff0);
    XSync(display, False);
}


// What the window and its children show, as the server has it.
inline Pixels captureWindow(Display* display, Window window, int width, int height) {
    Pixels pixels;
    XSync(display, False);
    if (XImage* image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap)) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y) & 0xffffff));
        XDestroyImage(image);
    }
    return pixels;
}

// A PNG file's pixels, as the panel picture command writes them.
inline Pixels readPng(const std::string& path) {
    Pixels pixels;
    cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
        const unsigned char* data = cairo_image_surface_get_data(image);
        const int stride = cairo_image_surface_get_stride(image);
        for (int y = 0; y < cairo_image_surface_get_height(image); ++y)
            for (int x = 0; x < cairo_image_surface_get_width(image); ++x)
                pixels.push_back(reinterpret_cast<const uint32_t*>(data + y * stride)[x] & 0xffffff);
    }
    cairo_surface_destroy(image);
    return pixels;
}

#ifdef VELMORA_PANEL_PICTURE
// The panel picture program's picture of the settings ("0=0.8 1=0.3") after `idle` steps.
// Its own leak checks belong to its tests, not to the comparisons made with it.
inline Pixels panelPicture(const std::string& settings, int idle) {
    const std::string path = "/tmp/velmora-x11-reference-" + std::to_string(getpid()) + ".png";
    const std::string command = "ASAN_OPTIONS=detect_leaks=0 " + std::string(VELMORA_PANEL_PICTURE) +
                                " " + path + " " + settings + " --idle " + std::to_string(idle) +
                                " > /dev/null";
    Pixels pixels = std::system(command.c_str()) == 0 ? readPng(path) : Pixels{};
    std::remove(path.c_str());
    return pixels;
}

// The pixels in which the window's top-left 840 x 520 and that picture differ; -1 without one.
inline long differenceFromPanelPicture(Display* display, Window window, const std::string& settings, int idle) {
    const Pixels shown = captureWindow(display, window, 840, 520), expected = panelPicture(settings, idle);
    if (shown.size() != expected.size()) return -1;
    long differing = 0;
    for (size_t i = 0; i < shown.size(); ++i) differing += shown[i] != expected[i];
    return differing;
}
#endif

inline std::vector<Window> childrenOf(Display* display, Window window) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        result.assign(children, children + count);
        if (children) XFree(children);
    }
    return result;
}

// Synthetic pointer input through the server, as a user's mouse would arrive.
inline void movePointerTo(Display* display, Window window, int x, int y) {
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY,
                          &child);
    XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
    XSync(display, False);
}

inline void setLeftButton(Display* display, bool down) {
    XTestFakeButtonEvent(display, 1, down ? True : False, CurrentTime);
    XSync(display, False);
}

inline void setShift(Display* display, bool down) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_Shift_L), down ? True : False, CurrentTime);
    XSync(display, False);
}

// One notch of the wheel: X's button 4 (up) or 5 (down), pressed and released.
inline void turnWheel(Display* display, bool up) {
    for (Bool down : {True, False}) XTestFakeButtonEvent(display, up ? 4 : 5, down, CurrentTime);
    XSync(display, False);
}


// Resources the X server holds for all its clients together.
inline long serverResourceCount(Display* display) {
    int clientCount = 0;
    XResClient* clients = nullptr;
    if (!XResQueryClients(display, &clientCount, &clients)) return -1;
    long total = 0;
    for (int c = 0; c < clientCount; ++c) {
        int typeCount = 0;
        XResType* types = nullptr;
        if (!XResQueryClientResources(display, clients[c].resource_base, &typeCount, &types))
            continue;
        for (int t = 0; t < typeCount; ++t) total += types[t].count;
        XFree(types);
    }
    XFree(clients);
    return total;
}
