// The speech synthesiser's sound output: a playback stream to the default output through PulseAudio's
// asynchronous API (PipeWire serves it too), fed without ever waiting on the sound server, so that the
// playback thread can always stop at once.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>

struct PulseOutput;

// Connects a mono 16-bit stream at `sampleRate`; null when there is no sound server (the connection is
// refused or fails). Waits for the server's answer, so it belongs on the playback thread.
PulseOutput* OpenPulseOutput(int sampleRate);
// How many samples the stream takes now without waiting; negative once the stream has failed.
long PulseWritable(PulseOutput* output);
void PulseWrite(PulseOutput* output, const int16_t* samples, size_t count);
// Plays what the stream holds even when that is less than it waits for before starting (a line's end).
void PulsePlayOut(PulseOutput* output);
// The time until a sample written now will be heard; false while the server has not said yet.
bool PulseLatency(PulseOutput* output, std::chrono::microseconds& latency);
// Drops what the stream holds and disconnects. Accepts null.
void ClosePulseOutput(PulseOutput* output);
