// The built-in speech engines' data on Windows: the "speech" folder beside the program's .exe, which the
// zip and the build lay out (the acoustic model and dictionary, eSpeak NG's English and German data).
#include "platform/speech_data.h"

#include <windows.h>

namespace {
std::string ProgramFolder() {
    char path[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, static_cast<DWORD>(sizeof path));
    std::string folder(path, n < sizeof path ? n : 0);
    size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
}
} // namespace

SpeechDataPaths PlatformSpeechData() {
    const std::string speech = ProgramFolder() + "\\speech";
    SpeechDataPaths paths;
    paths.acousticModel = speech + "\\pocketsphinx\\model\\en-us\\en-us";
    paths.dictionary = speech + "\\pocketsphinx\\model\\en-us\\cmudict-en-us.dict";
    paths.espeakData = speech;
    paths.nullFile = "NUL";
    return paths;
}
