// The parts of the Linux recogniser behind platform/recogniser.h: pronunciations for words the
// dictionary lacks, the pocketsphinx decoders and their verdict on an utterance, and the audio sources.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// ---- Pronunciation (recogniser_pronounce.cpp)
// espeak-ng's ASCII phoneme names, separated by spaces ("k @ n f 'I g"), as the acoustic model's CMU
// phones ("K AH N F IH G"); empty when a phoneme has no counterpart.
std::string CmuPhonesFromEspeak(const std::string& espeakPhonemes);
// The word spelt by espeak-ng (American English) in CMU phones; empty when espeak-ng cannot spell it.
std::string SpellWithEspeak(const std::string& word);
// The pronunciation as speakers who drop an R that no vowel follows say it (most of England, Australia, New
// Zealand, South Africa): "F AO R" as "F AO", "D IH M ER" as "D IH M AH", "G IH R" as "G IH AH"; the same
// phones when they have no such R. The R before a vowel stays ("Z IH R OW").
std::string WithoutFinalRs(const std::string& phones);

// ---- Decoding (recogniser_decoder.cpp)
struct ps_decoder_s;

// Tuning of the front end and of the verdict, set on the recognition benchmark's tuning set (its speakers
// and phrases, never those it reports on): phrases in quiet and in noise, sentences outside the grammar.
inline constexpr int kDitherAmplitude = 48;         // +-samples of noise added to everything decoded
inline constexpr double kMinimumRiseDb = 6;         // loud frames above the background: less is not speech
inline constexpr double kGarbageWeight = 1e-3;      // entering the garbage loop, against any one phrase
inline constexpr double kPhonePenalty = 0.05;       // each phone of the garbage loop
inline constexpr double kLoopPhonePenalty = 0.05;   // each phone of the yardstick's phone loop
// A pause before, between or after the phrase's words, and between the yardstick's phones (the library's
// own 0.005 next to a value's words). Measured on the tuning set: more phrases heard in quiet and in
// every noise and fewer sentences outside the grammar taken, flat from 0.1 to 0.3; values heard as before.
inline constexpr double kPauseProbability = 0.1;
inline constexpr double kFitThreshold = -3;         // the phrase against free phones, per frame
inline constexpr double kWorstWordFit = -30;        // its worst word against free phones, per frame
inline constexpr double kMinimumFramesPerPhone = 4; // faster than anyone speaks: a fragment the grammar forced
inline constexpr double kMaximumUncovered = 0.15;   // share of loud sound the words may leave unexplained
// A phrase of one word heard where speech rises little over the noise (less than kNoisyRiseDb, as in loud
// broadband noise): so short a sound in so much noise gives the decoder little to go on, and such a phrase
// must fit better than free phones, not only nearly as well. Measured on the tuning set, in loud noise: 12
// of 57 right phrases refused, and 8 of 15 wrong ones; in quieter conditions nothing changes.
inline constexpr double kNoisyRiseDb = 12;
inline constexpr double kOneWordFitInNoise = 2;

// ---- Front end (recogniser_front.cpp)
inline constexpr double kFrontDcPole = 0.992; // the DC blocker's pole: its corner near 20 Hz at 16 kHz

// The level control: a quiet microphone's speech would drown in the dither and an overdriven one's sits far
// from the level the decoder's energy features expect, so each utterance is brought to one speech level.
// The sound is held back until the level is known: 200 ms of speech (frames within 10 dB of the loudest,
// which rose 20 dB over the background), or 3 s of sound, or the end of the utterance. Should a frame then
// come 10 dB louder than the loudest the level was set from (the hiss of a fricative or a breath before the
// first vowel), the level is set again from all the utterance and the decoding starts over, at most twice.
// The decisions fall on the same frames however the sound is cut into chunks, so the microphone's path and
// a file's hear the same samples.
inline constexpr double kLevelTargetDb = 72; // speech frames' mean power, dB over one sample step
inline constexpr double kLevelMaximumGainDb = 30;
inline constexpr double kLevelMinimumGainDb = -12;
inline constexpr double kLevelSpeechOverBackgroundDb = 20; // the loudest frame over the background
inline constexpr double kLevelSpeechSpreadDb = 10;         // the speech frames under the loudest
inline constexpr int kLevelSpeechFrames = 20;
inline constexpr int kLevelMostFramesHeld = 300;
inline constexpr int kLevelMostRestarts = 2;
// The utterance's ends: push-to-talk frames the words with the room's sound (the pre-roll, a press a
// little early, the release tail, a release a little late), and free phones explain that sound better
// than the phrases' silence does. Once speech is evident, the sound more than 0.3 s before its first
// frame and 0.15 s after its last is not decoded (the decoder's silence and noise estimate want the
// longer lead); speech frames lie 10 dB over the background and within 40 dB of the loudest. The last
// 0.35 s, and the sound after the speech so far, are held back from the decoders, so that the end can
// still be cut at the release: a press held on after the words costs no decoding.
inline constexpr double kTrimOverBackgroundDb = 10;
inline constexpr double kTrimUnderLoudestDb = 40;
inline constexpr int kTrimLeadFrames = 30;
inline constexpr int kTrimTailFrames = 15;
inline constexpr int kTrimLagFrames = 35;

// The front end's state over one utterance.
struct FrontEnd {
    bool started = false;
    double dcIn = 0, dcOut = 0;
    double levelTargetDb = kLevelTargetDb; // 0: the level is measured but left as it is
    bool trim = true;                      // false: the utterance is decoded end to end
    bool decided = false;
    double gain = 1;
    double speechDb = 0;  // the speech level the gain was set from
    double loudestDb = 0; // the loudest frame it was set from
    int restarts = 0;
    bool restarted = false;       // the last output starts the utterance over, at a new gain
    std::vector<int16_t> cleaned; // the utterance so far, cleaned, before the gain
    size_t start = 0;             // the first sample decoded, once the level is set
    size_t sent = 0;              // the samples handed to the decoders so far
    size_t speechEnd = 0;         // where the sound may end, from the speech so far
    std::vector<double> levels;   // dB of each whole 10 ms frame of it
    double energy = 0;
    int fill = 0;
};

// Forgets the sound so far (keeping the target).
void ResetFrontEnd(FrontEnd& f);
// Cleans `count` samples and appends to `out` those that may be decoded now, at the utterance's level.
void RunFrontEnd(FrontEnd& f, const int16_t* samples, size_t count, std::vector<int16_t>& out);
// At the end of the utterance: the level is set from what was heard and everything still held goes out.
void FlushFrontEnd(FrontEnd& f, std::vector<int16_t>& out);
// The sound kept for decoding so far, handed out or held back, at the gain set; once the level is set,
// without the sound after the speech so far that the release would cut.
std::vector<int16_t> KeptSound(const FrontEnd& f);

// The decoders for one grammar: used by one thread at a time.
struct Decoders {
    ps_decoder_s* grammar = nullptr;   // the phrases' grammar with its garbage loop
    ps_decoder_s* phoneLoop = nullptr; // free phones over the same sound: the yardstick for the verdict
    // The parts of the verdict, each of which a test may switch off.
    double fitThreshold = kFitThreshold;
    double worstWordThreshold = kWorstWordFit;
    double minimumFramesPerPhone = kMinimumFramesPerPhone;
    double maximumUncovered = kMaximumUncovered;
    double oneWordFitInNoise = kOneWordFitInNoise;
    double minimumRiseDb = kMinimumRiseDb;
    double garbageWeight = kGarbageWeight; // 0: no garbage loop
    double phonePenalty = kPhonePenalty;
    int ditherAmplitude = kDitherAmplitude;
    std::vector<std::string> phrases; // the grammar's phrases as loaded
    bool inUtterance = false;
    bool fed = false; // the decoders have had some of the utterance
    // An utterance has been heard since the decoders opened: the cepstral mean they carry comes from the
    // captain's microphone, not from the model's defaults.
    bool meanCarried = false;
    uint32_t ditherState = 12345;
    std::vector<int16_t> scratch;
    std::vector<int16_t> firstHeld; // the first utterance's sound, decoded at the release
    FrontEnd front;
    std::vector<double> frameLevels; // dB of each 10 ms frame of the utterance
    std::vector<int16_t> sound;      // the utterance as decoded, for a second look at a value heard in it
    double frameEnergy = 0;
    int frameFill = 0;
};

struct GrammarReport {
    bool ok = false;
    std::string error;
    std::vector<std::string> kept;        // phrases in the grammar, in order, without duplicates
    std::vector<std::string> spelled;     // "word (PHONES)" for each word espeak-ng spelt
    std::vector<std::string> unspellable; // words neither the dictionary nor espeak-ng could spell
    std::vector<std::string> dropped;     // phrases left out because they hold such a word
};

struct UtteranceVerdict {
    bool accepted = false;
    std::string heard;         // the grammar's best phrase, accepted or not
    int frames = 0;            // 10 ms frames decoded
    int speechFrames = 0;      // of which words
    double riseDb = 0;         // loud frames above the background
    bool garbage = false;      // the garbage loop explained the sound better than any phrase
    double fitPerFrame = 0;    // the phrase's path score against free phones', per frame
    double framesPerPhone = 0; // frames of words per phone of the phrase
    double uncovered = 0;      // share of the loud frames outside the words: speech left unexplained
    double worstWordFit = 0;   // the worst word's acoustic score against free phones', per frame
    double levelDb = 0;        // the speech level the level control measured
    double gainDb = 0;         // and the gain it gave the utterance
    int levelRestarts = 0;     // times the level was set again and the decoding started over
};

// Checks the acoustic model's files against the manifest in its folder ("manifest.txt": one line per file,
// "<cksum CRC> <size> <name>", as `cksum` prints them), which the Windows product ships with the model: the
// recogniser's library ends the process on a damaged file rather than failing. True without a manifest;
// false with the file named when one is missing or differs.
bool CheckModelManifest(const std::string& folder, std::string& error);
// Loads the acoustic model and dictionary; false with the reason when they cannot.
bool OpenDecoders(Decoders& d, std::string& error);
void CloseDecoders(Decoders& d);
// Makes the grammar of these phrases (unknown words spelt by espeak-ng first); an utterance under way is
// abandoned.
GrammarReport LoadGrammar(Decoders& d, const std::vector<std::string>& phrases);
// One utterance: begun, fed 16 kHz samples as they come, ended with (judge) or without a verdict.
void BeginUtterance(Decoders& d);
void FeedUtterance(Decoders& d, const int16_t* samples, size_t count);
UtteranceVerdict EndUtterance(Decoders& d, bool judge);

// ---- Audio sources (recogniser_capture.cpp)
inline constexpr int kCaptureRate = 16000;
inline constexpr size_t kChunkSamples = 320; // 20 ms

struct SoundInput;

// Where the capture thread's sound comes from: the default capture device, or WAV files dropped in the
// utterance folder and played at their own pace, with a faint noise floor between them.
struct AudioSource {
    SoundInput* microphone = nullptr;
    std::string folder;           // the utterance folder; empty for the microphone
    std::vector<int16_t> playing; // the file being played, at 16 kHz
    size_t playedTo = 0;
    uint32_t noiseState = 2463534242u;
    int64_t nextChunkMicros = 0; // when the folder's next chunk is due, on the steady clock
    int chunksSinceLook = 0;     // chunks since the folder was last looked into
    // Set by the main thread at a press: a wait between utterances ends at once, so the folder's file
    // starts playing with the press rather than up to 100 ms after it.
    const std::atomic<bool>* pressed = nullptr;
};

// Opens the default capture device at 16 kHz mono; false with the sound server's reason.
bool OpenMicrophone(AudioSource& source, std::string& error);
void CloseAudioSource(AudioSource& source);
// The next 20 ms of sound into `chunk`, waiting until it has been captured (microphone) or is due
// (folder). False when the microphone failed; the source is then closed. A folder is looked into for a
// new utterance every chunk while push-to-talk is held (`listening`), otherwise every 100 ms.
bool ReadChunk(AudioSource& source, int16_t* chunk, bool listening);
