// The SimConnect client's transport and client objects: framing of received bytes, the send queue with one
// write in flight, disconnects, reference counting and the received-message list.
#include "simlink/client/client.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace {
uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void WriteU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t HresultFromSystemError(uint32_t error) {
    return error == 0 ? kSimFail : 0x80070000u | (error & 0xFFFF);
}

// The disconnect reason and status for a completion that failed.
void ClassifyFailure(uint32_t status, uint32_t& reason, uint32_t& recorded) {
    if (status == kIoStatusRemoteDisconnect || status == kIoStatusPipeBroken ||
        status == kIoStatusConnectionReset) {
        reason = kReasonRemoteClosed;
        recorded = status;
    } else if (status == kIoStatusCancelled) {
        reason = kReasonCancelled;
        recorded = status;
    } else {
        reason = kReasonIoError;
        recorded = status;
    }
}
} // namespace

SimConnectClientState& SimConnectClient() {
    static SimConnectClientState state;
    return state;
}

void ResetSimConnectClient() {
    SimConnectClientState& s = SimConnectClient();
    std::lock_guard<std::mutex> guard(s.lock);
    s.clients.clear();
    s.connectionFailed = false;
    s.defaultPipeName = "Microsoft Flight Simulator\\SimConnect";
    s.registryKey = "SOFTWARE\\Microsoft\\Microsoft Games\\KittyHawk";
    s.attempts.clear();
}

uint32_t NextConnectionId() {
    for (;;) {
        uint32_t id = ++SimConnectClient().connectionCounter;
        if (id != 0) return id;
    }
}

// ---- CClient ----

CClient::CClient() {
    ++SimConnectClient().liveTransports;
}

CClient::~CClient() {
    DiscardSends();
    delete writing;
    if (transport) TransportFree(transport);
    --SimConnectClient().liveTransports;
}

void CClient::DiscardSends() {
    std::lock_guard<std::mutex> guard(sendLock);
    while (sendHead) {
        SendBlock* next = sendHead->next;
        delete sendHead;
        sendHead = next;
    }
    sendTail = nullptr;
    sendCount = 0;
    sendBytes = 0;
}

void CClient::Start() {
    DiscardSends();
    connectionId = NextConnectionId();
    readPosition = 0;
    writePosition = 0;
    if (transport && kind == TransportKind::Pipe) {
        uint32_t error = 0;
        if (!PreparePipeEvents(transport, error))
            std::printf("CreateEvent failed with %d.\n", static_cast<int>(error));
    }
}

void CClient::Disconnect(uint32_t reason, uint32_t status) {
    std::lock_guard<std::mutex> guard(stateLock);
    bool wasOpen = state.load() != kStateClosed;
    state = kStateClosed;
    connectionId = 0;
    if (!wasOpen) return; // the first cause of a drop is the one kept
    if (reason != kReasonNone) statusCode = status;
    if (transport) TransportClose(transport);
    disconnectReason = reason;
    if (reason != kReasonNone) SimConnectClient().connectionFailed = true;
}

void CClient::MessageReceived(std::unique_ptr<uint8_t[]>, uint32_t) {}

void CClient::Connecting() {}

void CClient::AddRef() {
    ++references;
}

void CClient::Release() {
    if (--references == 0) delete this;
}

void CClient::Fail(uint32_t reason, uint32_t status, uint32_t systemError) {
    if (state.load() != kStateClosed) lastSystemError = systemError;
    Disconnect(reason, status);
}

bool CClient::Attach(Transport* connected, const SimConnectConfig& config, uint32_t& systemError) {
    transport = connected;
    kind = KindOf(connected);
    if (!BindTransport(connected, &CClient::OnIo, this, systemError)) return false;
    receive.assign(kReceiveStep, 0);
    maxReceiveSize = config.maxReceiveSize;
    disableNagle = config.disableNagle;
    Start();
    if (!IssueRead(systemError)) {
        Fail(kReasonIoError, HresultFromSystemError(systemError), systemError);
        return false;
    }
    return true;
}

void CClient::OnIo(void* owner, bool isWrite, uint32_t status, uint32_t systemError, size_t bytes) {
    CClient* client = static_cast<CClient*>(owner);
    if (isWrite)
        client->WriteCompleted(status, systemError, bytes);
    else
        client->ReadCompleted(status, systemError, bytes);
}

bool CClient::IssueRead(uint32_t& systemError) {
    std::lock_guard<std::mutex> guard(stateLock);
    if (state.load() != kStateOpen) return true; // reading ends with the connection
    AddRef();
    if (StartRead(transport, receive.data() + writePosition, receive.size() - writePosition, systemError))
        return true;
    --references; // the owner's reference is still held, so this never reaches 0 here
    return false;
}

void CClient::ReadCompleted(uint32_t status, uint32_t systemError, size_t bytes) {
    bool overflow = status == kIoStatusBufferOverflow && kind == TransportKind::Pipe;
    if (status != 0 && !overflow) {
        uint32_t reason, recorded;
        ClassifyFailure(status, reason, recorded);
        Fail(reason, recorded, systemError);
    } else if (bytes == 0) {
        Fail(kReasonZeroBytes, kIoStatusGracefulDisconnect, systemError);
    } else {
        writePosition += bytes;
        uint32_t error = 0;
        if (CutMessages() && !IssueRead(error)) Fail(kReasonIoError, HresultFromSystemError(error), error);
    }
    Release();
}

void CClient::ReceiveBytes(const uint8_t* bytes, size_t size) {
    // Bytes handed in directly (tests) are placed as reads would have placed them, one free stretch at a
    // time.
    while (size > 0 && !(state.load() == kStateClosed && disconnectReason.load() != kReasonNone)) {
        size_t n = std::min(size, receive.size() - writePosition);
        if (n == 0) return;
        std::memcpy(receive.data() + writePosition, bytes, n);
        writePosition += n;
        bytes += n;
        size -= n;
        CutMessages();
    }
}

bool CClient::CutMessages() {
    uint32_t limit = std::min(maxReceiveSize, kReceiveLimit);
    while (writePosition - readPosition >= 4) {
        uint32_t messageSize = ReadU32(receive.data() + readPosition);
        if (messageSize > limit) {
            Fail(kReasonTooLarge, kSimAbort, 0);
            return false;
        }
        if (messageSize < 4) {
            Fail(kReasonTooSmall, kSimAbort, 0);
            return false;
        }
        if (writePosition - readPosition < messageSize) break;
        std::unique_ptr<uint8_t[]> message(new (std::nothrow) uint8_t[messageSize]);
        if (!message) {
            Fail(kReasonNoMemory, kSimOutOfMemory, 0);
            return false;
        }
        std::memcpy(message.get(), receive.data() + readPosition, messageSize);
        readPosition += messageSize;
        MessageReceived(std::move(message), messageSize);
    }
    if (readPosition == writePosition) readPosition = writePosition = 0;
    if (writePosition == receive.size()) {
        if (readPosition > 0) {
            std::memmove(receive.data(), receive.data() + readPosition, writePosition - readPosition);
            writePosition -= readPosition;
            readPosition = 0;
        } else if (receive.size() + kReceiveStep <= kReceiveLimit) {
            receive.resize(receive.size() + kReceiveStep);
        } else {
            // A message that cannot fit in 1 MiB is too large, whatever MaxReceiveSize says.
            Fail(kReasonTooLarge, kSimAbort, 0);
            return false;
        }
    }
    return true;
}

bool CClient::StartNextWrite(uint32_t& systemError) {
    if (writing) return true;
    {
        std::lock_guard<std::mutex> guard(sendLock);
        if (!sendHead) return true;
        writing = sendHead;
        sendHead = sendHead->next;
        if (!sendHead) sendTail = nullptr;
        --sendCount;
        sendBytes -= writing->size;
    }
    writingDone = 0;
    AddRef();
    if (StartWrite(transport, writing->bytes.get(), writing->size, systemError)) return true;
    --references;
    delete writing;
    writing = nullptr;
    return false;
}

bool CClient::QueueSend(const uint8_t* bytes, uint32_t size, const SupersedeKey& key) {
    SendBlock* block = new (std::nothrow) SendBlock;
    if (!block) return false;
    block->key = key;
    block->bytes.reset(new (std::nothrow) uint8_t[size > 0 ? size : 1]);
    if (!block->bytes) {
        delete block;
        return false;
    }
    std::memcpy(block->bytes.get(), bytes, size);
    block->size = size;
    uint32_t error = 0;
    bool started = true;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (state.load() != kStateOpen) {
            delete block;
            return false;
        }
        {
            std::lock_guard<std::mutex> queue(sendLock);
            if (key.latestOnly) TakeOutSuperseded(key);
            if (sendTail)
                sendTail->next = block;
            else
                sendHead = block;
            sendTail = block;
            ++sendCount;
            sendBytes += size;
        }
        started = StartNextWrite(error);
    }
    if (!started) Fail(kReasonIoError, HresultFromSystemError(error), error);
    return true;
}

void CClient::TakeOutSuperseded(const SupersedeKey& key) {
    SendBlock* previous = nullptr;
    for (SendBlock* b = sendHead; b;) {
        SendBlock* next = b->next;
        if (b->key.latestOnly && b->key.clientDataId == key.clientDataId && b->key.defineId == key.defineId) {
            if (previous)
                previous->next = next;
            else
                sendHead = next;
            if (sendTail == b) sendTail = previous;
            --sendCount;
            sendBytes -= b->size;
            ++supersededBlocks;
            delete b;
        } else {
            previous = b;
        }
        b = next;
    }
}

uint64_t CClient::QueuedSendBytes() {
    std::lock_guard<std::mutex> guard(stateLock);
    std::lock_guard<std::mutex> queue(sendLock);
    return sendBytes + (writing ? writing->size - writingDone : 0);
}

void CClient::WriteCompleted(uint32_t status, uint32_t systemError, size_t bytes) {
    if (status != 0) {
        uint32_t reason, recorded;
        ClassifyFailure(status, reason, recorded);
        Fail(reason, recorded, systemError);
    } else if (bytes == 0 && writing && writing->size > 0) {
        Fail(kReasonZeroBytes, kIoStatusGracefulDisconnect, systemError);
    }
    uint32_t error = 0;
    bool started = true;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (writing && status == 0 && state.load() == kStateOpen && writingDone + bytes < writing->size) {
            // A short write: the rest of the block goes next.
            writingDone += bytes;
            AddRef();
            started =
                StartWrite(transport, writing->bytes.get() + writingDone, writing->size - writingDone, error);
            if (!started) --references;
        } else {
            delete writing;
            writing = nullptr;
            if (state.load() == kStateOpen) started = StartNextWrite(error);
        }
    }
    if (!started) Fail(kReasonIoError, HresultFromSystemError(error), error);
    Release();
}

// ---- ClientClient ----

ClientClient::ClientClient() : build(kBuildBufferSize, 0) {
    SimConnectClientState& s = SimConnectClient();
    std::lock_guard<std::mutex> guard(s.lock);
    s.clients.push_back(this);
    linked = true;
}

ClientClient::~ClientClient() {
    SimConnectClientState& s = SimConnectClient();
    std::lock_guard<std::mutex> guard(s.lock);
    if (linked) s.clients.erase(std::remove(s.clients.begin(), s.clients.end(), this), s.clients.end());
}

void ClientClient::Start() {
    CClient::Start();
    if (transport && kind == TransportKind::Socket && disableNagle) SetNoDelay(transport, true);
    state = kStateOpen;
}

void ClientClient::Disconnect(uint32_t reason, uint32_t status) {
    CClient::Disconnect(reason, status);
    // One notice per drop, so that the program calls dispatch and sees the failure.
    if (reason != kReasonNone && !dropNotified.exchange(true)) Notify();
}

void ClientClient::MessageReceived(std::unique_ptr<uint8_t[]> message, uint32_t size) {
    {
        std::lock_guard<std::mutex> guard(receivedLock);
        received.push_back(ReceivedMessage{std::move(message), size, connectionId.load()});
        receivedBytes += size;
    }
    Notify();
}

void ClientClient::Notify() {
    std::lock_guard<std::mutex> guard(notifyLock);
    if (window && userMessage) PostWindowMessage(window, userMessage);
    if (event) SetSignalEvent(event);
}

void ClientClient::ForgetNotifications() {
    std::lock_guard<std::mutex> guard(notifyLock);
    window = nullptr;
    userMessage = 0;
    event = nullptr;
}

std::deque<ReceivedMessage> ClientClient::TakeReceived() {
    std::deque<ReceivedMessage> taken;
    std::lock_guard<std::mutex> guard(receivedLock);
    taken.swap(received);
    receivedBytes = 0;
    return taken;
}

uint8_t* ClientClient::Reserve(uint32_t size, uint32_t requestId, uint32_t& status) {
    if (build.empty()) {
        status = kSimFail;
        return nullptr;
    }
    if (disconnectReason.load() != kReasonNone) {
        status = statusCode.load();
        return nullptr;
    }
    if (size > build.size() - buildPosition) {
        // No request the program sends comes near the buffer's size; a larger one is refused whole.
        status = kSimInvalidArg;
        return nullptr;
    }
    uint8_t* request = build.data() + buildPosition;
    std::memset(request, 0, size);
    sendCounter = sendCounter == 0xFFFFFFFF ? 1 : sendCounter + 1;
    WriteU32(request, size);
    WriteU32(request + 4, 5);
    WriteU32(request + 8, requestId);
    WriteU32(request + 12, sendCounter);
    buildPosition += size;
    status = kSimOk;
    return request;
}

void ClientClient::GiveBack(uint32_t size) {
    buildPosition -= size;
    std::memset(build.data() + buildPosition, 0, size);
}

bool ClientClient::Flush(const SupersedeKey& key) {
    if (buildPosition == 0) return true;
    bool queued = QueueSend(build.data(), buildPosition, key);
    // The queue step empties the buffer: nothing of a sent request stays behind.
    std::memset(build.data(), 0, buildPosition);
    buildPosition = 0;
    return queued;
}

void ClientClient::KeepLatestOnly(uint32_t clientDataId, uint32_t defineId) {
    if (!KeyFor(clientDataId, defineId).latestOnly) latestOnly.push_back({clientDataId, defineId});
}

SupersedeKey ClientClient::KeyFor(uint32_t clientDataId, uint32_t defineId) const {
    for (const auto& area : latestOnly) {
        if (area.first == clientDataId && area.second == defineId)
            return SupersedeKey{true, clientDataId, defineId};
    }
    return SupersedeKey{};
}
