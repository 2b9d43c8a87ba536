// The second synthesiser through Debian's flite library and its four US English voices.
#include "bench/speakers/second_synthesiser.h"
#include "platform/engines/voice_espeak.h"

#include <flite/flite.h>

#include <map>
#include <mutex>

extern "C" {
cst_voice* register_cmu_us_kal(const char* voxdir);
cst_voice* register_cmu_us_slt(const char* voxdir);
cst_voice* register_cmu_us_rms(const char* voxdir);
cst_voice* register_cmu_us_awb(const char* voxdir);
}

namespace {

std::mutex& FliteLock() {
    static std::mutex lock;
    return lock;
}

cst_voice* FliteVoice(const std::string& name) {
    static const std::map<std::string, cst_voice*> voices = [] {
        flite_init();
        return std::map<std::string, cst_voice*>{{"kal", register_cmu_us_kal(nullptr)},
                                                 {"slt", register_cmu_us_slt(nullptr)},
                                                 {"rms", register_cmu_us_rms(nullptr)},
                                                 {"awb", register_cmu_us_awb(nullptr)}};
    }();
    auto found = voices.find(name);
    return found == voices.end() ? nullptr : found->second;
}

} // namespace

std::vector<std::string> SecondSynthesiserVoices() {
    return {"kal", "slt", "rms", "awb"};
}

std::vector<int16_t> RenderSecondSynthesiser(const std::string& text, const std::string& voice,
                                             int sampleRate) {
    std::lock_guard<std::mutex> hold(FliteLock());
    cst_voice* v = FliteVoice(voice);
    if (!v) return {};
    cst_wave* wave = flite_text_to_wave(text.c_str(), v);
    if (!wave) return {};
    std::vector<int16_t> samples(wave->samples, wave->samples + wave->num_samples * wave->num_channels);
    const int rate = wave->sample_rate;
    delete_wave(wave);
    return ResampleSpeech(samples, rate, sampleRate);
}
