// The default sound output, as the offline voice plays its lines: one mono 16-bit stream, fed without ever
// waiting on the sound system, so that the playback thread can always stop at once. Linux plays through
// PulseAudio's asynchronous API (PipeWire serves it too); Windows through the wave-out device (winmm).
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>

struct SoundOutput;

// Opens a mono 16-bit stream at `sampleRate` to the default output; null when there is none (no sound
// server, no output device). May wait for the sound system's answer, so it belongs on the playback thread.
SoundOutput* OpenSoundOutput(int sampleRate);
// How many samples the stream takes now without waiting; negative once the stream has failed (the device
// or the server went away).
long SoundOutputWritable(SoundOutput* output);
void SoundOutputWrite(SoundOutput* output, const int16_t* samples, size_t count);
// Plays what the stream holds even when that is less than it waits for before starting (a line's end).
void SoundOutputPlayOut(SoundOutput* output);
// The time until a sample written now will be heard; false while the sound system has not said yet.
bool SoundOutputLatency(SoundOutput* output, std::chrono::microseconds& latency);
// Drops what the stream holds and closes it. Accepts null.
void CloseSoundOutput(SoundOutput* output);
