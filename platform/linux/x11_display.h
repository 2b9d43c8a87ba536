// The X server connection that the Linux window bodies share (the desktop's windows and the widget
// window), and the trap for the errors a vanished window causes.
#pragma once
#include <X11/Xlib.h>

#include <string>

// The open connection, or nullptr when OpenWindowSystem has not succeeded.
Display* X11Display();
// Clears the trap; after a call that makes a round trip, X11ErrorSeen says whether the server answered
// with an error (BadWindow for a window that is gone) instead of ending the process.
void X11ClearErrors();
bool X11ErrorSeen();
// Forgets what the window bodies learnt of windows in the last moment (they keep answers for up to 2 ms to
// spare round trips): called whenever this process creates, moves, shows, hides or destroys a window.
void ForgetWindowFacts();
// UTF-16 to UTF-8 and back, for titles and drawn text.
std::string X11Utf8(const std::u16string& text);
std::u16string X11Utf16(const std::string& utf8);
