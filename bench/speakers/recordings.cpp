// The recordings of people the recognition benchmarks hear: where each lies in the build folder and what
// its speaker says.
#include "bench/speakers/recordings.h"

#include <fstream>
#include <iterator>

namespace {

struct Source {
    const char* path; // under the build folder
    const char* phrase;
    const char* words; // where they are not the phrase's
};

const Source kSources[] = {
    {"engines/build/pocketsphinx-win64/test/data/goforward.raw", "go forward ten meters"},
    {"engines/build/pocketsphinx-win64/test/data/tidigits/dhd.2934z.raw", "{digits 5}",
     "two nine three four zero"},
    {"engines/build/pocketsphinx-win64/test/data/numbers.raw", ""},
    {"engines/build/pocketsphinx-win64/test/data/something.raw", ""},
    {"engines/build/pocketsphinx-win64/test/data/librivox/sense_and_sensibility_01_austen_64kb-0870.wav",
     "and mister john dashwood had then leisure to consider how much there might be prudently in his power "
     "to do for them"},
    {"engines/build/pocketsphinx-win64/test/data/librivox/sense_and_sensibility_01_austen_64kb-0880.wav",
     "he was not an ill disposed young man"},
    {"engines/build/pocketsphinx-win64/test/data/librivox/sense_and_sensibility_01_austen_64kb-0890.wav",
     "unless to be rather cold hearted and rather selfish is to be ill disposed"},
    {"engines/build/pocketsphinx-win64/test/data/librivox/sense_and_sensibility_01_austen_64kb-0920.wav",
     "had he married a more a amiable woman he might have been made still more respectable than he was"},
    {"engines/build/pocketsphinx-win64/test/data/librivox/sense_and_sensibility_01_austen_64kb-0930.wav",
     "he might even have been made amiable himself"},
    {"engines/build/pocketsphinx-win64/test/data/cards/001.wav", "ten of clubs"},
    {"engines/build/pocketsphinx-win64/test/data/cards/002.wav", "four queen of clubs"},
    {"engines/build/pocketsphinx-win64/test/data/cards/003.wav", "seven of clubs"},
    {"engines/build/pocketsphinx-win64/test/data/cards/004.wav", "{digits 2}", "five five"},
    {"engines/build/pocketsphinx-win64/test/data/cards/005.wav",
     "eight of spades four of clubs seven of hearts"},
    {"engines/build/sphinxbase-win64/test/regression/chan3.wav", ""},
    {"recordings/sphinxtrain/sa1.wav", "she had your dark suit in greasy wash water all year"},
    {"recordings/alsa/Front_Center.wav", "front center"},
    {"recordings/alsa/Front_Left.wav", "front left"},
    {"recordings/alsa/Front_Right.wav", "front right"},
    {"recordings/alsa/Rear_Center.wav", "rear center"},
    {"recordings/alsa/Rear_Left.wav", "rear left"},
    {"recordings/alsa/Rear_Right.wav", "rear right"},
    {"recordings/alsa/Side_Left.wav", "side left"},
    {"recordings/alsa/Side_Right.wav", "side right"},
};

// The speech library's raw recordings: 16-bit little-endian samples at 16 kHz, no header.
bool ReadRaw(const std::string& path, AudioClip& clip) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    clip.sampleRate = 16000;
    clip.samples.resize(bytes.size() / 2);
    for (size_t i = 0; i < clip.samples.size(); ++i)
        clip.samples[i] = int16_t(uint16_t(uint8_t(bytes[2 * i])) | uint16_t(uint8_t(bytes[2 * i + 1]) << 8));
    return !clip.samples.empty();
}

} // namespace

std::vector<Recording> LoadRecordings(const std::string& buildRoot, std::vector<std::string>& missing) {
    std::vector<Recording> recordings;
    for (const Source& source : kSources) {
        const std::string path = buildRoot + "/" + source.path;
        Recording r;
        r.name = path.substr(path.find_last_of('/') + 1);
        r.phrase = source.phrase;
        r.words = source.words ? source.words : source.phrase;
        const bool raw = path.size() > 4 && path.compare(path.size() - 4, 4, ".raw") == 0;
        if (!(raw ? ReadRaw(path, r.sound) : ReadWav(path, r.sound))) {
            missing.push_back(source.path);
            continue;
        }
        if (r.sound.sampleRate != 16000) r.sound = Resampled(r.sound, 16000);
        recordings.push_back(std::move(r));
    }
    return recordings;
}
