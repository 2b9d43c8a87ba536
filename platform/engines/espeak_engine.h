// The process's one espeak-ng engine, shared by the Linux voice and the recogniser's pronunciations:
// espeak-ng keeps global state, so every call into it is made holding this lock.
#pragma once
#include <mutex>
#include <string>

struct EspeakEngineState {
    std::mutex lock;
    bool started = false; // espeak_Initialize has succeeded
    bool failed = false;  // it was tried and failed; not tried again
    std::string whyNot;   // why it failed, for the log
};
EspeakEngineState& EspeakEngine();
// Starts the engine (synchronous output, no sound device) unless it already runs; call holding the lock.
// False when espeak-ng cannot start.
bool EnsureEspeakStarted();
