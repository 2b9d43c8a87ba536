// The recogniser's ears: the default capture device through PulseAudio, or the utterance folder, where a
// WAV file dropped (under its final name, by rename) is played in real time once and then deleted.
#include "platform/engines/recogniser_parts.h"
#include "platform/audio_clip.h"

#include "platform/sound_input.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

namespace {

int64_t NowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The first utterance file waiting in the folder, by name: a ".wav" whose name does not start with ".".
std::string NextUtteranceFile(const std::string& folder) {
    std::error_code ec;
    std::string first;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || name.size() < 5) continue;
        std::string ext = name.substr(name.size() - 4);
        for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (ext != ".wav" || !it->is_regular_file(ec)) continue;
        std::string path = it->path().string();
        if (first.empty() || path < first) first = path;
    }
    return first;
}

// A faint noise floor (about 3 sample units RMS), as a quiet microphone gives between words.
int16_t NoiseFloorSample(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return int16_t(int(state % 11u) - 5);
}

} // namespace

// Between utterances, how many chunks pass between two looks into the utterance folder (100 ms).
constexpr int kIdleLookChunks = 5;

bool OpenMicrophone(AudioSource& source, std::string& error) {
    source.microphone = OpenSoundInput(kCaptureRate, kChunkSamples, error);
    return source.microphone != nullptr;
}

void CloseAudioSource(AudioSource& source) {
    CloseSoundInput(source.microphone);
    source.microphone = nullptr;
}

bool ReadChunk(AudioSource& source, int16_t* chunk, bool listening) {
    if (source.folder.empty()) {
        if (!source.microphone) return false;
        if (!ReadSoundInput(source.microphone, chunk, kChunkSamples)) {
            CloseAudioSource(source);
            return false;
        }
        return true;
    }
    // The folder plays at the audio's own pace: one chunk every 20 ms of the steady clock. Between
    // utterances the chunks (only the noise floor, for the pre-roll) come five at a time, every 100 ms,
    // to spare the thread four wake-ups in five.
    const int64_t chunkMicros = int64_t(kChunkSamples) * 1000000 / kCaptureRate;
    const bool idle = !listening && source.playedTo >= source.playing.size();
    int64_t now = NowMicros();
    if (source.nextChunkMicros == 0 || source.nextChunkMicros < now - 200000) source.nextChunkMicros = now;
    if (source.nextChunkMicros > now) {
        const int64_t wakeAt = source.nextChunkMicros + (idle ? (kIdleLookChunks - 1) * chunkMicros : 0);
        // The long wait between utterances goes a chunk at a time, and ends at a press.
        while (now < wakeAt) {
            std::this_thread::sleep_for(std::chrono::microseconds(std::min(wakeAt - now, chunkMicros)));
            now = NowMicros();
            if (idle && source.pressed && source.pressed->load()) {
                listening = true;
                source.nextChunkMicros = std::min(source.nextChunkMicros, now);
                break;
            }
        }
    }
    source.nextChunkMicros += chunkMicros;
    // Between utterances the folder is listed only now and then: the listing is most of the cost of
    // waiting, and a file dropped just before push-to-talk still lands in the pre-roll.
    const bool look = listening || ++source.chunksSinceLook >= kIdleLookChunks;
    if (source.playedTo >= source.playing.size() && look) {
        source.chunksSinceLook = 0;
        source.playing.clear();
        source.playedTo = 0;
        std::string path = NextUtteranceFile(source.folder);
        if (!path.empty()) {
            AudioClip clip;
            if (ReadWav(path, clip)) source.playing = Resampled(clip, kCaptureRate).samples;
            std::error_code ec;
            std::filesystem::remove(path, ec); // consumed (or unreadable): it is not played again
        }
    }
    for (size_t i = 0; i < kChunkSamples; ++i) {
        int16_t floor = NoiseFloorSample(source.noiseState);
        if (source.playedTo < source.playing.size())
            chunk[i] = int16_t(std::clamp(int(source.playing[source.playedTo++]) + floor, -32768, 32767));
        else
            chunk[i] = floor;
    }
    return true;
}
