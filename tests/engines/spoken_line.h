// A line spoken by eSpeak NG in one of its voices for the recogniser's tests, at the capture rate.
#pragma once
#include "platform/audio_clip.h"
#include "platform/engines/voice_espeak.h"

#include <string>
#include <vector>

inline AudioClip SpokenLine(const std::string& text, const char* voice) {
    std::vector<int16_t> at22k;
    RenderEspeakVoice(text, voice, 0, [&](const int16_t* s, size_t n) {
        at22k.insert(at22k.end(), s, s + n);
        return true;
    });
    return AudioClip{16000, ResampleSpeech(at22k, kEspeakSampleRate, 16000)};
}

// The line in a quiet room: with a faint noise floor around it.
inline AudioClip SpokenInRoom(const std::string& text, const char* voice, uint32_t seed) {
    AudioClip clip = SpokenLine(text, voice);
    AddNoiseFloor(clip, 3, seed);
    return clip;
}
