// The speech recogniser on Linux: the built-in one (pocketsphinx), which is all Linux has; the choice of
// recogniser in the setup has nothing else to choose here.
#include "platform/engines/offline_speech.h"

bool StartPlatformRecogniser(const RecogniserSetup& setup) {
    return StartOfflineRecogniser(setup);
}
bool SetPlatformGrammar(const std::vector<std::string>& phrases) {
    return SetOfflineGrammar(phrases);
}
void SetPlatformListening(bool active) {
    SetOfflineListening(active);
}
std::string NextPlatformResult() {
    return NextOfflineResult();
}
void ClosePlatformRecogniser() {
    CloseOfflineRecogniser();
}
