// Recordings of people for the recognition benchmarks, beside the synthesised speakers: the speech
// library's own test recordings (from Debian's source packages, unpacked by the Windows product's engine
// build into build/engines), the sound system's channel names (alsa-utils) and sphinxtrain's test
// sentence, both unpacked by tools/recordings.sh into build/recordings. Nothing is tuned on them: they
// only measure.
#pragma once
#include "platform/audio_clip.h"

#include <string>
#include <vector>

struct Recording {
    std::string name;  // the file's name, for the figures' notes
    std::string phrase; // the phrase of a grammar that takes it, a value as its slot; "" where not known
    std::string words;  // the words the speaker says
    AudioClip sound;
};

// The recordings found under the build folder `buildRoot`; `missing` lists the files that were not there.
std::vector<Recording> LoadRecordings(const std::string& buildRoot, std::vector<std::string>& missing);
