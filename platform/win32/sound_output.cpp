// The speech synthesiser's sound output on Windows: the wave-out device (winmm) through the wave mapper,
// fed from a ring of buffers: the playback thread writes only into buffers the device has finished with,
// so it never waits on the device.
#include "platform/sound_output.h"
#include "platform/win32/wave_format.h"

#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
constexpr int kBuffers = 16;
constexpr size_t kBufferSamples = 1024; // about 46 ms at eSpeak's 22050 Hz
} // namespace

struct SoundOutput {
    HWAVEOUT device = nullptr;
    int sampleRate = 0;
    std::vector<std::vector<int16_t>> data;
    std::vector<WAVEHDR> headers;
    int next = 0;         // the buffer written next
    uint64_t written = 0; // samples handed to the device
    bool failed = false;
};

namespace {
bool Free(const WAVEHDR& h) {
    return !(h.dwFlags & WHDR_INQUEUE);
}
} // namespace

SoundOutput* OpenSoundOutput(int sampleRate) {
    const WAVEFORMATEX format = MonoPcm16(sampleRate);
    HWAVEOUT device = nullptr;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return nullptr;
    auto* output = new SoundOutput;
    output->device = device;
    output->sampleRate = sampleRate;
    output->data.assign(kBuffers, std::vector<int16_t>(kBufferSamples));
    output->headers.assign(kBuffers, WAVEHDR{});
    for (int i = 0; i < kBuffers; ++i) {
        WAVEHDR& h = output->headers[static_cast<size_t>(i)];
        h.lpData = reinterpret_cast<LPSTR>(output->data[static_cast<size_t>(i)].data());
        h.dwBufferLength = static_cast<DWORD>(kBufferSamples * 2);
        waveOutPrepareHeader(device, &h, sizeof h);
    }
    return output;
}

long SoundOutputWritable(SoundOutput* output) {
    if (!output || output->failed) return -1;
    long room = 0;
    for (int i = 0; i < kBuffers; ++i) {
        if (!Free(output->headers[static_cast<size_t>((output->next + i) % kBuffers)])) break;
        room += static_cast<long>(kBufferSamples);
    }
    return room;
}

void SoundOutputWrite(SoundOutput* output, const int16_t* samples, size_t count) {
    if (!output || output->failed) return;
    while (count > 0) {
        WAVEHDR& h = output->headers[static_cast<size_t>(output->next)];
        if (!Free(h)) return; // more than SoundOutputWritable allowed: the rest is dropped
        const size_t n = std::min(count, kBufferSamples);
        std::memcpy(h.lpData, samples, n * 2);
        h.dwBufferLength = static_cast<DWORD>(n * 2);
        if (waveOutWrite(output->device, &h, sizeof h) != MMSYSERR_NOERROR) {
            output->failed = true;
            return;
        }
        output->written += n;
        output->next = (output->next + 1) % kBuffers;
        samples += n;
        count -= n;
    }
}

void SoundOutputPlayOut(SoundOutput*) {
    // Every buffer written plays at once; there is no start-up threshold to get past.
}

bool SoundOutputLatency(SoundOutput* output, std::chrono::microseconds& latency) {
    if (!output || output->failed) return false;
    MMTIME time{};
    time.wType = TIME_SAMPLES;
    if (waveOutGetPosition(output->device, &time, sizeof time) != MMSYSERR_NOERROR ||
        time.wType != TIME_SAMPLES)
        return false;
    const uint64_t played = time.u.sample;
    const uint64_t waiting = output->written > played ? output->written - played : 0;
    latency = std::chrono::microseconds(waiting * 1000000 / static_cast<uint64_t>(output->sampleRate));
    return true;
}

void CloseSoundOutput(SoundOutput* output) {
    if (!output) return;
    waveOutReset(output->device);
    for (WAVEHDR& h : output->headers) waveOutUnprepareHeader(output->device, &h, sizeof h);
    waveOutClose(output->device);
    delete output;
}
