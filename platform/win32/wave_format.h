// The wave devices' sample format: mono 16-bit PCM at a given rate, as the built-in speech engines use it
// for both recording and playing.
#pragma once
#include <windows.h>

#include <mmsystem.h>

inline WAVEFORMATEX MonoPcm16(int sampleRate) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    return format;
}
