// The built-in speech engines' data on Linux: Debian's pocketsphinx-en-us model and espeak-ng-data.
#include "platform/speech_data.h"

SpeechDataPaths PlatformSpeechData() {
    SpeechDataPaths paths;
    paths.acousticModel = "/usr/share/pocketsphinx/model/en-us/en-us";
    paths.dictionary = "/usr/share/pocketsphinx/model/en-us/cmudict-en-us.dict";
    paths.nullFile = "/dev/null";
    return paths;
}
