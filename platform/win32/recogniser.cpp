// The speech recogniser on Windows: Windows' shared recogniser (SAPI) or the built-in one (pocketsphinx,
// the same as on Linux), as the settings choose; by default the shared one where it starts and the
// built-in one where it does not (current Windows 11 has dropped Windows Speech Recognition; wine never
// had it). The log says which hears the captain and why.
#include "platform/engines/offline_speech.h"
#include "platform/win32/sapi_speech.h"
#include "platform/win32/sapi_support.h"

namespace {
struct WindowsRecogniserState {
    bool builtIn = false; // the built-in recogniser hears
};
WindowsRecogniserState& WindowsRecogniser() {
    static WindowsRecogniserState state;
    return state;
}

void Log(const RecogniserSetup& setup, const std::string& line) {
    if (setup.log) setup.log(line);
}
} // namespace

bool StartPlatformRecogniser(const RecogniserSetup& setup) {
    ClosePlatformRecogniser();
    WindowsRecogniserState& w = WindowsRecogniser();
    w.builtIn = false;
    if (setup.kind != RecogniserKind::BuiltIn) {
        if (StartSapiRecogniser(setup)) {
            Log(setup, "Recognition: Windows' shared recogniser hears the captain");
            return true;
        }
        const std::string step = SapiRecogniser().failedStep;
        CloseSapiRecogniser();
        if (setup.kind == RecogniserKind::Shared) return false;
        Log(setup, "Recognition: Windows' shared recogniser did not start (" +
                       (step.empty() ? std::string("no step named") : step) +
                       "); the built-in recogniser hears the captain");
    } else {
        Log(setup, "Recognition: the built-in recogniser hears the captain, as the settings ask");
    }
    w.builtIn = true;
    return StartOfflineRecogniser(setup);
}

bool SetPlatformGrammar(const std::vector<std::string>& phrases) {
    return WindowsRecogniser().builtIn ? SetOfflineGrammar(phrases) : SetSapiGrammar(phrases);
}
void SetPlatformListening(bool active) {
    if (WindowsRecogniser().builtIn)
        SetOfflineListening(active);
    else
        SetSapiListening(active);
}
std::string NextPlatformResult() {
    return WindowsRecogniser().builtIn ? NextOfflineResult() : NextSapiResult();
}
void ClosePlatformRecogniser() {
    if (WindowsRecogniser().builtIn)
        CloseOfflineRecogniser();
    else
        CloseSapiRecogniser();
    WindowsRecogniser().builtIn = false;
}
