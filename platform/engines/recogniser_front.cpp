// The recogniser's front end, before the decoder: the microphone's DC offset taken out, so that an offset
// neither hides the rise of speech above its background nor pushes the decoder's energy features; and the
// level control, which brings each utterance's speech to one level; and the utterance's ends cut to the
// speech and a margin around it.
#include "platform/engines/recogniser_parts.h"

#include <algorithm>
#include <cmath>

namespace {

// The speech level of the frames so far, and whether they hold enough speech to tell it: the mean power of
// the frames within 10 dB of the loudest, counted when the loudest rises well over the background (the
// 10th percentile); with no such rise, the loudest frames' level (the 95th percentile), from which the
// gain may only lower the sound. A fricative's hiss lies some 20 dB under the vowels: the loudest frames
// are the vowels once one has been heard.
struct LevelEstimate {
    double speechDb = 0;
    int speechFrames = 0;
};

LevelEstimate EstimateLevel(const std::vector<double>& levels) {
    LevelEstimate e;
    if (levels.empty()) return e;
    std::vector<double> sorted = levels;
    std::sort(sorted.begin(), sorted.end());
    const double background = sorted[sorted.size() / 10], loudest = sorted.back();
    if (loudest < background + kLevelSpeechOverBackgroundDb) {
        e.speechDb = sorted[sorted.size() * 95 / 100];
        return e;
    }
    double power = 0;
    for (double db : levels) {
        if (db < loudest - kLevelSpeechSpreadDb) continue;
        power += std::pow(10.0, db / 10);
        ++e.speechFrames;
    }
    e.speechDb = 10 * std::log10(power / e.speechFrames);
    return e;
}

// The frames that hold speech, when speech is evident in them: the first and the last frame 10 dB over the
// background and within 40 dB of the loudest; -1 for both when the sound never rose far enough over its
// background to tell speech from it.
struct SpeechSpan {
    int first = -1;
    int last = -1;
};

SpeechSpan FindSpeech(const std::vector<double>& levels) {
    SpeechSpan span;
    if (levels.size() < 10) return span;
    std::vector<double> sorted = levels;
    std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 10), sorted.end());
    const double background = sorted[sorted.size() / 10];
    const double loudest = *std::max_element(levels.begin(), levels.end());
    if (loudest < background + kLevelSpeechOverBackgroundDb) return span;
    const double threshold = std::max(background + kTrimOverBackgroundDb, loudest - kTrimUnderLoudestDb);
    for (size_t i = 0; i < levels.size(); ++i) {
        if (levels[i] < threshold) continue;
        if (span.first < 0) span.first = int(i);
        span.last = int(i);
    }
    return span;
}

void Decide(FrontEnd& f) {
    const LevelEstimate e = EstimateLevel(f.levels);
    f.decided = true;
    f.speechDb = e.speechDb;
    f.loudestDb = f.levels.empty() ? 0 : *std::max_element(f.levels.begin(), f.levels.end());
    f.gain = 1;
    f.start = 0;
    const SpeechSpan speech = FindSpeech(f.levels);
    if (f.trim && speech.first >= 0)
        f.start = size_t(std::max(0, speech.first - kTrimLeadFrames)) * (kCaptureRate / 100);
    f.sent = f.start;
    if (f.levelTargetDb <= 0 || f.levels.empty()) return;
    double gainDb = std::clamp(f.levelTargetDb - e.speechDb, kLevelMinimumGainDb, kLevelMaximumGainDb);
    if (e.speechFrames == 0) gainDb = std::min(0.0, gainDb); // no speech to raise: faint noise stays faint
    f.gain = std::pow(10.0, gainDb / 20);
}

int16_t Gained(const FrontEnd& f, int16_t s) {
    return int16_t(std::clamp(std::lround(s * f.gain), -32768L, 32767L));
}

// The cleaned sound not yet handed out, up to sample `end`, at the gain set.
void Release(FrontEnd& f, size_t end, std::vector<int16_t>& out) {
    end = std::min(end, f.cleaned.size());
    for (; f.sent < end; ++f.sent) out.push_back(Gained(f, f.cleaned[f.sent]));
}

// What may be decoded while the captain still speaks: all but the last frames, which the release may cut,
// and none of the sound after the speech so far but its margin, which the release cuts when no more
// speech follows (a press held on after the words).
size_t Releasable(const FrontEnd& f) {
    if (!f.trim) return f.cleaned.size();
    const size_t held = size_t(kTrimLagFrames) * (kCaptureRate / 100);
    return std::min(f.cleaned.size() > held ? f.cleaned.size() - held : 0, f.speechEnd);
}

// Where the sound may end, from the speech heard so far: its last frame and the margin after it; all of
// it while speech is not evident.
size_t SpeechEnd(const FrontEnd& f) {
    const SpeechSpan speech = FindSpeech(f.levels);
    if (!f.trim || speech.last < 0) return f.cleaned.size();
    return size_t(speech.last + 1 + kTrimTailFrames) * (kCaptureRate / 100);
}

} // namespace

void ResetFrontEnd(FrontEnd& f) {
    const double target = f.levelTargetDb;
    const bool trim = f.trim;
    f = FrontEnd{};
    f.levelTargetDb = target;
    f.trim = trim;
}

void RunFrontEnd(FrontEnd& f, const int16_t* samples, size_t count, std::vector<int16_t>& out) {
    out.clear();
    f.restarted = false;
    for (size_t i = 0; i < count; ++i) {
        // A first-order high-pass with its corner near 20 Hz; the first sample sets the offset it starts
        // from, so that a large offset does not ring at the start of the utterance.
        const double x = samples[i];
        if (!f.started) {
            f.dcIn = x;
            f.started = true;
        }
        const double y = x - f.dcIn + kFrontDcPole * f.dcOut;
        f.dcIn = x;
        f.dcOut = y;
        const int16_t cleaned = int16_t(std::clamp(std::lround(y), -32768L, 32767L));
        f.cleaned.push_back(cleaned);
        f.energy += double(cleaned) * cleaned;
        if (++f.fill < kCaptureRate / 100) continue;
        const double db = 10 * std::log10(f.energy / f.fill + 1);
        f.levels.push_back(db);
        f.energy = 0;
        f.fill = 0;
        if (!f.decided) {
            if (int(f.levels.size()) >= kLevelMostFramesHeld ||
                (f.levels.size() >= 10 && EstimateLevel(f.levels).speechFrames >= kLevelSpeechFrames)) {
                Decide(f);
                out.clear();
                f.restarted = true; // the decoders have had nothing of this utterance yet
            }
        } else if (db > f.loudestDb + kLevelSpeechSpreadDb && f.restarts < kLevelMostRestarts) {
            ++f.restarts;
            Decide(f);
            out.clear();
            f.restarted = true;
        }
        // Released frame by frame, so that however the sound is cut into chunks the same samples go out.
        if (f.decided) {
            f.speechEnd = SpeechEnd(f);
            Release(f, Releasable(f), out);
        }
    }
}

void FlushFrontEnd(FrontEnd& f, std::vector<int16_t>& out) {
    out.clear();
    f.restarted = false;
    if (!f.decided) {
        Decide(f);
        f.restarted = true;
    }
    Release(f, std::min(f.cleaned.size(), SpeechEnd(f)), out);
}

std::vector<int16_t> KeptSound(const FrontEnd& f) {
    std::vector<int16_t> kept;
    const size_t end = f.decided ? std::min(f.cleaned.size(), SpeechEnd(f)) : f.cleaned.size();
    for (size_t i = f.start; i < end; ++i) kept.push_back(Gained(f, f.cleaned[i]));
    return kept;
}
