// Where the built-in speech engines find their data: the recogniser's acoustic model and dictionary, and
// eSpeak NG's voice data. Linux takes Debian's installed packages; Windows the "speech" folder beside the
// program (quillbrook-talvero\speech in the zip).
#pragma once
#include <string>

struct SpeechDataPaths {
    std::string acousticModel; // the folder holding the model's mdef, means, variances, ...
    std::string dictionary;    // the pronunciation dictionary file
    std::string espeakData;    // the folder holding phontab and the dictionaries; empty: the library's own
    std::string nullFile;      // where the recogniser's own chatter goes
};
// The paths in use: the platform's own (PlatformSpeechData, one body per platform) unless overridden.
SpeechDataPaths SpeechData();
SpeechDataPaths PlatformSpeechData();
// Tests point the engines at other data (a broken model, a missing folder); Reset goes back to the
// platform's own. The built-in synthesiser reads its data once per process, at its first start.
void OverrideSpeechData(const SpeechDataPaths& paths);
void ResetSpeechData();
