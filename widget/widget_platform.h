// The platform services the widget uses, gathered in one table so that tests can put a fake desktop in
// their place. The program uses the platform's own (PlatformWidgetOps).
#pragma once
#include "platform/widget_window.h"
#include "platform/window_system.h"

#include <cstdint>
#include <string>

struct WidgetPlatformOps {
    // The desktop (platform/window_system.h).
    bool (*openWindowSystem)(std::string& whyNot) = nullptr;
    void (*closeWindowSystem)() = nullptr;
    ScreenPoint (*cursorPosition)() = nullptr;
    PlatformWindow (*windowAt)(ScreenPoint point) = nullptr;
    std::u16string (*windowTitle)(PlatformWindow window) = nullptr;
    bool (*windowExists)(PlatformWindow window) = nullptr;
    bool (*windowVisible)(PlatformWindow window) = nullptr;
    bool (*windowRect)(PlatformWindow window, ScreenRect& rect) = nullptr;
    // The widget window (platform/widget_window.h).
    void (*startGraphics)() = nullptr;
    void (*stopGraphics)() = nullptr;
    void (*registerClass)(WidgetEventHandler handler) = nullptr;
    PlatformWindow (*createWindow)(PlatformWindow owner, int x, int y, int width, int height) = nullptr;
    void (*destroyWindow)(PlatformWindow window) = nullptr;
    bool (*pumpEvent)() = nullptr;
    void (*moveWindow)(PlatformWindow window, int x, int y, int width, int height) = nullptr;
    void (*requestRepaint)(PlatformWindow window) = nullptr;
    bool (*leftButtonHeld)() = nullptr;
    int (*clientTopOffset)(PlatformWindow window) = nullptr;
    // The back buffer.
    void (*createBuffer)(int width, int height) = nullptr;
    bool (*bufferExists)() = nullptr;
    void (*clearBuffer)(uint32_t argb) = nullptr;
    void (*fillRect)(int x, int y, int width, int height, uint32_t argb) = nullptr;
    void (*drawText)(int x, int y, const std::u16string& text, uint32_t argb) = nullptr;
    void (*present)(PlatformWindow window, int x, int y, int width, int height) = nullptr;
    bool (*savePng)(const std::string& path, int width, int height) = nullptr;
};

// The platform's own services.
WidgetPlatformOps PlatformWidgetOps();
// The services the widget calls; the platform's until a test sets others.
WidgetPlatformOps& WidgetPlatform();
