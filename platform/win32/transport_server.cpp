// The listening side on Windows: a one-instance named pipe served with overlapped I/O and event waits,
// and a Winsock TCP listener with select for the bounded waits.
#include "platform/transport_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>
#include <vector>

struct ServerListener {
    bool pipe = false;
    HANDLE instance = INVALID_HANDLE_VALUE;
    OVERLAPPED connect{};
    bool connectPending = false;
    bool connected = false;
    SOCKET socket = INVALID_SOCKET;
    uint16_t port = 0;
};

struct ServerConnection {
    ServerListener* listener = nullptr;
    SOCKET socket = INVALID_SOCKET;
    // The pipe's read stays pending across calls; its bytes wait in `buffer` until they are taken.
    OVERLAPPED read{};
    bool readPending = false;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(65536);
    size_t ready = 0;
    size_t taken = 0;
    bool ended = false;
    OVERLAPPED write{};
};

namespace {
std::string ErrorText(const char* what, DWORD error) { return std::string(what) + " failed with " + std::to_string(error); }

bool Readable(SOCKET s, int timeoutMs, bool forWrite = false) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int rc = forWrite ? select(0, nullptr, &set, nullptr, &tv) : select(0, &set, nullptr, nullptr, &tv);
    return rc > 0;
}
} // namespace

ServerListener* ListenPipe(const std::string& pipeName, std::string& error) {
    HANDLE instance = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 65536, 65536, 0, nullptr);
    if (instance == INVALID_HANDLE_VALUE) {
        error = ErrorText(("CreateNamedPipeA " + pipeName).c_str(), GetLastError());
        return nullptr;
    }
    ServerListener* listener = new ServerListener;
    listener->pipe = true;
    listener->instance = instance;
    listener->connect.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return listener;
}

ServerListener* ListenTcp(int family, const std::string& address, uint16_t port, std::string& error) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        error = "WSAStartup failed";
        return nullptr;
    }
    bool v6 = family == 23;
    SOCKET s = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        error = ErrorText("socket", WSAGetLastError());
        WSACleanup();
        return nullptr;
    }
    sockaddr_storage storage{};
    int length = 0;
    if (v6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(port);
        inet_pton(AF_INET6, address.c_str(), &a->sin6_addr);
        length = sizeof *a;
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&storage);
        a->sin_family = AF_INET;
        a->sin_port = htons(port);
        inet_pton(AF_INET, address.c_str(), &a->sin_addr);
        length = sizeof *a;
    }
    if (bind(s, reinterpret_cast<sockaddr*>(&storage), length) != 0 || listen(s, 8) != 0) {
        error = ErrorText(("listen on " + address + " port " + std::to_string(port)).c_str(), WSAGetLastError());
        closesocket(s);
        WSACleanup();
        return nullptr;
    }
    getsockname(s, reinterpret_cast<sockaddr*>(&storage), &length);
    ServerListener* listener = new ServerListener;
    listener->socket = s;
    listener->port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port
                              : reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
    return listener;
}

uint16_t ListenerPort(const ServerListener* listener) { return listener->port; }

ServerConnection* AcceptConnection(ServerListener* listener, int timeoutMs) {
    if (!listener->pipe) {
        if (!Readable(listener->socket, timeoutMs)) return nullptr;
        SOCKET s = accept(listener->socket, nullptr, nullptr);
        if (s == INVALID_SOCKET) return nullptr;
        ServerConnection* connection = new ServerConnection;
        connection->listener = listener;
        connection->socket = s;
        return connection;
    }
    if (listener->connected) {
        Sleep(static_cast<DWORD>(timeoutMs));
        return nullptr;
    }
    if (!listener->connectPending) {
        ResetEvent(listener->connect.hEvent);
        if (ConnectNamedPipe(listener->instance, &listener->connect)) {
            listener->connected = true;
        } else {
            DWORD error = GetLastError();
            if (error == ERROR_IO_PENDING) {
                listener->connectPending = true;
            } else if (error == ERROR_PIPE_CONNECTED) {
                listener->connected = true;
            } else {
                // A client came and went before we looked: free the instance for the next one.
                DisconnectNamedPipe(listener->instance);
                Sleep(static_cast<DWORD>(timeoutMs));
                return nullptr;
            }
        }
    }
    if (listener->connectPending) {
        if (WaitForSingleObject(listener->connect.hEvent, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return nullptr;
        DWORD ignored = 0;
        listener->connectPending = false;
        if (!GetOverlappedResult(listener->instance, &listener->connect, &ignored, FALSE)) {
            DisconnectNamedPipe(listener->instance);
            return nullptr;
        }
        listener->connected = true;
    }
    ServerConnection* connection = new ServerConnection;
    connection->listener = listener;
    connection->read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    connection->write.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return connection;
}

long ReceiveSome(ServerConnection* connection, uint8_t* buffer, size_t size, int timeoutMs) {
    if (!connection->listener->pipe) {
        if (!Readable(connection->socket, timeoutMs)) return 0;
        int n = recv(connection->socket, reinterpret_cast<char*>(buffer), static_cast<int>(size), 0);
        return n > 0 ? n : -1;
    }
    HANDLE pipe = connection->listener->instance;
    if (connection->taken == connection->ready && !connection->ended) {
        DWORD got = 0;
        if (!connection->readPending) {
            ResetEvent(connection->read.hEvent);
            if (ReadFile(pipe, connection->buffer.data(), static_cast<DWORD>(connection->buffer.size()), nullptr,
                         &connection->read)) {
                GetOverlappedResult(pipe, &connection->read, &got, FALSE);
                connection->ready = got;
                connection->taken = 0;
            } else if (GetLastError() == ERROR_IO_PENDING) {
                connection->readPending = true;
            } else {
                connection->ended = true;
            }
        }
        if (connection->readPending) {
            if (WaitForSingleObject(connection->read.hEvent, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return 0;
            connection->readPending = false;
            if (GetOverlappedResult(pipe, &connection->read, &got, FALSE) || GetLastError() == ERROR_MORE_DATA) {
                connection->ready = got;
                connection->taken = 0;
            } else {
                connection->ended = true;
            }
        }
    }
    if (connection->taken < connection->ready) {
        size_t n = connection->ready - connection->taken;
        if (n > size) n = size;
        std::memcpy(buffer, connection->buffer.data() + connection->taken, n);
        connection->taken += n;
        return static_cast<long>(n);
    }
    return connection->ended ? -1 : 0;
}

bool SendAll(ServerConnection* connection, const uint8_t* data, size_t size) {
    if (!connection->listener->pipe) {
        size_t done = 0;
        while (done < size) {
            if (!Readable(connection->socket, 5000, true)) return false;
            int n = send(connection->socket, reinterpret_cast<const char*>(data + done), static_cast<int>(size - done), 0);
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    HANDLE pipe = connection->listener->instance;
    size_t done = 0;
    while (done < size) {
        ResetEvent(connection->write.hEvent);
        DWORD wrote = 0;
        if (!WriteFile(pipe, data + done, static_cast<DWORD>(size - done), nullptr, &connection->write)) {
            if (GetLastError() != ERROR_IO_PENDING) return false;
            if (WaitForSingleObject(connection->write.hEvent, 5000) != WAIT_OBJECT_0) {
                CancelIoEx(pipe, &connection->write);
                GetOverlappedResult(pipe, &connection->write, &wrote, TRUE);
                return false;
            }
        }
        if (!GetOverlappedResult(pipe, &connection->write, &wrote, FALSE) || wrote == 0) return false;
        done += wrote;
    }
    return true;
}

void CloseConnection(ServerConnection* connection) {
    if (!connection) return;
    if (!connection->listener->pipe) {
        shutdown(connection->socket, SD_BOTH);
        closesocket(connection->socket);
    } else {
        HANDLE pipe = connection->listener->instance;
        if (connection->readPending) {
            DWORD ignored = 0;
            CancelIoEx(pipe, &connection->read);
            GetOverlappedResult(pipe, &connection->read, &ignored, TRUE);
        }
        DisconnectNamedPipe(pipe);
        connection->listener->connected = false;
        CloseHandle(connection->read.hEvent);
        CloseHandle(connection->write.hEvent);
    }
    delete connection;
}

void CloseListener(ServerListener* listener) {
    if (!listener) return;
    if (listener->pipe) {
        if (listener->connectPending) {
            DWORD ignored = 0;
            CancelIoEx(listener->instance, &listener->connect);
            GetOverlappedResult(listener->instance, &listener->connect, &ignored, TRUE);
        }
        CloseHandle(listener->instance);
        CloseHandle(listener->connect.hEvent);
    } else {
        closesocket(listener->socket);
        WSACleanup();
    }
    delete listener;
}
