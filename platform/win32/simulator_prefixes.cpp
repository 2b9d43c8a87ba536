// The simulator on Windows runs natively: no prefixes to search, and its pipe is always within reach.
#include "platform/simulator_prefixes.h"

std::vector<SimulatorPrefix> SystemSimulatorPrefixes() {
    return {};
}

std::vector<std::string> ConnectionFailureHint() {
    return {};
}
