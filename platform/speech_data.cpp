// The override of the speech engines' data paths, for tests; the platform bodies give the real ones.
#include "platform/speech_data.h"

#include <optional>

namespace {
std::optional<SpeechDataPaths>& Override() {
    static std::optional<SpeechDataPaths> paths;
    return paths;
}
} // namespace

SpeechDataPaths SpeechData() {
    return Override() ? *Override() : PlatformSpeechData();
}

void OverrideSpeechData(const SpeechDataPaths& paths) {
    Override() = paths;
}

void ResetSpeechData() {
    Override().reset();
}
