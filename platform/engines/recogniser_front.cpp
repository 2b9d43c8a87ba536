// The recogniser's front end, before the decoder: the microphone's DC offset taken out, so that an offset
// neither hides the rise of speech above its background nor pushes the decoder's energy features.
#include "platform/engines/recogniser_parts.h"

#include <algorithm>
#include <cmath>

void ResetFrontEnd(FrontEnd& f) {
    f = FrontEnd{};
}

void RunFrontEnd(FrontEnd& f, const int16_t* samples, size_t count, std::vector<int16_t>& out) {
    out.resize(count);
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
        out[i] = int16_t(std::clamp(std::lround(y), -32768L, 32767L));
    }
}
