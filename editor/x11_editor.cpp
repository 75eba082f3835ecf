#include "editor/x11_editor.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <atomic>
#include <bit>
#include <cstdlib>
#include <new>
#include <utility>

#include "editor/cairo_painter.h"

// Last: the extension interface (XESetWireToError) comes with min and max macros.
#include <X11/Xlibint.h>
#undef min
#undef max

// The screen's face with the glow over it, at one glow colour. The glow is most of a
// repaint's cost and pulses through a few dozen colours while the Drive stays put.
struct GlowPicture {
    uint32_t colour = 0;
    cairo_surface_t* pixels = nullptr;  // glowBox's size
};
constexpr int glowPictureCount = 32;

struct X11Editor {
    Display* display = nullptr;
    Window window = 0;
    Colormap colormap = 0;
    GC copyContext = nullptr;
    // The panel is painted into an image surface, as the PNG writer paints it, and its
    // pixels go to the window as they are (the window's visual is 24-bit true colour, the
    // very layout of Cairo's RGB24), each changed box in one request, so no partial frame
    // is ever visible. Cairo's own X11 surfaces are not used: they set the process's X
    // error handler for a while. The backdrop (all that never changes) is painted once,
    // at the opening; a paint starts each changed part from it.
    cairo_surface_t* backdrop = nullptr;
    cairo_surface_t* frame = nullptr;
    XImage* frameImage = nullptr;  // frame's pixels as Xlib sees them
    GlowPicture glows[glowPictureCount];
    int nextGlow = 0;  // the slot a new glow picture takes
    PanelValues shown{};  // what frame holds
    bool framePainted = false;
    EditorView view{};
    std::atomic<bool> dirty{true};
    bool exposed = false;  // the whole panel is to be shown again
    bool covered = false;  // fully, by other windows
    bool alive = false;
    int xErrors = 0;  // caused on this editor's connection
};

namespace {

// Editor records alive on this thread (each is opened, idled and closed on one thread);
// the thread's painter fonts are let go when its last one closes.
thread_local int openEditors = 0;

// X errors: Xlib's error handler is one for the whole process and belongs to the host.
// The editor leaves it alone and catches the errors of its own connection before they
// reach it, with the connection's own wire-to-error hooks (one per error code, kept in the
// Display). The hook finds the editor's error count on the display's extension data.
int keepRecord(XExtData*) { return 0; }  // the count belongs to the editor record

Bool countOwnError(Display* display, XErrorEvent*, xError*) {
    XEDataObject object;
    object.display = display;
    for (XExtData* data = *XEHeadOfExtensionList(object); data; data = data->next)
        if (data->free_private == keepRecord) ++*reinterpret_cast<int*>(data->private_data);
    return False;  // handled: Xlib passes it on to no handler
}

bool catchOwnErrors(X11Editor& editor) {
    // Xlib frees the record with the display (XCloseDisplay), calling keepRecord first.
    auto* data = static_cast<XExtData*>(std::calloc(1, sizeof(XExtData)));
    XExtCodes* codes = XAddExtension(editor.display);
    if (!data || !codes) {
        std::free(data);
        return false;
    }
    data->number = codes->extension;
    data->free_private = keepRecord;
    data->private_data = reinterpret_cast<XPointer>(&editor.xErrors);
    XEDataObject object;
    object.display = editor.display;
    XAddToExtensionList(XEHeadOfExtensionList(object), data);
    for (int code = 1; code < 256; ++code) XESetWireToError(editor.display, code, countOwnError);
    return true;
}

// Waits for the server to answer everything sent, so that late errors are counted too.
bool failedSince(X11Editor& editor, int errorsBefore) {
    XSync(editor.display, False);
    return editor.xErrors != errorsBefore;
}

void setFixedSize(Display* display, Window window) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    hints->flags = PSize | PMinSize | PMaxSize | PBaseSize;
    hints->width = hints->min_width = hints->max_width = hints->base_width = panelWidth;
    hints->height = hints->min_height = hints->max_height = hints->base_height = panelHeight;
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
}

// An XImage over the frame's own pixels (Cairo's RGB24: one native 32-bit word a pixel).
XImage* wrapFrame(Display* display, Visual* visual, cairo_surface_t* frame) {
    XImage* image = XCreateImage(display, visual, 24, ZPixmap, 0,
                                 reinterpret_cast<char*>(cairo_image_surface_get_data(frame)),
                                 panelWidth, panelHeight, 32,
                                 cairo_image_surface_get_stride(frame));
    if (!image) return nullptr;
    image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    if (image->bits_per_pixel != 32) {
        image->data = nullptr;  // the pixels stay the surface's
        XDestroyImage(image);
        return nullptr;
    }
    return image;
}

bool createWindow(X11Editor& editor, Window parent) {
    Display* display = editor.display;
    XWindowAttributes parentAttributes;
    if (!XGetWindowAttributes(display, parent, &parentAttributes)) return false;
    if (parentAttributes.c_class != InputOutput) return false;
    XVisualInfo visual;
    if (!XMatchVisualInfo(display, XScreenNumberOfScreen(parentAttributes.screen), 24,
                          TrueColor, &visual) ||
        visual.red_mask != 0xff0000 || visual.green_mask != 0xff00 || visual.blue_mask != 0xff)
        return false;
    editor.colormap = XCreateColormap(display, parent, visual.visual, AllocNone);

    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;  // no clearing before a copy: no flicker
    attributes.border_pixel = 0;
    attributes.colormap = editor.colormap;
    attributes.bit_gravity = NorthWestGravity;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask |
                            ButtonMotionMask | EnterWindowMask | LeaveWindowMask |
                            StructureNotifyMask | VisibilityChangeMask;
    editor.window = XCreateWindow(
        display, parent, 0, 0, panelWidth, panelHeight, 0, 24, InputOutput, visual.visual,
        CWBackPixmap | CWBorderPixel | CWColormap | CWBitGravity | CWEventMask, &attributes);
    if (!editor.window) return false;
    XStoreName(display, editor.window, "Tolvan Velmora");
    setFixedSize(display, editor.window);
    // XEmbed's client information: protocol version 0, and the window wants to be mapped.
    const long embedInfo[2] = {0, 1};
    const Atom embedAtom = XInternAtom(display, "_XEMBED_INFO", False);
    XChangeProperty(display, editor.window, embedAtom, embedAtom, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(embedInfo), 2);

    editor.copyContext = XCreateGC(display, editor.window, 0, nullptr);
    editor.frame = cairo_image_surface_create(CAIRO_FORMAT_RGB24, panelWidth, panelHeight);
    editor.backdrop = cairo_image_surface_create(CAIRO_FORMAT_RGB24, panelWidth, panelHeight);
    for (cairo_surface_t* surface : {editor.frame, editor.backdrop})
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return false;
    editor.frameImage = wrapFrame(display, visual.visual, editor.frame);
    if (!editor.copyContext || !editor.frameImage) return false;
    cairo_t* cr = cairo_create(editor.backdrop);
    paintPanelBackdropCairo(cr, panelWidth, panelHeight);
    cairo_destroy(cr);
    XMapWindow(display, editor.window);
    return true;
}

void present(X11Editor& editor, const PanelBox& box) {
    XPutImage(editor.display, editor.window, editor.copyContext, editor.frameImage, box.x,
              box.y, box.x, box.y, box.width, box.height);
}

constexpr PanelBox wholePanel{0, 0, panelWidth, panelHeight};

// Copies one box of the source surface onto cr's surface, the box then its clip.
void restoreBox(cairo_t* cr, cairo_surface_t* source, const PanelBox& box) {
    cairo_reset_clip(cr);
    cairo_rectangle(cr, box.x, box.y, box.width, box.height);
    cairo_clip(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
}

// The screen's face and the glow at the values into frame, from a kept picture when one
// has their colour, else painted and then kept.
void showGlow(X11Editor& editor, cairo_t* cr, const PanelValues& values) {
    const uint32_t colour =
        glowCentreColour(values.parameters[parameterDrive], values.animationPhase);
    for (const GlowPicture& glow : editor.glows)
        if (glow.pixels && glow.colour == colour) {
            cairo_save(cr);
            cairo_translate(cr, glowBox.x, glowBox.y);
            restoreBox(cr, glow.pixels, {0, 0, glowBox.width, glowBox.height});
            cairo_restore(cr);
            return;
        }
    paintGlowCairo(cr, values);
    GlowPicture& kept = editor.glows[editor.nextGlow];
    editor.nextGlow = (editor.nextGlow + 1) % glowPictureCount;
    if (!kept.pixels)
        kept.pixels = cairo_image_surface_create(CAIRO_FORMAT_RGB24, glowBox.width, glowBox.height);
    if (cairo_surface_status(kept.pixels) != CAIRO_STATUS_SUCCESS) {  // out of memory
        cairo_surface_destroy(kept.pixels);
        kept.pixels = nullptr;
        return;
    }
    kept.colour = colour;
    cairo_t* copy = cairo_create(kept.pixels);
    cairo_translate(copy, -glowBox.x, -glowBox.y);
    restoreBox(copy, editor.frame, glowBox);
    cairo_destroy(copy);
    cairo_surface_flush(kept.pixels);
}

// Repaints the parts whose values changed since the last paint (all of them the first
// time) and shows just those boxes.
void paint(X11Editor& editor) {
    const PanelValues now = panelValues(editor.view);
    const bool all = !editor.framePainted;
    PanelBox changed[1 + knobCount];
    int changedCount = 0;
    cairo_t* cr = cairo_create(editor.frame);
    if (all) restoreBox(cr, editor.backdrop, wholePanel);
    if (all || screenContentsDiffer(now, editor.shown)) {
        restoreBox(cr, editor.backdrop, screenPartBox);
        showGlow(editor, cr, now);
        paintCurveAndReadoutCairo(cr, now);
        changed[changedCount++] = screenPartBox;
    }
    for (int knob = 0; knob < knobCount; ++knob) {
        const int parameter = knobTable[knob].parameter;
        if (!all && now.parameters[parameter] == editor.shown.parameters[parameter]) continue;
        changed[changedCount] = knobPartBox(knob);
        restoreBox(cr, editor.backdrop, changed[changedCount]);
        paintKnobCairo(cr, knob, now.parameters[parameter]);
        ++changedCount;
    }
    cairo_destroy(cr);
    cairo_surface_flush(editor.frame);
    editor.shown = now;
    editor.framePainted = true;
    if (all) {
        changed[0] = wholePanel;
        changedCount = 1;
    }
    if (changedCount == 0) return;

    for (int i = 0; i < changedCount; ++i) present(editor, changed[i]);
}

bool viewable(const X11Editor& editor) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(editor.display, editor.window, &attributes) &&
           attributes.map_state == IsViewable;
}

void handleEvent(X11Editor& editor, const XEvent& event) {
    const EditorView& view = editor.view;
    switch (event.type) {
    case Expose:
        editor.exposed = true;
        break;
    case VisibilityNotify:
        editor.covered = event.xvisibility.state == VisibilityFullyObscured;
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
    const bool created = catchOwnErrors(*editor) && createWindow(*editor, parent) &&
                         !failedSince(*editor, 0);
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
    Display* display = editor->display;
    if (editor->frameImage) {
        editor->frameImage->data = nullptr;  // the pixels are the frame's
        XDestroyImage(editor->frameImage);
    }
    for (cairo_surface_t* surface : {editor->frame, editor->backdrop})
        if (surface) cairo_surface_destroy(surface);
    for (const GlowPicture& glow : editor->glows)
        if (glow.pixels) cairo_surface_destroy(glow.pixels);
    if (editor->copyContext) XFreeGC(display, editor->copyContext);
    // Already gone with its parent, or never made: the error goes to the editor's count.
    if (editor->window) XDestroyWindow(display, editor->window);
    if (editor->colormap) XFreeColormap(display, editor->colormap);
    if (editor->view.drag) endDrag(editor->view);
    XCloseDisplay(display);
    delete editor;
    if (openEditors == 0) releasePanelFonts();
}

namespace {

void takeEvents(X11Editor& editor) {
    while (editor.alive && XPending(editor.display)) {
        XEvent event;
        XNextEvent(editor.display, &event);
        handleEvent(editor, event);
    }
}

}  // namespace

void pumpX11Editor(X11Editor* editor) {
    if (!editor || !editor->alive) return;
    const int errorsBefore = editor->xErrors;
    takeEvents(*editor);
    if (!editor->alive) return;
    if (editor->dirty.exchange(false, std::memory_order_relaxed)) paint(*editor);
    if (std::exchange(editor->exposed, false)) present(*editor, wholePanel);
    // An error on the editor's own connection (its window taken away under it) ends the
    // editor; the next idle finds it gone.
    if (editor->xErrors != errorsBefore) editor->alive = false;
    XFlush(editor->display);
}

bool x11EditorVisible(X11Editor* editor) {
    if (!editor || !editor->alive) return false;
    const int errorsBefore = editor->xErrors;
    takeEvents(*editor);
    const bool visible = editor->alive && !editor->covered && viewable(*editor);
    if (editor->xErrors != errorsBefore) editor->alive = false;
    if (!visible) editor->exposed = true;
    return visible && editor->alive;
}

void invalidateX11Editor(X11Editor* editor) {
    if (editor) editor->dirty.store(true, std::memory_order_relaxed);
}

void showX11Editor(X11Editor* editor, bool shown) {
    if (!editor || !editor->alive) return;
    if (shown)
        XMapWindow(editor->display, editor->window);
    else
        XUnmapWindow(editor->display, editor->window);
    XSync(editor->display, False);  // done when the host next looks
}

bool x11EditorAlive(const X11Editor* editor) { return editor && editor->alive; }

unsigned long x11EditorWindow(const X11Editor* editor) { return editor ? editor->window : 0; }

int x11EditorConnection(const X11Editor* editor) {
    return editor && editor->display ? ConnectionNumber(editor->display) : -1;
}
