// The widget window: created over the simulator window once that is found, placed and dragged each
// pass, drawn off-screen in full every pass and shown per-pixel translucent; its end ends the program.
#pragma once
#include "platform/widget_window.h"
#include "widget/widget_record.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// What one paint puts in the buffer: the background's band, each text line, and where the window stands.
struct WidgetTextItem {
    int paletteIndex = 0;
    int x = 0, y = 0;
    std::string text;
    bool operator==(const WidgetTextItem&) const = default;
};
struct WidgetPicture {
    int top = 0, contentHeight = 0;
    std::vector<WidgetTextItem> texts;
    std::array<int, 4> place{}; // the window's L, T, W, H when it was handed the picture
    bool operator==(const WidgetPicture&) const = default;
};

struct WidgetWindowState {
    WidgetWndRecord WidgetWnd;
    WidgetPicture shownPicture; // what the window shows now
    WidgetPicture nextPicture;  // this pass's layout, kept to reuse its strings
    bool pictureLost = false;   // the window lost what it showed: the next paint draws whatever changed
    bool widgetHeld = false;    // hidden with its owner: neither created, moved nor repainted
    bool available = true;      // a desktop to show the widget on was found at start-up
    bool classRegistered = false;
    std::vector<std::string> snapshotAnswers; // the expected answers of the last snapshot
    bool snapshotTaken = false;
    int snapshotCount = 0;
};
WidgetWindowState& WidgetWindow();
void ResetWidgetWindow();

// Layout.
inline constexpr int kWidgetWidth = 400;
inline constexpr int kHeadingX = 10;
inline constexpr int kLineX = 20;
inline constexpr int kFirstRowTop = 4;           // below the top offset
inline constexpr int kWidgetHomeOffset = 1000;   // from the simulator window's left and top
inline constexpr int kWidgetHomeHeightCut = 300; // the home height is the simulator window's minus this
inline constexpr uint32_t kBackgroundArgb = 0xB2000000;
inline constexpr uint32_t kFirstPaintArgb = 0xC8000000;
inline constexpr uint32_t kClearArgb = 0x01000000; // invisible, but still the window's for the mouse
inline constexpr uint32_t kShadowArgb = 0xFF646464;
// The folder whose presence asks for a picture of the widget each time the expected answers change.
inline constexpr const char* kWidgetSnapshotFolder = "./data/widget-snapshots";

struct PaletteColour {
    float red, green, blue;
};
extern const std::array<PaletteColour, 22> WidgetPalette;
// A palette entry as opaque 0xAARRGGBB: each float times 255, truncated, modulo 256.
uint32_t PaletteArgb(int index);

// The frame's steps: graphics start-up (and the desktop: without one the widget stays away and the log
// says why, once), the class, the widget's pass (tracking, ensure, one event, placement), the destroy at
// quit and the graphics shut-down.
void StartWidgetSubsystem();
void RegisterWidgetClass();
void TrackAndPlaceWidget();
void DestroyWidget();
void ShutdownWidgetSubsystem();

void EnsureWidgetWindow();
void RefreshWidgetWnd();
void PlaceWidgetWindow();
// The window procedure: the mouse state machine, paint, show and hide, destroy.
void WidgetWindowProc(const WidgetEvent& event);
// Lays the widget out (lines rebuilt, rows and content height set) and draws and presents it when its
// picture differs from what the window shows.
void PaintWidget();
// The layout of this pass: lines rebuilt from the flow engine, rows and content height, the texts.
void LayOutWidget(WidgetPicture& picture);
void DrawWidgetPicture(const WidgetPicture& picture);
// Lays out and draws into the buffer at once.
void DrawWidget();
void DrawWidgetText(int paletteIndex, int x, int y, const std::string& text);
