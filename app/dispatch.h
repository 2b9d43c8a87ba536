// The simulator dispatch: everything the simulator and the in-simulator module send reaches the program
// here, on the main thread; and the speech monitor that tells the module when the first officer talks.
#pragma once
#include "simlink/client_data.h"
#include "simlink/module_protocol.h"

#include <cstddef>
#include <cstdint>

struct DispatchState {
    ModuleMessage lastReceived{};
    bool speechAnnounced = false; // the module has been told that speech is running
    long long messagesHandled = 0;
};
DispatchState& Dispatch();
void ResetDispatch();

// One received simulator message, decoded: quit ends the run; the module's message area and the DRF area
// are handled; everything else is ignored.
void HandleSimulatorMessage(const SimulatorMessage& message, void* context);
// The same from the bytes as they came off the wire (12-byte header: size, version, id); a message too
// short for what it claims to be is ignored.
void DispatchReceived(const uint8_t* message, size_t size);
// The pass step (and the start-up wait): every waiting message handled. A connection that has dropped
// without the simulator's quit notice ends the program.
void DispatchSimulatorMessages();
// The module sender of the outgoing queue, plugged into the simulator link.
void SetClientDataThroughLink(uint32_t clientDataId, uint32_t definitionId, const void* data, uint32_t size);
// One module message, by its type.
void HandleModuleMessage(const ModuleMessage& message);
// Once per pass, after the executer: one start and one stop message per utterance.
void SpeechMonitor();
