// The stand-in's simulator side: listening, one client session at a time, the SimConnect requests with
// their checks, client data areas with "on set" delivery, and the transcript.
#include "tools/simstandin/standin.h"
#include "tools/simstandin/window.h"

#include "base/helpers.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/profile.h"

#include <cinttypes>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <thread>

namespace standin {

namespace {
constexpr uint32_t kHeader = 16;
constexpr uint32_t kVersion = 5;
constexpr uint32_t kMaxRequest = 0x100000;

// What the stand-in expects of each request: its name and fixed size (0: 36 + data).
struct RequestKind {
    uint32_t id;
    const char* name;
    uint32_t size;
};
const RequestKind kRequests[] = {
    {0xF0000001, "Open", 296},
    {0xF0000037, "MapClientDataNameToID", 276},
    {0xF0000038, "CreateClientData", 28},
    {0xF0000039, "AddToClientDataDefinition", 36},
    {0xF000003A, "ClearClientDataDefinition", 20},
    {0xF000003B, "RequestClientData", 48},
    {0xF000003C, "SetClientData", 0},
};

// Exceptions the stand-in reports (message id 1): its own codes.
constexpr uint32_t kExceptionUnknownClientData = 1;
constexpr uint32_t kExceptionSizeMismatch = 2;
constexpr uint32_t kExceptionUnknownDefinition = 3;
constexpr uint32_t kExceptionNotCreated = 4;

uint32_t U32At(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void PutU32At(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
    out[at + 2] = static_cast<uint8_t>(v >> 16);
    out[at + 3] = static_cast<uint8_t>(v >> 24);
}

std::string StringField(const uint8_t* p) {
    size_t n = 0;
    while (n < 256 && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

std::string SignedText(uint32_t v) { return std::to_string(static_cast<int32_t>(v)); }

std::vector<uint8_t> ReplyHeader(uint32_t size, uint32_t id) {
    std::vector<uint8_t> out(size, 0);
    PutU32At(out, 0, size);
    PutU32At(out, 4, kVersion);
    PutU32At(out, 8, id);
    return out;
}

bool SendToClient(StandIn& s, const std::vector<uint8_t>& bytes) {
    if (!s.serving) return false;
    return SendAll(s.session.connection, bytes.data(), bytes.size());
}

void SendException(StandIn& s, uint32_t code, uint32_t sendId, uint32_t index) {
    std::vector<uint8_t> out = ReplyHeader(kExceptionSize, 1);
    PutU32At(out, 12, code);
    PutU32At(out, 16, sendId);
    PutU32At(out, 20, index);
    SendToClient(s, out);
}

// The reply to Open (id 2): the simulator's application name in a 256-byte field, then ten u32 fields:
// application version major and minor, application build major and minor, SimConnect version major and
// minor, SimConnect build major and minor, and two reserved ones.
void SendOpenReply(StandIn& s) {
    std::vector<uint8_t> out = ReplyHeader(kOpenReplySize, 2);
    const char* name = "Talvero simulator stand-in";
    std::memcpy(out.data() + 12, name, std::strlen(name));
    const uint32_t fields[10] = {11, 0, 62651, 3, 11, 0, 62651, 3, 0, 0};
    for (size_t i = 0; i < 10; ++i) PutU32At(out, 268 + 4 * i, fields[i]);
    SendToClient(s, out);
}

void FlushUnchanged(StandIn& s) {
    Session& session = s.session;
    if (session.unchangedDrf == 0) return;
    int count = session.unchangedDrf;
    session.unchangedDrf = 0;
    Transcript(s, "client " + std::to_string(session.number) + " #" + std::to_string(session.firstUnchanged) + "-#" +
                      std::to_string(session.lastUnchanged) + " SetClientData DrfE2W unchanged x" + std::to_string(count));
}

void Drop(StandIn& s, const std::string& why) {
    LogLine(s, "dropped client " + std::to_string(s.session.number) + ": " + why);
    EndSession(s, "dropped: " + why);
}

const std::string* AreaOf(StandIn& s, uint32_t clientDataId) {
    auto found = s.session.areaNames.find(clientDataId);
    return found == s.session.areaNames.end() ? nullptr : &found->second;
}

void HandleSetClientData(StandIn& s, const uint8_t* r, const std::string& prefix) {
    Session& session = s.session;
    uint32_t sendId = U32At(r + 12);
    uint32_t clientDataId = U32At(r + 16), defineId = U32At(r + 20), flags = U32At(r + 24), reserved = U32At(r + 28);
    uint32_t unit = U32At(r + 32);
    const uint8_t* data = r + 36;
    const std::string* area = AreaOf(s, clientDataId);
    std::string areaText = area ? *area : "?";
    bool drf = area && *area == "DrfE2W";
    if (!drf) FlushUnchanged(s);
    std::string line = prefix + " client_data=" + std::to_string(clientDataId) + " (" + areaText + ") define=" +
                       std::to_string(defineId) + " flags=" + std::to_string(flags) + " reserved=" +
                       std::to_string(reserved) + " unit=" + std::to_string(unit);
    auto definition = session.definitions.find(defineId);
    auto stored = area ? s.areas.find(*area) : s.areas.end();
    if (!area || stored == s.areas.end() || definition == session.definitions.end() ||
        definition->second.Size() != unit) {
        FlushUnchanged(s);
        Transcript(s, line + " refused");
        uint32_t code = !area ? kExceptionUnknownClientData
                        : stored == s.areas.end() ? kExceptionNotCreated
                        : definition == session.definitions.end() ? kExceptionUnknownDefinition
                                                                   : kExceptionSizeMismatch;
        SendException(s, code, sendId, 1);
        return;
    }
    std::vector<uint8_t>& bytes = stored->second;
    uint32_t at = 0;
    for (const auto& part : definition->second.parts) {
        if (part.first + part.second <= bytes.size()) std::memcpy(bytes.data() + part.first, data + at, part.second);
        at += part.second;
    }
    if (drf && unit == 4000) {
        bool changed = false;
        for (size_t i = 0; i < 500 && !changed; ++i) changed = std::memcmp(data + 8 * i, &s.lastE2W[i], 8) != 0;
        if (!changed) {
            if (session.unchangedDrf++ == 0) session.firstUnchanged = sendId;
            session.lastUnchanged = sendId;
        } else {
            FlushUnchanged(s);
            Transcript(s, line);
        }
        ModuleReceivedDrf(s, data, unit);
    } else {
        Transcript(s, line);
        if (area && *area == "MessageE2W") {
            if (unit == kRecordSize) ModuleReceivedRecord(s, DecodeRecord(data));
            else LogLine(s, "MessageE2W set with " + std::to_string(unit) + " bytes, not a module message");
        }
    }
    SetArea(s, *area, nullptr, 0);
}

// One request from the current client; false when the client was dropped for it.
bool HandleRequest(StandIn& s, const uint8_t* r, uint32_t size) {
    Session& session = s.session;
    uint32_t version = U32At(r + 4), id = U32At(r + 8), sendId = U32At(r + 12);
    const RequestKind* kind = nullptr;
    for (const RequestKind& k : kRequests) {
        if (k.id == id) kind = &k;
    }
    char idText[16];
    std::snprintf(idText, sizeof idText, "0x%08" PRIX32, id);
    if (version != kVersion) {
        Drop(s, "protocol version " + std::to_string(version) + " in request " + idText);
        return false;
    }
    if (!kind) {
        Drop(s, std::string("unknown request id ") + idText);
        return false;
    }
    uint32_t expected = kind->size ? kind->size : (size >= 36 ? 36 + U32At(r + 32) : 36);
    if (size != expected) {
        Drop(s, std::string(kind->name) + " of " + std::to_string(size) + " bytes, expected " + std::to_string(expected));
        return false;
    }
    if (s.options.dropAtRequest != 0 && sendId == s.options.dropAtRequest) {
        Drop(s, std::string("gone at ") + kind->name + " #" + std::to_string(sendId));
        return false;
    }
    if (!session.opened && id != 0xF0000001) {
        Drop(s, std::string(kind->name) + " before Open");
        return false;
    }
    session.lastSendId = sendId;
    std::string prefix = "client " + std::to_string(session.number) + " #" + std::to_string(sendId) + " " + kind->name +
                         " size=" + std::to_string(size);
    if (id == 0xF000003C) {
        HandleSetClientData(s, r, prefix);
        return true;
    }
    FlushUnchanged(s);
    switch (id) {
    case 0xF0000001: {
        const uint8_t* tail = r + 272;
        char marker[24];
        std::snprintf(marker, sizeof marker, "%02X%02X%02X%02X", tail[4], tail[5], tail[6], tail[7]);
        Transcript(s, prefix + " name=" + Quoted(StringField(r + 16)) + " reserved=" + std::to_string(U32At(tail)) +
                          " marker=" + marker + " version=" + std::to_string(U32At(tail + 8)) + "." +
                          std::to_string(U32At(tail + 12)) + " build=" + std::to_string(U32At(tail + 16)) + "." +
                          std::to_string(U32At(tail + 20)));
        session.opened = true;
        session.openedAt = Seconds(s);
        SendOpenReply(s);
        if (s.scenario.clockAtOpen && s.clockStart < 0) s.clockStart = Seconds(s);
        break;
    }
    case 0xF0000037: {
        std::string name = StringField(r + 16);
        uint32_t clientDataId = U32At(r + 272);
        Transcript(s, prefix + " name=" + Quoted(name) + " id=" + std::to_string(clientDataId));
        session.areaNames[clientDataId] = name;
        break;
    }
    case 0xF0000038: {
        uint32_t clientDataId = U32At(r + 16), bytes = U32At(r + 20), flags = U32At(r + 24);
        const std::string* area = AreaOf(s, clientDataId);
        Transcript(s, prefix + " id=" + std::to_string(clientDataId) + " (" + (area ? *area : "?") + ") bytes=" +
                          std::to_string(bytes) + " flags=" + std::to_string(flags));
        if (!area) {
            SendException(s, kExceptionUnknownClientData, sendId, 1);
        } else if (s.areas.count(*area) && s.areas[*area].size() != bytes) {
            SendException(s, kExceptionSizeMismatch, sendId, 2);
        } else if (bytes > kMaxRequest) {
            SendException(s, kExceptionSizeMismatch, sendId, 2);
        } else if (!s.areas.count(*area)) {
            s.areas[*area] = std::vector<uint8_t>(bytes, 0);
        }
        break;
    }
    case 0xF0000039: {
        uint32_t defineId = U32At(r + 16), offset = U32At(r + 20), sizeOrType = U32At(r + 24), datum = U32At(r + 32);
        float epsilon;
        std::memcpy(&epsilon, r + 28, sizeof epsilon);
        Transcript(s, prefix + " define=" + std::to_string(defineId) + " offset=" + SignedText(offset) + " size=" +
                          SignedText(sizeOrType) + " epsilon=" + NumberText(epsilon) + " datum=" + SignedText(datum));
        if (sizeOrType == 0 || sizeOrType > kMaxRequest) {
            SendException(s, kExceptionSizeMismatch, sendId, 3);
            break;
        }
        Definition& definition = session.definitions[defineId];
        uint32_t at = offset == 0xFFFFFFFF ? definition.Size() : offset;
        definition.parts.push_back({at, sizeOrType});
        break;
    }
    case 0xF000003A: {
        uint32_t defineId = U32At(r + 16);
        Transcript(s, prefix + " define=" + std::to_string(defineId));
        session.definitions.erase(defineId);
        break;
    }
    case 0xF000003B: {
        Subscription sub;
        sub.clientDataId = U32At(r + 16);
        sub.requestId = U32At(r + 20);
        sub.defineId = U32At(r + 24);
        sub.period = U32At(r + 28);
        const std::string* area = AreaOf(s, sub.clientDataId);
        Transcript(s, prefix + " id=" + std::to_string(sub.clientDataId) + " (" + (area ? *area : "?") + ") request=" +
                          std::to_string(sub.requestId) + " define=" + std::to_string(sub.defineId) + " period=" +
                          std::to_string(sub.period) + " flags=" + std::to_string(U32At(r + 32)) + " origin=" +
                          std::to_string(U32At(r + 36)) + " interval=" + std::to_string(U32At(r + 40)) + " limit=" +
                          std::to_string(U32At(r + 44)));
        if (!area) {
            SendException(s, kExceptionUnknownClientData, sendId, 1);
            break;
        }
        auto& subs = session.subscriptions;
        for (auto it = subs.begin(); it != subs.end();) it = it->requestId == sub.requestId ? subs.erase(it) : it + 1;
        if (sub.period == 0) break; // never: the request is cancelled
        if (sub.period != 1 && sub.period != 3) {
            LogLine(s, "period " + std::to_string(sub.period) + " served as \"on set\"");
        }
        subs.push_back(sub);
        if (sub.period == 1) SetArea(s, *area, nullptr, 0);
        break;
    }
    }
    return true;
}

std::string NowText(const StandIn& s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", Seconds(s));
    return text;
}

void StartSession(StandIn& s, ServerConnection* connection, const std::string& via) {
    s.session = Session{};
    s.session.connection = connection;
    s.session.number = ++s.clientsSeen;
    s.session.via = via;
    s.serving = true;
    s.clockStart = -1;
    s.nextAction = 0;
    s.acks.clear();
    s.lastE2W.fill(0.0);
    Transcript(s, "client " + std::to_string(s.session.number) + " connected " + via);
    LogLine(s, "client " + std::to_string(s.session.number) + " connected " + via);
}

void ServeInbox(StandIn& s) {
    std::vector<uint8_t>& inbox = s.session.inbox;
    size_t at = 0;
    while (s.serving && inbox.size() - at >= 4) {
        uint32_t size = U32At(inbox.data() + at);
        if (size < kHeader) {
            Drop(s, "request size " + std::to_string(size) + " below the 16-byte header");
            return;
        }
        if (size > kMaxRequest) {
            Drop(s, "request size " + std::to_string(size) + " too large");
            return;
        }
        if (inbox.size() - at < size) break;
        if (!HandleRequest(s, inbox.data() + at, size)) return;
        at += size;
    }
    if (s.serving) inbox.erase(inbox.begin(), inbox.begin() + static_cast<long>(at));
}

void PublishPorts(StandIn& s) {
    if (s.boundPort) WriteUserRegistryString(s.options.registryKey, "SimConnect_Port_IPv4", std::to_string(s.boundPort));
    if (s.boundPort6) WriteUserRegistryString(s.options.registryKey, "SimConnect_Port_IPv6", std::to_string(s.boundPort6));
}

bool OpenListeners(StandIn& s) {
    std::string error;
    const Options& o = s.options;
    if (o.pipe) {
        std::string name = "\\\\.\\pipe\\" + o.pipeName;
        ServerListener* l = ListenPipe(name, error);
        if (!l) {
            s.failure = error;
            return false;
        }
        s.listeners.push_back(l);
        s.listenerNames.push_back("pipe " + name);
    }
    if (o.port >= 0) {
        ServerListener* l = ListenTcp(2, "127.0.0.1", static_cast<uint16_t>(o.port), error);
        if (!l) {
            s.failure = error;
            return false;
        }
        s.boundPort = ListenerPort(l);
        s.listeners.push_back(l);
        s.listenerNames.push_back("tcp4 127.0.0.1 " + std::to_string(s.boundPort));
    }
    if (o.port6 >= 0) {
        ServerListener* l = ListenTcp(23, "::1", static_cast<uint16_t>(o.port6), error);
        if (!l) {
            s.failure = error;
            return false;
        }
        s.boundPort6 = ListenerPort(l);
        s.listeners.push_back(l);
        s.listenerNames.push_back("tcp6 ::1 " + std::to_string(s.boundPort6));
    }
    if (s.listeners.empty()) {
        s.failure = "nothing to listen on: give a pipe or a port";
        return false;
    }
    return true;
}

void CloseEverything(StandIn& s) {
    if (s.serving) {
        SendQuit(s);
        // Give the client a moment to read the notice and leave, so that nothing it was sent is lost.
        uint8_t scratch[4096];
        int64_t until = MonotonicNanos() + 2000000000LL;
        while (MonotonicNanos() < until && ReceiveSome(s.session.connection, scratch, sizeof scratch, 20) >= 0) {
        }
        EndSession(s, "stand-in stopped");
    }
    for (ServerListener* l : s.listeners) CloseListener(l);
    s.listeners.clear();
    if (s.transcriptFile) {
        std::fclose(s.transcriptFile);
        s.transcriptFile = nullptr;
    }
}
} // namespace

std::string TrimBlanks(const std::string& s) {
    size_t begin = s.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::string();
    size_t end = s.find_last_not_of(" \t");
    return s.substr(begin, end - begin + 1);
}

std::string FirstWord(const std::string& text, std::string& rest) {
    std::string t = TrimBlanks(text);
    size_t space = t.find_first_of(" \t");
    if (space == std::string::npos) {
        rest.clear();
        return t;
    }
    rest = TrimBlanks(t.substr(space));
    return t.substr(0, space);
}

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0';
}

bool SplitNameAndValue(const std::string& text, std::string& name, double& value) {
    std::string t = TrimBlanks(text);
    size_t blank = t.find_last_of(" \t");
    if (blank == std::string::npos) return false;
    name = TrimBlanks(t.substr(0, blank));
    return !name.empty() && ParseNumber(t.substr(blank + 1), value);
}

bool Subscribed(const StandIn& s, const std::string& area) {
    if (!s.serving) return false;
    for (const Subscription& sub : s.session.subscriptions) {
        auto named = s.session.areaNames.find(sub.clientDataId);
        if (named != s.session.areaNames.end() && named->second == area) return true;
    }
    return false;
}

uint32_t Definition::Size() const {
    uint32_t end = 0;
    for (const auto& part : parts) end = std::max(end, part.first + part.second);
    return end;
}

double Seconds(const StandIn& s) { return static_cast<double>(MonotonicNanos() - s.startNanos) / 1e9; }

std::string NumberText(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    if (std::strtod(text, nullptr) != value) std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 32) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void Transcript(StandIn& s, const std::string& line) {
    if (s.transcriptFile) {
        std::fputs(line.c_str(), s.transcriptFile);
        std::fputs("\r\n", s.transcriptFile);
        std::fflush(s.transcriptFile);
    }
    if (!s.keepTranscript) return;
    {
        std::lock_guard<std::mutex> guard(s.transcriptLock);
        s.transcript.push_back(line);
    }
    s.transcriptChanged.notify_all();
}

void LogLine(StandIn& s, const std::string& line) {
    if (s.keepTranscript) {
        std::lock_guard<std::mutex> guard(s.transcriptLock);
        s.logLines.push_back(line);
    }
    if (!s.options.quiet) std::fprintf(stderr, "simstandin %s: %s\n", NowText(s).c_str(), line.c_str());
}

void SetArea(StandIn& s, const std::string& name, const uint8_t* bytes, uint32_t size) {
    auto stored = s.areas.find(name);
    if (stored == s.areas.end()) {
        if (!bytes) return;
        stored = s.areas.emplace(name, std::vector<uint8_t>(size, 0)).first;
    }
    if (bytes) std::memcpy(stored->second.data(), bytes, std::min<size_t>(size, stored->second.size()));
    if (!s.serving) return;
    Session& session = s.session;
    bool delivered = false;
    for (const Subscription& sub : session.subscriptions) {
        auto named = session.areaNames.find(sub.clientDataId);
        if (named == session.areaNames.end() || named->second != name) continue;
        auto definition = session.definitions.find(sub.defineId);
        if (definition == session.definitions.end()) continue;
        uint32_t n = definition->second.Size();
        std::vector<uint8_t> out = ReplyHeader(kClientDataHeaderSize + n, 16);
        PutU32At(out, 12, sub.requestId);
        PutU32At(out, 16, 0);           // object id
        PutU32At(out, 20, sub.defineId);
        PutU32At(out, 24, 0);           // flags
        PutU32At(out, 28, 1);           // entry number
        PutU32At(out, 32, 1);           // out of
        PutU32At(out, 36, 1);           // define count
        uint32_t at = 40;
        for (const auto& part : definition->second.parts) {
            if (part.first + part.second <= stored->second.size()) {
                std::memcpy(out.data() + at, stored->second.data() + part.first, part.second);
            }
            at += part.second;
        }
        SendToClient(s, out);
        delivered = true;
    }
    if (!delivered && bytes) LogLine(s, "nobody asked for " + name + "; the update stays in the area");
}

void SendBadSize(StandIn& s, uint32_t size) {
    std::vector<uint8_t> out = ReplyHeader(kQuitSize, 3);
    PutU32At(out, 0, size);
    SendToClient(s, out);
    LogLine(s, "message with size field " + std::to_string(size) + " sent to client " + std::to_string(s.session.number));
}

void SendQuit(StandIn& s) {
    if (!s.serving) return;
    SendToClient(s, ReplyHeader(kQuitSize, 3));
    LogLine(s, "quit sent to client " + std::to_string(s.session.number));
}

void EndSession(StandIn& s, const std::string& why) {
    if (!s.serving) return;
    FlushUnchanged(s);
    Transcript(s, "client " + std::to_string(s.session.number) + " ended: " + why);
    CloseConnection(s.session.connection);
    s.session.connection = nullptr;
    s.serving = false;
    if (s.options.once || s.quitAfterSession) s.stop = true;
}

// Written under another name and renamed into place, so that a script never reads half of it.
bool WriteReadyFile(StandIn& s) {
    const std::string& path = s.options.readyFile;
    if (path.empty()) return true;
    const std::string partial = path + ".partial";
    std::FILE* f = std::fopen(partial.c_str(), "wb");
    bool written = f != nullptr;
    for (const std::string& name : s.listenerNames) written = written && std::fprintf(f, "%s\n", name.c_str()) > 0;
    if (f) written = std::fclose(f) == 0 && written;
    if (!written || !ReplaceFileWith(partial, path)) {
        std::remove(partial.c_str());
        s.failure = "cannot write the ready file " + path;
        return false;
    }
    return true;
}

bool LoadScenario(StandIn& s, std::string& error) {
    if (s.options.scenarioPath.empty()) return true;
    if (!FileExists(s.options.scenarioPath)) {
        error = "scenario file not found: " + s.options.scenarioPath;
        return false;
    }
    return ParseScenario(ReadLines(s.options.scenarioPath), s.scenario, error);
}

int Run(StandIn& s) {
    s.startNanos = MonotonicNanos();
    std::string error;
    if (!LoadScenario(s, error)) {
        s.failure = error;
        return 1;
    }
    for (const auto& value : s.scenario.initialValues) s.variables[value.first] = value.second;
    // The utterance folder is there before the program starts, so that its recogniser listens to it.
    bool speaks = false;
    for (const ScenarioAction& action : s.scenario.actions) speaks = speaks || !action.utterance.empty();
    if (speaks && !s.options.workFolder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(UtteranceFolder(s), ec);
    }
    if (!s.options.transcriptPath.empty()) {
        s.transcriptFile = std::fopen(s.options.transcriptPath.c_str(), "wb");
        if (!s.transcriptFile) {
            s.failure = "cannot write the transcript " + s.options.transcriptPath;
            return 1;
        }
    }
    if (!OpenListeners(s)) {
        CloseEverything(s);
        return 1;
    }
    if (s.options.publishPorts) PublishPorts(s);
    for (const std::string& name : s.listenerNames) LogLine(s, "listening on " + name);
    // A program that comes now finds the simulator's window as well as its listeners.
    OpenSimulatorWindow(s);
    if (!WriteReadyFile(s)) {
        CloseSimulatorWindow(s);
        CloseEverything(s);
        return 1;
    }
    LogLine(s, "ready for a client");
    s.ready = true;
    std::vector<uint8_t> buffer(65536);
    while (!s.stop) {
        PumpSimulatorWindow(s);
        if (s.options.maxSeconds > 0 && Seconds(s) >= s.options.maxSeconds) {
            LogLine(s, "time limit reached");
            break;
        }
        if (!s.serving) {
            int slice = std::max(1, 20 / static_cast<int>(s.listeners.size()));
            for (size_t i = 0; i < s.listeners.size() && !s.serving; ++i) {
                if (ServerConnection* c = AcceptConnection(s.listeners[i], slice)) StartSession(s, c, s.listenerNames[i]);
            }
            continue;
        }
        if (Seconds(s) < s.stalledUntil) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        long n = ReceiveSome(s.session.connection, buffer.data(), buffer.size(), 5);
        if (n < 0) {
            LogLine(s, "client " + std::to_string(s.session.number) + " disconnected");
            EndSession(s, "disconnected");
            continue;
        }
        if (n > 0) {
            s.session.inbox.insert(s.session.inbox.end(), buffer.begin(), buffer.begin() + n);
            ServeInbox(s);
        }
        if (s.serving) RunDueWork(s);
    }
    if (!s.scenarioEnded && !s.scenario.actions.empty())
        LogLine(s, "scenario not played to its end: " + std::to_string(s.nextAction) + " of " +
                       std::to_string(s.scenario.actions.size()) + " actions played");
    // As the simulator does, the window goes after the client has had the quit notice and left: a
    // client that sees the window gone first would take it for a simulator that died.
    CloseEverything(s);
    CloseSimulatorWindow(s);
    return 0;
}

} // namespace standin
