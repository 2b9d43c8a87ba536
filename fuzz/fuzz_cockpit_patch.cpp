// Fuzz target: the patch of the 737's main cockpit model text, which adds the first officer's "PILOT_1" node
// to the node array and its index to the scene's root nodes. The input is the model's text; a patch that
// succeeds adds the node once and one root index, a refused one leaves the text as it was.
#include "base/log.h"
#include "fuzz/support/fuzz_support.h"
#include "setup/cockpit_model.h"

#include <string>

namespace {
size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024) return -1;
    // The patch touches nothing but the text and the log.
    ResetLog();
    Log().log.path = FuzzPath("data/log.txt");
    const std::string original = InputText(data, size);
    std::string text = original;
    if (AddPilotNode(text)) {
        FuzzCheck(Count(text, "\"PILOT_1\"") == Count(original, "\"PILOT_1\"") + 1, "the node is added once");
        FuzzCheck(text.size() > original.size(), "the patch only adds");
    } else {
        FuzzCheck(text == original, "a refused patch leaves the text alone");
    }
    return 0;
}
