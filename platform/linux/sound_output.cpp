// The speech synthesiser's sound output on Linux: PulseAudio's threaded main loop, whose own thread talks to
// the server; the playback thread only takes the loop's lock for a moment to look and to write.
#include "platform/sound_output.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

struct SoundOutput {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
};

namespace {

void Wake(pa_threaded_mainloop* loop) {
    pa_threaded_mainloop_signal(loop, 0);
}

void OnContextState(pa_context*, void* loop) {
    Wake(static_cast<pa_threaded_mainloop*>(loop));
}

void OnStreamState(pa_stream*, void* loop) {
    Wake(static_cast<pa_threaded_mainloop*>(loop));
}

// Called with the loop's lock held.
bool Good(const SoundOutput& output) {
    return PA_CONTEXT_IS_GOOD(pa_context_get_state(output.context)) &&
           (output.stream == nullptr || PA_STREAM_IS_GOOD(pa_stream_get_state(output.stream)));
}

} // namespace

SoundOutput* OpenSoundOutput(int sampleRate) {
    auto* output = new SoundOutput;
    output->loop = pa_threaded_mainloop_new();
    if (output->loop == nullptr) {
        delete output;
        return nullptr;
    }
    output->context = pa_context_new(pa_threaded_mainloop_get_api(output->loop), "talvero");
    if (output->context == nullptr) {
        CloseSoundOutput(output);
        return nullptr;
    }
    pa_context_set_state_callback(output->context, OnContextState, output->loop);
    if (pa_context_connect(output->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(output->loop) < 0) {
        CloseSoundOutput(output);
        return nullptr;
    }

    pa_threaded_mainloop_lock(output->loop);
    while (pa_context_get_state(output->context) != PA_CONTEXT_READY && Good(*output))
        pa_threaded_mainloop_wait(output->loop);
    bool ready = pa_context_get_state(output->context) == PA_CONTEXT_READY;
    if (ready) {
        pa_sample_spec spec{};
        spec.format = PA_SAMPLE_S16LE;
        spec.rate = static_cast<uint32_t>(sampleRate);
        spec.channels = 1;
        output->stream = pa_stream_new(output->context, "first officer", &spec, nullptr);
    }
    if (output->stream != nullptr) {
        pa_stream_set_state_callback(output->stream, OnStreamState, output->loop);
        // 60 ms waiting in the stream: little enough that the mouth keeps up with the voice.
        pa_buffer_attr buffer{};
        buffer.maxlength = static_cast<uint32_t>(-1);
        buffer.tlength = static_cast<uint32_t>(sampleRate * 6 / 100 * 2);
        buffer.prebuf = static_cast<uint32_t>(-1);
        buffer.minreq = static_cast<uint32_t>(-1);
        buffer.fragsize = static_cast<uint32_t>(-1);
        auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_ADJUST_LATENCY |
                                                    PA_STREAM_AUTO_TIMING_UPDATE);
        if (pa_stream_connect_playback(output->stream, nullptr, &buffer, flags, nullptr, nullptr) == 0) {
            while (pa_stream_get_state(output->stream) != PA_STREAM_READY && Good(*output))
                pa_threaded_mainloop_wait(output->loop);
        }
    }
    ready = output->stream != nullptr && pa_stream_get_state(output->stream) == PA_STREAM_READY;
    pa_threaded_mainloop_unlock(output->loop);
    if (!ready) {
        CloseSoundOutput(output);
        return nullptr;
    }
    return output;
}

long SoundOutputWritable(SoundOutput* output) {
    pa_threaded_mainloop_lock(output->loop);
    long samples = -1;
    if (Good(*output)) {
        size_t bytes = pa_stream_writable_size(output->stream);
        samples = bytes == static_cast<size_t>(-1) ? -1 : static_cast<long>(bytes / sizeof(int16_t));
    }
    pa_threaded_mainloop_unlock(output->loop);
    return samples;
}

void SoundOutputWrite(SoundOutput* output, const int16_t* samples, size_t count) {
    pa_threaded_mainloop_lock(output->loop);
    pa_stream_write(output->stream, samples, count * sizeof(int16_t), nullptr, 0, PA_SEEK_RELATIVE);
    pa_threaded_mainloop_unlock(output->loop);
}

void SoundOutputPlayOut(SoundOutput* output) {
    pa_threaded_mainloop_lock(output->loop);
    if (pa_operation* operation = pa_stream_trigger(output->stream, nullptr, nullptr))
        pa_operation_unref(operation);
    pa_threaded_mainloop_unlock(output->loop);
}

bool SoundOutputLatency(SoundOutput* output, std::chrono::microseconds& latency) {
    pa_threaded_mainloop_lock(output->loop);
    pa_usec_t usec = 0;
    int negative = 0;
    bool known = pa_stream_get_latency(output->stream, &usec, &negative) == 0;
    pa_threaded_mainloop_unlock(output->loop);
    latency = std::chrono::microseconds(known && !negative ? static_cast<long>(usec) : 0);
    return known;
}

void CloseSoundOutput(SoundOutput* output) {
    if (output == nullptr) return;
    if (output->loop != nullptr) pa_threaded_mainloop_lock(output->loop);
    if (output->stream != nullptr) {
        if (pa_stream_get_state(output->stream) == PA_STREAM_READY) {
            if (pa_operation* operation = pa_stream_flush(output->stream, nullptr, nullptr))
                pa_operation_unref(operation);
        }
        pa_stream_disconnect(output->stream);
        pa_stream_unref(output->stream);
    }
    if (output->context != nullptr) {
        pa_context_disconnect(output->context);
        pa_context_unref(output->context);
    }
    if (output->loop != nullptr) {
        pa_threaded_mainloop_unlock(output->loop);
        pa_threaded_mainloop_stop(output->loop);
        pa_threaded_mainloop_free(output->loop);
    }
    delete output;
}
