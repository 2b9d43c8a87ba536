// The table of the platform services the widget calls, filled with the platform's own.
#include "widget/widget_platform.h"

WidgetPlatformOps PlatformWidgetOps() {
    WidgetPlatformOps ops;
    ops.openWindowSystem = OpenWindowSystem;
    ops.closeWindowSystem = CloseWindowSystem;
    ops.cursorPosition = CursorScreenPosition;
    ops.windowAt = TopLevelWindowAt;
    ops.windowTitle = PlatformWindowTitle;
    ops.windowExists = PlatformWindowExists;
    ops.windowVisible = PlatformWindowVisible;
    ops.windowRect = PlatformWindowRect;
    ops.startGraphics = StartWidgetGraphics;
    ops.stopGraphics = StopWidgetGraphics;
    ops.registerClass = RegisterWidgetWindowClass;
    ops.createWindow = CreateWidgetWindow;
    ops.destroyWindow = DestroyWidgetWindow;
    ops.pumpEvent = PumpWidgetEvent;
    ops.moveWindow = MoveWidgetWindow;
    ops.requestRepaint = RequestWidgetRepaint;
    ops.leftButtonHeld = LeftButtonHeld;
    ops.clientTopOffset = WidgetClientTopOffset;
    ops.createBuffer = CreateWidgetBuffer;
    ops.bufferExists = WidgetBufferExists;
    ops.clearBuffer = ClearWidgetBuffer;
    ops.fillRect = FillWidgetRect;
    ops.drawText = DrawWidgetBufferText;
    ops.present = PresentWidgetBuffer;
    ops.savePng = SaveWidgetBufferPng;
    return ops;
}

WidgetPlatformOps& WidgetPlatform() {
    static WidgetPlatformOps ops = PlatformWidgetOps();
    return ops;
}
