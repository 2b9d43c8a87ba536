// The simulator dispatch and the speech monitor.
#include "app/dispatch.h"

#include "app/frame.h"
#include "base/helpers.h"
#include "base/log.h"
#include "base/settings.h"
#include "flow/executer.h"
#include "flow/phrase_text.h"
#include "simlink/drf_answer_file.h"
#include "speech/recognition_state.h"
#include "speech/speech_output.h"
#include "speech/voices.h"
#include "systems/model.h"
#include "widget/widget_lists.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {
// Numbers from the value-in field, truncated toward zero to 32 bits; a value that is not a number or
// lies beyond 32 bits gives the nearest 32-bit value (0 for not-a-number) instead of undefined behaviour.
int32_t TruncatedValueIn(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

OutParameter* ParameterNamedBy(const ModuleMessage& m) {
    auto& systems = Systems().systems_vector;
    if (m.systemIndex < 0 || m.systemIndex >= static_cast<int32_t>(systems.size())) return nullptr;
    auto& devices = systems[m.systemIndex].Devices;
    if (m.deviceIndex < 0 || m.deviceIndex >= static_cast<int32_t>(devices.size())) return nullptr;
    auto& parameters = devices[m.deviceIndex].outParameters;
    if (m.parameterIndex < 0 || m.parameterIndex >= static_cast<int32_t>(parameters.size())) return nullptr;
    return &parameters[m.parameterIndex];
}

std::string Indices(const ModuleMessage& m) {
    return ToString(m.systemIndex) + "," + ToString(m.deviceIndex) + "," + ToString(m.parameterIndex);
}

// Types 1 and 3: the module names a DRF index for one of the parameter's links.
void AssignDrfIndex(const ModuleMessage& m, bool readLink) {
    AcknowledgeQueueHead(m.sequence);
    OutParameter* parameter = ParameterNamedBy(m);
    int32_t index = TruncatedValueIn(m.valueIn);
    if (!parameter) {
        WriteLog("Module message type " + ToString(static_cast<int>(m.type)) + " names no parameter: " + Indices(m));
        return;
    }
    if (index != -1 && !IsDrfIndex(index)) {
        WriteLog("Module message type " + ToString(static_cast<int>(m.type)) + " DRF index out of range: " +
                 ToString(index));
        return;
    }
    DrfLink& link = readLink ? parameter->inDrf : parameter->outDrf;
    link.drfIndex = index;
    if (index != -1) link.isActive = true;
}

// The module's text settings never carry a line break into the settings file.
std::string SettingText(const ModuleMessage& m) { return StripLineBreaks(MessageText(m)); }
} // namespace

DispatchState& Dispatch() {
    static DispatchState state;
    return state;
}

void ResetDispatch() { Dispatch() = DispatchState{}; }

void HandleSimulatorMessage(const SimulatorMessage& message, void*) {
    switch (message.kind) {
    case SimulatorMessageKind::Quit: Frame().quitRequested = true; break;
    case SimulatorMessageKind::ModuleMessage: {
        ModuleMessage& received = Dispatch().lastReceived;
        std::memcpy(&received, message.data, kModuleMessageBytes);
        HandleModuleMessage(received);
        break;
    }
    case SimulatorMessageKind::DrfValues: std::memcpy(Drf().w2e, message.data, kDrfBlockBytes); break;
    case SimulatorMessageKind::Other: break;
    }
}

void DispatchReceived(const uint8_t* message, size_t size) {
    if (!message || size < 12 || size > 0xFFFFFFFFu) return;
    HandleSimulatorMessage(DecodeSimulatorMessage(message, static_cast<uint32_t>(size)), nullptr);
}

void DispatchSimulatorMessages() {
    if (!SimulatorLinkOpen()) return;
    uint32_t status = DispatchSimulator(HandleSimulatorMessage, nullptr);
    if (status != kSimOk && !Frame().quitRequested) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08X", status);
        ExitApplication(std::string("The connection to the simulator was lost (status 0x") + hex + ")");
    }
}

void SetClientDataThroughLink(uint32_t clientDataId, uint32_t definitionId, const void* data, uint32_t size) {
    if (SimulatorLinkOpen())
        SimConnect_SetClientData(SimLink().handle, clientDataId, definitionId, 0, 0, size, data);
}

void HandleModuleMessage(const ModuleMessage& m) {
    SettingsState& settings = Settings();
    ++Dispatch().messagesHandled;
    switch (m.type) {
    case kMsgDrfIndexIn: AssignDrfIndex(m, true); break;
    case kMsgDrfIndexOut: AssignDrfIndex(m, false); break;
    case kMsgKeyEvent:
        if (OutParameter* parameter = ParameterNamedBy(m))
            parameter->inDrf.eventPending = true;
        else
            WriteLog("Module message type 4 names no parameter: " + Indices(m));
        break;
    case kMsgPoseDone: PoseReached(m.sequence); break;
    case kMsgSetVolume:
        // Volume and rate are settings from 0 to 100: a module's number beyond them is taken at the
        // nearest end before it is announced, applied or saved.
        settings.volume = ClampedSetting(TruncatedValueIn(m.valueIn));
        SetSpeechVolume(static_cast<float>(settings.volume), true);
        SaveSettings();
        break;
    case kMsgSetRate:
        settings.rate = ClampedSetting(TruncatedValueIn(m.valueIn));
        SetSpeechRate(static_cast<float>(settings.rate), true);
        SaveSettings();
        break;
    case kMsgSelectVoice:
        ChangeVoice(TruncatedValueIn(m.valueIn), true);
        // The setting names the voice that speaks: a position outside the voices changes neither.
        settings.voiceIndex = SpeechOutput().currentVoiceIndex;
        SaveSettings();
        break;
    case msgtype_ANSWERACF:
        Frame().AcfPath = MessageText(m);
        WriteLog("AcfPath(msgtype_ANSWERACF)=" + Frame().AcfPath);
        break;
    case kMsgOfficerName:
        settings.officerName = SettingText(m);
        SaveSettings();
        SpeakText("Talvero name set as " + settings.officerName);
        break;
    case kMsgUserName:
        settings.captainName = SettingText(m);
        SaveSettings();
        SpeakText("User name set as " + settings.captainName);
        break;
    case kMsgRecognitionKey:
        settings.recognitionKey = SettingText(m);
        SaveSettings();
        SpeakText("Voice recognition keyboard key was changed to " + settings.recognitionKey);
        break;
    case kMsgRecognitionButton:
        settings.recognitionButton = SettingText(m);
        SaveSettings();
        SpeakText("Voice recognition joystick button was changed");
        break;
    case kMsgWidgetButton:
        settings.widgetButton = SettingText(m);
        SaveSettings();
        SpeakText("Widget control joystick button was changed");
        break;
    case msgtype_CONTROL: {
        std::string word = MessageText(m);
        if (word == "SELECT") ProcessedControlButtonClick(1);
        else if (word == "CONFIRM") ProcessedControlButtonClick(2);
        else if (word == "RECSTART") Recognition().pttFlag = 1;
        else if (word == "RECSTOP") Recognition().pttFlag = 0;
        break;
    }
    case kMsgRunways: {
        std::vector<std::string> parts = SplitAt(MessageText(m), '#');
        if (parts.size() == 2) {
            PhraseText().takeoffRunway = parts[0];
            PhraseText().landingRunway = parts[1];
        }
        break;
    }
    case kMsgRealMode: {
        settings.realMode = SettingText(m);
        SpeakText(settings.realMode == "1" ? "Real mode set" : "Real mode off");
        SaveSettings();
        break;
    }
    case kMsgDrfFileReady: SetFromFileInDrfArrayID(); break;
    case kMsgModuleLog: WriteLog("WASM LOG: " + MessageText(m)); break;
    case kMsgCapSpeech: {
        std::string text = MessageText(m);
        bool on = text == "1";
        settings.capSpeech = on ? 1 : 0;
        SayCaptainsLine(on ? "Cap voice set on" : "Cap voice set off", true);
        WriteLog(text);
        SaveSettings();
        break;
    }
    case kMsgJoystickSelection: settings.joystickSelection = SettingText(m); break;
    default: break;
    }
}

void SpeechMonitor() {
    DispatchState& dispatch = Dispatch();
    SpeechStatus status = GetSpeechStatus();
    if (status.runningState == kSpeechSpeaking && status.phonemeId != 4) {
        if (!dispatch.speechAnnounced) {
            dispatch.speechAnnounced = true;
            if (SpeechOutput().lastSpeechKind == 2)
                QueueModuleMessage(kMsgCapSpeechStart);
            else
                QueueModuleMessage(msgtype_SPEECHSTART, "msgtype_SPEECHSTART");
        }
    } else if (dispatch.speechAnnounced) {
        dispatch.speechAnnounced = false;
        QueueModuleMessage(msgtype_SPEECHSTOP, "msgtype_SPEECHSTOP");
    }
}
