// The widget's window and drawing: a silent stand-in until the platform's own body comes; no window is
// ever made and nothing is drawn.
#include "platform/widget_window.h"

void StartWidgetGraphics() {}
void StopWidgetGraphics() {}
void RegisterWidgetWindowClass(WidgetEventHandler) {}
PlatformWindow CreateWidgetWindow(PlatformWindow, int, int, int, int) {
    return 0;
}
void DestroyWidgetWindow(PlatformWindow) {}
bool PumpWidgetEvent() {
    return false;
}
void MoveWidgetWindow(PlatformWindow, int, int, int, int) {}
void RequestWidgetRepaint(PlatformWindow) {}
bool LeftButtonHeld() {
    return false;
}
int WidgetClientTopOffset(PlatformWindow) {
    return 0;
}
void CreateWidgetBuffer(int, int) {}
void ReleaseWidgetBuffer() {}
bool WidgetBufferExists() {
    return false;
}
void ClearWidgetBuffer(uint32_t) {}
void FillWidgetRect(int, int, int, int, uint32_t) {}
void DrawWidgetBufferText(int, int, const std::u16string&, uint32_t) {}
void PresentWidgetBuffer(PlatformWindow, int, int, int, int) {}
uint32_t WidgetBufferPixel(int, int) {
    return 0;
}
bool SaveWidgetBufferPng(const std::string&, int, int) {
    return false;
}
