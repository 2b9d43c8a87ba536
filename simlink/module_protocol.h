// The message protocol with the in-simulator module: the 560-byte message record, the one message counter,
// the outgoing queue with its acknowledgement rule, and the client data areas the record travels through.
#pragma once
#include "systems/drf_arrays.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Client data areas: names, ids, definitions and sizes shared with the module.
inline constexpr const char* kAreaNodeAxisData = "NodeAxisData";
inline constexpr const char* kAreaMessageE2W = "MessageE2W";
inline constexpr const char* kAreaMessageW2E = "MessageW2E";
inline constexpr const char* kAreaDrfW2E = "DrfW2E";
inline constexpr const char* kAreaDrfE2W = "DrfE2W";
inline constexpr uint32_t kClientDataNodeAxis = 1, kDefinitionNodeAxis = 0, kSizeNodeAxis = 32;
inline constexpr uint32_t kClientDataMessageE2W = 2, kDefinitionMessageE2W = 1;
inline constexpr uint32_t kClientDataMessageW2E = 3, kDefinitionMessageW2E = 2;
inline constexpr uint32_t kClientDataDrfW2E = 4, kDefinitionDrfW2E = 3;
inline constexpr uint32_t kClientDataDrfE2W = 5, kDefinitionDrfE2W = 4;
inline constexpr uint32_t kRequestMessageW2E = 1, kRequestDrfW2E = 2;
inline constexpr uint32_t kDrfBlockBytes = kDrfArraySize * sizeof(double); // DrfW2E and DrfE2W

// Message types. The five the module names carry its names; the others are known by number, and the
// constants below only spell those numbers.
enum : uint32_t {
    msgtype_SPEECHSTART = 9,
    msgtype_SPEECHSTOP = 10,
    msgtype_REQUESTACF = 22,
    msgtype_ANSWERACF = 23,
    msgtype_CONTROL = 32,
};
inline constexpr uint32_t kMsgDrfIndexIn = 1;      // W to E: DRF index of a read link; acknowledges the head
inline constexpr uint32_t kMsgDrfIndexOut = 3;     // W to E: DRF index of a write link; acknowledges the head
inline constexpr uint32_t kMsgKeyEvent = 4;        // W to E: a key event arrived for a read link
inline constexpr uint32_t kMsgCode = 5;            // E to W: calculator code
inline constexpr uint32_t kMsgPose = 7;            // E to W: play a pose; waits for its acknowledgement
inline constexpr uint32_t kMsgPoseDone = 8;        // W to E: pose finished; acknowledges the head
inline constexpr uint32_t kMsgSetVolume = 13;      // W to E
inline constexpr uint32_t kMsgSetRate = 14;        // W to E
inline constexpr uint32_t kMsgVoiceIndex = 15;     // E to W: index of the current voice
inline constexpr uint32_t kMsgSelectVoice = 16;    // W to E
inline constexpr uint32_t kMsgReserved20 = 20;     // E to W: needs no acknowledgement; never sent
inline constexpr uint32_t kMsgLiveAnimation = 21;  // E to W: flows finished, idle animation may resume
inline constexpr uint32_t kMsgCapSpeechStart = 24; // E to W: the captain's voice starts speaking
inline constexpr uint32_t kMsgSettingsLoaded = 26; // E to W: the settings file has been read
inline constexpr uint32_t kMsgOfficerName = 27;    // W to E
inline constexpr uint32_t kMsgUserName = 28;       // W to E
inline constexpr uint32_t kMsgRecognitionKey = 29; // W to E
inline constexpr uint32_t kMsgRecognitionButton = 30; // W to E
inline constexpr uint32_t kMsgWidgetButton = 31;      // W to E
inline constexpr uint32_t kMsgRunways = 33;           // W to E: take-off runway "#" landing runway
inline constexpr uint32_t kMsgRealMode = 34;          // W to E
inline constexpr uint32_t kMsgStartupDone = 36;       // E to W: start-up is complete
inline constexpr uint32_t kMsgDrfFileReady = 37;      // W to E: the module's answer file is written
inline constexpr uint32_t kMsgModuleLog = 38;         // W to E
inline constexpr uint32_t kMsgCapSpeech = 39;         // W to E
inline constexpr uint32_t kMsgJoystickSelection = 40; // W to E

// The record exchanged through MessageE2W and MessageW2E. Its bytes are the wire form: little-endian,
// fixed offsets, 560 bytes.
struct ModuleMessage {
    uint32_t sequence;
    uint32_t type;
    int32_t systemIndex;
    int32_t deviceIndex;
    int32_t parameterIndex;
    uint8_t reserved1[4];
    double valueOut;
    double valueIn;
    char text[512];
    uint8_t sent; // application side: written to MessageE2W
    uint8_t done; // application side: needs no further wait
    uint8_t reserved2[6];
};
static_assert(std::endian::native == std::endian::little, "the record is copied to the wire as it lies");
static_assert(sizeof(ModuleMessage) == 560);
static_assert(offsetof(ModuleMessage, sequence) == 0);
static_assert(offsetof(ModuleMessage, type) == 4);
static_assert(offsetof(ModuleMessage, systemIndex) == 8);
static_assert(offsetof(ModuleMessage, deviceIndex) == 12);
static_assert(offsetof(ModuleMessage, parameterIndex) == 16);
static_assert(offsetof(ModuleMessage, reserved1) == 20);
static_assert(offsetof(ModuleMessage, valueOut) == 24);
static_assert(offsetof(ModuleMessage, valueIn) == 32);
static_assert(offsetof(ModuleMessage, text) == 40);
static_assert(offsetof(ModuleMessage, sent) == 552);
static_assert(offsetof(ModuleMessage, done) == 553);
static_assert(offsetof(ModuleMessage, reserved2) == 554);
inline constexpr size_t kModuleMessageBytes = sizeof(ModuleMessage);
inline constexpr size_t kModuleTextCapacity = sizeof(ModuleMessage::text) - 1; // bytes before the NUL

// Where the protocol's bytes go: the simulator client plugs its SetClientData in here; tests and the
// scenario runner plug in a recorder. With no sender the bytes go nowhere (the queue still advances).
struct ModuleSender {
    void (*setClientData)(uint32_t clientDataId, uint32_t definitionId, const void* data,
                          uint32_t size) = nullptr;
};

struct ModuleProtocolState {
    uint32_t messageCounter = 0xFFFFFFFFu; // incremented before each message is built
    std::vector<ModuleMessage> outgoing;   // the outgoing queue; the head is element 0
    ModuleSender sender;
};
ModuleProtocolState& ModuleProtocol();
// Empties the queue and restarts the counter; the sender stays plugged in.
void ResetModuleProtocol();

// A message as the protocol builds it: indices -1, both values -1.0, empty text, flags 0, the next
// sequence of the counter. The text is copied up to its first NUL and cut to 511 bytes.
ModuleMessage BuildModuleMessage(uint32_t type, const std::string& text = std::string());
// Copies `text` into the record's text field (up to its first NUL, at most 511 bytes, NUL-terminated).
void SetMessageText(ModuleMessage& message, const std::string& text);
// The record's text as an 8-bit string: the bytes before the first NUL, never past the field's end.
std::string MessageText(const ModuleMessage& message);

// Queueing: the typed helper (text and value out) and the code helper (type 5, value out 0).
void QueueModuleMessage(uint32_t type, const std::string& text = std::string(), double valueOut = -1.0);
void QueueCodeText(const std::string& code, double valueOut = 0.0);
void QueueBuiltMessage(const ModuleMessage& message);

// True for the types that count as done as soon as they have been sent.
bool IsNoAckType(uint32_t type);

// Once per pass: removes a finished head, or sends a fresh head, or waits for an acknowledgement.
void PumpOutgoingMessages();
// A type 1, 3 or 8 message from the module: marks the head done when the head has been sent, is still
// waiting and has this sequence. True when it did.
bool AcknowledgeQueueHead(uint32_t sequence);

// The start-up request for the aircraft (type 22): written straight to MessageE2W, outside the queue.
void SendAircraftRequest();
// The whole outgoing DRF block (DrfE2W), once per pass.
void SendDrfE2W();
