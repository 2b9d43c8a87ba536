// The widget window on Linux: an override-redirect X window with a 32-bit ARGB visual (translucent where
// a compositor runs, opaque dark without one), kept above and hidden with its owner, drawn with cairo
// into an off-screen ARGB image in Liberation Sans 14 px without antialiasing.
#include "platform/widget_window.h"

#include "platform/linux/x11_display.h"

#include <X11/Xutil.h>
#include <cairo-xlib.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr unsigned long kDoubleClickMillis = 500; // the Windows default double-click time
constexpr int kDoubleClickDistance = 4;           // the Windows default double-click rectangle, each way

struct LinuxWidget {
    WidgetEventHandler handler = nullptr;
    Window window = 0;
    Window owner = 0;
    Window ownerTop = 0; // the owner, or the window manager's frame around it: the root's child
    Window root = 0;     // set while the root's restacking is watched
    Visual* visual = nullptr;
    Colormap colormap = 0;
    bool repaintPending = false;
    bool pictureLost = false; // an Expose came: the next paint must draw whole
    bool ownerHidden = false; // the widget was unmapped because its owner was
    Time lastPress = 0;       // time of the last press that could start a double click
    int lastPressX = 0, lastPressY = 0;
    bool pressCanPair = false; // the last press was a single one
    bool graphics = false;
    cairo_font_face_t* face = nullptr;
    cairo_scaled_font_t* font = nullptr;
    double ascent = 0;
    cairo_surface_t* buffer = nullptr;
    cairo_t* cr = nullptr;
    cairo_surface_t* windowSurface = nullptr;
    int surfaceWidth = 0, surfaceHeight = 0;
    double lineHeight = 0; // the font's ascent and descent
    // What was drawn since the last clear, so that a clear with the same colour resets only that (the
    // buffer is as large as the simulator window, the widget a strip of it).
    bool clearedWhole = false;
    uint32_t clearArgb = 0;
    int dirtyLeft = 0, dirtyTop = 0, dirtyRight = 0, dirtyBottom = 0; // empty when left >= right
};

LinuxWidget& Widget() {
    static LinuxWidget widget;
    return widget;
}

void SetSource(cairo_t* cr, uint32_t argb) {
    cairo_set_source_rgba(cr, (argb >> 16 & 0xFF) / 255.0, (argb >> 8 & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                          (argb >> 24 & 0xFF) / 255.0);
}

void ReleaseWindowSurface() {
    LinuxWidget& w = Widget();
    if (w.windowSurface) cairo_surface_destroy(w.windowSurface);
    w.windowSurface = nullptr;
    w.surfaceWidth = w.surfaceHeight = 0;
}

void MakeFont() {
    LinuxWidget& w = Widget();
    if (w.font) return;
    w.face = cairo_toy_font_face_create("Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_matrix_t size, identity;
    cairo_matrix_init_scale(&size, 14, 14);
    cairo_matrix_init_identity(&identity);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    w.font = cairo_scaled_font_create(w.face, &size, &identity, options);
    cairo_font_options_destroy(options);
    cairo_font_extents_t extents;
    cairo_scaled_font_extents(w.font, &extents);
    w.ascent = extents.ascent;
    w.lineHeight = extents.ascent + extents.descent;
}

// Widens the drawn area by a rectangle.
void MarkDrawn(int left, int top, int right, int bottom) {
    LinuxWidget& w = Widget();
    if (w.dirtyLeft >= w.dirtyRight) {
        w.dirtyLeft = left, w.dirtyTop = top, w.dirtyRight = right, w.dirtyBottom = bottom;
        return;
    }
    w.dirtyLeft = std::min(w.dirtyLeft, left);
    w.dirtyTop = std::min(w.dirtyTop, top);
    w.dirtyRight = std::max(w.dirtyRight, right);
    w.dirtyBottom = std::max(w.dirtyBottom, bottom);
}

// The events the widget asked for: its own, its owner's, and the root window's restacking of its
// children. (For structure events xany.window is the window the event was asked on.)
Bool EventForWidget(Display*, XEvent* event, XPointer) {
    const LinuxWidget& w = Widget();
    Window from = event->xany.window;
    return (w.window != 0 && from == w.window) || (w.owner != 0 && from == w.owner) ||
           (w.root != 0 && from == w.root);
}

// One X event as the widget sees it; false for events it does not take.
bool Translate(const XEvent& event, WidgetEvent& out) {
    LinuxWidget& w = Widget();
    Display* display = X11Display();
    Window from = event.xany.window;
    if (from == w.root) {
        // A window manager raises the simulator's frame when it is clicked: the widget goes back on top.
        if (event.type == ConfigureNotify && event.xconfigure.window == w.ownerTop && w.window)
            XRaiseWindow(display, w.window);
        return false;
    }
    if (from == w.owner) {
        if (event.type == UnmapNotify && w.window && !w.ownerHidden) {
            w.ownerHidden = true;
            XUnmapWindow(display, w.window);
            ForgetWindowFacts();
        } else if (event.type == MapNotify && w.window && w.ownerHidden) {
            w.ownerHidden = false;
            XMapRaised(display, w.window);
            ForgetWindowFacts();
        }
        return false;
    }
    if (from != w.window) return false;
    switch (event.type) {
    case ButtonPress: {
        if (event.xbutton.button != Button1) return false;
        const XButtonEvent& b = event.xbutton;
        bool pair = w.pressCanPair && b.time - w.lastPress <= kDoubleClickMillis &&
                    std::abs(b.x_root - w.lastPressX) <= kDoubleClickDistance &&
                    std::abs(b.y_root - w.lastPressY) <= kDoubleClickDistance;
        w.pressCanPair = !pair;
        w.lastPress = b.time;
        w.lastPressX = b.x_root;
        w.lastPressY = b.y_root;
        out.kind = pair ? WidgetEventKind::doubleClick : WidgetEventKind::buttonDown;
        return true;
    }
    case ButtonRelease:
        if (event.xbutton.button != Button1) return false;
        out.kind = WidgetEventKind::buttonUp;
        return true;
    case MotionNotify: {
        // Like WM_MOUSEMOVE, the moves waiting behind this one are one move.
        XEvent later;
        while (XCheckTypedWindowEvent(display, w.window, MotionNotify, &later)) {
        }
        out.kind = WidgetEventKind::mouseMove;
        return true;
    }
    case MapNotify:
        out.kind = WidgetEventKind::shown;
        return true;
    case UnmapNotify:
        out.kind = WidgetEventKind::hidden;
        out.parentClosing = w.ownerHidden;
        return true;
    case DestroyNotify:
        w.window = 0;
        ReleaseWindowSurface();
        out.kind = WidgetEventKind::destroyed;
        return true;
    case Expose:
        w.repaintPending = true;
        w.pictureLost = true;
        return false;
    default:
        return false;
    }
}

} // namespace

void StartWidgetGraphics() {
    Widget().graphics = true;
    MakeFont();
}

void StopWidgetGraphics() {
    LinuxWidget& w = Widget();
    ReleaseWidgetBuffer();
    ReleaseWindowSurface();
    if (w.font) cairo_scaled_font_destroy(w.font);
    if (w.face) cairo_font_face_destroy(w.face);
    w.font = nullptr;
    w.face = nullptr;
    w.graphics = false;
}

void RegisterWidgetWindowClass(WidgetEventHandler handler) {
    Widget().handler = handler;
}

PlatformWindow CreateWidgetWindow(PlatformWindow owner, int x, int y, int width, int height) {
    Display* display = X11Display();
    if (!display) return 0;
    LinuxWidget& w = Widget();
    int screen = DefaultScreen(display);
    Window root = RootWindow(display, screen);
    XVisualInfo info;
    XSetWindowAttributes attributes{};
    unsigned long mask = CWOverrideRedirect | CWBackPixel | CWBorderPixel | CWEventMask;
    int depth = CopyFromParent;
    w.visual = DefaultVisual(display, screen);
    if (XMatchVisualInfo(display, screen, 32, TrueColor, &info)) {
        w.visual = info.visual;
        depth = 32;
        w.colormap = XCreateColormap(display, root, info.visual, AllocNone);
        attributes.colormap = w.colormap;
        mask |= CWColormap;
    }
    attributes.override_redirect = True;
    attributes.background_pixel = 0;
    attributes.border_pixel = 0;
    attributes.event_mask =
        ButtonPressMask | ButtonReleaseMask | PointerMotionMask | StructureNotifyMask | ExposureMask;
    X11ClearErrors();
    Window window = XCreateWindow(display, root, x, y, static_cast<unsigned>(width > 0 ? width : 1),
                                  static_cast<unsigned>(height > 0 ? height : 1), 0, depth, InputOutput,
                                  w.visual, mask, &attributes);
    XSync(display, False);
    if (!window || X11ErrorSeen()) return 0;
    XStoreName(display, window, "Select Widget");
    XSetTransientForHint(display, window, owner);
    // The owner's map and unmap hide and show the widget, as Windows does with an owned window.
    XWindowAttributes ownerAttributes;
    if (XGetWindowAttributes(display, owner, &ownerAttributes) && !X11ErrorSeen()) {
        XSelectInput(display, owner, ownerAttributes.your_event_mask | StructureNotifyMask);
    }
    // Restacking of the root's children tells when the owner's frame comes over the widget.
    Window top = owner;
    for (int depth = 0; depth < 16; ++depth) {
        Window rootOfTree = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        bool ok = XQueryTree(display, top, &rootOfTree, &parent, &children, &count) && !X11ErrorSeen();
        if (children) XFree(children);
        if (!ok || parent == 0 || parent == root) break;
        top = parent;
    }
    XWindowAttributes rootAttributes;
    if (XGetWindowAttributes(display, root, &rootAttributes))
        XSelectInput(display, root, rootAttributes.your_event_mask | SubstructureNotifyMask);
    XMapRaised(display, window);
    XSync(display, False);
    ForgetWindowFacts();
    w.window = window;
    w.owner = owner;
    w.ownerTop = top;
    w.root = root;
    w.ownerHidden = false;
    w.repaintPending = true;
    return window;
}

void DestroyWidgetWindow(PlatformWindow window) {
    LinuxWidget& w = Widget();
    Display* display = X11Display();
    if (!display || window == 0) return;
    if (window == w.window) ReleaseWindowSurface();
    X11ClearErrors();
    XDestroyWindow(display, window);
    ForgetWindowFacts();
    if (window == w.window && w.root) {
        XWindowAttributes rootAttributes;
        if (XGetWindowAttributes(display, w.root, &rootAttributes))
            XSelectInput(display, w.root, rootAttributes.your_event_mask & ~SubstructureNotifyMask);
    }
    XSync(display, False);
    if (window == w.window) {
        XEvent discarded;
        while (XCheckIfEvent(display, &discarded, EventForWidget, nullptr)) {
        }
        w.window = 0;
        w.owner = 0;
        w.ownerTop = 0;
        w.root = 0;
        if (w.handler) w.handler({WidgetEventKind::destroyed, false});
    }
}

bool PumpWidgetEvent() {
    LinuxWidget& w = Widget();
    Display* display = X11Display();
    if (!display || !w.handler) return false;
    XEvent event;
    while (XCheckIfEvent(display, &event, EventForWidget, nullptr)) {
        WidgetEvent out;
        if (Translate(event, out)) {
            w.handler(out);
            return true;
        }
    }
    if (w.repaintPending && w.window) {
        w.repaintPending = false;
        w.handler({WidgetEventKind::paint, false, w.pictureLost});
        w.pictureLost = false;
        return true;
    }
    return false;
}

void MoveWidgetWindow(PlatformWindow window, int x, int y, int width, int height) {
    Display* display = X11Display();
    if (!display || window == 0) return;
    XMoveResizeWindow(display, window, x, y, static_cast<unsigned>(width > 0 ? width : 1),
                      static_cast<unsigned>(height > 0 ? height : 1));
    XRaiseWindow(display, window);
    XFlush(display);
    ForgetWindowFacts();
    Widget().repaintPending = true;
}

void RequestWidgetRepaint(PlatformWindow window) {
    if (window != 0 && window == Widget().window) Widget().repaintPending = true;
}

bool LeftButtonHeld() {
    Display* display = X11Display();
    if (!display) return false;
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &winX, &winY, &mask);
    return (mask & Button1Mask) != 0;
}

int WidgetClientTopOffset(PlatformWindow) {
    return 0;
}

void CreateWidgetBuffer(int width, int height) {
    LinuxWidget& w = Widget();
    if (w.buffer) return;
    w.buffer =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width > 0 ? width : 1, height > 0 ? height : 1);
    w.cr = cairo_create(w.buffer);
    w.clearedWhole = false;
    w.dirtyLeft = w.dirtyRight = 0;
    MakeFont();
}

void ReleaseWidgetBuffer() {
    LinuxWidget& w = Widget();
    if (w.cr) cairo_destroy(w.cr);
    if (w.buffer) cairo_surface_destroy(w.buffer);
    w.cr = nullptr;
    w.buffer = nullptr;
}

bool WidgetBufferExists() {
    return Widget().buffer != nullptr;
}

void ClearWidgetBuffer(uint32_t argb) {
    LinuxWidget& w = Widget();
    cairo_t* cr = w.cr;
    if (!cr) return;
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    SetSource(cr, argb);
    if (w.clearedWhole && w.clearArgb == argb) {
        // Everything but the drawn area already has this colour.
        if (w.dirtyLeft < w.dirtyRight && w.dirtyTop < w.dirtyBottom) {
            cairo_rectangle(cr, w.dirtyLeft, w.dirtyTop, w.dirtyRight - w.dirtyLeft,
                            w.dirtyBottom - w.dirtyTop);
            cairo_fill(cr);
        }
    } else {
        cairo_paint(cr);
        w.clearedWhole = true;
        w.clearArgb = argb;
    }
    w.dirtyLeft = w.dirtyRight = 0;
}

void FillWidgetRect(int x, int y, int width, int height, uint32_t argb) {
    cairo_t* cr = Widget().cr;
    if (!cr || width <= 0 || height <= 0) return;
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    SetSource(cr, argb);
    cairo_rectangle(cr, x, y, width, height);
    cairo_fill(cr);
    MarkDrawn(x, y, x + width, y + height);
}

void DrawWidgetBufferText(int x, int y, const std::u16string& text, uint32_t argb) {
    LinuxWidget& w = Widget();
    if (!w.cr || !w.font || text.empty()) return;
    std::string utf8 = X11Utf8(text);
    cairo_set_operator(w.cr, CAIRO_OPERATOR_OVER);
    cairo_set_scaled_font(w.cr, w.font);
    SetSource(w.cr, argb);
    // GDI+ puts the top of the line box at the point; cairo wants the baseline.
    cairo_move_to(w.cr, x, y + static_cast<int>(w.ascent + 0.5));
    cairo_show_text(w.cr, utf8.c_str());
    // The text's own extent, with a pixel to spare on every side.
    cairo_text_extents_t extents;
    cairo_scaled_font_text_extents(w.font, utf8.c_str(), &extents);
    const int right =
        x + static_cast<int>(std::ceil(std::max(extents.x_advance, extents.x_bearing + extents.width))) + 2;
    MarkDrawn(x - 2, y - 2, std::max(right, x + 1), y + static_cast<int>(std::ceil(w.lineHeight)) + 4);
}

void PresentWidgetBuffer(PlatformWindow window, int, int, int width, int height) {
    LinuxWidget& w = Widget();
    Display* display = X11Display();
    if (!display || !w.buffer || window == 0 || window != w.window || width <= 0 || height <= 0) return;
    if (!w.windowSurface) {
        w.windowSurface = cairo_xlib_surface_create(display, window, w.visual, width, height);
    } else if (w.surfaceWidth != width || w.surfaceHeight != height) {
        cairo_xlib_surface_set_size(w.windowSurface, width, height);
    }
    w.surfaceWidth = width;
    w.surfaceHeight = height;
    cairo_surface_flush(w.buffer);
    cairo_t* cr = cairo_create(w.windowSurface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, w.buffer, 0, 0);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(w.windowSurface);
    XFlush(display);
}

uint32_t WidgetBufferPixel(int x, int y) {
    cairo_surface_t* buffer = Widget().buffer;
    if (!buffer) return 0;
    cairo_surface_flush(buffer);
    int width = cairo_image_surface_get_width(buffer), height = cairo_image_surface_get_height(buffer);
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    const unsigned char* row =
        cairo_image_surface_get_data(buffer) + y * cairo_image_surface_get_stride(buffer);
    uint32_t premultiplied = reinterpret_cast<const uint32_t*>(row)[x];
    uint32_t alpha = premultiplied >> 24;
    if (alpha == 0) return 0;
    auto straight = [alpha](uint32_t c) { return (c * 255 + alpha / 2) / alpha; };
    return alpha << 24 | straight(premultiplied >> 16 & 0xFF) << 16 |
           straight(premultiplied >> 8 & 0xFF) << 8 | straight(premultiplied & 0xFF);
}

bool SaveWidgetBufferPng(const std::string& path, int width, int height) {
    cairo_surface_t* buffer = Widget().buffer;
    if (!buffer || width <= 0 || height <= 0) return false;
    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(picture);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, buffer, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    bool saved = cairo_surface_write_to_png(picture, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(picture);
    return saved;
}
