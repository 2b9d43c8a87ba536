// The platform's speech recogniser, as push-to-talk recognition uses it: one rule whose alternatives are
// the phrases, listening switched on and off on command, results queued and fetched one at a time.
// Linux has the built-in recogniser (pocketsphinx over the default capture device); Windows has it too,
// and Windows' own shared recogniser (SAPI) where Windows still offers it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Which recogniser hears the captain, where there is a choice: Windows' shared recogniser when it starts
// and the built-in one otherwise (Automatic), or only the one named.
enum class RecogniserKind { Automatic, Shared, BuiltIn };

struct RecogniserSetup {
    std::vector<std::string> phrases; // the grammar's alternatives, in order
    RecogniserKind kind = RecogniserKind::Automatic;
    // A folder from which recorded utterances (WAV files) come instead of the microphone, for the
    // simulator stand-in and for authors; empty (or a folder that does not exist at start) for the
    // microphone. Platforms without it ignore it. The protocol:
    // - A writer drops one utterance as a ".wav" file (PCM, any rate and channel count; 16 kHz mono
    //   16-bit is best), written under another name (one starting with "." or not ending in ".wav") and
    //   then renamed into place, e.g. "utterance-0001.wav". Files are taken in name order.
    // - The recogniser notices a file within 20 ms, plays its samples in real time into what it hears, as
    //   a microphone would hear them, then deletes it (an unreadable file is deleted unplayed). Between
    //   files it hears a faint noise floor.
    // - Drop the file just before the press (listening true) and release after the audio's length: the
    //   last 300 ms before the press and 120 ms after the release are part of the utterance, so nothing
    //   is lost to the few milliseconds between the drop, the press and the start of playing.
    std::string utteranceFolder;
    // A folder into which each utterance judged is written as it was heard ("heard-0001.wav", 16 kHz mono,
    // from the pre-roll to the release's tail), for comparing the microphone's path with a file's; empty
    // for none. Platforms without the built-in recogniser ignore it.
    std::string heardFolder;
    void (*log)(const std::string& line) = nullptr;   // lines for the run log
    void (*trace)(const std::string& line) = nullptr; // diagnostics that do not belong in the log
};

// Starts the recogniser with its grammar, deaf until told to listen; false when it cannot start (the
// reason has gone to `trace`).
bool StartPlatformRecogniser(const RecogniserSetup& setup);
// Builds the grammar anew from these phrases; false when the recogniser never started or the new grammar
// could not be made.
bool SetPlatformGrammar(const std::vector<std::string>& phrases);
// Push-to-talk: listening from a press (true) to the release (false); a release drops anything not yet
// heard of an utterance that is over.
void SetPlatformListening(bool active);
// The next queued result: the recognised phrase, or "non" when nothing is queued or the utterance was
// rejected. Never blocks.
std::string NextPlatformResult();
void ClosePlatformRecogniser();

// One utterance decoded offline by the built-in recogniser against a list of phrases: the phrase heard, or
// "non" for a rejection (or when the recogniser's model cannot be loaded). For the tools and the tests.
std::string RecogniseSamples(const std::vector<std::string>& phrases, const std::vector<int16_t>& samples,
                             int sampleRate);
