// The default capture device on Windows: the wave-in device (winmm) through the wave mapper, which every
// Windows has (and wine too), and which converts whatever the microphone delivers (48 kHz stereo, say) to
// the 16 kHz mono the recogniser asks for. A ring of chunk-sized buffers is kept queued; the capture thread
// waits on the device's event for the next one in order.
#include "platform/sound_input.h"
#include "platform/win32/wave_format.h"

#include <windows.h>

#include <mmsystem.h>

#include <cstring>
#include <vector>

namespace {
constexpr int kBuffers = 8;
constexpr DWORD kChunkTimeoutMs = 2000; // a device that delivers nothing for this long has gone away
} // namespace

struct SoundInput {
    HWAVEIN device = nullptr;
    HANDLE ready = nullptr; // set by the device whenever a buffer is done
    std::vector<std::vector<int16_t>> data;
    std::vector<WAVEHDR> headers;
    int next = 0; // the buffer that completes next
};

SoundInput* OpenSoundInput(int sampleRate, size_t chunkSamples, std::string& error) {
    const WAVEFORMATEX format = MonoPcm16(sampleRate);
    auto* input = new SoundInput;
    input->ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    MMRESULT result = waveInOpen(&input->device, WAVE_MAPPER, &format,
                                 reinterpret_cast<DWORD_PTR>(input->ready), 0, CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) {
        error =
            result == MMSYSERR_BADDEVICEID || result == MMSYSERR_NODRIVER
                ? "no recording device"
                : "the recording device refused to open (waveInOpen error " + std::to_string(result) + ")";
        CloseHandle(input->ready);
        delete input;
        return nullptr;
    }
    input->data.assign(kBuffers, std::vector<int16_t>(chunkSamples));
    input->headers.assign(kBuffers, WAVEHDR{});
    for (int i = 0; i < kBuffers; ++i) {
        WAVEHDR& h = input->headers[static_cast<size_t>(i)];
        h.lpData = reinterpret_cast<LPSTR>(input->data[static_cast<size_t>(i)].data());
        h.dwBufferLength = static_cast<DWORD>(chunkSamples * 2);
        waveInPrepareHeader(input->device, &h, sizeof h);
        waveInAddBuffer(input->device, &h, sizeof h);
    }
    if (waveInStart(input->device) != MMSYSERR_NOERROR) {
        error = "the recording device did not start";
        CloseSoundInput(input);
        return nullptr;
    }
    return input;
}

bool ReadSoundInput(SoundInput* input, int16_t* samples, size_t count) {
    if (!input) return false;
    WAVEHDR& h = input->headers[static_cast<size_t>(input->next)];
    while (!(h.dwFlags & WHDR_DONE)) {
        if (WaitForSingleObject(input->ready, kChunkTimeoutMs) != WAIT_OBJECT_0 && !(h.dwFlags & WHDR_DONE))
            return false;
    }
    const size_t got = std::min(count, static_cast<size_t>(h.dwBytesRecorded / 2));
    std::memcpy(samples, h.lpData, got * 2);
    if (got < count) std::memset(samples + got, 0, (count - got) * 2);
    h.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    if (waveInAddBuffer(input->device, &h, sizeof h) != MMSYSERR_NOERROR) return false;
    input->next = (input->next + 1) % kBuffers;
    return true;
}

void CloseSoundInput(SoundInput* input) {
    if (!input) return;
    waveInReset(input->device); // hands back every queued buffer
    for (WAVEHDR& h : input->headers) waveInUnprepareHeader(input->device, &h, sizeof h);
    waveInClose(input->device);
    CloseHandle(input->ready);
    delete input;
}
