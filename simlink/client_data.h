// The program's simulator link: the connection, the five client data areas shared with the in-simulator
// module, and the calls that start-up, the main loop and the shutdown make on them.
#pragma once
#include "simlink/client/simconnect.h"
#include "simlink/module_protocol.h"

#include <cstdint>

struct ClientDataArea {
    const char* name;
    uint32_t clientDataId;
    uint32_t defineId;
    uint32_t size;
    uint32_t requestId; // kNoRequest for the areas the program never reads
};
constexpr uint32_t kNoRequest = 0xFFFFFFFF;
constexpr uint32_t kModuleRecordSize = kModuleMessageBytes;
constexpr uint32_t kDrfBlockSize = kDrfBlockBytes;
constexpr uint32_t kPeriodOnSet = 3;

// In the order they are set up: NodeAxisData, MessageE2W, MessageW2E, DrfW2E, DrfE2W.
extern const ClientDataArea kClientDataAreas[5];

struct SimLinkState {
    SimConnectHandle* handle = nullptr; // null while there is no connection
    SignalEvent* event = nullptr;       // set by the client when a message arrives
};
SimLinkState& SimLink();
// Closes whatever is open (no clear request) and forgets it.
void ResetSimLink();

// The start-up sequence: the event, SimConnect_Open ("Windows Event", config index `configIndex`), then
// for each area its name mapping, definition and creation, with the requests for MessageW2E and DrfW2E.
// True when a connection exists.
bool OpenSimulatorLink(uint32_t configIndex = 0);
bool SimulatorLinkOpen();

// Writes one module record (560 bytes) to MessageE2W: client data 2, definition 1, flags 0.
uint32_t SendModuleRecord(const uint8_t* record);
// Writes the 500 outgoing DRF values to DrfE2W: client data 5, definition 4, 4000 bytes.
uint32_t SendDrfE2W(const double* values);

// What a received message is to the program.
enum class SimulatorMessageKind { Quit, ModuleMessage, DrfValues, Other };
struct SimulatorMessage {
    SimulatorMessageKind kind = SimulatorMessageKind::Other;
    uint32_t id = 0;              // the received message id
    uint32_t requestId = 0;       // client data messages: the request that asked for them
    const uint8_t* data = nullptr; // ModuleMessage: the 560-byte record; DrfValues: the 4000 bytes
    uint32_t size = 0;             // bytes at `data`
};
// Client data messages count as a module record or DRF values only when they carry the whole block.
SimulatorMessage DecodeSimulatorMessage(const uint8_t* bytes, uint32_t size);
using SimulatorMessageHandler = void (*)(const SimulatorMessage& message, void* context);
// Dispatches everything waiting, decoded; the status of SimConnect_CallDispatch (kSimFail without a
// connection).
uint32_t DispatchSimulator(SimulatorMessageHandler handler, void* context);

// Ends the link: clears definition 1 first when asked (the orderly shutdown), closes the connection, then
// its event. Afterwards the connection counts as absent.
void CloseSimulatorLink(bool clearDefinition);
