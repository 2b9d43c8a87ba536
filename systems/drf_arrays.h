// The two DRF value arrays shared with the in-simulator module: w2e holds the values the module reads from
// the simulator (module to application), e2w the values the application sends (application to module).
#pragma once

inline constexpr int kDrfArraySize = 500; // a usable DRF index is 0 to 499

struct DrfArrays {
    double w2e[kDrfArraySize] = {}; // DrfW2E, filled by the simulator dispatch
    double e2w[kDrfArraySize] = {}; // DrfE2W, written through parameters' write links, sent once per pass
};
// Inline: the read and write steps of every parameter reach it on every pass.
inline DrfArrays& Drf() {
    static DrfArrays arrays;
    return arrays;
}
// Zeroes both arrays (tests; a new run).
void ResetDrfArrays();

// True when `index` addresses an entry of either array.
inline bool IsDrfIndex(int index) {
    return index >= 0 && index < kDrfArraySize;
}
