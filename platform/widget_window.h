// The widget's window and drawing: one borderless, per-pixel translucent window owned by the simulator
// window, its events handed to the widget as small records, and the off-screen ARGB buffer the widget
// draws into and shows. Windows: a layered window, GDI+ (flat API) and UpdateLayeredWindow; Linux: an
// override-redirect window with a 32-bit ARGB visual, drawn with cairo.
#pragma once
#include "platform/window_system.h"

#include <cstdint>
#include <string>

// What happened to the widget window, as the widget's window procedure sees it. The handler is called
// from PumpWidgetEvent, and for `destroyed` also from DestroyWidgetWindow.
enum class WidgetEventKind {
    buttonDown,  // left button pressed inside the window (WM_LBUTTONDOWN)
    buttonUp,    // left button released (WM_LBUTTONUP)
    doubleClick, // second press of a double click (WM_LBUTTONDBLCLK), instead of its buttonDown: Windows
                 // by the class style; Linux when it comes within the double-click time (500 ms) and
                 // distance (4 pixels each way) of the previous press
    mouseMove,   // the cursor moved over the window, or while the button held since a press in it
    paint,       // the window wants painting (WM_PAINT); the handler draws and presents the buffer, the
                 // body brackets it (BeginPaint/EndPaint on Windows)
    shown,       // the window was shown (WM_SHOWWINDOW, wParam TRUE)
    hidden,      // the window was hidden (WM_SHOWWINDOW, wParam FALSE); see parentClosing
    destroyed,   // the window is being destroyed (WM_DESTROY), by DestroyWidgetWindow or by anyone else
};
struct WidgetEvent {
    WidgetEventKind kind = WidgetEventKind::paint;
    bool parentClosing = false; // hidden because the owner was minimised or closed (SW_PARENTCLOSING)
    bool pictureLost = false;   // paint: the window lost what it showed (uncovered without a compositor)
};
using WidgetEventHandler = void (*)(const WidgetEvent& event);

// Graphics start-up (GdiplusStartup and the font family "Arial"; Linux: the font face "Liberation Sans")
// and shut-down (the font family, the buffer below, GdiplusShutdown). Safe to call Stop without Start.
void StartWidgetGraphics();
void StopWidgetGraphics();

// Registers the widget window class once ("Widget Window Class", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS,
// arrow cursor, application icon) with a window procedure that hands the events above to `handler`, and
// declares the process DPI-aware. Linux keeps the handler. Needs OpenWindowSystem to have succeeded for
// windows to appear; calling it without is harmless.
void RegisterWidgetWindowClass(WidgetEventHandler handler);

// Creates the widget window at the screen rectangle (x, y, width, height), owned by `owner` (kept above
// it, hidden and shown with it, never in the task bar), borderless (the style is cleared after creation)
// and per-pixel translucent (WS_EX_LAYERED), titled "Select Widget", and shows it (SW_SHOWNORMAL). The
// window belongs to the caller until DestroyWidgetWindow. 0 when it could not be created.
PlatformWindow CreateWidgetWindow(PlatformWindow owner, int x, int y, int width, int height);
// Destroys the window; the handler receives `destroyed` before this returns. Safe with 0.
void DestroyWidgetWindow(PlatformWindow window);

// Takes at most one waiting window event of this thread and hands it to the handler; events the widget
// does not handle get the platform's default processing and are passed over. Never waits. A window
// asked to repaint (RequestWidgetRepaint) yields `paint` once no other event is waiting. True when an
// event was handed over.
bool PumpWidgetEvent();

// Moves and resizes the window to the screen rectangle (MoveWindow with repaint).
void MoveWidgetWindow(PlatformWindow window, int x, int y, int width, int height);
// Marks the whole window for repainting (UpdateWindow, then InvalidateRect of all of it with erase), so
// that a later PumpWidgetEvent yields `paint`.
void RequestWidgetRepaint(PlatformWindow window);
// Whether the left mouse button is down now, wherever the cursor is (GetAsyncKeyState(VK_LBUTTON) != 0).
bool LeftButtonHeld();
// Screen y of the window's client-area origin minus the top of its outer rectangle: the height of any
// frame left above the client area (0 for a window without one).
int WidgetClientTopOffset(PlatformWindow window);

// The back buffer: one 32-bit ARGB image (PixelFormat32bppARGB) the widget draws into, then hands to the
// window. Colours are 0xAARRGGBB with straight (not premultiplied) alpha. Coordinates are pixels from the
// buffer's top-left, which is the window's top-left when presented. Drawing clips at the buffer's edges.
//
// Creates the buffer width x height, cleared to 0x00000000, if there is none; an existing buffer is kept
// as it is (its size never changes). Drawing calls without a buffer do nothing.
void CreateWidgetBuffer(int width, int height);
void ReleaseWidgetBuffer();
bool WidgetBufferExists();
// Sets every pixel to the colour, replacing what was there (GdipGraphicsClear).
void ClearWidgetBuffer(uint32_t argb);
// Fills the rectangle with the colour, blended over what is there (source-over, GdipFillRectangleI).
void FillWidgetRect(int x, int y, int width, int height, uint32_t argb);
// Draws the text in a 14-pixel regular Arial (Liberation Sans on Linux) in the colour, one bit per
// pixel (no antialiasing: TextRenderingHintSingleBitPerPixel), on one line without wrapping or clipping.
// (x, y) is the top-left of the text's layout box, as GdipDrawString places a string in a zero-sized
// layout rectangle at a point: y is the top of the line box (the font's ascent lies below it), not the
// baseline.
void DrawWidgetBufferText(int x, int y, const std::u16string& text, uint32_t argb);
// Shows the buffer's top-left width x height pixels as the window's whole picture, with the window's
// top-left at the screen point (x, y) (UpdateLayeredWindow, per-pixel alpha, ULW_ALPHA). Failures are
// ignored.
void PresentWidgetBuffer(PlatformWindow window, int x, int y, int width, int height);
// For the tests and the snapshots: one pixel of the buffer (0 outside it or without a buffer), and the
// buffer's top-left width x height pixels saved as a PNG file (false when it could not be written).
uint32_t WidgetBufferPixel(int x, int y);
bool SaveWidgetBufferPng(const std::string& path, int width, int height);
