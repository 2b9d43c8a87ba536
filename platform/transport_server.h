// The listening side of the simulator transport, for the simulator stand-in and the tests: a pipe or a
// TCP port that accepts one client at a time, with bounded waits so its caller can stay single-threaded.
//
// A pipe listener offers one instance, as the simulator's pipe does: while a connection is served, other
// clients find the pipe busy and wait for it (Windows: CreateNamedPipeA with one instance, overlapped
// ConnectNamedPipe; Linux: the Unix-domain socket of platform/transport.h, whose listening socket is
// closed while a client is served and opened again at the next accept, so that a connecting client is
// refused and waits as for a busy pipe).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct ServerListener;
struct ServerConnection;

// `pipeName` is the full name, "\\.\pipe\NAME". Null on failure with a readable reason in `error`.
ServerListener* ListenPipe(const std::string& pipeName, std::string& error);
// `family` 2 (IPv4) or 23 (IPv6); `port` 0 picks a free one (see ListenerPort).
ServerListener* ListenTcp(int family, const std::string& address, uint16_t port, std::string& error);
uint16_t ListenerPort(const ServerListener* listener);
// Waits at most `timeoutMs` for a client; null when none came.
ServerConnection* AcceptConnection(ServerListener* listener, int timeoutMs);
// Waits at most `timeoutMs` for bytes: the count read (> 0), 0 when none came, -1 when the connection
// has ended or failed.
long ReceiveSome(ServerConnection* connection, uint8_t* buffer, size_t size, int timeoutMs);
// Writes all bytes; false when the connection has ended or failed.
bool SendAll(ServerConnection* connection, const uint8_t* data, size_t size);
// Ends the connection; a pipe listener takes the next client afterwards.
void CloseConnection(ServerConnection* connection);
void CloseListener(ServerListener* listener);
