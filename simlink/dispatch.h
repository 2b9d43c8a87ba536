// The simulator dispatch: everything the simulator and the in-simulator module send reaches the program
// here, on the main thread; and the speech monitor that tells the module when the first officer talks.
#pragma once
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

// One received simulator message as it came off the wire (12-byte header: size, version, id). Quit ends
// the run; client data of the module's message area and DRF area are handled; everything else, and any
// message too short for what it claims to be, is ignored.
void DispatchReceived(const uint8_t* message, size_t size);
// One module message, by its type.
void HandleModuleMessage(const ModuleMessage& message);
// Once per pass, after the executer: one start and one stop message per utterance.
void SpeechMonitor();
