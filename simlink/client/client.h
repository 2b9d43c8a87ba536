// The SimConnect client: CClient, the transport (framing, send queue, disconnects), and ClientClient, which
// adds the request build buffer, the received-message list and the dispatch callback.
//
// Reads and writes complete on platform I/O threads (platform/transport.h); received messages wait in a
// locked list until SimConnect_CallDispatch hands them over on the caller's thread. Requests are built on
// the program's main thread only.
#pragma once
#include "platform/signal_event.h"
#include "platform/transport.h"
#include "simlink/client/config.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Statuses (HRESULT form) returned by the client.
constexpr uint32_t kSimOk = 0;
constexpr uint32_t kSimFail = 0x80004005;
constexpr uint32_t kSimInvalidArg = 0x80070057;
constexpr uint32_t kSimStringTooLong = 0x8007007A;
constexpr uint32_t kSimAbort = 0x80004004;
constexpr uint32_t kSimOutOfMemory = 0x8007000E;

// Why a connection ended (0: it was closed by its owner, or it is still up).
enum DisconnectReason : uint32_t {
    kReasonNone = 0,
    kReasonTooLarge = 1,
    kReasonTooSmall = 2,
    kReasonNoMemory = 3,
    kReasonZeroBytes = 4,
    kReasonRemoteClosed = 5,
    kReasonCancelled = 8,
    kReasonIoError = 9,
};

enum TransportState : uint32_t { kStateClosed = 0, kStateConnecting = 1, kStateOpen = 2 };

constexpr uint32_t kReceiveStep = 2048;      // first receive buffer, and each growth
constexpr uint32_t kReceiveLimit = 0x100000; // the receive buffer never grows past 1 MiB
constexpr uint32_t kBuildBufferSize = 41088;
constexpr uint32_t kReceiveHeaderSize = 12;

// Receives each message (its whole bytes, header included) inside SimConnect_CallDispatch.
using DispatchProc = void (*)(const uint8_t* message, uint32_t size, void* context);

// Which queued block a newer one supersedes: a SetClientData of the same area and definition whose
// values only the latest matter (see ClientClient::KeepLatestOnly).
struct SupersedeKey {
    bool latestOnly = false;
    uint32_t clientDataId = 0;
    uint32_t defineId = 0;
};

struct SendBlock {
    std::unique_ptr<uint8_t[]> bytes;
    uint32_t size = 0;
    SupersedeKey key;
    SendBlock* next = nullptr;
};

class CClient {
public:
    CClient();
    virtual ~CClient();                                                              // slot 0
    virtual void Start();                                                            // slot 1
    virtual void Disconnect(uint32_t reason, uint32_t status);                       // slot 2
    virtual void MessageReceived(std::unique_ptr<uint8_t[]> message, uint32_t size); // slot 3
    virtual void Connecting();                                                       // slot 4

    // Takes over a connected transport: binds it to the I/O threads, sets the receive buffer and the
    // configuration's limits, starts the client and issues the first read. False when binding failed.
    bool Attach(Transport* connected, const SimConnectConfig& config, uint32_t& systemError);
    // Copies the bytes into a new block at the end of the send queue; false (and nothing queued) when the
    // connection is not open or no memory is left. A block with a latest-only key first takes out every
    // queued block with the same key that has not started to go out: a peer that stops reading then costs
    // one such block, however long it stalls, while every other block keeps its place.
    bool QueueSend(const uint8_t* bytes, uint32_t size, const SupersedeKey& key = SupersedeKey{});
    // Bytes waiting to go out: the queued blocks and what is left of the block being written.
    uint64_t QueuedSendBytes();
    // Handles bytes that a read brought (the framing); public so that tests can feed byte streams.
    void ReceiveBytes(const uint8_t* bytes, size_t size);

    void AddRef();
    void Release();
    uint32_t State() const { return state.load(); }
    uint32_t Reason() const { return disconnectReason.load(); }
    uint32_t RecordedStatus() const { return statusCode.load(); }

    TransportKind kind = TransportKind::Socket;
    std::atomic<uint32_t> state{kStateClosed};
    Transport* transport = nullptr;
    std::atomic<uint32_t> lastSystemError{0};
    std::atomic<uint32_t> statusCode{0};
    std::atomic<uint32_t> disconnectReason{kReasonNone};
    std::atomic<uint32_t> connectionId{0};
    uint32_t maxReceiveSize = kDefaultMaxReceiveSize;
    bool disableNagle = false;
    // The receive buffer; bytes between readPosition and writePosition wait to be cut into messages.
    std::vector<uint8_t> receive;
    size_t readPosition = 0;
    size_t writePosition = 0;
    // The send queue and the block being written.
    std::mutex sendLock;
    SendBlock* sendHead = nullptr;
    SendBlock* sendTail = nullptr;
    uint32_t sendCount = 0;
    uint64_t sendBytes = 0;
    SendBlock* writing = nullptr;
    size_t writingDone = 0;
    uint64_t supersededBlocks = 0; // blocks taken out of the queue by a newer one with their key
    std::mutex stateLock;
    std::atomic<int> references{1};

protected:
    static void OnIo(void* owner, bool isWrite, uint32_t status, uint32_t systemError, size_t bytes);
    void ReadCompleted(uint32_t status, uint32_t systemError, size_t bytes);
    void WriteCompleted(uint32_t status, uint32_t systemError, size_t bytes);
    // Cuts complete messages from the receive buffer and makes room for the next read; false when the
    // connection was dropped for what the bytes said.
    bool CutMessages();
    // Issues the next read while the connection is open; false with the error when it could not start.
    bool IssueRead(uint32_t& systemError);
    // With the state lock held: writes the next queued block, if any and none is being written.
    bool StartNextWrite(uint32_t& systemError);
    void Fail(uint32_t reason, uint32_t status, uint32_t systemError);
    void DiscardSends();
    // With the send lock held: removes the queued blocks with this latest-only key.
    void TakeOutSuperseded(const SupersedeKey& key);
};

struct ReceivedMessage {
    std::unique_ptr<uint8_t[]> bytes;
    uint32_t size = 0;
    uint32_t connectionId = 0;
};

class ClientClient : public CClient {
public:
    ClientClient();
    ~ClientClient() override;
    void Start() override;
    void Disconnect(uint32_t reason, uint32_t status) override;
    void MessageReceived(std::unique_ptr<uint8_t[]> message, uint32_t size) override;

    // Request building: reserves `size` zeroed bytes with the header written (size, version 5, request id,
    // send id). Null with `status` set when there is no build buffer or the connection has dropped.
    uint8_t* Reserve(uint32_t size, uint32_t requestId, uint32_t& status);
    // Gives the bytes of the request being built back (the build position returns to its start).
    void GiveBack(uint32_t size);
    // Queues the bytes built so far as one block and empties the build buffer.
    bool Flush(const SupersedeKey& key = SupersedeKey{});
    // From now on a SetClientData of this area and definition supersedes the queued ones that have not
    // started to go out (the area holds values of which only the latest matter). Main thread only.
    void KeepLatestOnly(uint32_t clientDataId, uint32_t defineId);
    // The key a SetClientData of this area and definition is queued with.
    SupersedeKey KeyFor(uint32_t clientDataId, uint32_t defineId) const;
    // Stops posting and signalling: the window and event given at open are forgotten.
    void ForgetNotifications();
    // Takes every received message, leaving the list empty.
    std::deque<ReceivedMessage> TakeReceived();

    std::mutex receivedLock;
    std::deque<ReceivedMessage> received;
    uint64_t receivedBytes = 0;
    std::mutex notifyLock;
    void* window = nullptr;
    uint32_t userMessage = 0;
    SignalEvent* event = nullptr;
    std::atomic<bool> dropNotified{false};
    DispatchProc dispatch = nullptr;
    void* dispatchContext = nullptr;
    std::vector<uint8_t> build;
    uint32_t buildPosition = 0;
    uint32_t sendCounter = 0;
    bool linked = false;
    std::vector<std::pair<uint32_t, uint32_t>> latestOnly; // client data id, define id

private:
    void Notify();
};

// The client's process-wide state.
struct SimConnectClientState {
    std::mutex lock;                    // guards `clients` and `attempts`
    std::vector<ClientClient*> clients; // every ClientClient not yet closed
    std::atomic<int> liveTransports{0}; // live CClient objects
    std::atomic<uint32_t> connectionCounter{0};
    std::atomic<bool> connectionFailed{false};
    bool networkingStarted = false;
    // Where a connection is looked for; tests point these somewhere of their own.
    std::string defaultPipeName = "Microsoft Flight Simulator\\SimConnect";
    std::string registryKey = "SOFTWARE\\Microsoft\\Microsoft Games\\KittyHawk";
    // The attempts of the last Open, in order: "pipe NAME", "tcp6 ADDRESS PORT", "tcp4 ADDRESS PORT", each
    // followed by " ok", " failed N" or " busy-waits N ok"/"... failed N".
    std::vector<std::string> attempts;
};
SimConnectClientState& SimConnectClient();
// Back to the defaults; only while no client is open.
void ResetSimConnectClient();

// The next connection id of the process (never 0).
uint32_t NextConnectionId();
