// The outgoing module message queue: building records, one message written per pass, acknowledgement of
// the head, and the writes of the start-up request and the outgoing DRF block.
#include "simlink/module_protocol.h"

#include "base/log.h"

#include <cstring>

ModuleProtocolState& ModuleProtocol() {
    static ModuleProtocolState state;
    return state;
}

void ResetModuleProtocol() {
    ModuleProtocolState& state = ModuleProtocol();
    ModuleSender sender = state.sender;
    state = ModuleProtocolState{};
    state.sender = sender; // the connection outlives a reset of the queue
}

namespace {
ModuleMessage BlankMessage(uint32_t sequence, uint32_t type) {
    ModuleMessage m;
    std::memset(&m, 0, sizeof m);
    std::memset(&m, 0xFF, 16); // sequence, type and the first two indices
    m.parameterIndex = -1;
    m.valueOut = -1.0;
    m.valueIn = -1.0;
    m.sequence = sequence;
    m.type = type;
    return m;
}

void Send(uint32_t clientDataId, uint32_t definitionId, const void* data, uint32_t size) {
    const ModuleSender& sender = ModuleProtocol().sender;
    if (sender.setClientData) sender.setClientData(clientDataId, definitionId, data, size);
}
} // namespace

void SetMessageText(ModuleMessage& message, const std::string& text) {
    // Up to the caller's NUL, and never more than the field holds before its own terminator.
    size_t length = std::strlen(text.c_str());
    if (length > kModuleTextCapacity) length = kModuleTextCapacity;
    std::memset(message.text, 0, sizeof message.text);
    std::memcpy(message.text, text.data(), length);
}

std::string MessageText(const ModuleMessage& message) {
    const void* nul = std::memchr(message.text, 0, sizeof message.text);
    size_t length =
        nul ? static_cast<size_t>(static_cast<const char*>(nul) - message.text) : sizeof message.text;
    return std::string(message.text, length);
}

ModuleMessage BuildModuleMessage(uint32_t type, const std::string& text) {
    ModuleProtocolState& state = ModuleProtocol();
    ++state.messageCounter;
    ModuleMessage m = BlankMessage(state.messageCounter, type);
    SetMessageText(m, text);
    return m;
}

void QueueBuiltMessage(const ModuleMessage& message) {
    ModuleProtocol().outgoing.push_back(message);
}

void QueueModuleMessage(uint32_t type, const std::string& text, double valueOut) {
    ModuleMessage m = BuildModuleMessage(type, text);
    m.valueOut = valueOut;
    QueueBuiltMessage(m);
}

void QueueCodeText(const std::string& code, double valueOut) {
    QueueModuleMessage(kMsgCode, code, valueOut);
}

bool IsNoAckType(uint32_t type) {
    switch (type) {
    case kMsgCode:
    case msgtype_SPEECHSTART:
    case msgtype_SPEECHSTOP:
    case kMsgVoiceIndex:
    case kMsgReserved20:
    case kMsgLiveAnimation:
    case kMsgCapSpeechStart:
    case kMsgSettingsLoaded:
    case kMsgStartupDone:
        return true;
    default:
        return false;
    }
}

void PumpOutgoingMessages() {
    std::vector<ModuleMessage>& queue = ModuleProtocol().outgoing;
    if (queue.empty()) return;
    ModuleMessage& head = queue.front();
    if (head.sent == 1 && head.done == 1) {
        queue.erase(queue.begin());
        return;
    }
    if (head.sent == 0 && head.done == 0) {
        WriteLog("MessageE2W:" + MessageText(head));
        head.sent = 1;
        // Sent as it lies, flags included: the module ignores them. A failed write still counts as sent.
        Send(kClientDataMessageE2W, kDefinitionMessageE2W, &head, static_cast<uint32_t>(kModuleMessageBytes));
        if (IsNoAckType(head.type)) head.done = 1;
    }
}

bool AcknowledgeQueueHead(uint32_t sequence) {
    std::vector<ModuleMessage>& queue = ModuleProtocol().outgoing;
    // Only a head that is out and waiting can be acknowledged: marking an unsent head done would leave it
    // in a state the pump neither sends nor removes, and the queue would stall for good.
    if (queue.empty()) return false;
    ModuleMessage& head = queue.front();
    if (head.sequence != sequence || head.sent != 1 || head.done != 0) return false;
    head.done = 1;
    return true;
}

void SendAircraftRequest() {
    ModuleMessage m = BlankMessage(0xFFFFFFFFu, msgtype_REQUESTACF);
    Send(kClientDataMessageE2W, kDefinitionMessageE2W, &m, static_cast<uint32_t>(kModuleMessageBytes));
}

void SendDrfE2W() {
    Send(kClientDataDrfE2W, kDefinitionDrfE2W, Drf().e2w, kDrfBlockBytes);
}
