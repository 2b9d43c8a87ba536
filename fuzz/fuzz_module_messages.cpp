// Fuzz target: messages from the in-simulator module. The input is a run of 560-byte records (the last one
// padded with zeros), each delivered as the module's client data area is, with a pass of the engine after
// each, over a loaded model with a pose request waiting for its acknowledgement. Whatever the module
// sends, the settings it changes are saved so that they read back the same.
#include "app/apply_settings.h"
#include "base/settings.h"
#include "base/helpers.h"
#include "fuzz/support/fuzz_support.h"
#include "app/dispatch.h"
#include "simlink/module_protocol.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 32 * kModuleMessageBytes) return -1;
    ResetProgramState();
    LoadSmallModel();
    RemoveFuzzFile("data/settings.txt");
    QueueModuleMessage(kMsgPose, "work_point", 1);
    QueueModuleMessage(msgtype_SPEECHSTOP, "msgtype_SPEECHSTOP");
    RunEnginePass(0);

    std::vector<uint8_t> wire(40 + kModuleMessageBytes, 0);
    const uint32_t header[4] = {static_cast<uint32_t>(wire.size()), 5, 16, kRequestMessageW2E};
    std::memcpy(wire.data(), header, sizeof header);
    int pass = 1;
    for (size_t at = 0; at < size; at += kModuleMessageBytes, ++pass) {
        std::memset(wire.data() + 40, 0, kModuleMessageBytes);
        std::memcpy(wire.data() + 40, data + at, std::min(kModuleMessageBytes, size - at));
        DispatchReceived(wire.data(), wire.size());
        RunEnginePass(pass * 0.02);
    }

    if (FileExists(FuzzPath("data/settings.txt"))) {
        const std::string saved = ReadFileToString(FuzzPath("data/settings.txt"));
        ResetSettings();
        LoadSettings();
        // "real=" is written but never read back: it starts at its default on every start.
        auto withoutReal = [](const std::string& text) {
            size_t from = text.find("\nreal=");
            if (from == std::string::npos) return text;
            size_t to = text.find('\n', from + 1);
            return text.substr(0, from) + (to == std::string::npos ? std::string() : text.substr(to));
        };
        FuzzCheck(withoutReal(SettingsFileText()) == withoutReal(saved),
                  "settings the module set read back as they were saved");
    }
    return 0;
}
