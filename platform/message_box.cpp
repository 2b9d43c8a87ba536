// The portable front of the message box: a test hook, else the platform's box.
#include "platform/message_box.h"

void SystemInfoBox(const std::string& text, const std::string& caption);

namespace {
InfoBoxHook infoBoxHook = nullptr;
}

void SetInfoBoxHook(InfoBoxHook hook) { infoBoxHook = hook; }

void ShowInfoBox(const std::string& text, const std::string& caption) {
    if (infoBoxHook) {
        infoBoxHook(text, caption);
        return;
    }
    SystemInfoBox(text, caption);
}
