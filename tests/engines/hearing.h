// Decoders with a grammar loaded, for the recogniser's tests: an utterance heard whole, as a file is, or in
// the microphone's chunks; the decoders are closed again at the end.
#pragma once
#include "platform/audio_clip.h"
#include "platform/engines/recogniser_parts.h"

#include <algorithm>
#include <string>
#include <vector>

struct Hearing {
    Decoders d;
    bool ok = false;
    explicit Hearing(const std::vector<std::string>& grammar) {
        std::string error;
        ok = OpenDecoders(d, error) && LoadGrammar(d, grammar).ok;
    }
    ~Hearing() { CloseDecoders(d); }
    Hearing(const Hearing&) = delete;
    Hearing& operator=(const Hearing&) = delete;
    UtteranceVerdict Hear(const AudioClip& clip, size_t chunk = 0) {
        BeginUtterance(d);
        const size_t step = chunk ? chunk : clip.samples.size();
        for (size_t at = 0; at < clip.samples.size(); at += step)
            FeedUtterance(d, clip.samples.data() + at, std::min(step, clip.samples.size() - at));
        return EndUtterance(d, true);
    }
    // The phrase heard, or "non" for a refusal.
    std::string Heard(const AudioClip& clip, size_t chunk = 0) {
        const UtteranceVerdict v = Hear(clip, chunk);
        return v.accepted ? v.heard : "non";
    }
};
