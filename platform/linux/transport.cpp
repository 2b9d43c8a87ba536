// The simulator client's transport on Linux: TCP and the Unix-domain socket standing in for the pipe,
// with one process-wide I/O thread that performs the started reads and writes and reports completions.
#include "platform/transport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

struct Transport {
    TransportKind kind = TransportKind::Socket;
    int fd = -1;
    TransportCompletion completion = nullptr;
    void* owner = nullptr;
    bool bound = false;
    bool readPending = false;
    uint8_t* readBuffer = nullptr;
    size_t readSize = 0;
    bool writePending = false;
    const uint8_t* writeData = nullptr;
    size_t writeSize = 0;
    size_t written = 0;
    bool closing = false;  // TransportClose was called: pending operations complete as cancelled
    bool freeing = false;  // TransportFree was called: the I/O thread deletes the record
};

namespace {
struct IoThreadState {
    std::mutex lock;
    std::vector<Transport*> transports; // bound ones, served by the I/O thread
    bool running = false;
    int wakeFd = -1;
};

IoThreadState& Io() {
    static IoThreadState* state = new IoThreadState; // lives to the end of the process, as the thread may
    return *state;
}

void Wake() {
    IoThreadState& io = Io();
    if (io.wakeFd >= 0) {
        uint64_t one = 1;
        ssize_t ignored = write(io.wakeFd, &one, sizeof one);
        (void)ignored;
    }
}

uint32_t StatusFromErrno(int error) {
    switch (error) {
    case ECONNRESET: return kIoStatusConnectionReset;
    case EPIPE: return kIoStatusPipeBroken;
    case ECANCELED: return kIoStatusCancelled;
    default: return kIoStatusUnsuccessful;
    }
}

struct Completed {
    Transport* transport;
    bool isWrite;
    uint32_t status;
    uint32_t error;
    size_t bytes;
};

// Performs what the poll found ready; the results are reported after the lock is let go.
void Serve(Transport* t, short revents, std::vector<Completed>& done) {
    if (t->readPending && (revents & (POLLIN | POLLHUP | POLLERR))) {
        ssize_t n = recv(t->fd, t->readBuffer, t->readSize, MSG_DONTWAIT);
        if (n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            t->readPending = false;
            if (n > 0) {
                done.push_back({t, false, 0, 0, static_cast<size_t>(n)});
            } else if (n == 0) {
                // A pipe has no orderly end: its end is a broken pipe, as the Windows pipe reports it.
                if (t->kind == TransportKind::Pipe) done.push_back({t, false, kIoStatusPipeBroken, EPIPE, 0});
                else done.push_back({t, false, 0, 0, 0});
            } else {
                int error = errno;
                done.push_back({t, false, StatusFromErrno(error), static_cast<uint32_t>(error), 0});
            }
        }
    }
    if (t->writePending && (revents & (POLLOUT | POLLHUP | POLLERR))) {
        while (t->written < t->writeSize) {
            ssize_t n = send(t->fd, t->writeData + t->written, t->writeSize - t->written, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0) {
                t->written += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
            int error = n < 0 ? errno : EPIPE;
            t->writePending = false;
            done.push_back({t, true, StatusFromErrno(error), static_cast<uint32_t>(error), t->written});
            return;
        }
        t->writePending = false;
        done.push_back({t, true, 0, 0, t->written});
    }
}

void IoThreadMain() {
    IoThreadState& io = Io();
    std::vector<pollfd> fds;
    std::vector<Transport*> polled;
    std::vector<Completed> done;
    for (;;) {
        fds.clear();
        polled.clear();
        done.clear();
        {
            std::lock_guard<std::mutex> guard(io.lock);
            // Closed connections: report their pending operations as cancelled; free the released ones.
            for (auto it = io.transports.begin(); it != io.transports.end();) {
                Transport* t = *it;
                if (t->closing) {
                    if (t->readPending) {
                        t->readPending = false;
                        done.push_back({t, false, kIoStatusCancelled, ECANCELED, 0});
                    }
                    if (t->writePending) {
                        t->writePending = false;
                        done.push_back({t, true, kIoStatusCancelled, ECANCELED, t->written});
                    }
                }
                if (t->freeing && !t->readPending && !t->writePending) {
                    if (t->fd >= 0) close(t->fd);
                    delete t;
                    it = io.transports.erase(it);
                    continue;
                }
                ++it;
            }
            if (io.transports.empty() && done.empty()) {
                io.running = false;
                return;
            }
            fds.push_back({io.wakeFd, POLLIN, 0});
            for (Transport* t : io.transports) {
                if (t->closing || (!t->readPending && !t->writePending)) continue;
                short events = 0;
                if (t->readPending) events |= POLLIN;
                if (t->writePending) events |= POLLOUT;
                fds.push_back({t->fd, events, 0});
                polled.push_back(t);
            }
        }
        if (done.empty()) {
            int ready = poll(fds.data(), fds.size(), 1000);
            if (ready > 0) {
                if (fds[0].revents & POLLIN) {
                    uint64_t count;
                    ssize_t ignored = read(io.wakeFd, &count, sizeof count);
                    (void)ignored;
                }
                std::lock_guard<std::mutex> guard(io.lock);
                for (size_t i = 0; i < polled.size(); ++i) {
                    Transport* t = polled[i];
                    if (fds[i + 1].revents == 0 || t->closing) continue;
                    Serve(t, fds[i + 1].revents, done);
                }
            }
        }
        for (const Completed& c : done) c.transport->completion(c.transport->owner, c.isWrite, c.status, c.error, c.bytes);
    }
}

Transport* NewTransport(TransportKind kind, int fd) {
    Transport* t = new Transport;
    t->kind = kind;
    t->fd = fd;
    return t;
}

std::string RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/') return std::string(runtime) + "/simconnect";
    return "/tmp/simconnect-" + std::to_string(getuid());
}

// "\\SERVER\pipe\NAME" -> SERVER and NAME; false when the text is not a pipe name.
bool SplitPipeName(const std::string& pipeName, std::string& server, std::string& name) {
    if (pipeName.size() < 3 || pipeName[0] != '\\' || pipeName[1] != '\\') return false;
    size_t serverEnd = pipeName.find('\\', 2);
    if (serverEnd == std::string::npos) return false;
    server = pipeName.substr(2, serverEnd - 2);
    const std::string marker = "\\pipe\\";
    if (pipeName.compare(serverEnd, marker.size(), marker) != 0) return false;
    name = pipeName.substr(serverEnd + marker.size());
    return !name.empty();
}

// The folder of the pipe stand-ins must be this user's own, so that nobody else can stand in for the
// simulator.
bool FolderIsOurs(const std::string& path) {
    std::string folder = path.substr(0, path.rfind('/'));
    struct stat info;
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool WaitMs(int64_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return true;
}
} // namespace

bool StartNetworking() { return true; }
void StopNetworking() {}

std::string PipeEndpointPath(const std::string& pipeName) {
    std::string server, name;
    if (!SplitPipeName(pipeName, server, name)) return std::string();
    for (char& c : name) {
        if (c == '\\' || c == '/') c = '_';
    }
    return RuntimeFolder() + "/" + name;
}

Transport* ConnectPipe(const std::string& pipeName, uint32_t& systemError, int& busyWaits) {
    busyWaits = 0;
    std::string server, name;
    if (!SplitPipeName(pipeName, server, name)) {
        systemError = EINVAL;
        return nullptr;
    }
    if (server != ".") {
        systemError = EHOSTUNREACH; // only the local machine's pipes have a stand-in
        return nullptr;
    }
    std::string path = PipeEndpointPath(pipeName);
    if (!FolderIsOurs(path)) {
        systemError = EACCES;
        return nullptr;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        systemError = ENAMETOOLONG;
        return nullptr;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    for (;;) {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            systemError = static_cast<uint32_t>(errno);
            return nullptr;
        }
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return NewTransport(TransportKind::Pipe, fd);
        int error = errno;
        close(fd);
        if (error != ECONNREFUSED && error != EAGAIN) {
            systemError = static_cast<uint32_t>(error);
            return nullptr;
        }
        // Busy: wait up to 5000 ms for the server to listen again.
        ++busyWaits;
        bool free = false;
        for (int waited = 0; waited < 5000 && !free; waited += 20) {
            WaitMs(20);
            int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            if (probe < 0) break;
            struct stat info;
            if (stat(path.c_str(), &info) != 0) {
                close(probe);
                break; // the server went away: the wait fails
            }
            if (connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                return NewTransport(TransportKind::Pipe, probe);
            }
            int again = errno;
            close(probe);
            if (again != ECONNREFUSED && again != EAGAIN) break;
        }
        systemError = ETIMEDOUT;
        return nullptr;
    }
}

Transport* ConnectTcp(int family, const std::string& address, const std::string& port, uint32_t& systemError) {
    addrinfo hints{};
    hints.ai_family = family == 23 ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    int rc = getaddrinfo(address.empty() ? nullptr : address.c_str(), port.c_str(), &hints, &found);
    if (rc != 0 || !found) {
        systemError = static_cast<uint32_t>(rc == EAI_SYSTEM ? errno : EHOSTUNREACH);
        return nullptr;
    }
    int fd = socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    if (fd < 0) {
        systemError = static_cast<uint32_t>(errno);
        freeaddrinfo(found);
        return nullptr;
    }
    int connected = connect(fd, found->ai_addr, found->ai_addrlen);
    int error = errno;
    freeaddrinfo(found);
    if (connected != 0) {
        systemError = static_cast<uint32_t>(error);
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return NewTransport(TransportKind::Socket, fd);
}

TransportKind KindOf(const Transport* transport) { return transport->kind; }

bool BindTransport(Transport* transport, TransportCompletion completion, void* owner, uint32_t& systemError) {
    IoThreadState& io = Io();
    std::lock_guard<std::mutex> guard(io.lock);
    if (io.wakeFd < 0) {
        io.wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (io.wakeFd < 0) {
            systemError = static_cast<uint32_t>(errno);
            return false;
        }
    }
    transport->completion = completion;
    transport->owner = owner;
    transport->bound = true;
    io.transports.push_back(transport);
    if (!io.running) {
        io.running = true;
        std::thread(IoThreadMain).detach();
    }
    return true;
}

bool PreparePipeEvents(Transport*, uint32_t&) { return true; }

void SetNoDelay(Transport* transport, bool on) {
    if (transport->kind != TransportKind::Socket) return;
    int flag = on ? 1 : 0;
    setsockopt(transport->fd, IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag);
}

bool StartRead(Transport* transport, uint8_t* buffer, size_t size, uint32_t& systemError) {
    {
        std::lock_guard<std::mutex> guard(Io().lock);
        if (!transport->bound || transport->closing || transport->readPending || size == 0) {
            systemError = transport->closing ? EBADF : EINVAL;
            return false;
        }
        transport->readBuffer = buffer;
        transport->readSize = size;
        transport->readPending = true;
    }
    Wake();
    return true;
}

bool StartWrite(Transport* transport, const uint8_t* data, size_t size, uint32_t& systemError) {
    {
        std::lock_guard<std::mutex> guard(Io().lock);
        if (!transport->bound || transport->closing || transport->writePending) {
            systemError = transport->closing ? EBADF : EINVAL;
            return false;
        }
        transport->writeData = data;
        transport->writeSize = size;
        transport->written = 0;
        transport->writePending = true;
    }
    Wake();
    return true;
}

void TransportClose(Transport* transport) {
    {
        std::lock_guard<std::mutex> guard(Io().lock);
        if (transport->closing) return;
        transport->closing = true;
        // The descriptor itself is closed by the I/O thread when the record goes, so that it is never
        // reused while the thread may still poll it.
        if (transport->fd >= 0) shutdown(transport->fd, SHUT_RDWR);
        if (!transport->bound && transport->fd >= 0) {
            close(transport->fd);
            transport->fd = -1;
        }
    }
    Wake();
}

void TransportFree(Transport* transport) {
    {
        std::lock_guard<std::mutex> guard(Io().lock);
        if (transport->bound) {
            transport->closing = true;
            transport->freeing = true;
        } else {
            if (transport->fd >= 0) close(transport->fd);
            delete transport;
            return;
        }
    }
    Wake();
}
