// The SimConnect functions the program calls, under their published names, with the wire layout of each
// request. Every function takes the client first and returns a status (simlink/client/client.h): kSimOk
// when the request was queued, kSimFail with no client, the recorded status once the connection dropped,
// kSimStringTooLong when a string does not fit its 256-byte field.
#pragma once
#include "simlink/client/client.h"

#include <cstdint>

using SimConnectHandle = ClientClient;

constexpr uint32_t kProtocolVersion = 5;
constexpr uint32_t kRequestHeaderSize = 16;
constexpr uint32_t kStringField = 256;

// Request ids: 0xF0000000 plus the function number.
constexpr uint32_t kRequestOpen = 0xF0000001;
constexpr uint32_t kRequestMapClientDataNameToID = 0xF0000037;
constexpr uint32_t kRequestCreateClientData = 0xF0000038;
constexpr uint32_t kRequestAddToClientDataDefinition = 0xF0000039;
constexpr uint32_t kRequestClearClientDataDefinition = 0xF000003A;
constexpr uint32_t kRequestRequestClientData = 0xF000003B;
constexpr uint32_t kRequestSetClientData = 0xF000003C;

constexpr uint32_t kSizeOpen = 296;
constexpr uint32_t kSizeMapClientDataNameToID = 276;
constexpr uint32_t kSizeCreateClientData = 28;
constexpr uint32_t kSizeAddToClientDataDefinition = 36;
constexpr uint32_t kSizeClearClientDataDefinition = 20;
constexpr uint32_t kSizeRequestClientData = 48;
constexpr uint32_t kSizeSetClientDataFields = 36; // plus the data

// Received message ids the program reads.
constexpr uint32_t kRecvIdOpen = 2;
constexpr uint32_t kRecvIdQuit = 3;
constexpr uint32_t kRecvIdClientData = 16;
constexpr uint32_t kClientDataOffset = 40; // where a client data message's data begins

// Connects (configuration index `configIndex`, kNoConfigIndex to skip the files) and queues the Open
// request; the window gets `userMessage` posted and `event` is set whenever a message arrives or the
// connection drops. kSimFail when nothing connected, kSimInvalidArg for a missing configuration section.
uint32_t SimConnect_Open(SimConnectHandle** handle, const char* name, void* window, uint32_t userMessage,
                         SignalEvent* event, uint32_t configIndex);
// Builds and queues the Open request on a connected client (the second half of SimConnect_Open).
uint32_t QueueOpenRequest(SimConnectHandle* handle, const char* name);
uint32_t SimConnect_MapClientDataNameToID(SimConnectHandle* handle, const char* clientDataName, uint32_t clientDataId);
uint32_t SimConnect_CreateClientData(SimConnectHandle* handle, uint32_t clientDataId, uint32_t size, uint32_t flags);
uint32_t SimConnect_AddToClientDataDefinition(SimConnectHandle* handle, uint32_t defineId, uint32_t offset,
                                              uint32_t sizeOrType, float epsilon, uint32_t datumId);
uint32_t SimConnect_ClearClientDataDefinition(SimConnectHandle* handle, uint32_t defineId);
uint32_t SimConnect_RequestClientData(SimConnectHandle* handle, uint32_t clientDataId, uint32_t requestId,
                                      uint32_t defineId, uint32_t period, uint32_t flags, uint32_t origin,
                                      uint32_t interval, uint32_t limit);
uint32_t SimConnect_SetClientData(SimConnectHandle* handle, uint32_t clientDataId, uint32_t defineId, uint32_t flags,
                                  uint32_t reserved, uint32_t unitSize, const void* data);
// Hands every received message of at least 12 bytes to `callback` (the one given at open when null), in
// arrival order; then the recorded status if the connection has dropped, else kSimOk.
uint32_t SimConnect_CallDispatch(SimConnectHandle* handle, DispatchProc callback, void* context);
// Sends what was built, waits 100 ms, drops the connection and releases the client; the last close of the
// process waits (at most 5 s) for the I/O to finish and ends networking.
uint32_t SimConnect_Close(SimConnectHandle* handle);
