// eSpeak NG inside the process: the voice table, rendering in the library's synchronous mode into the
// caller's sink under the engine's lock, and the resampler for other sample rates.
#include "platform/engines/voice_espeak.h"

#include "platform/engines/espeak_engine.h"

#include <algorithm>
#include <cmath>
#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>
#include <mutex>
#include <numbers>

namespace {

// Where the line being rendered goes; set and read only while the engine's lock is held.
const EspeakSink* currentSink = nullptr;

int OnSamples(short* samples, int count, espeak_EVENT*) {
    if (samples == nullptr || count <= 0 || currentSink == nullptr) return 0;
    return (*currentSink)(reinterpret_cast<const int16_t*>(samples), static_cast<size_t>(count)) ? 0 : 1;
}

// The program's text is 8-bit Latin-1; the library reads UTF-8.
std::string Utf8FromLatin1(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return out;
}

} // namespace

const std::vector<EspeakVoice>& EspeakVoices() {
    // The captain is a low American male voice, the first officer a clear, higher American female one: of
    // eSpeak's variants, these two were the best understood by the recogniser. A British voice gives a
    // third choice, and the German one is there for the program's English filter to drop.
    static const std::vector<EspeakVoice> voices = {
        {"eSpeak David - English (United States)", "en-us+m6"},
        {"eSpeak Hedda - German (Germany)", "de+f2"},
        {"eSpeak Zira - English (United States)", "en-us+f5"},
        {"eSpeak George - English (Great Britain)", "en-gb-x-rp"},
    };
    return voices;
}

int EspeakWordsPerMinute(int rate) {
    rate = std::clamp(rate, -10, 10);
    double wpm = espeakRATE_NORMAL * std::pow(3.0, rate / 10.0);
    return std::clamp(static_cast<int>(std::lround(wpm)), espeakRATE_MINIMUM, espeakRATE_MAXIMUM);
}

bool StartEspeak() {
    std::lock_guard<std::mutex> hold(EspeakEngine().lock);
    return EnsureEspeakStarted() && espeak_ng_GetSampleRate() == kEspeakSampleRate;
}

bool RenderEspeak(const std::string& text, int position, int rate, const EspeakSink& sink) {
    const auto& voices = EspeakVoices();
    if (position < 0 || position >= static_cast<int>(voices.size())) return false;
    return RenderEspeakVoice(text, voices[static_cast<size_t>(position)].name, rate, sink);
}

bool RenderEspeakVoice(const std::string& text, const std::string& voiceName, int rate,
                       const EspeakSink& sink) {
    std::string utf8 = Utf8FromLatin1(text);

    std::lock_guard<std::mutex> hold(EspeakEngine().lock);
    if (!EnsureEspeakStarted() || espeak_ng_GetSampleRate() != kEspeakSampleRate) return false;
    // Others using the engine (the recogniser's pronunciations) change its voice and its sample callback,
    // so both are set for every line.
    espeak_SetSynthCallback(OnSamples);
    if (espeak_SetVoiceByName(voiceName.c_str()) != EE_OK) return false;
    espeak_SetParameter(espeakRATE, EspeakWordsPerMinute(rate), 0);
    espeak_SetParameter(espeakVOLUME, 100, 0);
    espeak_SetParameter(espeakPITCH, 50, 0);
    espeak_SetParameter(espeakRANGE, 50, 0);
    // eSpeak NG 1.52 draws its breath noise from a generator of its own, seeded with the clock: seeded the
    // same for every line, a line sounds the same whenever it is said. 1.51 draws it from the C library's
    // generator, which the program's own random choices share: that one is left alone.
#ifdef TALVERO_ESPEAK_SEEDS_ITS_NOISE
    espeak_ng_SetRandSeed(1);
#endif
    currentSink = &sink;
    espeak_ERROR result =
        espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
    currentSink = nullptr;
    return result == EE_OK;
}

std::vector<int16_t> ResampleSpeech(const std::vector<int16_t>& samples, int fromRate, int toRate) {
    if (fromRate <= 0 || toRate <= 0 || samples.empty()) return {};
    if (fromRate == toRate) return samples;
    // A windowed-sinc low-pass below the lower of the two Nyquist frequencies, tabulated finely and read
    // with linear interpolation between table steps.
    const double step = static_cast<double>(fromRate) / toRate; // input samples per output sample
    const double cutoff = 0.46 * std::min(1.0, 1.0 / step);     // cycles per input sample
    const int halfWidth = static_cast<int>(std::ceil(24.0 * std::max(1.0, step)));
    constexpr int kSteps = 256; // table entries per input sample
    std::vector<double> kernel(static_cast<size_t>(halfWidth * kSteps + 2), 0.0);
    for (size_t i = 0; i < kernel.size(); ++i) {
        double x = static_cast<double>(i) / kSteps;
        if (x > halfWidth) break;
        double arg = 2.0 * std::numbers::pi * cutoff * x;
        double sinc = x == 0.0 ? 2.0 * cutoff : std::sin(arg) / (std::numbers::pi * x);
        double window = 0.42 + 0.5 * std::cos(std::numbers::pi * x / halfWidth) +
                        0.08 * std::cos(2.0 * std::numbers::pi * x / halfWidth); // Blackman
        kernel[i] = sinc * window;
    }
    auto tap = [&](double distance) {
        double at = std::abs(distance) * kSteps;
        auto index = static_cast<size_t>(at);
        if (index + 1 >= kernel.size()) return 0.0;
        double frac = at - static_cast<double>(index);
        return kernel[index] * (1.0 - frac) + kernel[index + 1] * frac;
    };

    const auto count = static_cast<long>(samples.size());
    const auto outCount = static_cast<size_t>(static_cast<double>(samples.size()) / step);
    std::vector<int16_t> out(outCount);
    for (size_t j = 0; j < outCount; ++j) {
        double t = static_cast<double>(j) * step;
        long centre = static_cast<long>(std::floor(t));
        long first = std::max(0L, centre - halfWidth + 1);
        long last = std::min(count - 1, centre + halfWidth);
        double sum = 0.0;
        for (long i = first; i <= last; ++i)
            sum += samples[static_cast<size_t>(i)] * tap(t - static_cast<double>(i));
        out[j] = static_cast<int16_t>(std::clamp(std::lround(sum), -32768L, 32767L));
    }
    return out;
}
