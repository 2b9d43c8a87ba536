// What the Linux speech synthesiser shows its own tests beyond the platform seam: every block of samples
// handed to the sound output (or, without one, timed as if played), after the volume is applied.
#pragma once
#include <cstddef>
#include <cstdint>

// Called on the playback thread with each block, at the rate eSpeak renders at; null for none.
using VoiceTap = void (*)(const int16_t* samples, size_t count);
void SetPlatformVoiceTap(VoiceTap tap);
