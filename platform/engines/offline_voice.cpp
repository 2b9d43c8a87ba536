// The built-in speech synthesiser of both products: eSpeak NG voices; queued lines are rendered by a
// synthesis thread and played by a playback thread to the default sound output, or, with none, timed as if
// played. The caller only ever takes a short lock.
#include "platform/engines/offline_speech.h"

#include "platform/engines/espeak_engine.h"
#include "platform/engines/voice_espeak.h"
#include "platform/engines/voice_tap.h"
#include "platform/sound_output.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The status reports the pause phoneme while a line waits for its first sample, past its last, and in
// every stretch of silence long enough to be a pause (a sentence's end, a comma at slower rates); anywhere
// else it reports one sounding phoneme. The speech monitor only asks "pause or not", and the gaps inside
// words (a stop consonant's closure) are shorter than a pause, so the mouth does not flutter.
constexpr int kPausePhoneme = 4;
constexpr int kSoundPhoneme = 10;
constexpr size_t kPauseSamples = kEspeakSampleRate * 15 / 100; // 150 ms
constexpr int kQuietAmplitude = 16;
constexpr size_t kChunkSamples = kEspeakSampleRate / 50; // 20 ms handed to the output at a time

struct VoiceLine {
    std::string text;
    int position = 0;
    int rate = 0;
    int volume = 100;
    bool rendering = false;        // the synthesis thread has taken it
    bool rendered = false;         // every sample is in `samples`
    std::vector<int16_t> samples;  // as rendered, at full volume
    size_t handedOut = 0;          // samples given to the output
    bool heard = false;            // its first sample has been given to the output
    Clock::time_point heardFrom{}; // when its first sample reaches the listener
};

struct VoiceState {
    std::mutex lock; // guards the fields below up to `synthesis`; never held across synthesis or output
    std::condition_variable changed;
    bool stopping = false;
    std::deque<std::unique_ptr<VoiceLine>> lines; // the front one is playing or next to play
    VoiceTap tap = nullptr;

    std::thread synthesis;
    std::thread playback;
    // Main thread only.
    bool started = false;
    int position = 0;
    int rate = 0;
    int volume = 100;
    std::vector<std::string> descriptions;
};

VoiceState& Voice() {
    static VoiceState state;
    return state;
}

Clock::duration SampleTime(size_t samples) {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(samples) / kEspeakSampleRate));
}

VoiceLine* NextToRender(VoiceState& voice) {
    for (auto& line : voice.lines)
        if (!line->rendering) return line.get();
    return nullptr;
}

void Synthesise(VoiceState& voice) {
    // Rendering runs well ahead of playback, at the ordinary priority: below it, a simulator that keeps
    // every core busy would hold the first officer's lines back.
    for (;;) {
        VoiceLine* line = nullptr;
        std::string text;
        int position = 0;
        int rate = 0;
        {
            std::unique_lock<std::mutex> hold(voice.lock);
            voice.changed.wait(hold, [&] { return voice.stopping || NextToRender(voice) != nullptr; });
            if (voice.stopping) return;
            line = NextToRender(voice);
            line->rendering = true;
            text = line->text;
            position = line->position;
            rate = line->rate;
        }
        EspeakSink sink = [&](const int16_t* samples, size_t count) {
            std::lock_guard<std::mutex> hold(voice.lock);
            if (voice.stopping) return false;
            line->samples.insert(line->samples.end(), samples, samples + count);
            voice.changed.notify_all();
            return true;
        };
        RenderEspeak(text, position, rate, sink);
        std::lock_guard<std::mutex> hold(voice.lock);
        line->rendered = true; // from here on only the playback thread touches the line
        voice.changed.notify_all();
    }
}

// Plays the front line chunk by chunk. A chunk goes to the sound output once the output has room for it;
// without an output it is handed over when it would start playing. Either way the line lasts as long as
// its audio, and no wait is longer than a chunk, so a stop is noticed at once.
void Play(VoiceState& voice) {
    SoundOutput* output = OpenSoundOutput(kEspeakSampleRate);
    std::vector<int16_t> chunk;
    for (;;) {
        VoiceLine* line = nullptr;
        size_t offset = 0;
        VoiceTap tap = nullptr;
        {
            std::unique_lock<std::mutex> hold(voice.lock);
            voice.changed.wait(hold, [&] {
                if (voice.stopping) return true;
                if (voice.lines.empty()) return false;
                const VoiceLine& front = *voice.lines.front();
                return front.handedOut < front.samples.size() || front.rendered;
            });
            if (voice.stopping) break;
            line = voice.lines.front().get();
            if (line->handedOut == line->samples.size()) {
                // Every sample is out: the line ends when its last one has been heard.
                if (output != nullptr) {
                    hold.unlock();
                    SoundOutputPlayOut(output); // even a line shorter than the output's start-up buffer
                    hold.lock();
                }
                if (line->heard) {
                    Clock::time_point end = line->heardFrom + SampleTime(line->samples.size());
                    voice.changed.wait_until(hold, end, [&] { return voice.stopping; });
                }
                if (voice.stopping) break;
                voice.lines.pop_front();
                continue;
            }
            offset = line->handedOut;
            size_t count = std::min(kChunkSamples, line->samples.size() - offset);
            chunk.assign(line->samples.begin() + static_cast<long>(offset),
                         line->samples.begin() + static_cast<long>(offset + count));
            for (int16_t& sample : chunk) sample = static_cast<int16_t>(sample * line->volume / 100);
            line->handedOut += count;
            tap = voice.tap;
            if (!line->heard) {
                line->heard = true;
                line->heardFrom = Clock::now();
            }
        }
        if (tap != nullptr) tap(chunk.data(), chunk.size());
        std::unique_lock<std::mutex> hold(voice.lock, std::defer_lock);
        if (output != nullptr) {
            long room = 0;
            while ((room = SoundOutputWritable(output)) >= 0 && room < static_cast<long>(chunk.size())) {
                hold.lock();
                bool stop = voice.changed.wait_for(hold, SampleTime(kChunkSamples / 4),
                                                   [&] { return voice.stopping; });
                hold.unlock();
                if (stop) break;
            }
            if (room < 0) {
                CloseSoundOutput(output); // the server went away: carry on timing the lines
                output = nullptr;
                continue;
            }
            if (room < static_cast<long>(chunk.size())) continue; // stopping
            SoundOutputWrite(output, chunk.data(), chunk.size());
            // The output's latency says when this chunk's end will be heard, and so the line's start.
            std::chrono::microseconds latency{};
            if (SoundOutputLatency(output, latency)) {
                hold.lock();
                line->heardFrom = Clock::now() + latency - SampleTime(line->handedOut);
            }
        } else {
            hold.lock();
            voice.changed.wait_until(hold, line->heardFrom + SampleTime(offset),
                                     [&] { return voice.stopping; });
        }
    }
    CloseSoundOutput(output);
}

bool Quiet(int16_t sample) {
    return sample <= kQuietAmplitude && sample >= -kQuietAmplitude;
}

// Called with the lock held.
int PhonemeAt(const VoiceLine& line, Clock::time_point now) {
    if (!line.heard || now < line.heardFrom) return kPausePhoneme;
    auto elapsed = std::chrono::duration<double>(now - line.heardFrom).count();
    auto at = static_cast<size_t>(elapsed * kEspeakSampleRate);
    at = std::min(at, line.handedOut);
    if (at >= line.samples.size()) return kPausePhoneme;
    // The silent run around `at`; once the line is rendered, its end counts as silence after it. The
    // engine's short lead-in silence is not a pause: the line sounds from its first sample.
    size_t before = 0;
    while (before < kPauseSamples && before < at && Quiet(line.samples[at - 1 - before])) ++before;
    size_t after = 0;
    while (after < kPauseSamples && at + after < line.samples.size() && Quiet(line.samples[at + after]))
        ++after;
    if (at + after == line.samples.size() && line.rendered) after = kPauseSamples;
    if (after == 0) return kSoundPhoneme;
    return before + after >= kPauseSamples ? kPausePhoneme : kSoundPhoneme;
}

} // namespace

bool StartOfflineVoice() {
    VoiceState& voice = Voice();
    if (voice.started) return true;
    if (!StartEspeak()) return false;
    voice.position = 0;
    voice.rate = 0;
    voice.volume = 100;
    voice.descriptions.clear();
    for (const EspeakVoice& v : EspeakVoices()) voice.descriptions.emplace_back(v.description);
    voice.stopping = false;
    voice.synthesis = std::thread(Synthesise, std::ref(voice));
    voice.playback = std::thread(Play, std::ref(voice));
    voice.started = true;
    return true;
}

void StopOfflineVoice() {
    VoiceState& voice = Voice();
    if (!voice.started) return;
    {
        std::lock_guard<std::mutex> hold(voice.lock);
        voice.stopping = true;
    }
    voice.changed.notify_all();
    voice.synthesis.join();
    voice.playback.join();
    voice.lines.clear();
    voice.descriptions.clear();
    voice.started = false;
    // The engine itself stays: the recogniser shares it, and it holds its memory for the process.
}

std::string OfflineVoiceWhyNot() {
    std::lock_guard<std::mutex> hold(EspeakEngine().lock);
    return EspeakEngine().whyNot;
}

std::vector<std::string> OfflineVoiceDescriptions() {
    return Voice().descriptions;
}

void SelectOfflineVoice(int position) {
    VoiceState& voice = Voice();
    if (position >= 0 && position < static_cast<int>(voice.descriptions.size())) voice.position = position;
}

void SetOfflineVoiceRate(int rate) {
    Voice().rate = std::clamp(rate, -10, 10);
}

void SetOfflineVoiceVolume(int volume) {
    Voice().volume = std::clamp(volume, 0, 100);
}

void OfflineSpeak(const std::string& text) {
    VoiceState& voice = Voice();
    if (!voice.started) return;
    auto line = std::make_unique<VoiceLine>();
    line->text = text;
    line->position = voice.position;
    line->rate = voice.rate;
    line->volume = voice.volume;
    {
        std::lock_guard<std::mutex> hold(voice.lock);
        voice.lines.push_back(std::move(line));
    }
    voice.changed.notify_all();
}

PlatformVoiceStatus GetOfflineVoiceStatus() {
    VoiceState& voice = Voice();
    if (!voice.started) return {};
    std::lock_guard<std::mutex> hold(voice.lock);
    if (voice.lines.empty()) return {};
    return {true, PhonemeAt(*voice.lines.front(), Clock::now())};
}

void SetPlatformVoiceTap(VoiceTap tap) {
    VoiceState& voice = Voice();
    std::lock_guard<std::mutex> hold(voice.lock);
    voice.tap = tap;
}

std::vector<int16_t> RenderPlatformSpeech(const std::string& text, int position, int rate, int sampleRate) {
    std::vector<int16_t> samples;
    EspeakSink sink = [&](const int16_t* block, size_t count) {
        samples.insert(samples.end(), block, block + count);
        return true;
    };
    if (!RenderEspeak(text, position, std::clamp(rate, -10, 10), sink)) return {};
    return ResampleSpeech(samples, kEspeakSampleRate, sampleRate);
}

std::vector<std::string> RenderableVoiceDescriptions() {
    std::vector<std::string> descriptions;
    if (!StartEspeak()) return descriptions;
    for (const EspeakVoice& v : EspeakVoices()) descriptions.emplace_back(v.description);
    return descriptions;
}
