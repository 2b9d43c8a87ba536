// Recorded sound: WAV files read and written, resampling, and noise mixed in at a chosen signal-to-noise
// ratio; for the built-in recogniser's utterance files, the tools, the tests, the stand-in and the benchmarks.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Mono 16-bit samples at one rate.
struct AudioClip {
    int sampleRate = 16000;
    std::vector<int16_t> samples;
};

// Reads a RIFF/WAVE file of PCM samples (8, 16, 24 or 32-bit integers, or 32-bit floats; any number of
// channels, which are averaged into one) into a mono 16-bit clip at the file's own rate. False, with the
// clip left empty, for a missing, truncated or unsupported file.
bool ReadWav(const std::string& path, AudioClip& clip);
// Writes a 16-bit PCM mono WAV file atomically: a temporary name beside it, then a rename, so a reader
// watching the folder never sees half a file. False when it cannot be written.
bool WriteWav(const std::string& path, const AudioClip& clip);
// The WAV file's bytes (header and samples), for writers that place the file themselves.
std::vector<uint8_t> WavBytes(const AudioClip& clip);

// The clip at another rate (linear interpolation behind a low-pass filter when the rate falls).
AudioClip Resampled(const AudioClip& clip, int sampleRate);

enum class NoiseKind {
    White, // flat spectrum: hiss, wind
    Pink,  // falling 3 dB per octave: engine and cabin rumble
    Brown, // falling 6 dB per octave: airflow and the low roar of the airframe
    Hum,   // an engine's hum: a low fundamental with its harmonics, a turbine's whine and rumble beneath
};
// Mixes noise into the clip at `snrDb` decibels below the clip's speech power (the power of its loud
// stretches, so leading and trailing silence do not lower it). The same seed gives the same noise.
void AddNoise(AudioClip& clip, NoiseKind kind, double snrDb, uint32_t seed);
// Adds a faint white noise floor of this RMS level (in sample units; about 3 is a quiet microphone), so
// stretches of exact digital silence sound like a real input.
void AddNoiseFloor(AudioClip& clip, double rms, uint32_t seed);
// Appends `seconds` of silence (exact zeros) to the clip; negative or zero appends nothing.
void AppendSilence(AudioClip& clip, double seconds);
// The clip's length in seconds.
double ClipSeconds(const AudioClip& clip);
