// The program's subsystems as the frame calls them. Entries for subsystems that are not built yet stay
// empty; the frame skips them.
#include "app/frame.h"

#include "poses/pose_catalogue.h"
#include "setup/aircraft_options.h"
#include "setup/cockpit_model.h"
#include "speech/phrase_context.h"
#include "speech/phrase_dump.h"
#include "systems/loader.h"

FrameSubsystems DefaultSubsystems() {
    FrameSubsystems s;
    s.checkAircraftOptions = CheckAircraftOptions;
    s.installCockpitModel = InstallCockpitModel;
    s.scanPoses = ScanPoses;
    s.createSystems = CreateSystemsFromFile;
    s.phraseContextSize = PhraseContextSize;
    s.dumpPhraseContext = DumpPhraseContext;
    return s;
}
