// Fuzz target: enciphered systems files. The input's first part is taken as an enciphered ".sys" file as
// it lies on disk (any bytes); its second part, after a line "%%next%%", is a plain systems text that the
// authors' sealing enciphers as the next file of the index, with the key the first file passes on. Then:
// opening the sealed files gives the plain text back byte for byte, enciphering and deciphering with that
// key give the text back, and the loader reads both files and the engine runs a pass over them.
#include "app/frame.h"
#include "base/helpers.h"
#include "fuzz/support/fuzz_support.h"
#include "systems/loader.h"
#include "systems/sealing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024) return -1;
    std::string ciphered, plain;
    SplitInput(InputText(data, size), "\n%%next%%\n", ciphered, plain);
    ResetProgramState();

    const std::string systems = FuzzPath("sealed/systems");
    WriteFuzzFile("sealed/systems/_systems.txt", "one\ntwo\n");
    WriteFuzzFile("sealed/systems/one.sys", ciphered);
    RemoveFuzzFile("sealed/systems/two.sys");
    const std::string plainFile = WriteFuzzFile("sealed/plain/two.txt", plain);
    const std::string key = NextSystemsKey(ReadFileToString(systems + "/one.sys"));

    const std::string asRead = ReadFileToString(plainFile);
    bool ok = false;
    FuzzCheck(DecipherSystemsText(EncipherSystemsText(asRead, key), key, &ok) == asRead && ok,
              "deciphering an enciphered text gives it back");

    SealReport sealed = SealSystemsFiles(systems, FuzzPath("sealed/plain"), {"two"});
    FuzzCheck(FileExists(systems + "/two.sys"), "sealing writes the listed file");
    SealReport opened = OpenSystemsFiles(systems, FuzzPath("sealed/opened"));
    bool openedOk = false;
    const std::string back = ReadFileBytes(FuzzPath("sealed/opened/two.txt"), &openedOk);
    FuzzCheck(openedOk && back == asRead, "opening a sealed file gives its plain text back");
    (void)sealed;
    (void)opened;
    RemoveFuzzFile("sealed/opened/two.txt");

    Frame().AcfPath = FuzzPath("sealed");
    CreateSystemsFromFile();
    RunEnginePass(0);
    return 0;
}
