// What every fuzz target shares: the scratch folder in RAM, the reset of every subsystem, the small model.
#include "fuzz/support/fuzz_support.h"

#include "app/frame.h"
#include "base/log.h"
#include "base/settings.h"
#include "flow/executer.h"
#include "flow/monitor.h"
#include "flow/phrase_text.h"
#include "platform/message_box.h"
#include "poses/pose_catalogue.h"
#include "app/dispatch.h"
#include "systems/drf_arrays.h"
#include "simlink/module_protocol.h"
#include "systems/phrase_context.h"
#include "speech/recognition.h"
#include "speech/recognition_state.h"
#include "speech/simulated_voice.h"
#include "speech/speech_output.h"
#include "speech/voices.h"
#include "systems/loader.h"
#include "systems/model.h"
#include "widget/widget_lists.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
void RemoveFolder() {
    std::error_code ec;
    fs::current_path(fs::temp_directory_path(ec), ec);
    fs::remove_all(FuzzFolder(), ec);
}

void NoBox(const std::string&, const std::string&) {}
} // namespace

const std::string& FuzzFolder() {
    // Never destroyed: the removal at exit still needs the name.
    static const std::string& folder = *new std::string([] {
        std::error_code ec;
        fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path(ec);
        fs::path made = base / ("talvero-fuzz-" + std::to_string(getpid()));
        fs::create_directories(made / "data", ec);
        fs::current_path(made, ec);
        std::atexit(RemoveFolder);
        return made.generic_string();
    }());
    return folder;
}

std::string FuzzPath(const std::string& relative) {
    fs::path full = fs::path(FuzzFolder()) / relative;
    std::error_code ec;
    fs::create_directories(full.parent_path(), ec);
    return full.generic_string();
}

std::string WriteFuzzFile(const std::string& relative, const std::string& bytes) {
    std::string full = FuzzPath(relative);
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full;
}

void RemoveFuzzFile(const std::string& relative) {
    std::error_code ec;
    fs::remove(fs::path(FuzzFolder()) / relative, ec);
}

void ResetProgramState() {
    FuzzFolder();
    ResetLog();
    Log().log.path = FuzzPath("data/log.txt");
    Log().drf.path = FuzzPath("data/drf.txt");
    ResetFrame();
    Frame().wasmWorkPath = FuzzPath("work/");
    ResetSettings();
    ResetSystems();
    ResetPhraseContext();
    ResetPoseCatalogue();
    ResetDrfArrays();
    ResetModuleProtocol();
    ResetDispatch();
    ResetExecuter();
    ResetMonitor();
    ResetRecognition();
    RecogniserInUse().recogniser = Recogniser{};
    ResetPhraseText();
    ResetWidgetLists();
    BuildWidgetTitles();
    ResetSpeechOutput();
    UseSimulatedVoice();
    InitTextToSpeech();
    SetInfoBoxHook(NoBox);
}

void LoadSystemsText(const std::string& systemsText, const std::string& saveText) {
    Frame().AcfPath = FuzzPath("acf");
    static const bool posesWritten = [] {
        WriteFuzzFile("acf/poses/crew/work_point.txt", "pose\n");
        WriteFuzzFile("acf/poses/crew/rest_idle.txt", "pose\n");
        WriteFuzzFile("acf/systems/_systems.txt", "main\n");
        return true;
    }();
    (void)posesWritten;
    // Writing costs more than the rest of a small input: a file that would not change is left alone.
    static std::string lastSystems = "\x01", lastSave = "\x01";
    if (systemsText != lastSystems) WriteFuzzFile("acf/systems/main.txt", lastSystems = systemsText);
    if (saveText != lastSave) WriteFuzzFile("acf/systems/_save.txt", lastSave = saveText);
    ScanPoses();
    ClearDrfText();
    CreateSystemsFromFile();
}

void LoadSmallModel() {
    static const std::string text = "sys=ENG\n"
                                    "dev=N1\n"
                                    "out=LEFT,double,,0,0,110,A:TURB ENG N1:1,new,,,,1\n"
                                    "out=RIGHT,double,,0,,,A:TURB ENG N1:2,new\n"
                                    "out=KEY,int,,0,,,K:TOGGLE_GEAR,new,L:TVO_GEAR,new\n"
                                    "logic:\n"
                                    "[ENG.N1.LEFT]>50\n"
                                    "calc=[ENG.N1.LEFT]+[ENG.N1.RIGHT]/[2]\n"
                                    "execute=0,N1 is <ENG.N1.LEFT> [CAP],0\n"
                                    "sys=COMMANDS\n"
                                    "dev=GEAR\n"
                                    "out=UP,int,,0\n"
                                    "logic:\n"
                                    "instring=gear up\n"
                                    "execute=2,work_point,1\n"
                                    "execute=9,1 (>K:GEAR_UP),0\n";
    LoadSystemsText(text);
}

void RunEnginePass(double frameTime) {
    Frame().frameTime = frameTime;
    PumpOutgoingMessages();
    MonitorSystems();
    Executer();
    SpeechMonitor();
}

std::string InputText(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

void SplitInput(const std::string& input, const std::string& separator, std::string& first,
                std::string& second) {
    size_t at = input.find(separator);
    if (at == std::string::npos) {
        first = input;
        second.clear();
    } else {
        first = input.substr(0, at);
        second = input.substr(at + separator.size());
    }
}

void FuzzCheck(bool holds, const std::string& what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz property broken: %s\n", what.c_str());
    std::abort();
}
