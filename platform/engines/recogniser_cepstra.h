// The cepstra of a stretch of sound as the recogniser's decoders compute them, and their mean: for the
// value check's second decodings and for the first utterance's starting mean; and the decoder's carried
// cepstral mean, kept aside while the value check decodes with another.
#pragma once
#include <pocketsphinx.h>

#include <cstdint>
#include <vector>

struct Cepstra {
    mfcc_t** frames = nullptr;
    int32 count = 0;
    std::vector<mfcc_t> mean;
    Cepstra() = default;
    Cepstra(const Cepstra&) = delete;
    Cepstra& operator=(const Cepstra&) = delete;
    ~Cepstra() {
        if (frames) fe_free_2d(frames);
    }
};

// By a front end of the decoder's own configuration; false when the sound gives no frame.
bool ComputeCepstra(ps_decoder_t* decoder, const std::vector<int16_t>& sound, Cepstra& c);

// A decoder's running cepstral mean, with the sums and frame count that weigh it against the next
// utterance's frames: a decoding with another mean puts it back whole, not just the mean, or the next
// utterance would move it at another pace.
struct CarriedMean {
    std::vector<mfcc_t> mean, sum;
    int32 frames = 0;
};
CarriedMean KeepCarriedMean(cmn_t* cmn);
void RestoreCarriedMean(cmn_t* cmn, const CarriedMean& kept);
