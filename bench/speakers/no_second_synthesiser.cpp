// The second synthesiser where the build has no flite (the Windows product's benchmarks): no voices.
#include "bench/speakers/second_synthesiser.h"

std::vector<std::string> SecondSynthesiserVoices() {
    return {};
}

std::vector<int16_t> RenderSecondSynthesiser(const std::string&, const std::string&, int) {
    return {};
}
