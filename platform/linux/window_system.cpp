// The desktop's windows on Linux: the X server named by DISPLAY (XWayland under a Wayland desktop, where
// a simulator running under Proton has its window), asked through Xlib.
#include "platform/window_system.h"

#include "platform/linux/x11_display.h"

#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xutil.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <vector>

namespace {

struct X11Connection {
    Display* display = nullptr;
    bool tried = false;
    bool opened = false;
    std::string whyNot;
    bool errorSeen = false;
    Atom netWmName = None;
    Atom utf8String = None;
    Atom wmState = None;
};

X11Connection& Connection() {
    static X11Connection connection;
    return connection;
}

// The simulator stand-in's windows (test windows) have a connection of their own, as a program of their
// own would: in the tests and benchmarks the stand-in runs on a thread of the program's process, and the
// program closes its connection at shut-down, which would take the stand-in's window with it.
// It is closed with its last window, so that a test's private X server may go away after it.
struct TestWindowConnection {
    std::mutex lock;
    Display* display = nullptr;
    int windows = 0;
};

TestWindowConnection& TestWindows() {
    static TestWindowConnection connection;
    return connection;
}

int TrapError(Display* display, XErrorEvent*) {
    if (display == Connection().display) Connection().errorSeen = true;
    return 0;
}

Window Root() {
    return DefaultRootWindow(X11Display());
}

// What the server said of a window, kept for a moment: each pass asks about the same two windows several
// times (is it there, is it shown, where is it), and each of those questions is a round trip to the
// server. The three questions go out together (one round trip), and the answers are reused for at most
// kFactsMicros and forgotten as soon as this process changes a window; a window moved by someone else is
// seen at the next pass, as before.
struct WindowFacts {
    Window window = 0;
    int64_t fetchedMicros = 0;
    bool exists = false;
    bool viewable = false;
    int x = 0, y = 0; // the top left corner inside the border, on the screen
    int width = 0, height = 0, border = 0;
};
constexpr int64_t kFactsMicros = 2000;

struct FactsCache {
    std::mutex lock; // the simulator stand-in may open and close its windows from a thread of its own
    WindowFacts entries[4];
    size_t next = 0;
};

FactsCache& Facts() {
    static FactsCache cache;
    return cache;
}

int64_t NowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Asks the server the three questions at once; a window that is gone answers each with an error, which
// comes back here rather than to the error trap.
void FetchFacts(WindowFacts& facts) {
    xcb_connection_t* c = XGetXCBConnection(X11Display());
    const xcb_window_t window = static_cast<xcb_window_t>(facts.window);
    xcb_get_window_attributes_cookie_t attributesAsked = xcb_get_window_attributes(c, window);
    xcb_get_geometry_cookie_t geometryAsked = xcb_get_geometry(c, window);
    xcb_translate_coordinates_cookie_t placeAsked =
        xcb_translate_coordinates(c, window, static_cast<xcb_window_t>(Root()), 0, 0);
    xcb_generic_error_t* error[3] = {nullptr, nullptr, nullptr};
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, attributesAsked, &error[0]);
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, geometryAsked, &error[1]);
    xcb_translate_coordinates_reply_t* place = xcb_translate_coordinates_reply(c, placeAsked, &error[2]);
    facts.exists = attributes && geometry && place;
    if (facts.exists) {
        facts.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        facts.x = place->dst_x;
        facts.y = place->dst_y;
        facts.width = geometry->width;
        facts.height = geometry->height;
        facts.border = geometry->border_width;
    }
    std::free(attributes);
    std::free(geometry);
    std::free(place);
    for (xcb_generic_error_t* e : error) std::free(e);
}

// The window's facts, asked for now unless known from a moment ago. Called with the cache's lock held.
const WindowFacts& FactsOf(Window window) {
    FactsCache& cache = Facts();
    const int64_t now = NowMicros();
    for (WindowFacts& entry : cache.entries)
        if (entry.window == window && now - entry.fetchedMicros < kFactsMicros) return entry;
    WindowFacts& facts = cache.entries[cache.next++ % std::size(cache.entries)];
    facts = WindowFacts{};
    facts.window = window;
    facts.fetchedMicros = now;
    FetchFacts(facts);
    return facts;
}

bool HasProperty(Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    X11ClearErrors();
    int status = XGetWindowProperty(X11Display(), window, property, 0, 0, False, AnyPropertyType, &type,
                                    &format, &count, &after, &data);
    if (data) XFree(data);
    return status == Success && !X11ErrorSeen() && type != None;
}

// A window manager puts each application window inside a frame of its own; the application's window is
// the one below the frame that carries WM_STATE. Without a window manager the top-level window is it.
Window ClientWindowOf(Window top) {
    X11Connection& x = Connection();
    std::deque<std::pair<Window, int>> queue{{top, 0}};
    while (!queue.empty()) {
        auto [window, depth] = queue.front();
        queue.pop_front();
        if (HasProperty(window, x.wmState)) return window;
        if (depth >= 3) continue;
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        X11ClearErrors();
        if (XQueryTree(X11Display(), window, &root, &parent, &children, &count) && !X11ErrorSeen()) {
            for (unsigned i = 0; i < count; ++i) queue.push_back({children[i], depth + 1});
        }
        if (children) XFree(children);
    }
    return top;
}

std::string PropertyBytes(Window window, Atom property, Atom& type) {
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    type = None;
    X11ClearErrors();
    int status = XGetWindowProperty(X11Display(), window, property, 0, 4096, False, AnyPropertyType, &type,
                                    &format, &count, &after, &data);
    std::string bytes;
    if (status == Success && !X11ErrorSeen() && data && format == 8) {
        bytes.assign(reinterpret_cast<const char*>(data), count);
    }
    if (data) XFree(data);
    return bytes;
}

} // namespace

Display* X11Display() {
    return Connection().display;
}
void X11ClearErrors() {
    Connection().errorSeen = false;
}
bool X11ErrorSeen() {
    return Connection().errorSeen;
}

std::string X11Utf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | c >> 6));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | c >> 12));
            out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | c >> 18));
            out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u16string X11Utf16(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char lead = static_cast<unsigned char>(utf8[i]);
        int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= utf8.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        uint32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += static_cast<size_t>(extra) + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

bool OpenWindowSystem(std::string& whyNot) {
    X11Connection& x = Connection();
    if (!x.tried) {
        x.tried = true;
        const char* name = std::getenv("DISPLAY");
        if (!name || !*name) {
            x.whyNot = "no display";
        } else if (XInitThreads(), !(x.display = XOpenDisplay(nullptr))) {
            x.whyNot = std::string("the X server at ") + name + " refused the connection";
        } else {
            // Xlib was made safe for threads before the connection: the simulator stand-in may open its
            // window from a thread of its own inside the same process, as in the tests and benchmarks.
            x.opened = true;
            XSetErrorHandler(TrapError);
            x.netWmName = XInternAtom(x.display, "_NET_WM_NAME", False);
            x.utf8String = XInternAtom(x.display, "UTF8_STRING", False);
            x.wmState = XInternAtom(x.display, "WM_STATE", False);
        }
    }
    whyNot = x.whyNot;
    return x.opened;
}

void CloseWindowSystem() {
    X11Connection& x = Connection();
    if (x.display) XCloseDisplay(x.display);
    x = X11Connection();
    ForgetWindowFacts();
}

ScreenPoint CursorScreenPosition() {
    ScreenPoint point;
    if (!X11Display()) return point;
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned mask = 0;
    if (XQueryPointer(X11Display(), Root(), &root, &child, &rootX, &rootY, &winX, &winY, &mask)) {
        point.x = rootX;
        point.y = rootY;
    }
    return point;
}

PlatformWindow TopLevelWindowAt(ScreenPoint point) {
    if (!X11Display()) return 0;
    int x = 0, y = 0;
    Window child = 0;
    X11ClearErrors();
    if (!XTranslateCoordinates(X11Display(), Root(), Root(), point.x, point.y, &x, &y, &child) ||
        child == 0) {
        return 0;
    }
    return ClientWindowOf(child);
}

std::u16string PlatformWindowTitle(PlatformWindow window) {
    if (!X11Display() || window == 0) return {};
    X11Connection& x = Connection();
    Atom type = None;
    std::string bytes = PropertyBytes(window, x.netWmName, type);
    if (type == x.utf8String && !bytes.empty()) return X11Utf16(bytes);
    bytes = PropertyBytes(window, XA_WM_NAME, type);
    if (type == x.utf8String) return X11Utf16(bytes);
    std::u16string title;
    for (char c : bytes) title.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return title;
}

void ForgetWindowFacts() {
    FactsCache& cache = Facts();
    std::lock_guard<std::mutex> hold(cache.lock);
    for (WindowFacts& entry : cache.entries) entry = WindowFacts{};
}

bool PlatformWindowExists(PlatformWindow window) {
    if (!X11Display() || window == 0) return false;
    std::lock_guard<std::mutex> hold(Facts().lock);
    return FactsOf(window).exists;
}

bool PlatformWindowVisible(PlatformWindow window) {
    if (!X11Display() || window == 0) return false;
    std::lock_guard<std::mutex> hold(Facts().lock);
    const WindowFacts& facts = FactsOf(window);
    return facts.exists && facts.viewable;
}

bool PlatformWindowRect(PlatformWindow window, ScreenRect& rect) {
    if (!X11Display() || window == 0) return false;
    std::lock_guard<std::mutex> hold(Facts().lock);
    const WindowFacts& facts = FactsOf(window);
    if (!facts.exists) return false;
    rect.left = facts.x - facts.border;
    rect.top = facts.y - facts.border;
    rect.right = facts.x + facts.width + facts.border;
    rect.bottom = facts.y + facts.height + facts.border;
    return true;
}

PlatformWindow OpenTestWindow(const std::string& title, int width, int height) {
    std::string whyNot;
    if (!OpenWindowSystem(whyNot)) return 0; // the atoms, and Xlib made safe for threads
    TestWindowConnection& t = TestWindows();
    std::lock_guard<std::mutex> hold(t.lock);
    if (!t.display && !(t.display = XOpenDisplay(nullptr))) return 0;
    Display* display = t.display;
    int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0,
                                        static_cast<unsigned>(width > 0 ? width : 1),
                                        static_cast<unsigned>(height > 0 ? height : 1), 0,
                                        BlackPixel(display, screen), 0x2F4F6F);
    std::string latin1Title = title;
    XStoreName(display, window, latin1Title.c_str());
    std::u16string wide;
    for (char c : title) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    std::string utf8 = X11Utf8(wide);
    XChangeProperty(display, window, Connection().netWmName, Connection().utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    XSizeHints hints{};
    hints.flags = USPosition | PPosition;
    hints.x = 0;
    hints.y = 0;
    XSetWMNormalHints(display, window, &hints);
    XMapRaised(display, window);
    XSync(display, False);
    ++t.windows;
    ForgetWindowFacts();
    return window;
}

void PumpTestWindows() {
    TestWindowConnection& t = TestWindows();
    std::lock_guard<std::mutex> hold(t.lock);
    if (t.display) XFlush(t.display);
}

void CloseTestWindow(PlatformWindow window) {
    TestWindowConnection& t = TestWindows();
    std::lock_guard<std::mutex> hold(t.lock);
    if (!t.display || window == 0) return;
    XDestroyWindow(t.display, window);
    XSync(t.display, False);
    if (--t.windows <= 0) {
        XCloseDisplay(t.display);
        t.display = nullptr;
        t.windows = 0;
    }
    ForgetWindowFacts();
}

void MoveCursorTo(ScreenPoint point) {
    TestWindowConnection& t = TestWindows();
    std::lock_guard<std::mutex> hold(t.lock);
    Display* display = t.display ? t.display : X11Display();
    if (!display) return;
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, point.x, point.y);
    XSync(display, False);
}
