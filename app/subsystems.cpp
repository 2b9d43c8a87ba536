// The program's subsystems as the frame calls them. Entries for subsystems that are not built yet stay
// empty; the frame skips them.
#include "app/apply_settings.h"
#include "app/frame.h"

#include "base/settings.h"
#include "flow/executer.h"
#include "flow/monitor.h"
#include "poses/pose_catalogue.h"
#include "setup/aircraft_options.h"
#include "setup/cockpit_model.h"
#include "simlink/client_data.h"
#include "app/dispatch.h"
#include "simlink/module_protocol.h"
#include "systems/phrase_context.h"
#include "speech/phrase_dump.h"
#include "speech/recognition.h"
#include "speech/speech_output.h"
#include "speech/voices.h"
#include "systems/loader.h"
#include "widget/widget_lists.h"
#include "widget/widget_window.h"

FrameSubsystems DefaultSubsystems() {
    FrameSubsystems s;
    s.connectSimulator = [] {
        ModuleProtocol().sender.setClientData = SetClientDataThroughLink;
        return OpenSimulatorLink();
    };
    s.requestAircraft = SendAircraftRequest;
    s.dispatchSimulator = DispatchSimulatorMessages;
    s.simulatorConnected = SimulatorLinkOpen;
    s.closeSimulator = CloseSimulatorLink;
    s.checkAircraftOptions = CheckAircraftOptions;
    s.installCockpitModel = InstallCockpitModel;
    s.startSpeech = InitTextToSpeech;
    s.startRecognition = InitRecognition;
    s.loadSettings = LoadSettings;
    s.scanPoses = ScanPoses;
    // The systems files, then the recogniser's grammar anew from the whole phrase context.
    s.createSystems = [] {
        CreateSystemsFromFile();
        ReinitGrammar();
    };
    s.phraseContextSize = PhraseContextSize;
    s.dumpPhraseContext = DumpPhraseContext;
    s.queueStartupComplete = [] { QueueModuleMessage(kMsgStartupDone); };
    s.sendQueuedMessage = PumpOutgoingMessages;
    s.monitor = MonitorSystems;
    s.sendDrfE2W = [] { SendDrfE2W(); };
    s.executer = Executer;
    s.speechMonitor = SpeechMonitor;
    s.pollRecognition = PollRecognition;
    s.shutdownRecognition = [] {
        CloseRecognition();
        // The voice goes last: the synthesiser and its sound output are let go at the very end.
        StopSpeechOutput();
    };
    s.startGraphics = StartWidgetSubsystem;
    s.buildWidgetTitles = BuildWidgetTitles;
    s.registerWidgetClass = RegisterWidgetClass;
    s.trackAndPlaceWidget = TrackAndPlaceWidget;
    s.destroyWidget = DestroyWidget;
    s.shutdownGraphics = ShutdownWidgetSubsystem;
    return s;
}
