// The default capture device, as the offline recogniser hears the captain: mono 16-bit samples at a rate
// the recogniser chooses, read a chunk at a time on the capture thread. Linux records through PulseAudio;
// Windows through the wave-in device (winmm), which every Windows has, resampled by the system's mapper.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct SoundInput;

// Opens the default capture device; null with the sound system's reason when there is none.
SoundInput* OpenSoundInput(int sampleRate, size_t chunkSamples, std::string& error);
// Waits until `count` samples (one chunk) have been captured and copies them out. False when the device
// failed or went away; the caller then closes it and may try to open it again later.
bool ReadSoundInput(SoundInput* input, int16_t* samples, size_t count);
// Accepts null.
void CloseSoundInput(SoundInput* input);
