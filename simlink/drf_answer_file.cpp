// The module's answer file: DRF array indices for the parameters' links, in bulk.
#include "simlink/drf_answer_file.h"

#include "base/frame_state.h"
#include "base/helpers.h"
#include "base/log.h"
#include "systems/drf_arrays.h"
#include "systems/model.h"

namespace {
bool ReadField(const std::string& text, int& value) { return ReadLeadingInt(text, value); }

DrfLink* LinkOf(int system, int device, int parameter, bool readLink) {
    auto& systems = Systems().systems_vector;
    if (system < 0 || system >= static_cast<int>(systems.size())) return nullptr;
    auto& devices = systems[system].Devices;
    if (device < 0 || device >= static_cast<int>(devices.size())) return nullptr;
    auto& parameters = devices[device].outParameters;
    if (parameter < 0 || parameter >= static_cast<int>(parameters.size())) return nullptr;
    return readLink ? &parameters[parameter].inDrf : &parameters[parameter].outDrf;
}
} // namespace

void SetFromFileInDrfArrayID() {
    const std::string path = Frame().wasmWorkPath + "drf.txt";
    WriteLog("WorkParh: usage in SetFromFileInDrfArrayID()" + path);
    for (const std::string& record : ReadLines(path)) {
        std::vector<std::string> fields = SplitAt(record, ',');
        int system = 0, device = 0, parameter = 0, index = 0;
        DrfLink* link = nullptr;
        if (fields.size() >= 5 && ReadField(fields[1], system) && ReadField(fields[2], device) &&
            ReadField(fields[3], parameter) && ReadField(fields[4], index) && (index == -1 || IsDrfIndex(index)))
            link = LinkOf(system, device, parameter, fields[0] == "0");
        if (!link) {
            WriteLog("DRF answer file record skipped: " + record);
            continue;
        }
        link->drfIndex = index;
        if (index != -1) link->isActive = true;
    }
    ClearDrfText();
    WriteDrfLine("");
}
