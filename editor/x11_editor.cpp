#include "editor/x11_editor.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>
#include <cairo.h>

#include <atomic>
#include <new>

#include "editor/cairo_painter.h"

struct X11Editor {
    Display* display = nullptr;
    Window window = 0;
    Pixmap backPixmap = 0;
    GC copyContext = nullptr;
    // The panel is painted into an image surface, as the PNG writer paints it, so the
    // window shows the very same pixels; the frame then goes to a server-side pixmap and
    // from there to the window with one copy, so no partial frame is ever visible.
    cairo_surface_t* frame = nullptr;
    cairo_surface_t* backSurface = nullptr;
    EditorView view{};
    std::atomic<bool> dirty{true};
    bool alive = false;
};

namespace {

// Editor records alive in this library (all on the host's user-interface thread); the
// painter's fonts are let go when the last one closes.
int openEditors = 0;

// Xlib has one error handler per process. While an editor talks to its own connection,
// errors on that connection are recorded here; errors on any other connection go to the
// handler that was installed before.
Display* guardedDisplay = nullptr;
bool guardedErrorSeen = false;
XErrorHandler outerHandler = nullptr;

int recordError(Display* display, XErrorEvent* event) {
    if (display == guardedDisplay) {
        guardedErrorSeen = true;
        return 0;
    }
    return outerHandler ? outerHandler(display, event) : 0;
}

// Installs recordError for one editor call; on the way out waits for the server to answer
// everything sent (so late errors are still caught here) and puts the old handler back.
class ErrorGuard {
public:
    explicit ErrorGuard(Display* display) : display_(display) {
        guardedDisplay = display;
        guardedErrorSeen = false;
        outerHandler = XSetErrorHandler(recordError);
    }
    ~ErrorGuard() {
        XSync(display_, False);
        XSetErrorHandler(outerHandler);
        guardedDisplay = nullptr;
    }
    ErrorGuard(const ErrorGuard&) = delete;
    ErrorGuard& operator=(const ErrorGuard&) = delete;

    bool failed() {
        XSync(display_, False);
        return guardedErrorSeen;
    }

private:
    Display* display_;
};

void setFixedSize(Display* display, Window window) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    hints->flags = PSize | PMinSize | PMaxSize | PBaseSize;
    hints->width = hints->min_width = hints->max_width = hints->base_width = panelWidth;
    hints->height = hints->min_height = hints->max_height = hints->base_height = panelHeight;
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
}

bool createWindow(X11Editor& editor, Window parent) {
    Display* display = editor.display;
    XWindowAttributes parentAttributes;
    if (!XGetWindowAttributes(display, parent, &parentAttributes)) return false;
    if (parentAttributes.c_class != InputOutput) return false;

    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;  // no clearing before a copy: no flicker
    attributes.bit_gravity = NorthWestGravity;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask |
                            ButtonMotionMask | EnterWindowMask | LeaveWindowMask |
                            StructureNotifyMask;
    editor.window = XCreateWindow(display, parent, 0, 0, panelWidth, panelHeight, 0,
                                  CopyFromParent, InputOutput, CopyFromParent,
                                  CWBackPixmap | CWBitGravity | CWEventMask, &attributes);
    if (!editor.window) return false;
    XStoreName(display, editor.window, "Tolvan Velmora");
    setFixedSize(display, editor.window);

    XWindowAttributes own;
    if (!XGetWindowAttributes(display, editor.window, &own)) return false;
    editor.backPixmap =
        XCreatePixmap(display, editor.window, panelWidth, panelHeight, own.depth);
    editor.copyContext = XCreateGC(display, editor.window, 0, nullptr);
    if (!editor.backPixmap || !editor.copyContext) return false;
    editor.backSurface = cairo_xlib_surface_create(display, editor.backPixmap, own.visual,
                                                   panelWidth, panelHeight);
    editor.frame = cairo_image_surface_create(CAIRO_FORMAT_RGB24, panelWidth, panelHeight);
    if (cairo_surface_status(editor.backSurface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_status(editor.frame) != CAIRO_STATUS_SUCCESS)
        return false;
    XMapWindow(display, editor.window);
    return true;
}

void present(X11Editor& editor) {
    XCopyArea(editor.display, editor.backPixmap, editor.window, editor.copyContext, 0, 0,
              panelWidth, panelHeight, 0, 0);
}

void paint(X11Editor& editor) {
    cairo_t* cr = cairo_create(editor.frame);
    paintPanelCairo(cr, panelValues(editor.view));
    cairo_destroy(cr);
    cairo_surface_flush(editor.frame);

    cairo_t* upload = cairo_create(editor.backSurface);
    cairo_set_operator(upload, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(upload, editor.frame, 0, 0);
    cairo_paint(upload);
    cairo_destroy(upload);
    cairo_surface_flush(editor.backSurface);
    present(editor);
}

bool viewable(const X11Editor& editor) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(editor.display, editor.window, &attributes) &&
           attributes.map_state == IsViewable;
}

void handleEvent(X11Editor& editor, const XEvent& event, bool& exposed) {
    const EditorView& view = editor.view;
    switch (event.type) {
    case Expose:
        exposed = true;
        break;
    case ButtonPress:
        if (event.xbutton.button == Button1) pressAt(view, event.xbutton.x, event.xbutton.y);
        break;
    case MotionNotify:
        // Motion without the button held means the release went elsewhere.
        if (!(event.xmotion.state & Button1Mask))
            endDrag(view);
        else if (dragTo(view, event.xmotion.y))
            editor.dirty.store(true, std::memory_order_relaxed);
        break;
    case ButtonRelease:
        if (event.xbutton.button == Button1) endDrag(view);
        break;
    case EnterNotify:
    case LeaveNotify:
        // The pointer grab ended without a release: broken by the server, or the window
        // (or one of its ancestors) hidden, which ends the grab and shows only as the
        // pointer leaving. Leaving a window still shown is part of a drag.
        if (dragging(view) && (event.xcrossing.mode == NotifyUngrab ||
                               (event.type == LeaveNotify && !viewable(editor))))
            endDrag(view);
        break;
    case UnmapNotify:
        endDrag(view);
        break;
    case DestroyNotify:
        if (event.xdestroywindow.window == editor.window) {
            editor.alive = false;
            endDrag(view);
        }
        break;
    default:
        break;
    }
}

}  // namespace

X11Editor* openX11Editor(unsigned long parent, const EditorView& view) {
    // Window ids never use the top three bits; anything else handed over as a parent (a
    // pointer, garbage) is refused before a connection is even opened.
    if (parent == 0 || parent > 0x1fffffffu) return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    X11Editor* editor = new (std::nothrow) X11Editor;
    if (!editor) {
        XCloseDisplay(display);
        return nullptr;
    }
    ++openEditors;
    editor->display = display;
    editor->view = view;
    bool created;
    {
        ErrorGuard guard(display);
        created = createWindow(*editor, parent);
        created = !guard.failed() && created;
    }
    if (!created) {
        closeX11Editor(editor);
        return nullptr;
    }
    editor->alive = true;
    return editor;
}

void closeX11Editor(X11Editor* editor) {
    if (!editor) return;
    --openEditors;
    {
        ErrorGuard guard(editor->display);
        if (editor->backSurface) cairo_surface_destroy(editor->backSurface);
        if (editor->frame) cairo_surface_destroy(editor->frame);
        if (editor->copyContext) XFreeGC(editor->display, editor->copyContext);
        if (editor->backPixmap) XFreePixmap(editor->display, editor->backPixmap);
        // Already gone with its parent, or never made: the error is caught either way.
        if (editor->window) XDestroyWindow(editor->display, editor->window);
    }
    if (editor->view.drag) endDrag(editor->view);
    XCloseDisplay(editor->display);
    delete editor;
    if (openEditors == 0) releasePanelFonts();
}

void pumpX11Editor(X11Editor* editor) {
    if (!editor || !editor->alive) return;
    ErrorGuard guard(editor->display);
    bool exposed = false;
    while (editor->alive && XPending(editor->display)) {
        XEvent event;
        XNextEvent(editor->display, &event);
        handleEvent(*editor, event, exposed);
    }
    if (!editor->alive) return;
    if (editor->dirty.exchange(false, std::memory_order_relaxed))
        paint(*editor);
    else if (exposed)
        present(*editor);
}

void invalidateX11Editor(X11Editor* editor) {
    if (editor) editor->dirty.store(true, std::memory_order_relaxed);
}

bool x11EditorAlive(const X11Editor* editor) { return editor && editor->alive; }

unsigned long x11EditorWindow(const X11Editor* editor) { return editor ? editor->window : 0; }

int x11EditorConnection(const X11Editor* editor) {
    return editor && editor->display ? ConnectionNumber(editor->display) : -1;
}
