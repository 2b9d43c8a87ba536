// The recogniser's front end, before the decoder: the microphone's DC offset taken out, so that an offset
// neither hides the rise of speech above its background nor pushes the decoder's energy features; and the
// level control, which brings each utterance's speech to one level.
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

void Decide(FrontEnd& f) {
    const LevelEstimate e = EstimateLevel(f.levels);
    f.decided = true;
    f.speechDb = e.speechDb;
    f.loudestDb = f.levels.empty() ? 0 : *std::max_element(f.levels.begin(), f.levels.end());
    f.gain = 1;
    if (f.levelTargetDb <= 0 || f.levels.empty()) return;
    double gainDb = std::clamp(f.levelTargetDb - e.speechDb, kLevelMinimumGainDb, kLevelMaximumGainDb);
    if (e.speechFrames == 0) gainDb = std::min(0.0, gainDb); // no speech to raise: faint noise stays faint
    f.gain = std::pow(10.0, gainDb / 20);
}

int16_t Gained(const FrontEnd& f, int16_t s) {
    return int16_t(std::clamp(std::lround(s * f.gain), -32768L, 32767L));
}

// Everything cleaned so far, at the gain just set.
void ReleaseAll(FrontEnd& f, std::vector<int16_t>& out) {
    out.clear();
    for (int16_t s : f.cleaned) out.push_back(Gained(f, s));
}

} // namespace

void ResetFrontEnd(FrontEnd& f) {
    const double target = f.levelTargetDb;
    f = FrontEnd{};
    f.levelTargetDb = target;
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
        if (f.decided) out.push_back(Gained(f, cleaned));
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
                ReleaseAll(f, out);
                f.restarted = true; // the decoders have had nothing of this utterance yet
            }
        } else if (db > f.loudestDb + kLevelSpeechSpreadDb && f.restarts < kLevelMostRestarts) {
            ++f.restarts;
            Decide(f);
            ReleaseAll(f, out);
            f.restarted = true;
        }
    }
}

void FlushFrontEnd(FrontEnd& f, std::vector<int16_t>& out) {
    out.clear();
    f.restarted = false;
    if (f.decided) return;
    Decide(f);
    ReleaseAll(f, out);
    f.restarted = true;
}
