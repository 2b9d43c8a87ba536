// Fuzz target: a systems file and the save file, loaded and compiled as start-up does, then a few passes of
// the engine (monitor, executer) over the model with the module's DRF indices assigned and awkward values
// (NaN, infinities, huge numbers) arriving from the simulator. The input is the systems file, optionally
// followed by a line "%%save%%" and the save file.
#include "base/log.h"
#include "scenario/scenario.h"
#include "fuzz/support/fuzz_support.h"
#include "systems/drf_arrays.h"
#include "speech/recognition_state.h"

#include <cmath>
#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024) return -1;
    std::string systemsText, saveText;
    SplitInput(InputText(data, size), "\n%%save%%\n", systemsText, saveText);
    ResetProgramState();
    LoadSystemsText(systemsText, saveText);
    AssignDrfIndicesFromList(Log().drf.text);
    static const double kAwkward[] = {0.0,
                                      1.0,
                                      -1.0,
                                      2.7,
                                      -2.5,
                                      1e300,
                                      -1e300,
                                      std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity(),
                                      4294967296.0,
                                      1011.0};
    for (int pass = 0; pass < 4; ++pass) {
        for (int i = 0; i < kDrfArraySize; ++i) Drf().w2e[i] = kAwkward[(i + pass) % std::size(kAwkward)];
        if (pass == 1) Recognition().heardPhrase = "gear up";
        if (pass == 2) Recognition().heardPhrase = "any";
        RunEnginePass(pass * 0.02);
    }
    return 0;
}
