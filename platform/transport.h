// The simulator client's byte transport: a named pipe or a TCP connection whose reads and writes are
// started here and complete later on a platform I/O thread, which calls the owner back.
//
// Windows: the pipe is opened with CreateFileA (overlapped; ERROR_PIPE_BUSY is waited for with
// WaitNamedPipeA in 5000 ms steps), the socket is a Winsock TCP socket over IPv4 or IPv6; both handles
// are bound to the system thread pool with BindIoCompletionCallback, reads and writes are ReadFile /
// WriteFile and WSARecv / WSASend with one overlapped block each, and the status handed back is the
// block's NTSTATUS.
//
// Linux: one process-wide I/O thread (poll) performs the reads and writes and calls the owner back.
//  - The pipe "\\SERVER\pipe\NAME" stands for a Unix-domain stream socket at
//      $XDG_RUNTIME_DIR/simconnect/NAME        (/tmp/simconnect-UID/NAME when XDG_RUNTIME_DIR is unset)
//    where every "\" and "/" of NAME becomes "_". Only the local server "." exists; any other server
//    name fails the attempt, and so does a folder that is not the user's own (mode 0700). A socket
//    file that refuses connections (its server is busy with another client and has stopped listening)
//    is the busy pipe: it is retried every 20 ms for up to 5000 ms per wait, for as long as the waits
//    succeed, as the Windows pipe is.
//  - TCP is the same as on Windows over the Berkeley sockets.
//  - Status codes are mapped to the NTSTATUS values the Windows completions carry: a reset connection
//    0xC000020D, a broken pipe 0xC000014B (also the end of a pipe stand-in's stream, which a Windows
//    pipe reports that way), a cancelled operation 0xC0000120, anything else 0xC0000001 with the errno
//    as the system error. The end of a TCP stream completes with 0 bytes and status 0, as on Windows.
//
// Every started operation completes exactly once, also after TransportClose (then as cancelled); no
// completion runs inside the call that started it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct Transport;

enum class TransportKind : uint32_t { Socket = 0, Pipe = 1 };

// Status values carried by completions (the NTSTATUS form).
constexpr uint32_t kIoStatusRemoteDisconnect = 0xC000013C;
constexpr uint32_t kIoStatusGracefulDisconnect = 0xC000013E;
constexpr uint32_t kIoStatusPipeBroken = 0xC000014B;
constexpr uint32_t kIoStatusConnectionReset = 0xC000020D;
constexpr uint32_t kIoStatusCancelled = 0xC0000120;
constexpr uint32_t kIoStatusBufferOverflow = 0x80000005;
constexpr uint32_t kIoStatusUnsuccessful = 0xC0000001;

// Called on an I/O thread when a read or write finishes: `status` 0 on success, `systemError` the
// platform's error number (Win32 error / errno), `bytes` how many bytes moved.
using TransportCompletion = void (*)(void* owner, bool isWrite, uint32_t status, uint32_t systemError,
                                     size_t bytes);

// Networking start and end for the process (WSAStartup 2.0 / WSACleanup on Windows; nothing on Linux).
bool StartNetworking();
void StopNetworking();

// Connects to a pipe by its full name ("\\.\pipe\NAME"). `busyWaits` counts the waits for a busy pipe.
// Null on failure, with the platform's error number in `systemError`.
Transport* ConnectPipe(const std::string& pipeName, uint32_t& systemError, int& busyWaits);
// Connects over TCP: `family` 2 for IPv4, 23 for IPv6 (the numbers of the configuration's protocol).
Transport* ConnectTcp(int family, const std::string& address, const std::string& port, uint32_t& systemError);

TransportKind KindOf(const Transport* transport);
// Binds the connection to the I/O threads; completions go to `completion(owner, ...)`. False on failure.
bool BindTransport(Transport* transport, TransportCompletion completion, void* owner, uint32_t& systemError);
// Prepares the pipe's two manual-reset events (read and write); false with the error when one could not be
// made (the pipe still works without them). Sockets need none and return true.
bool PreparePipeEvents(Transport* transport, uint32_t& systemError);
void SetNoDelay(Transport* transport, bool on);

// Start a read into `buffer` (up to `size` bytes) or a write of `size` bytes from `data`; the memory must
// stay valid until the completion. False when the operation could not be started (no completion follows).
bool StartRead(Transport* transport, uint8_t* buffer, size_t size, uint32_t& systemError);
bool StartWrite(Transport* transport, const uint8_t* data, size_t size, uint32_t& systemError);

// Shuts the connection down in both directions, cancels what is pending and closes the handle. The
// pending operations still complete (as cancelled).
void TransportClose(Transport* transport);
// Frees the record once nothing is pending any more (after the last completion has returned).
void TransportFree(Transport* transport);

// The Unix-domain socket path that stands for a local pipe name on Linux; the pipe name itself on Windows.
std::string PipeEndpointPath(const std::string& pipeName);
