// Setting up the module's client data areas over the simulator connection, and the link's small entry
// points for the frame and the dispatch.
#include "simlink/client_data.h"

#include <cstdio>
#include <cstring>

const ClientDataArea kClientDataAreas[5] = {
    {"NodeAxisData", 1, 0, 32, kNoRequest},
    {"MessageE2W", 2, 1, kModuleRecordSize, kNoRequest},
    {"MessageW2E", 3, 2, kModuleRecordSize, kRequestMessageW2E},
    {"DrfW2E", 4, 3, kDrfBlockSize, kRequestDrfW2E},
    {"DrfE2W", 5, 4, kDrfBlockSize, kNoRequest},
};

namespace {
struct DispatchTarget {
    SimulatorMessageHandler handler;
    void* context;
};

void DecodeAndForward(const uint8_t* message, uint32_t size, void* context) {
    auto* target = static_cast<DispatchTarget*>(context);
    target->handler(DecodeSimulatorMessage(message, size), target->context);
}

uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
} // namespace

SimLinkState& SimLink() {
    static SimLinkState state;
    return state;
}

void ResetSimLink() {
    SimLinkState& link = SimLink();
    if (link.handle) SimConnect_Close(link.handle);
    if (link.event) CloseSignalEvent(link.event);
    link = SimLinkState{};
}

bool OpenSimulatorLink(uint32_t configIndex) {
    SimLinkState& link = SimLink();
    link.event = CreateSignalEvent();
    if (!link.event) {
        std::printf("Error: Event creation failed!\n");
        return false;
    }
    SimConnectHandle* handle = nullptr;
    if (SimConnect_Open(&handle, "Windows Event", nullptr, 0, link.event, configIndex) != kSimOk || !handle) {
        CloseSignalEvent(link.event);
        link.event = nullptr;
        return false;
    }
    link.handle = handle;
    // The outgoing DRF block goes every pass; while the simulator does not read, only the newest one waits.
    handle->KeepLatestOnly(kClientDataAreas[4].clientDataId, kClientDataAreas[4].defineId);
    // The results are not examined: a failed request shows as a dropped connection at the next dispatch.
    for (const ClientDataArea& area : kClientDataAreas) {
        SimConnect_MapClientDataNameToID(handle, area.name, area.clientDataId);
        SimConnect_AddToClientDataDefinition(handle, area.defineId, 0xFFFFFFFF, area.size, 0.0f, 0xFFFFFFFF);
        SimConnect_CreateClientData(handle, area.clientDataId, area.size, 0);
        if (area.requestId != kNoRequest) {
            SimConnect_RequestClientData(handle, area.clientDataId, area.requestId, area.defineId, kPeriodOnSet, 0, 0,
                                         0, 0);
        }
    }
    return true;
}

bool SimulatorLinkOpen() { return SimLink().handle != nullptr; }

uint32_t SendModuleRecord(const uint8_t* record) {
    const ClientDataArea& area = kClientDataAreas[1];
    return SimConnect_SetClientData(SimLink().handle, area.clientDataId, area.defineId, 0, 0, kModuleRecordSize, record);
}

uint32_t SendDrfE2W(const double* values) {
    const ClientDataArea& area = kClientDataAreas[4];
    uint8_t bytes[kDrfBlockSize];
    std::memcpy(bytes, values, kDrfBlockSize);
    return SimConnect_SetClientData(SimLink().handle, area.clientDataId, area.defineId, 0, 0, kDrfBlockSize, bytes);
}

SimulatorMessage DecodeSimulatorMessage(const uint8_t* bytes, uint32_t size) {
    SimulatorMessage message;
    if (size < kReceiveHeaderSize) return message;
    message.id = ReadU32(bytes + 8);
    if (message.id == kRecvIdQuit) {
        message.kind = SimulatorMessageKind::Quit;
        return message;
    }
    if (message.id != kRecvIdClientData || size < kClientDataOffset) return message;
    message.requestId = ReadU32(bytes + 12);
    uint32_t available = size - kClientDataOffset;
    if (message.requestId == kRequestMessageW2E && available >= kModuleRecordSize) {
        message.kind = SimulatorMessageKind::ModuleMessage;
        message.data = bytes + kClientDataOffset;
        message.size = kModuleRecordSize;
    } else if (message.requestId == kRequestDrfW2E && available >= kDrfBlockSize) {
        message.kind = SimulatorMessageKind::DrfValues;
        message.data = bytes + kClientDataOffset;
        message.size = kDrfBlockSize;
    }
    return message;
}

uint32_t DispatchSimulator(SimulatorMessageHandler handler, void* context) {
    SimLinkState& link = SimLink();
    if (!link.handle || !handler) return kSimFail;
    DispatchTarget target{handler, context};
    return SimConnect_CallDispatch(link.handle, DecodeAndForward, &target);
}

void CloseSimulatorLink(bool clearDefinition) {
    SimLinkState& link = SimLink();
    if (link.handle) {
        if (clearDefinition) SimConnect_ClearClientDataDefinition(link.handle, kClientDataAreas[1].defineId);
        SimConnect_Close(link.handle);
        link.handle = nullptr;
    }
    // The event goes after the connection, so that no late completion can signal it once it is closed.
    if (link.event) {
        CloseSignalEvent(link.event);
        link.event = nullptr;
    }
}
