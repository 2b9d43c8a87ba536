// Recorded sound: WAV files read and written, resampling, and noise mixed in at a chosen
// signal-to-noise ratio.
#include "platform/audio_clip.h"

#include "platform/files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <random>

namespace {
// The clip code lives below the program's own helpers (the platform's recogniser reads utterances with
// it), so it writes its files itself; it reads them with the platform's whole-file read.
bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (std::fclose(f) == 0) && ok;
}
} // namespace

namespace {

uint32_t Le32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t Le16(const std::string& b, size_t at) {
    return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

int16_t Clamp16(double v) {
    long r = std::lround(v);
    return int16_t(std::clamp(r, -32768L, 32767L));
}

// One sample of the given format as a value in -1..1.
double SampleValue(const std::string& b, size_t at, int format, int bits) {
    if (format == 3) {
        if (bits == 32) {
            uint32_t u = Le32(b, at);
            float f;
            std::memcpy(&f, &u, 4);
            return std::isfinite(f) ? double(f) : 0.0;
        }
        uint64_t u = uint64_t(Le32(b, at)) | uint64_t(Le32(b, at + 4)) << 32;
        double d;
        std::memcpy(&d, &u, 8);
        return std::isfinite(d) ? d : 0.0;
    }
    switch (bits) {
    case 8:
        return (int(uint8_t(b[at])) - 128) / 128.0;
    case 16:
        return int16_t(Le16(b, at)) / 32768.0;
    case 24: {
        int32_t v = int32_t(uint32_t(uint8_t(b[at])) << 8 | uint32_t(uint8_t(b[at + 1])) << 16 |
                            uint32_t(uint8_t(b[at + 2])) << 24);
        return (v >> 8) / 8388608.0;
    }
    default:
        return int32_t(Le32(b, at)) / 2147483648.0;
    }
}

} // namespace

bool ReadWav(const std::string& path, AudioClip& clip) {
    clip = AudioClip{};
    bool ok = false;
    std::string b = ReadWholeFile(path, &ok);
    if (!ok || b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) return false;
    int format = 0, channels = 0, bits = 0;
    uint32_t rate = 0;
    size_t dataAt = 0, dataSize = 0;
    bool haveFormat = false, haveData = false;
    for (size_t at = 12; at + 8 <= b.size();) {
        std::string id = b.substr(at, 4);
        size_t size = Le32(b, at + 4);
        size_t body = at + 8;
        if (id == "fmt ") {
            if (size < 16 || body + 16 > b.size()) return false;
            format = Le16(b, body);
            channels = Le16(b, body + 2);
            rate = Le32(b, body + 4);
            bits = Le16(b, body + 14);
            if (format == 0xFFFE && size >= 40 && body + 26 <= b.size()) format = Le16(b, body + 24);
            haveFormat = true;
        } else if (id == "data") {
            dataAt = body;
            // A writer that never went back to fill in the size leaves 0 or too much: take what is there.
            dataSize = std::min(size, b.size() - body);
            haveData = true;
            break;
        }
        if (size > b.size() - body) return false;
        at = body + size + (size & 1);
    }
    if (!haveFormat || !haveData || channels < 1 || channels > 16 || rate < 1000 || rate > 384000)
        return false;
    bool integer = format == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    bool floating = format == 3 && (bits == 32 || bits == 64);
    if (!integer && !floating) return false;
    size_t frameBytes = size_t(bits / 8) * size_t(channels);
    size_t frames = dataSize / frameBytes;
    clip.sampleRate = int(rate);
    clip.samples.resize(frames);
    for (size_t f = 0; f < frames; ++f) {
        double sum = 0;
        for (int c = 0; c < channels; ++c)
            sum += SampleValue(b, dataAt + f * frameBytes + size_t(c) * (bits / 8), format, bits);
        clip.samples[f] = Clamp16(sum / channels * 32768.0);
    }
    return true;
}

std::vector<uint8_t> WavBytes(const AudioClip& clip) {
    std::vector<uint8_t> out;
    uint32_t dataBytes = uint32_t(clip.samples.size() * 2);
    out.reserve(44 + dataBytes);
    for (char c : std::string("RIFF")) out.push_back(uint8_t(c));
    Put32(out, 36 + dataBytes);
    for (char c : std::string("WAVEfmt ")) out.push_back(uint8_t(c));
    Put32(out, 16);
    Put16(out, 1); // PCM
    Put16(out, 1); // mono
    Put32(out, uint32_t(clip.sampleRate));
    Put32(out, uint32_t(clip.sampleRate) * 2);
    Put16(out, 2);
    Put16(out, 16);
    for (char c : std::string("data")) out.push_back(uint8_t(c));
    Put32(out, dataBytes);
    for (int16_t s : clip.samples) Put16(out, uint16_t(s));
    return out;
}

bool WriteWav(const std::string& path, const AudioClip& clip) {
    std::vector<uint8_t> bytes = WavBytes(clip);
    std::string temp = path + ".part";
    if (!WriteBytes(temp, std::string(bytes.begin(), bytes.end()))) return false;
    if (!ReplaceFileWith(temp, path)) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

AudioClip Resampled(const AudioClip& clip, int sampleRate) {
    AudioClip out;
    out.sampleRate = sampleRate;
    if (sampleRate <= 0 || clip.sampleRate <= 0 || clip.samples.empty()) return out;
    if (sampleRate == clip.sampleRate) return clip;
    std::vector<double> source(clip.samples.begin(), clip.samples.end());
    if (sampleRate < clip.sampleRate) {
        // Windowed-sinc low-pass at the new Nyquist frequency, so nothing above it folds back.
        double cutoff = 0.5 * sampleRate / clip.sampleRate;
        int half = int(std::ceil(4.0 / cutoff));
        std::vector<double> taps(size_t(2 * half + 1));
        double sum = 0;
        for (int i = -half; i <= half; ++i) {
            double x = 2 * cutoff * i;
            double sinc = i == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
            double window = 0.5 + 0.5 * std::cos(std::numbers::pi * i / (half + 1));
            taps[size_t(i + half)] = 2 * cutoff * sinc * window;
            sum += taps[size_t(i + half)];
        }
        for (double& t : taps) t /= sum;
        std::vector<double> filtered(source.size());
        long n = long(source.size());
        for (long k = 0; k < n; ++k) {
            double acc = 0;
            for (int i = -half; i <= half; ++i) {
                long j = k + i;
                if (j >= 0 && j < n) acc += taps[size_t(i + half)] * source[size_t(j)];
            }
            filtered[size_t(k)] = acc;
        }
        source.swap(filtered);
    }
    size_t count = size_t(double(source.size()) * sampleRate / clip.sampleRate);
    out.samples.resize(count);
    double step = double(clip.sampleRate) / sampleRate;
    for (size_t k = 0; k < count; ++k) {
        double pos = k * step;
        size_t i = size_t(pos);
        double frac = pos - double(i);
        double a = source[std::min(i, source.size() - 1)], b = source[std::min(i + 1, source.size() - 1)];
        out.samples[k] = Clamp16(a + (b - a) * frac);
    }
    return out;
}

namespace {

// The power of the clip's loud stretches: mean square over the 20 ms frames within 25 dB of the loudest.
double SpeechPower(const AudioClip& clip) {
    size_t frame = size_t(std::max(1, clip.sampleRate / 50));
    std::vector<double> powers;
    for (size_t at = 0; at < clip.samples.size(); at += frame) {
        size_t end = std::min(clip.samples.size(), at + frame);
        double sum = 0;
        for (size_t i = at; i < end; ++i) sum += double(clip.samples[i]) * clip.samples[i];
        powers.push_back(sum / double(end - at));
    }
    if (powers.empty()) return 0;
    double loudest = *std::max_element(powers.begin(), powers.end());
    double sum = 0;
    int count = 0;
    for (double p : powers)
        if (p >= loudest * std::pow(10.0, -2.5)) sum += p, ++count;
    return count ? sum / count : 0;
}

// Unit-variance noise of the kind asked for.
std::vector<double> Noise(NoiseKind kind, size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::vector<double> noise(count);
    if (kind == NoiseKind::White) {
        for (double& v : noise) v = gauss(random);
        return noise;
    }
    auto normalised = [&](std::vector<double> values) {
        double power = 0;
        for (double v : values) power += v * v;
        power = count ? power / double(count) : 1;
        if (power > 0)
            for (double& v : values) v /= std::sqrt(power);
        return values;
    };
    if (kind == NoiseKind::Brown) {
        // Integrated white noise, leaking slowly so that it does not wander off (corner near 5 Hz at 16 kHz).
        double level = 0;
        for (double& v : noise) v = level = 0.998 * level + gauss(random);
        return normalised(noise);
    }
    if (kind == NoiseKind::Hum) {
        // At 16 kHz: a fundamental near 95 Hz that wanders a little, eight harmonics falling off, a whine
        // near 3.1 kHz, and brown rumble under them.
        std::vector<double> rumble = Noise(NoiseKind::Brown, count, seed + 1);
        const double rate = 16000, pi = 3.14159265358979;
        double phase = 0, whinePhase = 0, wobble = 0;
        for (size_t i = 0; i < count; ++i) {
            wobble = 0.9995 * wobble + 0.0005 * gauss(random);
            phase += 2 * pi * 95 * (1 + 0.5 * wobble) / rate;
            whinePhase += 2 * pi * 3100 * (1 + 0.2 * wobble) / rate;
            double hum = 0;
            for (int k = 1; k <= 8; ++k) hum += std::sin(k * phase + k * k) / k;
            noise[i] = hum + 0.25 * std::sin(whinePhase) + 0.6 * rumble[i];
        }
        return normalised(noise);
    }
    // Pink: Paul Kellett's filter of white noise (within 0.05 dB of -3 dB/octave above 9 Hz at 44.1 kHz).
    double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0, b6 = 0;
    for (double& v : noise) {
        double w = gauss(random);
        b0 = 0.99886 * b0 + w * 0.0555179;
        b1 = 0.99332 * b1 + w * 0.0750759;
        b2 = 0.96900 * b2 + w * 0.1538520;
        b3 = 0.86650 * b3 + w * 0.3104856;
        b4 = 0.55000 * b4 + w * 0.5329522;
        b5 = -0.7616 * b5 - w * 0.0168980;
        v = b0 + b1 + b2 + b3 + b4 + b5 + b6 + w * 0.5362;
        b6 = w * 0.115926;
    }
    double power = 0;
    for (double v : noise) power += v * v;
    power = count ? power / double(count) : 1;
    if (power > 0)
        for (double& v : noise) v /= std::sqrt(power);
    return noise;
}

void Mix(AudioClip& clip, const std::vector<double>& noise, double gain) {
    for (size_t i = 0; i < clip.samples.size(); ++i)
        clip.samples[i] = Clamp16(clip.samples[i] + gain * noise[i]);
}

} // namespace

void AddNoise(AudioClip& clip, NoiseKind kind, double snrDb, uint32_t seed) {
    double speech = SpeechPower(clip);
    if (speech <= 0) speech = 1000.0 * 1000.0; // a silent clip gets noise as loud as quiet speech
    double gain = std::sqrt(speech / std::pow(10.0, snrDb / 10.0));
    Mix(clip, Noise(kind, clip.samples.size(), seed), gain);
}

void AddNoiseFloor(AudioClip& clip, double rms, uint32_t seed) {
    Mix(clip, Noise(NoiseKind::White, clip.samples.size(), seed), rms);
}

void AppendSilence(AudioClip& clip, double seconds) {
    if (seconds <= 0) return;
    clip.samples.resize(clip.samples.size() + size_t(seconds * clip.sampleRate), 0);
}

double ClipSeconds(const AudioClip& clip) {
    return clip.sampleRate > 0 ? double(clip.samples.size()) / clip.sampleRate : 0.0;
}
