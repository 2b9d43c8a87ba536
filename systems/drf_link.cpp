// Parameter read and write links: parsing while the systems files load, the DRF list lines they
// contribute, and the read and write steps of the per-pass evaluation.
#include "systems/drf_link.h"

#include "base/helpers.h"
#include "base/log.h"
#include "systems/drf_arrays.h"
#include "systems/numbers.h"

namespace {
bool ParseLink(DrfLink& link, const std::string& spec, int32_t system, int32_t device, int32_t parameter,
               const std::string& mode, bool isReadLink) {
    link.spec = spec;
    ParseVarPrefix(link, spec);
    link.drfNameWithIndex = spec;
    std::string line = DrfListLine(spec, mode, system, device, parameter, isReadLink);
    if (line.empty()) return false;
    WriteDrfLine(line);
    return true;
}
} // namespace

int32_t VarTypeOfSpec(const std::string& spec) {
    if (spec.size() < 2 || spec[1] != ':') return kDrfVarNone;
    switch (spec[0]) {
    case 'A':
        return kDrfVarA;
    case 'L':
        return kDrfVarL;
    case 'T':
        return kDrfVarT;
    case 'K':
        return kDrfVarK;
    default:
        return kDrfVarNone;
    }
}

void ParseVarPrefix(DrfLink& link, const std::string& spec) {
    link.varType = VarTypeOfSpec(spec);
}

std::string DrfListLine(const std::string& spec, const std::string& mode, int32_t system, int32_t device,
                        int32_t parameter, bool isReadLink) {
    if (mode != "new" && mode != "exist") return std::string();
    int32_t varType = VarTypeOfSpec(spec);
    bool accepted = isReadLink ? varType != kDrfVarNone : (varType == kDrfVarA || varType == kDrfVarL);
    if (!accepted) return std::string();
    std::string line = spec;
    line += ',';
    line += mode[0];
    line += ',' + ToString(system) + ',' + ToString(device) + ',' + ToString(parameter) + ',';
    line += isReadLink ? "g," : "s,";
    return line;
}

bool ParseGetLink(DrfLink& link, const std::string& spec, int32_t system, int32_t device, int32_t parameter,
                  const std::string& mode) {
    return ParseLink(link, spec, system, device, parameter, mode, true);
}

bool ParseSetLink(DrfLink& link, const std::string& spec, int32_t system, int32_t device, int32_t parameter,
                  const std::string& mode) {
    return ParseLink(link, spec, system, device, parameter, mode, false);
}

void WriteOutDrf(DrfLink& link, double value) {
    if (!IsDrfIndex(link.drfIndex)) return;
    link.value = value;
    Drf().e2w[link.drfIndex] = value;
}
