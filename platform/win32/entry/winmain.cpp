// The Windows process entry: --version and --help are answered where the pilot can read them (the output
// the program was given, else the console it was started from, else a message box); otherwise WinMain
// hands over to the application frame.
#include "platform/codepage.h"
#include "platform/entry.h"

#include <windows.h>
// shellapi.h needs windows.h before it.
#include <shellapi.h>

namespace {
std::vector<std::string> Arguments() {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return args;
    for (int i = 1; i < count; ++i)
        args.push_back(NarrowFromUtf16(reinterpret_cast<const char16_t*>(wide[i])));
    LocalFree(wide);
    return args;
}

bool WriteAll(HANDLE handle, const std::string& text) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    return WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

// A program of the windows subsystem has no console of its own. Its standard handles are there when it
// was started with redirected output (a script, or wine from a terminal); a console it was typed into can
// be attached; a double-click on a shortcut has neither, and gets a message box.
void Show(const CommandLineAnswer& answer) {
    if (WriteAll(GetStdHandle(answer.toError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), answer.text)) return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        HANDLE console =
            CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        bool shown = WriteAll(console, "\r\n" + answer.text);
        if (console != INVALID_HANDLE_VALUE) CloseHandle(console);
        FreeConsole();
        if (shown) return;
    }
    std::wstring text(answer.text.begin(), answer.text.end());
    MessageBoxW(nullptr, text.c_str(), L"TALVERO",
                MB_OK | (answer.toError ? MB_ICONWARNING : MB_ICONINFORMATION));
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CommandLineAnswer answer = AnswerCommandLine(Arguments());
    if (!answer.answered) return TalveroMain();
    Show(answer);
    return answer.exitCode;
}
