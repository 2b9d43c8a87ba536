// The SimConnect requests: each builds one request in the client's build buffer and queues it.
#include "simlink/client/simconnect.h"

#include <cstring>

namespace {
void PutU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

void PutF32(uint8_t* p, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    PutU32(p, bits);
}

// Copies the string into its 256-byte field (already zeroed); false when it has 256 or more characters.
bool PutString(uint8_t* field, const char* text) {
    if (!text) return true;
    size_t length = std::strlen(text);
    if (length >= kStringField) return false;
    std::memcpy(field, text, length);
    return true;
}

uint32_t Queue(SimConnectHandle* handle) { return handle->Flush() ? kSimOk : kSimFail; }
} // namespace

// Builds and queues the Open request (the connection is made by SimConnect_Open, in connect.cpp).
uint32_t QueueOpenRequest(SimConnectHandle* handle, const char* name) {
    uint32_t status = kSimOk;
    uint8_t* r = handle->Reserve(kSizeOpen, kRequestOpen, status);
    if (!r) return status;
    if (!PutString(r + 16, name)) {
        handle->GiveBack(kSizeOpen);
        return kSimStringTooLong;
    }
    PutU32(r + 272, 0);
    r[276] = 0x00;
    r[277] = 0x48;
    r[278] = 0x4B;
    r[279] = 0x00;
    PutU32(r + 280, 11);
    PutU32(r + 284, 0);
    PutU32(r + 288, 62651);
    PutU32(r + 292, 3);
    return Queue(handle);
}

uint32_t SimConnect_MapClientDataNameToID(SimConnectHandle* handle, const char* clientDataName, uint32_t clientDataId) {
    if (!handle) return kSimFail;
    uint32_t status = kSimOk;
    uint8_t* r = handle->Reserve(kSizeMapClientDataNameToID, kRequestMapClientDataNameToID, status);
    if (!r) return status;
    if (!PutString(r + 16, clientDataName)) {
        handle->GiveBack(kSizeMapClientDataNameToID);
        return kSimStringTooLong;
    }
    PutU32(r + 272, clientDataId);
    return Queue(handle);
}

uint32_t SimConnect_CreateClientData(SimConnectHandle* handle, uint32_t clientDataId, uint32_t size, uint32_t flags) {
    if (!handle) return kSimFail;
    uint32_t status = kSimOk;
    uint8_t* r = handle->Reserve(kSizeCreateClientData, kRequestCreateClientData, status);
    if (!r) return status;
    PutU32(r + 16, clientDataId);
    PutU32(r + 20, size);
    PutU32(r + 24, flags);
    return Queue(handle);
}

uint32_t SimConnect_AddToClientDataDefinition(SimConnectHandle* handle, uint32_t defineId, uint32_t offset,
                                              uint32_t sizeOrType, float epsilon, uint32_t datumId) {
    if (!handle) return kSimFail;
    uint32_t status = kSimOk;
    uint8_t* r = handle->Reserve(kSizeAddToClientDataDefinition, kRequestAddToClientDataDefinition, status);
    if (!r) return status;
    PutU32(r + 16, defineId);
    PutU32(r + 20, offset);
    PutU32(r + 24, sizeOrType);
    PutF32(r + 28, epsilon);
    PutU32(r + 32, datumId);
    return Queue(handle);
}

uint32_t SimConnect_ClearClientDataDefinition(SimConnectHandle* handle, uint32_t defineId) {
    if (!handle) return kSimFail;
    uint32_t status = kSimOk;
    uint8_t* r = handle->Reserve(kSizeClearClientDataDefinition, kRequestClearClientDataDefinition, status);
    if (!r) return status;
    PutU32(r + 16, defineId);
    return Queue(handle);
}

uint32_t SimConnect_RequestClientData(SimConnectHandle* handle, uint32_t clientDataId, uint32_t requestId,
                                      uint32_t defineId, uint32_t period, uint32_t flags, uint32_t origin,
                                      uint32_t interval, uint32_t limit) {
    if (!handle) return kSimFail;
    uint32_t status = kSimOk;
    uint8_t* r = handle->Reserve(kSizeRequestClientData, kRequestRequestClientData, status);
    if (!r) return status;
    const uint32_t fields[] = {clientDataId, requestId, defineId, period, flags, origin, interval, limit};
    for (size_t i = 0; i < 8; ++i) PutU32(r + 16 + 4 * i, fields[i]);
    return Queue(handle);
}

uint32_t SimConnect_SetClientData(SimConnectHandle* handle, uint32_t clientDataId, uint32_t defineId, uint32_t flags,
                                  uint32_t reserved, uint32_t unitSize, const void* data) {
    if (!handle) return kSimFail;
    if (unitSize > kBuildBufferSize) return handle->build.empty() ? kSimFail : kSimInvalidArg;
    uint32_t size = kSizeSetClientDataFields + unitSize;
    uint32_t status = kSimOk;
    uint8_t* r = handle->Reserve(size, kRequestSetClientData, status);
    if (!r) return status;
    PutU32(r + 16, clientDataId);
    PutU32(r + 20, defineId);
    PutU32(r + 24, flags);
    PutU32(r + 28, reserved);
    PutU32(r + 32, unitSize);
    if (unitSize > 0 && data) std::memcpy(r + 36, data, unitSize);
    return handle->Flush(handle->KeyFor(clientDataId, defineId)) ? kSimOk : kSimFail;
}

uint32_t SimConnect_CallDispatch(SimConnectHandle* handle, DispatchProc callback, void* context) {
    if (!handle) return kSimFail;
    if (!callback) {
        callback = handle->dispatch;
        context = handle->dispatchContext;
    }
    if (!callback) return kSimFail;
    std::deque<ReceivedMessage> messages = handle->TakeReceived();
    for (ReceivedMessage& m : messages) {
        if (m.size >= kReceiveHeaderSize) callback(m.bytes.get(), m.size, context);
        m.bytes.reset();
    }
    return handle->Reason() != kReasonNone ? handle->RecordedStatus() : kSimOk;
}
