// The simulator client's transport on Windows: the named pipe and Winsock TCP, overlapped, completing on
// the system thread pool through BindIoCompletionCallback.
#include "platform/transport.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstddef>

namespace {
struct IoBlock {
    OVERLAPPED overlapped;
    Transport* transport;
    bool isWrite;
};
} // namespace

struct Transport {
    TransportKind kind = TransportKind::Socket;
    HANDLE pipe = INVALID_HANDLE_VALUE;
    SOCKET socket = INVALID_SOCKET;
    HANDLE readEvent = nullptr;  // the pipe's two manual-reset events
    HANDLE writeEvent = nullptr;
    TransportCompletion completion = nullptr;
    void* owner = nullptr;
    IoBlock read{};
    IoBlock write{};
    volatile LONG closed = 0;
};

namespace {
VOID CALLBACK OnCompletion(DWORD errorCode, DWORD bytes, LPOVERLAPPED overlapped) {
    IoBlock* block = reinterpret_cast<IoBlock*>(reinterpret_cast<char*>(overlapped) - offsetof(IoBlock, overlapped));
    Transport* t = block->transport;
    uint32_t status = static_cast<uint32_t>(overlapped->Internal);
    t->completion(t->owner, block->isWrite, status, errorCode, bytes);
}

HANDLE AsHandle(SOCKET s) { return reinterpret_cast<HANDLE>(s); }

void ResetBlock(IoBlock& block, HANDLE event) {
    ZeroMemory(&block.overlapped, sizeof block.overlapped);
    block.overlapped.hEvent = event;
}
} // namespace

bool StartNetworking() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 0), &data) == 0;
}

void StopNetworking() { WSACleanup(); }

std::string PipeEndpointPath(const std::string& pipeName) { return pipeName; }

Transport* ConnectPipe(const std::string& pipeName, uint32_t& systemError, int& busyWaits) {
    busyWaits = 0;
    for (;;) {
        HANDLE pipe = CreateFileA(pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            Transport* t = new Transport;
            t->kind = TransportKind::Pipe;
            t->pipe = pipe;
            return t;
        }
        DWORD error = GetLastError();
        if (error != ERROR_PIPE_BUSY) {
            systemError = error;
            return nullptr;
        }
        ++busyWaits;
        if (!WaitNamedPipeA(pipeName.c_str(), 5000)) {
            systemError = GetLastError();
            return nullptr;
        }
    }
}

Transport* ConnectTcp(int family, const std::string& address, const std::string& port, uint32_t& systemError) {
    addrinfo hints{};
    hints.ai_family = family == 23 ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (getaddrinfo(address.empty() ? nullptr : address.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
        systemError = static_cast<uint32_t>(WSAGetLastError());
        return nullptr;
    }
    SOCKET s = WSASocketW(found->ai_family, found->ai_socktype, found->ai_protocol, nullptr, 0, WSA_FLAG_OVERLAPPED);
    if (s == INVALID_SOCKET) {
        systemError = static_cast<uint32_t>(WSAGetLastError());
        freeaddrinfo(found);
        return nullptr;
    }
    int rc = connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen));
    freeaddrinfo(found);
    if (rc != 0) {
        systemError = static_cast<uint32_t>(WSAGetLastError());
        closesocket(s);
        return nullptr;
    }
    Transport* t = new Transport;
    t->kind = TransportKind::Socket;
    t->socket = s;
    return t;
}

TransportKind KindOf(const Transport* transport) { return transport->kind; }

bool BindTransport(Transport* transport, TransportCompletion completion, void* owner, uint32_t& systemError) {
    transport->completion = completion;
    transport->owner = owner;
    transport->read.transport = transport;
    transport->read.isWrite = false;
    transport->write.transport = transport;
    transport->write.isWrite = true;
    HANDLE handle = transport->kind == TransportKind::Pipe ? transport->pipe : AsHandle(transport->socket);
    if (!BindIoCompletionCallback(handle, OnCompletion, 0)) {
        systemError = GetLastError();
        return false;
    }
    return true;
}

bool PreparePipeEvents(Transport* transport, uint32_t& systemError) {
    if (transport->kind != TransportKind::Pipe) return true;
    bool ok = true;
    if (!transport->readEvent) {
        transport->readEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!transport->readEvent) {
            systemError = GetLastError();
            ok = false;
        }
    }
    if (!transport->writeEvent) {
        transport->writeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!transport->writeEvent) {
            systemError = GetLastError();
            ok = false;
        }
    }
    return ok;
}

void SetNoDelay(Transport* transport, bool on) {
    if (transport->kind != TransportKind::Socket) return;
    BOOL flag = on ? TRUE : FALSE;
    setsockopt(transport->socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&flag), sizeof flag);
}

bool StartRead(Transport* transport, uint8_t* buffer, size_t size, uint32_t& systemError) {
    if (transport->closed) {
        systemError = ERROR_INVALID_HANDLE;
        return false;
    }
    ResetBlock(transport->read, transport->readEvent);
    if (transport->kind == TransportKind::Pipe) {
        if (ReadFile(transport->pipe, buffer, static_cast<DWORD>(size), nullptr, &transport->read.overlapped)) return true;
        DWORD error = GetLastError();
        // A message longer than the buffer still completes through the pool, as buffer overflow.
        if (error == ERROR_IO_PENDING || error == ERROR_MORE_DATA) return true;
        systemError = error;
        return false;
    }
    WSABUF part{static_cast<ULONG>(size), reinterpret_cast<char*>(buffer)};
    DWORD flags = 0;
    if (WSARecv(transport->socket, &part, 1, nullptr, &flags, &transport->read.overlapped, nullptr) == 0) return true;
    int error = WSAGetLastError();
    if (error == WSA_IO_PENDING) return true;
    systemError = static_cast<uint32_t>(error);
    return false;
}

bool StartWrite(Transport* transport, const uint8_t* data, size_t size, uint32_t& systemError) {
    if (transport->closed) {
        systemError = ERROR_INVALID_HANDLE;
        return false;
    }
    ResetBlock(transport->write, transport->writeEvent);
    if (transport->kind == TransportKind::Pipe) {
        if (WriteFile(transport->pipe, data, static_cast<DWORD>(size), nullptr, &transport->write.overlapped)) return true;
        DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) return true;
        systemError = error;
        return false;
    }
    WSABUF part{static_cast<ULONG>(size), reinterpret_cast<char*>(const_cast<uint8_t*>(data))};
    if (WSASend(transport->socket, &part, 1, nullptr, 0, &transport->write.overlapped, nullptr) == 0) return true;
    int error = WSAGetLastError();
    if (error == WSA_IO_PENDING) return true;
    systemError = static_cast<uint32_t>(error);
    return false;
}

void TransportClose(Transport* transport) {
    if (InterlockedExchange(&transport->closed, 1) != 0) return;
    if (transport->kind == TransportKind::Socket) {
        if (transport->socket != INVALID_SOCKET) {
            shutdown(transport->socket, SD_BOTH);
            CancelIoEx(AsHandle(transport->socket), nullptr);
            closesocket(transport->socket);
            transport->socket = INVALID_SOCKET;
        }
    } else if (transport->pipe != INVALID_HANDLE_VALUE) {
        CancelIoEx(transport->pipe, nullptr);
        CloseHandle(transport->pipe);
        transport->pipe = INVALID_HANDLE_VALUE;
    }
}

void TransportFree(Transport* transport) {
    TransportClose(transport);
    // The events are closed only here, after the last completion, so the system never signals a closed one.
    if (transport->readEvent) CloseHandle(transport->readEvent);
    if (transport->writeEvent) CloseHandle(transport->writeEvent);
    delete transport;
}
