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
#include "editor/panel_size.h"

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
    Window parent = 0;
    PanelSize size{panelWidth, panelHeight};  // the window's pixels
    double scale = 1.0;                       // pixels per panel unit
    bool followsParent = false;
    Visual* visual = nullptr;
    Time lastPress = 0;  // for telling a double-click
    int lastPressKnob = -1;
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

// A fixed editor's one size, or a scaling one's range and aspect.
void setSizeHints(Display* display, Window window, PanelSize size, bool scaling) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    hints->flags = PSize | PMinSize | PMaxSize | PBaseSize;
    hints->width = hints->min_width = hints->max_width = hints->base_width = int(size.width);
    hints->height = hints->min_height = hints->max_height = hints->base_height = int(size.height);
    if (scaling) {
        hints->flags |= PAspect;
        hints->min_width = minimumPanelWidth;
        hints->min_height = int(panelHeightFor(minimumPanelWidth));
        hints->max_width = maximumPanelWidth;
        hints->max_height = int(panelHeightFor(maximumPanelWidth));
        hints->min_aspect.x = hints->max_aspect.x = panelWidth;
        hints->min_aspect.y = hints->max_aspect.y = panelHeight;
    }
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
}

// An XImage over the frame's own pixels (Cairo's RGB24: one native 32-bit word a pixel).
XImage* wrapFrame(Display* display, Visual* visual, cairo_surface_t* frame) {
    XImage* image = XCreateImage(display, visual, 24, ZPixmap, 0,
                                 reinterpret_cast<char*>(cairo_image_surface_get_data(frame)),
                                 cairo_image_surface_get_width(frame),
                                 cairo_image_surface_get_height(frame), 32,
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

void releaseSurfaces(X11Editor& editor) {
    if (editor.frameImage) {
        editor.frameImage->data = nullptr;  // the pixels are the frame's
        XDestroyImage(editor.frameImage);
        editor.frameImage = nullptr;
    }
    for (cairo_surface_t** surface : {&editor.frame, &editor.backdrop}) {
        if (*surface) cairo_surface_destroy(*surface);
        *surface = nullptr;
    }
    for (GlowPicture& glow : editor.glows) {
        if (glow.pixels) cairo_surface_destroy(glow.pixels);
        glow = GlowPicture{};
    }
}

// Draws in panel units on a context of the window's pixels.
void scaleToPanel(const X11Editor& editor, cairo_t* cr) {
    if (editor.scale != 1.0) cairo_scale(cr, editor.scale, editor.scale);
}

// The frame and the backdrop at the editor's size, the backdrop painted once for it.
bool makeSurfaces(X11Editor& editor) {
    const int width = int(editor.size.width), height = int(editor.size.height);
    editor.frame = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    editor.backdrop = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    for (cairo_surface_t* surface : {editor.frame, editor.backdrop})
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return false;
    editor.frameImage = wrapFrame(editor.display, editor.visual, editor.frame);
    if (!editor.frameImage) return false;
    cairo_t* cr = cairo_create(editor.backdrop);
    scaleToPanel(editor, cr);
    paintPanelBackdropCairo(cr, static_cast<int32_t>(std::lround(width / editor.scale)),
                            static_cast<int32_t>(std::lround(height / editor.scale)));
    cairo_destroy(cr);
    editor.framePainted = false;
    return true;
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
        display, parent, 0, 0, editor.size.width, editor.size.height, 0, 24, InputOutput,
        visual.visual, CWBackPixmap | CWBorderPixel | CWColormap | CWBitGravity | CWEventMask,
        &attributes);
    if (!editor.window) return false;
    editor.visual = visual.visual;
    XStoreName(display, editor.window, "Tolvan Velmora");
    setSizeHints(display, editor.window, editor.size, editor.view.scalingAndGestures);
    // XEmbed's client information: protocol version 0, and the window wants to be mapped.
    const long embedInfo[2] = {0, 1};
    const Atom embedAtom = XInternAtom(display, "_XEMBED_INFO", False);
    XChangeProperty(display, editor.window, embedAtom, embedAtom, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(embedInfo), 2);

    editor.copyContext = XCreateGC(display, editor.window, 0, nullptr);
    if (!editor.copyContext || !makeSurfaces(editor)) return false;
    XMapWindow(display, editor.window);
    return true;
}

void present(X11Editor& editor, const PanelBox& box) {
    XPutImage(editor.display, editor.window, editor.copyContext, editor.frameImage, box.x,
              box.y, box.x, box.y, box.width, box.height);
}

PanelBox wholeWindow(const X11Editor& editor) {
    return {0, 0, int32_t(editor.size.width), int32_t(editor.size.height)};
}

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
    const PanelBox box = pixelBoxOf(glowBox, editor.scale);
    for (const GlowPicture& glow : editor.glows)
        if (glow.pixels && glow.colour == colour) {
            cairo_save(cr);
            cairo_translate(cr, box.x, box.y);
            restoreBox(cr, glow.pixels, {0, 0, box.width, box.height});
            cairo_restore(cr);
            return;
        }
    cairo_save(cr);
    scaleToPanel(editor, cr);
    paintGlowCairo(cr, values);
    cairo_restore(cr);
    GlowPicture& kept = editor.glows[editor.nextGlow];
    editor.nextGlow = (editor.nextGlow + 1) % glowPictureCount;
    if (!kept.pixels)
        kept.pixels = cairo_image_surface_create(CAIRO_FORMAT_RGB24, box.width, box.height);
    if (cairo_surface_status(kept.pixels) != CAIRO_STATUS_SUCCESS) {  // out of memory
        cairo_surface_destroy(kept.pixels);
        kept.pixels = nullptr;
        return;
    }
    kept.colour = colour;
    cairo_t* copy = cairo_create(kept.pixels);
    cairo_translate(copy, -box.x, -box.y);
    restoreBox(copy, editor.frame, box);
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
    if (all) restoreBox(cr, editor.backdrop, wholeWindow(editor));
    if (all || screenContentsDiffer(now, editor.shown)) {
        changed[changedCount] = pixelBoxOf(screenPartBox, editor.scale);
        restoreBox(cr, editor.backdrop, changed[changedCount++]);
        showGlow(editor, cr, now);
        cairo_save(cr);
        scaleToPanel(editor, cr);
        paintCurveAndReadoutCairo(cr, now);
        cairo_restore(cr);
    }
    for (int knob = 0; knob < knobCount; ++knob) {
        const int parameter = knobTable[knob].parameter;
        if (!all && now.parameters[parameter] == editor.shown.parameters[parameter]) continue;
        changed[changedCount] = pixelBoxOf(knobPartBox(knob), editor.scale);
        restoreBox(cr, editor.backdrop, changed[changedCount]);
        cairo_save(cr);
        scaleToPanel(editor, cr);
        paintKnobCairo(cr, knob, now.parameters[parameter]);
        cairo_restore(cr);
        ++changedCount;
    }
    cairo_destroy(cr);
    cairo_surface_flush(editor.frame);
    editor.shown = now;
    editor.framePainted = true;
    if (all) {
        changed[0] = wholeWindow(editor);
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

float inPanelUnits(const X11Editor& editor, int pixels) {
    return static_cast<float>(pixels / editor.scale);
}

bool fine(const X11Editor& editor, unsigned int state) {
    return editor.view.scalingAndGestures && (state & ShiftMask);
}

constexpr Time doubleClickMilliseconds = 400;

// The left button, the wheel's buttons and, for a scaling editor, a second press on the
// same knob soon after the first (X has no double-click of its own).
void handlePress(X11Editor& editor, const XButtonEvent& press) {
    const EditorView& view = editor.view;
    const float x = inPanelUnits(editor, press.x), y = inPanelUnits(editor, press.y);
    if (!view.scalingAndGestures) {
        if (press.button == Button1) pressAt(view, x, y);
        return;
    }
    bool changed = false;
    if (press.button == Button4 || press.button == Button5) {
        changed = wheelAt(view, x, y, press.button == Button4 ? 1.0f : -1.0f, fine(editor, press.state));
    } else if (press.button == Button1) {
        const int knob = hitKnob(x, y);
        const bool second = knob >= 0 && knob == editor.lastPressKnob &&
                            press.time - editor.lastPress <= doubleClickMilliseconds;
        editor.lastPress = press.time;
        editor.lastPressKnob = second ? -1 : knob;
        if (second)
            changed = resetKnobAt(view, x, y);
        else
            pressAt(view, x, y, fine(editor, press.state));
    }
    if (changed) editor.dirty.store(true, std::memory_order_relaxed);
}

void resizeToFit(X11Editor& editor, uint32_t width, uint32_t height);

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
        handlePress(editor, event.xbutton);
        break;
    case MotionNotify:
        // Motion without the button held means the release went elsewhere.
        if (!(event.xmotion.state & Button1Mask))
            endDrag(view);
        else if (dragTo(view, inPanelUnits(editor, event.xmotion.y), fine(editor, event.xmotion.state))) {
            editor.dirty.store(true, std::memory_order_relaxed);
            editor.lastPressKnob = -1;  // a press that dragged is no click of a double-click
        }
        break;
    case ConfigureNotify:
        if (editor.followsParent && event.xconfigure.window == editor.parent)
            resizeToFit(editor, uint32_t(std::max(event.xconfigure.width, 1)),
                        uint32_t(std::max(event.xconfigure.height, 1)));
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

X11Editor* openX11Editor(unsigned long parent, const EditorView& view, PanelSize size) {
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
    editor->parent = parent;
    if (view.scalingAndGestures) {
        editor->size = size;
        editor->scale = panelScaleOf(size.width, size.height);
    }
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
    releaseSurfaces(*editor);
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
    if (std::exchange(editor->exposed, false)) present(*editor, wholeWindow(*editor));
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

namespace {

void resizeToFit(X11Editor& editor, uint32_t width, uint32_t height) {
    resizeX11Editor(&editor, panelSizeWithin(width, height));
}

}  // namespace

bool resizeX11Editor(X11Editor* editor, PanelSize size) {
    if (!editor || !editor->alive || !editor->view.scalingAndGestures) return false;
    if (size == editor->size) return true;
    releaseSurfaces(*editor);
    editor->size = size;
    editor->scale = panelScaleOf(size.width, size.height);
    XResizeWindow(editor->display, editor->window, size.width, size.height);
    setSizeHints(editor->display, editor->window, size, true);
    if (!makeSurfaces(*editor)) {  // out of memory: the editor ends
        releaseSurfaces(*editor);
        editor->alive = false;
        return false;
    }
    editor->dirty.store(true, std::memory_order_relaxed);
    XFlush(editor->display);
    return true;
}

PanelSize x11EditorSize(const X11Editor* editor) {
    return editor ? editor->size : PanelSize{panelWidth, panelHeight};
}

void followX11Parent(X11Editor* editor) {
    if (!editor || !editor->alive || !editor->view.scalingAndGestures) return;
    editor->followsParent = true;
    XSelectInput(editor->display, editor->parent, StructureNotifyMask);
    // A parent already given its size fits the panel now; one the host has yet to lay out
    // (smaller than the smallest panel) does when its size comes.
    XWindowAttributes attributes;
    if (XGetWindowAttributes(editor->display, editor->parent, &attributes) &&
        attributes.width >= int(minimumPanelWidth) && attributes.height >= int(panelHeightFor(minimumPanelWidth)))
        resizeToFit(*editor, uint32_t(attributes.width), uint32_t(attributes.height));
}
