// The widget's window and drawing on Windows: a layered window owned by the simulator's window, its
// messages handed to the widget as event records, and a GDI+ ARGB back buffer shown with
// UpdateLayeredWindow.
#include "platform/widget_window.h"

#include <windows.h>
// GDI+ after windows.h and objidl.h (PROPID, IStream), which the lean windows.h leaves out.
#include <objidl.h>

#include <gdiplus.h>

#include <algorithm>
#include <string>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

const wchar_t widgetClassName[] = L"Widget Window Class";

// A rectangle of the buffer, right and bottom exclusive; empty when right <= left or bottom <= top.
struct Area {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
};

// What the window and the drawing keep for the whole run. Made once rather than per line or per pass,
// with nothing drawn or shown any different: the font and the brush; the bitmap the window is handed.
// A clear with the colour of the previous clear resets only what was drawn since (the rest of a buffer
// as large as the simulator window holds that colour still): GDI+ would otherwise rewrite millions of
// pixels every pass.
struct WindowsWidgetState {
    WidgetEventHandler handler = nullptr;
    bool classRegistered = false;
    bool handedOver = false; // the current pump reached the handler
    HDC paintDc = nullptr;   // the device context of the paint in progress
    ULONG_PTR gdiplusToken = 0;
    GpFontFamily* fontFamily = nullptr;
    GpFont* font = nullptr;
    GpSolidFill* brush = nullptr;
    GpBitmap* buffer = nullptr;
    GpGraphics* graphics = nullptr;
    int bufferWidth = 0;
    int bufferHeight = 0;
    bool uniform = false; // outside `drawn`, every pixel holds `clearColour`
    uint32_t clearColour = 0;
    Area drawn;              // what fills and text may have touched since the last clear
    HBITMAP shown = nullptr; // premultiplied copy of the buffer's top-left, for UpdateLayeredWindow
    void* shownBits = nullptr;
    int shownWidth = 0;
    int shownHeight = 0;
};
WindowsWidgetState& State() {
    static WindowsWidgetState state;
    return state;
}

HWND AsHandle(PlatformWindow window) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(window));
}
PlatformWindow AsPlatformWindow(HWND window) {
    return static_cast<PlatformWindow>(reinterpret_cast<uintptr_t>(window));
}

void HandOver(WidgetEventKind kind, bool parentClosing = false) {
    WindowsWidgetState& state = State();
    state.handedOver = true;
    if (state.handler != nullptr) state.handler(WidgetEvent{kind, parentClosing});
}

LRESULT CALLBACK WidgetWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        HandOver(WidgetEventKind::buttonDown);
        return 0;
    case WM_LBUTTONUP:
        HandOver(WidgetEventKind::buttonUp);
        return 0;
    case WM_LBUTTONDBLCLK:
        HandOver(WidgetEventKind::doubleClick);
        return 0;
    case WM_MOUSEMOVE:
        HandOver(WidgetEventKind::mouseMove);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        State().paintDc = dc;
        HandOver(WidgetEventKind::paint);
        State().paintDc = nullptr;
        EndPaint(window, &paint);
        return 0;
    }
    case WM_SHOWWINDOW:
        if (wParam)
            HandOver(WidgetEventKind::shown);
        else
            HandOver(WidgetEventKind::hidden, lParam == SW_PARENTCLOSING);
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_DESTROY:
        HandOver(WidgetEventKind::destroyed);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool GraphicsStarted() {
    return State().gdiplusToken != 0;
}

} // namespace

void StartWidgetGraphics() {
    WindowsWidgetState& state = State();
    if (state.gdiplusToken != 0) return;
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) return;
    state.gdiplusToken = token;
    if (GdipCreateFontFamilyFromName(L"Arial", nullptr, &state.fontFamily) != Ok) state.fontFamily = nullptr;
    if (state.fontFamily != nullptr &&
        GdipCreateFont(state.fontFamily, 14.0f, FontStyleRegular, UnitPixel, &state.font) != Ok)
        state.font = nullptr;
    if (GdipCreateSolidFill(0xFF000000, &state.brush) != Ok) state.brush = nullptr;
}

void StopWidgetGraphics() {
    WindowsWidgetState& state = State();
    if (state.gdiplusToken == 0) return;
    ReleaseWidgetBuffer();
    if (state.brush != nullptr) GdipDeleteBrush(state.brush);
    if (state.font != nullptr) GdipDeleteFont(state.font);
    if (state.fontFamily != nullptr) GdipDeleteFontFamily(state.fontFamily);
    state.brush = nullptr;
    state.font = nullptr;
    state.fontFamily = nullptr;
    GdiplusShutdown(state.gdiplusToken);
    state.gdiplusToken = 0;
}

void RegisterWidgetWindowClass(WidgetEventHandler handler) {
    WindowsWidgetState& state = State();
    state.handler = handler;
    if (!state.classRegistered) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        windowClass.lpfnWndProc = WidgetWindowProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
        windowClass.hIconSm = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.lpszClassName = widgetClassName;
        state.classRegistered =
            RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }
    SetProcessDPIAware();
}

PlatformWindow CreateWidgetWindow(PlatformWindow owner, int x, int y, int width, int height) {
    HWND window = CreateWindowExW(WS_EX_LAYERED | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE, widgetClassName,
                                  L"Select Widget", WS_OVERLAPPEDWINDOW, x, y, width, height, AsHandle(owner),
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) return 0;
    SetWindowLongW(window, GWL_STYLE, 0);
    ShowWindow(window, SW_SHOWNORMAL);
    return AsPlatformWindow(window);
}

void DestroyWidgetWindow(PlatformWindow window) {
    if (window != 0) DestroyWindow(AsHandle(window));
}

bool PumpWidgetEvent() {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
    WindowsWidgetState& state = State();
    state.handedOver = false;
    TranslateMessage(&message);
    DispatchMessageW(&message);
    bool handedOver = state.handedOver;
    state.handedOver = false;
    return handedOver;
}

void MoveWidgetWindow(PlatformWindow window, int x, int y, int width, int height) {
    MoveWindow(AsHandle(window), x, y, width, height, TRUE);
}

void RequestWidgetRepaint(PlatformWindow window) {
    UpdateWindow(AsHandle(window));
    InvalidateRect(AsHandle(window), nullptr, TRUE);
}

bool LeftButtonHeld() {
    return GetAsyncKeyState(VK_LBUTTON) != 0;
}

int WidgetClientTopOffset(PlatformWindow window) {
    RECT outer{};
    POINT origin{0, 0};
    if (!GetWindowRect(AsHandle(window), &outer) || !ClientToScreen(AsHandle(window), &origin)) return 0;
    return static_cast<int>(origin.y - outer.top);
}

void CreateWidgetBuffer(int width, int height) {
    WindowsWidgetState& state = State();
    if (state.buffer != nullptr || width <= 0 || height <= 0) return;
    StartWidgetGraphics();
    if (!GraphicsStarted()) return;
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &bitmap) != Ok) return;
    GpGraphics* graphics = nullptr;
    if (GdipGetImageGraphicsContext(bitmap, &graphics) != Ok) {
        GdipDisposeImage(bitmap);
        return;
    }
    GdipSetSmoothingMode(graphics, SmoothingModeHighQuality);
    GdipSetTextRenderingHint(graphics, TextRenderingHintSingleBitPerPixel);
    state.buffer = bitmap;
    state.graphics = graphics;
    state.bufferWidth = width;
    state.bufferHeight = height;
    state.uniform = false;
    ClearWidgetBuffer(0x00000000);
}

void ReleaseWidgetBuffer() {
    WindowsWidgetState& state = State();
    if (state.graphics != nullptr) GdipDeleteGraphics(state.graphics);
    if (state.buffer != nullptr) GdipDisposeImage(state.buffer);
    if (state.shown != nullptr) DeleteObject(state.shown);
    state.graphics = nullptr;
    state.buffer = nullptr;
    state.bufferWidth = 0;
    state.bufferHeight = 0;
    state.uniform = false;
    state.drawn = Area{};
    state.shown = nullptr;
    state.shownBits = nullptr;
    state.shownWidth = 0;
    state.shownHeight = 0;
}

bool WidgetBufferExists() {
    return State().buffer != nullptr;
}

namespace {

// Widens what the last clear has to undo by the area (clipped to the buffer).
void MarkDrawn(Area area) {
    WindowsWidgetState& state = State();
    area.left = std::max(area.left, 0);
    area.top = std::max(area.top, 0);
    area.right = std::min(area.right, state.bufferWidth);
    area.bottom = std::min(area.bottom, state.bufferHeight);
    if (area.Empty()) return;
    Area& drawn = state.drawn;
    if (drawn.Empty()) {
        drawn = area;
        return;
    }
    drawn.left = std::min(drawn.left, area.left);
    drawn.top = std::min(drawn.top, area.top);
    drawn.right = std::max(drawn.right, area.right);
    drawn.bottom = std::max(drawn.bottom, area.bottom);
}

// Sets every pixel of the area to the colour, replacing what was there.
void SetPixels(const Area& area, uint32_t argb) {
    WindowsWidgetState& state = State();
    GpRect rect(area.left, area.top, area.right - area.left, area.bottom - area.top);
    BitmapData data{};
    if (GdipBitmapLockBits(state.buffer, &rect, ImageLockModeWrite, PixelFormat32bppARGB, &data) != Ok) {
        // Not lockable: GDI+ clears, clipped to the area.
        GdipSetClipRectI(state.graphics, rect.X, rect.Y, rect.Width, rect.Height, CombineModeReplace);
        GdipGraphicsClear(state.graphics, argb);
        GdipResetClip(state.graphics);
        return;
    }
    for (UINT row = 0; row < data.Height; ++row) {
        uint32_t* pixel = reinterpret_cast<uint32_t*>(static_cast<BYTE*>(data.Scan0) + row * data.Stride);
        std::fill(pixel, pixel + data.Width, argb);
    }
    GdipBitmapUnlockBits(state.buffer, &data);
}

} // namespace

void ClearWidgetBuffer(uint32_t argb) {
    WindowsWidgetState& state = State();
    if (state.buffer == nullptr) return;
    if (state.uniform && argb == state.clearColour) {
        if (!state.drawn.Empty()) SetPixels(state.drawn, argb);
    } else {
        SetPixels(Area{0, 0, state.bufferWidth, state.bufferHeight}, argb);
    }
    state.uniform = true;
    state.clearColour = argb;
    state.drawn = Area{};
}

void FillWidgetRect(int x, int y, int width, int height, uint32_t argb) {
    WindowsWidgetState& state = State();
    if (state.graphics == nullptr || state.brush == nullptr) return;
    GdipSetSolidFillColor(state.brush, argb);
    GdipFillRectangleI(state.graphics, state.brush, x, y, width, height);
    MarkDrawn(Area{x - 1, y - 1, x + width + 1, y + height + 1});
}

void DrawWidgetBufferText(int x, int y, const std::u16string& text, uint32_t argb) {
    WindowsWidgetState& state = State();
    if (state.graphics == nullptr || state.font == nullptr || state.brush == nullptr || text.empty()) return;
    GdipSetSolidFillColor(state.brush, argb);
    RectF layout(static_cast<REAL>(x), static_cast<REAL>(y), 0.0f, 0.0f);
    GdipDrawString(state.graphics, reinterpret_cast<const WCHAR*>(text.c_str()),
                   static_cast<INT>(text.size()), state.font, &layout, nullptr, state.brush);
    // One unwrapped, unclipped line of a 14-pixel font: from a little left of x to the buffer's right
    // edge, from a little above y to well below the line's 17 pixels.
    MarkDrawn(Area{x - 8, y - 8, state.bufferWidth, y + 32});
}

void PresentWidgetBuffer(PlatformWindow window, int x, int y, int width, int height) {
    WindowsWidgetState& state = State();
    if (state.buffer == nullptr || window == 0 || width <= 0 || height <= 0) return;
    // The window's share of the buffer, premultiplied as UpdateLayeredWindow wants it, in a kept top-down
    // DIB section; made again only when the window's size changes.
    int shownWidth = std::min(width, state.bufferWidth);
    int shownHeight = std::min(height, state.bufferHeight);
    if (state.shown == nullptr || shownWidth != state.shownWidth || shownHeight != state.shownHeight) {
        if (state.shown != nullptr) DeleteObject(state.shown);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = shownWidth;
        info.bmiHeader.biHeight = -shownHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        state.shown = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &state.shownBits, nullptr, 0);
        state.shownWidth = state.shown != nullptr ? shownWidth : 0;
        state.shownHeight = state.shown != nullptr ? shownHeight : 0;
        if (state.shown == nullptr) return;
    }
    GpRect rect(0, 0, shownWidth, shownHeight);
    BitmapData data{};
    data.Width = static_cast<UINT>(shownWidth);
    data.Height = static_cast<UINT>(shownHeight);
    data.Stride = shownWidth * 4;
    data.PixelFormat = PixelFormat32bppPARGB;
    data.Scan0 = state.shownBits;
    if (GdipBitmapLockBits(state.buffer, &rect, ImageLockModeRead | ImageLockModeUserInputBuf,
                           PixelFormat32bppPARGB, &data) != Ok)
        return;
    GdipBitmapUnlockBits(state.buffer, &data);

    HWND handle = AsHandle(window);
    HDC windowDc = state.paintDc != nullptr ? state.paintDc : GetDC(handle);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HGDIOBJ previous = SelectObject(memoryDc, state.shown);
    POINT destination{x, y};
    SIZE size{width, height};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(handle, windowDc, &destination, &size, memoryDc, &source, 0, &blend, ULW_ALPHA);
    SelectObject(memoryDc, previous);
    DeleteDC(memoryDc);
    if (windowDc != state.paintDc) ReleaseDC(handle, windowDc);
}

uint32_t WidgetBufferPixel(int x, int y) {
    WindowsWidgetState& state = State();
    if (state.buffer == nullptr || x < 0 || y < 0 || x >= state.bufferWidth || y >= state.bufferHeight)
        return 0;
    ARGB colour = 0;
    if (GdipBitmapGetPixel(state.buffer, x, y, &colour) != Ok) return 0;
    return colour;
}

bool SaveWidgetBufferPng(const std::string& path, int width, int height) {
    WindowsWidgetState& state = State();
    if (state.buffer == nullptr || width <= 0 || height <= 0) return false;
    width = std::min(width, state.bufferWidth);
    height = std::min(height, state.bufferHeight);
    GpBitmap* area = nullptr;
    if (GdipCloneBitmapAreaI(0, 0, width, height, PixelFormat32bppARGB, state.buffer, &area) != Ok)
        return false;
    // The PNG encoder of GDI+: image/png.
    const CLSID pngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    std::wstring widePath;
    int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), nullptr, 0);
    if (length > 0) {
        widePath.resize(static_cast<size_t>(length));
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), widePath.data(), length);
    }
    bool saved = !widePath.empty() && GdipSaveImageToFile(area, widePath.c_str(), &pngEncoder, nullptr) == Ok;
    GdipDisposeImage(area);
    return saved;
}
