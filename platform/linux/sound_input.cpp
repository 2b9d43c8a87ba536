// The default capture device on Linux: a PulseAudio record stream (PipeWire serves it too), read with the
// blocking simple API on the capture thread.
#include "platform/sound_input.h"

#include <pulse/error.h>
#include <pulse/simple.h>

struct SoundInput {
    pa_simple* stream = nullptr;
};

SoundInput* OpenSoundInput(int sampleRate, size_t chunkSamples, std::string& error) {
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = static_cast<uint32_t>(sampleRate);
    spec.channels = 1;
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.fragsize = uint32_t(chunkSamples * 2);
    int code = 0;
    pa_simple* stream = pa_simple_new(nullptr, "Virtual first officer", PA_STREAM_RECORD, nullptr,
                                      "Captain's voice", &spec, nullptr, &attr, &code);
    if (!stream) {
        error = pa_strerror(code);
        return nullptr;
    }
    return new SoundInput{stream};
}

bool ReadSoundInput(SoundInput* input, int16_t* samples, size_t count) {
    if (!input) return false;
    int code = 0;
    return pa_simple_read(input->stream, samples, count * 2, &code) >= 0;
}

void CloseSoundInput(SoundInput* input) {
    if (!input) return;
    pa_simple_free(input->stream);
    delete input;
}
