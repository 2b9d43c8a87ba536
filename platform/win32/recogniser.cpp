// The speech recogniser: not yet built on this platform; it never starts.
#include "platform/recogniser.h"

bool StartPlatformRecogniser(const RecogniserSetup&) { return false; }
bool SetPlatformGrammar(const std::vector<std::string>&) { return false; }
void SetPlatformListening(bool) {}
std::string NextPlatformResult() { return "non"; }
void ClosePlatformRecogniser() {}
std::string RecogniseSamples(const std::vector<std::string>&, const std::vector<int16_t>&, int) { return "non"; }
