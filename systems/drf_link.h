// A parameter's link to one simulator data reference (DRF): the read link `inDrf` brings a value from the
// module's DrfW2E array into the parameter, the write link `outDrf` sends the parameter's value to DrfE2W.
#pragma once
#include <cstdint>
#include <string>

struct OutParameter;

// Variable classes, from the first two characters of a link spec.
enum DrfVarType : int32_t {
    kDrfVarNone = -1,
    kDrfVarA = 0, // "A:" simulation variable
    kDrfVarL = 1, // "L:" local variable
    kDrfVarT = 2, // "T:"
    kDrfVarK = 3, // "K:" key event
};

// The fields each pass reads come first, the texts last.
struct DrfLink {
    int32_t varType = kDrfVarNone;
    int32_t drfIndex = -1;     // index into DrfW2E (read link) or DrfE2W (write link); -1 none
    bool isActive = false;     // set with a drfIndex by the module's replies and its answer file
    bool eventPending = false; // read links of key events: an event arrived and was not yet read
    double value = 0;          // the last value moved through the link
    std::string spec;          // as written in the out line
    std::string drfNameWithIndex;
};
// The variable class of a spec: "A:" 0, "L:" 1, "T:" 2, "K:" 3, anything else -1 (case-sensitive).
int32_t VarTypeOfSpec(const std::string& spec);
void ParseVarPrefix(DrfLink& link, const std::string& spec);

// Fill a link from an out line's fields while the systems files load. An accepted link (mode exactly
// "new" or "exist"; a read link with prefix A:, L:, T: or K:, a write link with A: or L:) writes its DRF
// list line, for example "L:switch_101,n,1,0,2,g,", to "./data/drf.txt". Returns whether it did.
bool ParseGetLink(DrfLink& link, const std::string& spec, int32_t system, int32_t device, int32_t parameter,
                  const std::string& mode);
bool ParseSetLink(DrfLink& link, const std::string& spec, int32_t system, int32_t device, int32_t parameter,
                  const std::string& mode);
// The DRF list line of a link, without the line end; empty when the link gives no line.
std::string DrfListLine(const std::string& spec, const std::string& mode, int32_t system, int32_t device,
                        int32_t parameter, bool isReadLink);

// The read step of a parameter, ReadInDrf, is in model.h.
// Stores `value` in the link and in DrfE2W at the link's index; nothing when the link has no usable index.
void WriteOutDrf(DrfLink& link, double value);
