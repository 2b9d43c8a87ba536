// The message box on Windows: MessageBoxW with an information icon.
#include <string>
#include <windows.h>

void SystemInfoBox(const std::string& text, const std::string& caption) {
    std::wstring wideText(text.begin(), text.end());
    std::wstring wideCaption(caption.begin(), caption.end());
    for (auto& c : wideText) c = static_cast<wchar_t>(static_cast<unsigned char>(c));
    for (auto& c : wideCaption) c = static_cast<wchar_t>(static_cast<unsigned char>(c));
    MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), MB_OK | MB_ICONINFORMATION);
}
