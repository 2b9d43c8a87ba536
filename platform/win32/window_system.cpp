// The desktop's windows on Windows: the cursor, the top-level window under a point, titles, rectangles
// and visibility from the user interface, and plain top-level windows standing in for the simulator's.
#include "platform/window_system.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

HWND AsHandle(PlatformWindow window) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(window));
}
PlatformWindow AsPlatformWindow(HWND window) {
    return static_cast<PlatformWindow>(reinterpret_cast<uintptr_t>(window));
}

// The stand-in windows of this process, so that their pump leaves every other window's messages waiting.
struct TestWindowState {
    bool classRegistered = false;
    std::vector<HWND> windows;
};
TestWindowState& TestWindows() {
    static TestWindowState state;
    return state;
}

const wchar_t testWindowClass[] = L"Talvero Test Window Class";

} // namespace

bool OpenWindowSystem(std::string& whyNot) {
    // A desktop of Windows always takes windows; a session without one (a service, or wine without a
    // display) refuses the first, so one hidden window is made and destroyed to ask, once.
    static bool asked = false;
    static bool open = false;
    static std::string reason;
    if (!asked) {
        asked = true;
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW probeClass{};
        probeClass.cbSize = sizeof probeClass;
        probeClass.lpfnWndProc = DefWindowProcW;
        probeClass.hInstance = instance;
        probeClass.lpszClassName = L"Talvero Desktop Probe";
        RegisterClassExW(&probeClass);
        HWND probe = CreateWindowExW(WS_EX_TOOLWINDOW, probeClass.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1,
                                     nullptr, nullptr, instance, nullptr);
        open = probe != nullptr;
        if (open)
            DestroyWindow(probe);
        else
            reason = "no desktop: a window cannot be made in this session";
    }
    whyNot = reason;
    return open;
}

void CloseWindowSystem() {}

ScreenPoint CursorScreenPosition() {
    POINT point{};
    if (!GetCursorPos(&point)) return {};
    return {static_cast<int32_t>(point.x), static_cast<int32_t>(point.y)};
}

PlatformWindow TopLevelWindowAt(ScreenPoint point) {
    HWND under = WindowFromPoint(POINT{point.x, point.y});
    if (under == nullptr) return 0;
    HWND top = GetAncestor(under, GA_ROOT);
    if (top == nullptr) top = under;
    if (top == GetDesktopWindow()) return 0;
    return AsPlatformWindow(top);
}

std::u16string PlatformWindowTitle(PlatformWindow window) {
    HWND handle = AsHandle(window);
    if (window == 0 || !IsWindow(handle)) return {};
    int length = GetWindowTextLengthW(handle);
    if (length <= 0) return {};
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(handle, text.data(), length + 1);
    if (copied <= 0) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), static_cast<size_t>(copied));
}

bool PlatformWindowExists(PlatformWindow window) {
    return window != 0 && IsWindow(AsHandle(window));
}

bool PlatformWindowVisible(PlatformWindow window) {
    return window != 0 && IsWindowVisible(AsHandle(window));
}

bool PlatformWindowRect(PlatformWindow window, ScreenRect& rect) {
    RECT found{};
    if (window == 0 || !GetWindowRect(AsHandle(window), &found)) return false;
    rect = {static_cast<int32_t>(found.left), static_cast<int32_t>(found.top),
            static_cast<int32_t>(found.right), static_cast<int32_t>(found.bottom)};
    return true;
}

PlatformWindow OpenTestWindow(const std::string& title, int width, int height) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    TestWindowState& state = TestWindows();
    if (!state.classRegistered) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = instance;
        windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
        windowClass.hIconSm = windowClass.hIcon;
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        windowClass.lpszClassName = testWindowClass;
        if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return 0;
        state.classRegistered = true;
    }
    std::wstring wideTitle;
    for (char byte : title) wideTitle.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
    // The outer size that gives the asked-for client area under the frame.
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    HWND window = CreateWindowExW(0, testWindowClass, wideTitle.c_str(), WS_OVERLAPPEDWINDOW, 0, 0,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                  instance, nullptr);
    if (window == nullptr) return 0;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    state.windows.push_back(window);
    return AsPlatformWindow(window);
}

void PumpTestWindows() {
    MSG message;
    for (HWND window : TestWindows().windows) {
        while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void CloseTestWindow(PlatformWindow window) {
    if (window == 0) return;
    std::vector<HWND>& windows = TestWindows().windows;
    windows.erase(std::remove(windows.begin(), windows.end(), AsHandle(window)), windows.end());
    DestroyWindow(AsHandle(window));
}

void MoveCursorTo(ScreenPoint point) {
    SetCursorPos(point.x, point.y);
}
