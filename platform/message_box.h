// Message boxes for the pilot: modal on Windows, printed on standard error on Linux.
#pragma once
#include <string>

// Shows `text` with `caption` and an information icon and returns when the pilot has closed it.
void ShowInfoBox(const std::string& text, const std::string& caption);

// Tests replace the box so that nothing modal ever waits on a person; nullptr restores the platform's.
using InfoBoxHook = void (*)(const std::string& text, const std::string& caption);
void SetInfoBoxHook(InfoBoxHook hook);
