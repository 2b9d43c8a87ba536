// Fuzz target: the module's DRF answer file ("drf.txt" in its work folder), applied to a loaded model as the
// module's message type 37 asks. Every link keeps a usable DRF index or none, and the DRF list ends as one
// empty line; then a pass of the engine runs with the indices as they came.
#include "base/log.h"
#include "fuzz/support/fuzz_support.h"
#include "simlink/drf_answer_file.h"
#include "systems/drf_arrays.h"
#include "systems/model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16 * 1024) return -1;
    ResetProgramState();
    LoadSmallModel();
    WriteFuzzFile("work/drf.txt", InputText(data, size));
    SetFromFileInDrfArrayID();
    for (const System& system : Systems().systems_vector)
        for (const Device& device : system.Devices)
            for (const OutParameter& p : device.outParameters)
                for (const DrfLink* link : {&p.inDrf, &p.outDrf})
                    FuzzCheck(link->drfIndex == -1 || IsDrfIndex(link->drfIndex),
                              "a DRF index is usable or none");
    FuzzCheck(Log().drf.text == "\n", "the DRF list holds one empty line");
    RunEnginePass(0);
    return 0;
}
