// Fuzz target: the 737 add-on's options file ("737_Options.ini"). The input is the file as the add-on or
// the user left it; after the update the three data-broadcast switches stand under "[SDK]", so a second
// check finds nothing to change.
#include "base/helpers.h"
#include "base/log.h"
#include "fuzz/support/fuzz_support.h"
#include "setup/aircraft_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16 * 1024) return -1;
    ResetProgramState();
    const std::string path = WriteFuzzFile("options/737_Options.ini", InputText(data, size));
    UpdateOptionsFile(path);
    ResetLog();
    Log().log.path = FuzzPath("data/log.txt");
    UpdateOptionsFile(path);
    FuzzCheck(Log().log.text == "PMDG .ini file was checked for SDK options. Ok\n",
              "an updated options file needs no second update");
    return 0;
}
