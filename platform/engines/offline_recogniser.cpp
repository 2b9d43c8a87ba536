// The built-in speech recogniser of both products: pocketsphinx in process. A capture thread keeps the last
// moments of sound as pre-roll and, from a press to shortly after the release, hands the sound to a
// decoding thread that feeds the decoder as it arrives; the verdict on each utterance is queued for the
// main thread.
#include "platform/engines/offline_speech.h"

#include "platform/audio_clip.h"
#include "platform/engines/recogniser_parts.h"
#include "platform/engines/recogniser_values.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

namespace {

constexpr size_t kPreRollSamples = kCaptureRate * 300 / 1000;  // sound kept from before the press
constexpr size_t kPostRollSamples = kCaptureRate * 120 / 1000; // sound still taken after the release
constexpr int kMicrophoneRetryChunks = 250;                    // 5 s of 20 ms waits between attempts

struct QueuedResult {
    uint64_t utterance = 0;
    std::string phrase;
};

struct LiveRecogniserState {
    // Main thread only.
    bool started = false;
    RecogniserSetup setup;
    std::thread capture, decoding;

    // Shared between the threads, under `lock`.
    std::mutex lock;
    std::condition_variable wake; // sound, a press, a release or the end for the decoding thread
    bool quit = false;
    bool listening = false;
    uint64_t utterance = 0;         // presses so far: the number of the current utterance
    std::deque<int16_t> preRoll;    // the latest sound, while not listening
    std::vector<int16_t> pending;   // sound of the current utterance not yet taken by the decoder
    size_t postRollLeft = 0;        // samples still to take after the release
    bool utteranceComplete = false; // the release and its post-roll are in `pending`
    std::deque<QueuedResult> results;
    std::vector<std::string> notes; // lines for the log from the threads, written by the main thread

    // The decoding thread's, and the main thread's while it rebuilds the grammar, under `decoderLock`.
    std::mutex decoderLock;
    Decoders decoders;

    AudioSource source;               // the capture thread's
    std::atomic<bool> pressed{false}; // push-to-talk held, for the capture thread's waits
};

LiveRecogniserState& State() {
    static LiveRecogniserState state;
    return state;
}

void Log(const std::string& line) {
    if (State().setup.log) State().setup.log(line);
}
void Trace(const std::string& line) {
    if (State().setup.trace) State().setup.trace(line);
}

void FlushNotes() {
    LiveRecogniserState& s = State();
    std::vector<std::string> notes;
    {
        std::lock_guard<std::mutex> hold(s.lock);
        notes.swap(s.notes);
    }
    for (const std::string& line : notes) Log(line);
}

std::string Join(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Loads the phrases into the decoder and tells the log what needed spelling and what was lost.
bool LoadPhrases(Decoders& decoders, const std::vector<std::string>& phrases) {
    GrammarReport report = LoadGrammar(decoders, phrases);
    if (!report.spelled.empty())
        Log("Recognition spelled unknown words: " + Lower(Join(report.spelled, ", ")));
    if (!report.unspellable.empty())
        Log("Recognition cannot spell: " + Join(report.unspellable, ", ") +
            "; phrases left out: " + Join(report.dropped, ", "));
    if (!report.ok) Trace("Recognition grammar: " + report.error);
    return report.ok;
}

void CaptureLoop() {
    LiveRecogniserState& s = State();
    std::vector<int16_t> chunk(kChunkSamples);
    int retryWait = 0;
    for (;;) {
        bool listening = false;
        {
            std::lock_guard<std::mutex> hold(s.lock);
            if (s.quit) return;
            listening = s.listening;
        }
        const bool hadMicrophone = s.source.microphone != nullptr;
        bool got = ReadChunk(s.source, chunk.data(), listening);
        if (!got && hadMicrophone) {
            // The device went away (unplugged, the sound server restarted): said once, then looked for.
            std::lock_guard<std::mutex> hold(s.lock);
            s.notes.push_back("Recognition: the microphone was lost; it is looked for again every 5 s");
        }
        if (!got) {
            // No microphone: try again now and then, quietly, until the sound server is back.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (++retryWait < kMicrophoneRetryChunks) continue;
            retryWait = 0;
            std::string error;
            if (!OpenMicrophone(s.source, error)) continue;
            std::lock_guard<std::mutex> hold(s.lock);
            s.notes.push_back("Recognition: the microphone is open");
            continue;
        }
        std::lock_guard<std::mutex> hold(s.lock);
        if (s.listening) {
            s.pending.insert(s.pending.end(), chunk.begin(), chunk.end());
            s.wake.notify_all();
        } else if (s.postRollLeft > 0) {
            size_t take = std::min(s.postRollLeft, chunk.size());
            s.pending.insert(s.pending.end(), chunk.begin(), chunk.begin() + long(take));
            s.postRollLeft -= take;
            if (s.postRollLeft == 0) s.utteranceComplete = true;
            s.wake.notify_all();
        }
        if (!s.listening) {
            s.preRoll.insert(s.preRoll.end(), chunk.begin(), chunk.end());
            while (s.preRoll.size() > kPreRollSamples) s.preRoll.pop_front();
        }
    }
}

void DecodingLoop() {
    // Decoding keeps up with the captain at a fraction of a core, in bursts. It runs at the ordinary
    // priority: a simulator keeps every core busy at that priority, and a thread below it waited there
    // (release to phrase 0.38 s median, 1 s p99, with every core busy; 0.14 s and 0.3 s at the ordinary
    // priority), where Windows runs a lower priority only when no thread of a higher one is ready.
    LiveRecogniserState& s = State();
    uint64_t decoding = 0; // the utterance the decoder holds, 0 for none
    std::vector<int16_t> sound;
    std::vector<int16_t> heard; // the utterance's sound so far, when it is to be written out
    int heardCount = 0;
    for (;;) {
        bool complete = false;
        uint64_t utterance = 0;
        {
            std::unique_lock<std::mutex> hold(s.lock);
            s.wake.wait(hold, [&] {
                return s.quit || s.utterance != decoding || !s.pending.empty() || s.utteranceComplete;
            });
            if (s.quit) return;
            utterance = s.utterance;
            sound.swap(s.pending);
            s.pending.clear();
            complete = s.utteranceComplete;
            s.utteranceComplete = false;
        }
        std::lock_guard<std::mutex> decoder(s.decoderLock);
        if (utterance != decoding) {
            BeginUtterance(s.decoders); // a new press abandons an utterance still being decoded
            decoding = utterance;
            heard.clear();
        }
        FeedUtterance(s.decoders, sound.data(), sound.size());
        if (!s.setup.heardFolder.empty()) heard.insert(heard.end(), sound.begin(), sound.end());
        sound.clear();
        if (!complete) continue;
        UtteranceVerdict verdict = EndUtterance(s.decoders, true);
        if (verdict.accepted) TakeValues(s.decoders, verdict);
        {
            std::lock_guard<std::mutex> hold(s.lock);
            if (verdict.accepted && s.utterance == utterance) s.results.push_back({utterance, verdict.heard});
        }
        // The sound heard is written out after the verdict is queued: the captain does not wait for the
        // disk, and a file there means its utterance's verdict is in.
        if (!s.setup.heardFolder.empty()) {
            char name[32];
            std::snprintf(name, sizeof name, "/heard-%04d.wav", ++heardCount);
            WriteWav(s.setup.heardFolder + name, AudioClip{kCaptureRate, heard});
            heard.clear();
        }
    }
}

} // namespace

bool StartOfflineRecogniser(const RecogniserSetup& setup) {
    LiveRecogniserState& s = State();
    if (s.started) CloseOfflineRecogniser();
    s.setup = setup;
    std::string error;
    if (!OpenDecoders(s.decoders, error)) {
        Log("Recognition: " + error);
        return false;
    }
    if (!LoadPhrases(s.decoders, setup.phrases)) {
        CloseDecoders(s.decoders);
        return false;
    }
    s.source = AudioSource{};
    s.pressed = false;
    s.source.pressed = &s.pressed;
    std::error_code ec;
    if (!setup.utteranceFolder.empty() && std::filesystem::is_directory(setup.utteranceFolder, ec)) {
        s.source.folder = setup.utteranceFolder;
        Log("Recognition hears WAV files dropped in " + setup.utteranceFolder);
    } else if (!OpenMicrophone(s.source, error)) {
        // The first officer still starts: the widget still takes the captain's phrases, and the capture
        // thread keeps trying, so a sound server that comes up later is heard.
        Log("Recognition: no microphone could be opened (" + error + ")");
    }
    {
        std::lock_guard<std::mutex> hold(s.lock);
        s.quit = false;
        s.listening = false;
        s.utterance = 0;
        s.preRoll.clear();
        s.pending.clear();
        s.postRollLeft = 0;
        s.utteranceComplete = false;
        s.results.clear();
        s.notes.clear();
    }
    s.capture = std::thread(CaptureLoop);
    s.decoding = std::thread(DecodingLoop);
    s.started = true;
    return true;
}

bool SetOfflineGrammar(const std::vector<std::string>& phrases) {
    LiveRecogniserState& s = State();
    if (!s.started) return false;
    std::lock_guard<std::mutex> decoder(s.decoderLock);
    return LoadPhrases(s.decoders, phrases);
}

void SetOfflineListening(bool active) {
    LiveRecogniserState& s = State();
    if (!s.started) return;
    FlushNotes();
    std::lock_guard<std::mutex> hold(s.lock);
    s.pressed = active;
    if (active) {
        ++s.utterance;
        s.listening = true;
        s.pending.assign(s.preRoll.begin(), s.preRoll.end());
        s.preRoll.clear();
        s.postRollLeft = 0;
        s.utteranceComplete = false;
        s.results.clear();
    } else if (s.listening) {
        s.listening = false;
        s.postRollLeft = kPostRollSamples;
        // Anything still queued belongs to an utterance that is over.
        s.results.clear();
    }
    s.wake.notify_all();
}

std::string NextOfflineResult() {
    LiveRecogniserState& s = State();
    if (!s.started) return "non";
    FlushNotes();
    std::lock_guard<std::mutex> hold(s.lock);
    if (s.results.empty()) return "non";
    std::string phrase = s.results.front().phrase;
    s.results.pop_front();
    return phrase;
}

void CloseOfflineRecogniser() {
    LiveRecogniserState& s = State();
    if (!s.started) return;
    {
        std::lock_guard<std::mutex> hold(s.lock);
        s.quit = true;
        s.wake.notify_all();
    }
    s.capture.join();
    s.decoding.join();
    CloseAudioSource(s.source);
    CloseDecoders(s.decoders);
    s.started = false;
    s.setup = RecogniserSetup{};
}

namespace {
// The offline decoder of RecogniseSamples, kept between calls with its last grammar.
struct FileRecogniserState {
    std::mutex lock;
    Decoders decoders;
    std::vector<std::string> phrases;
    bool loaded = false;
};
FileRecogniserState& Offline() {
    static FileRecogniserState state;
    return state;
}
} // namespace

std::string RecogniseSamples(const std::vector<std::string>& phrases, const std::vector<int16_t>& samples,
                             int sampleRate) {
    FileRecogniserState& o = Offline();
    std::lock_guard<std::mutex> hold(o.lock);
    std::string error;
    if (!OpenDecoders(o.decoders, error)) return "non";
    if (!o.loaded || o.phrases != phrases) {
        o.loaded = LoadGrammar(o.decoders, phrases).ok;
        o.phrases = phrases;
    }
    if (!o.loaded) return "non";
    AudioClip clip{sampleRate, samples};
    if (sampleRate != kCaptureRate) clip = Resampled(clip, kCaptureRate);
    BeginUtterance(o.decoders);
    FeedUtterance(o.decoders, clip.samples.data(), clip.samples.size());
    UtteranceVerdict verdict = EndUtterance(o.decoders, true);
    if (verdict.accepted) TakeValues(o.decoders, verdict);
    return verdict.accepted ? verdict.heard : "non";
}
