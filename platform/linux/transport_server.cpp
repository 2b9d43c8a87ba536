// The listening side on Linux: the Unix-domain socket that stands for the pipe (one client at a time) and
// TCP, with poll for the bounded waits.
#include "platform/transport.h"
#include "platform/transport_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

struct ServerListener {
    bool pipe = false;
    int fd = -1;
    std::string path; // the pipe's socket file
    uint16_t port = 0;
};

struct ServerConnection {
    ServerListener* listener = nullptr;
    int fd = -1;
};

namespace {
std::string ErrorText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Opens the pipe's listening socket: bound beside the final name and renamed over it, so that the name
// never goes missing for a client that is waiting.
bool OpenPipeSocket(ServerListener* listener, std::string& error) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string temporary = listener->path + ".new";
    if (temporary.size() >= sizeof address.sun_path) {
        error = "pipe path too long: " + listener->path;
        return false;
    }
    std::memcpy(address.sun_path, temporary.c_str(), temporary.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = ErrorText("socket");
        return false;
    }
    unlink(temporary.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 1) != 0 ||
        rename(temporary.c_str(), listener->path.c_str()) != 0) {
        error = ErrorText(("listen on " + listener->path).c_str());
        close(fd);
        unlink(temporary.c_str());
        return false;
    }
    listener->fd = fd;
    return true;
}

bool WaitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int rc = poll(&p, 1, timeoutMs);
    return rc > 0;
}
} // namespace

ServerListener* ListenPipe(const std::string& pipeName, std::string& error) {
    std::string path = PipeEndpointPath(pipeName);
    if (path.empty()) {
        error = "not a pipe name: " + pipeName;
        return nullptr;
    }
    std::string folder = path.substr(0, path.rfind('/'));
    mkdir(folder.c_str(), 0700);
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
        (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        error = "the folder " + folder + " is not this user's own";
        return nullptr;
    }
    ServerListener* listener = new ServerListener;
    listener->pipe = true;
    listener->path = path;
    if (!OpenPipeSocket(listener, error)) {
        delete listener;
        return nullptr;
    }
    return listener;
}

ServerListener* ListenTcp(int family, const std::string& address, uint16_t port, std::string& error) {
    bool v6 = family == 23;
    int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = ErrorText("socket");
        return nullptr;
    }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (v6) {
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
        auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(port);
        if (inet_pton(AF_INET6, address.c_str(), &a->sin6_addr) != 1) {
            error = "not an IPv6 address: " + address;
            close(fd);
            return nullptr;
        }
        length = sizeof *a;
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&storage);
        a->sin_family = AF_INET;
        a->sin_port = htons(port);
        if (inet_pton(AF_INET, address.c_str(), &a->sin_addr) != 1) {
            error = "not an IPv4 address: " + address;
            close(fd);
            return nullptr;
        }
        length = sizeof *a;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 || listen(fd, 8) != 0) {
        error = ErrorText(("listen on " + address + " port " + std::to_string(port)).c_str());
        close(fd);
        return nullptr;
    }
    getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length);
    ServerListener* listener = new ServerListener;
    listener->fd = fd;
    listener->port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port
                              : reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
    return listener;
}

uint16_t ListenerPort(const ServerListener* listener) { return listener->port; }

ServerConnection* AcceptConnection(ServerListener* listener, int timeoutMs) {
    if (listener->fd < 0) {
        std::string error;
        if (!OpenPipeSocket(listener, error)) {
            if (timeoutMs > 0) poll(nullptr, 0, timeoutMs);
            return nullptr;
        }
    }
    if (!WaitFor(listener->fd, POLLIN, timeoutMs)) return nullptr;
    int fd = accept4(listener->fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return nullptr;
    if (listener->pipe) {
        // One instance: while this client is served, nobody else gets in.
        close(listener->fd);
        listener->fd = -1;
    }
    ServerConnection* connection = new ServerConnection;
    connection->listener = listener;
    connection->fd = fd;
    return connection;
}

long ReceiveSome(ServerConnection* connection, uint8_t* buffer, size_t size, int timeoutMs) {
    if (!WaitFor(connection->fd, POLLIN, timeoutMs)) return 0;
    ssize_t n = recv(connection->fd, buffer, size, MSG_DONTWAIT);
    if (n > 0) return static_cast<long>(n);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    return -1;
}

bool SendAll(ServerConnection* connection, const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        if (!WaitFor(connection->fd, POLLOUT, 5000)) return false;
        ssize_t n = send(connection->fd, data + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void CloseConnection(ServerConnection* connection) {
    if (!connection) return;
    close(connection->fd);
    delete connection;
}

void CloseListener(ServerListener* listener) {
    if (!listener) return;
    if (listener->fd >= 0) close(listener->fd);
    if (listener->pipe) unlink(listener->path.c_str());
    delete listener;
}
