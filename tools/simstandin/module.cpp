// The stand-in's module side: the 560-byte module record, the answers to the program's messages, DRF index
// assignment from the program's DRF list, the simulator variables behind DrfW2E and DrfE2W, calculator
// code, pose acknowledgements and the scenario's timed actions.
#include "tools/simstandin/standin.h"

#include "base/helpers.h"

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace standin {

namespace {
void PutU32Raw(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetU32Raw(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void PutF64Raw(uint8_t* p, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(bits >> (8 * i));
}

double GetF64Raw(const uint8_t* p) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(p[i]) << (8 * i);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}




std::string RecordText(const ModuleRecord& r) {
    return "seq=" + std::to_string(r.sequence) + " type=" + std::to_string(r.type) + " system=" +
           std::to_string(r.system) + " device=" + std::to_string(r.device) + " parameter=" + std::to_string(r.parameter) +
           " out=" + NumberText(r.valueOut) + " in=" + NumberText(r.valueIn) + " text=" + Quoted(r.text);
}

ModuleRecord MessageOfType(uint32_t type, const std::string& text, double valueIn = -1.0) {
    ModuleRecord r;
    r.type = type;
    r.text = text;
    r.valueIn = valueIn;
    return r;
}

double PoseTime(const StandIn& s, const std::string& pose) {
    auto named = s.scenario.poseTimes.find(pose);
    if (named != s.scenario.poseTimes.end()) return named->second;
    return s.scenario.poseTime >= 0 ? s.scenario.poseTime : s.options.poseTime;
}

// The variable a calculator token names: "L:NAME" from "L:NAME" or "L:NAME, unit".
std::string VariableName(const std::string& token) {
    std::string name = token.substr(0, token.find(','));
    return TrimBlanks(name);
}

struct TextAction {
    const char* verb;
    uint32_t type;
};
const TextAction kTextActions[] = {
    {"control", 32}, {"runways", 33}, {"realmode", 34}, {"capspeech", 39}, {"foname", 27},   {"username", 28},
    {"reckey", 29},  {"recbutton", 30}, {"widgetbutton", 31}, {"jsel", 40}, {"log", 38},
};
const TextAction kValueActions[] = {{"volume", 13}, {"rate", 14}, {"voice", 16}};

void RunAction(StandIn& s, const ScenarioAction& a) {
    LogLine(s, "scenario line " + std::to_string(a.line) + ": " + a.verb + (a.argument.empty() ? "" : " " + a.argument));
    for (const TextAction& t : kTextActions) {
        if (a.verb == t.verb) {
            SendModuleRecord(s, MessageOfType(t.type, a.argument));
            return;
        }
    }
    for (const TextAction& t : kValueActions) {
        if (a.verb == t.verb) {
            double value = 0;
            ParseNumber(a.argument, value);
            SendModuleRecord(s, MessageOfType(t.type, "", value));
            return;
        }
    }
    if (a.verb == "message") {
        std::string rest;
        std::string type = FirstWord(a.argument, rest);
        ModuleRecord r = MessageOfType(static_cast<uint32_t>(std::strtoul(type.c_str(), nullptr, 10)), "");
        // Leading "value=", "system=", "device=" and "parameter=" words, in any order; the rest is the text.
        for (;;) {
            std::string after;
            std::string word = FirstWord(rest, after);
            size_t equals = word.find('=');
            std::string key = equals == std::string::npos ? std::string() : word.substr(0, equals + 1);
            double number = 0;
            if (!ParseNumber(word.substr(equals == std::string::npos ? 0 : equals + 1), number)) break;
            bool index = number >= -2147483648.0 && number <= 2147483647.0 && number == std::trunc(number);
            if (key == "value=") r.valueIn = number;
            else if (key == "system=" && index) r.system = static_cast<int32_t>(number);
            else if (key == "device=" && index) r.device = static_cast<int32_t>(number);
            else if (key == "parameter=" && index) r.parameter = static_cast<int32_t>(number);
            else break;
            rest = after;
        }
        r.text = rest;
        SendModuleRecord(s, r);
    } else if (a.verb == "set") {
        std::string name;
        double value = 0;
        if (SplitNameAndValue(a.argument, name, value)) SetVariable(s, name, value, "scenario");
    } else if (a.verb == "keyevent") {
        for (const DrfLinkEntry& link : s.links) {
            if (link.write || link.spec != a.argument) continue;
            ModuleRecord r = MessageOfType(4, "");
            r.system = link.system;
            r.device = link.device;
            r.parameter = link.parameter;
            SendModuleRecord(s, r);
        }
    } else if (a.verb == "captain-press") {
        // The utterance is in place before the press, as a microphone hears a captain who speaks at once.
        std::string dropped = DropUtterance(s, a.utterance);
        if (!dropped.empty()) LogLine(s, "utterance " + dropped);
        SendModuleRecord(s, MessageOfType(32, "RECSTART"));
        if (!s.options.workFolder.empty()) {
            std::FILE* feed = std::fopen((s.options.workFolder + "/captain.txt").c_str(), "ab");
            if (feed) {
                std::fprintf(feed, "%s\r\n", a.argument.c_str());
                std::fclose(feed);
            }
        }
    } else if (a.verb == "captain-release") {
        SendModuleRecord(s, MessageOfType(32, "RECSTOP"));
    } else if (a.verb == "assign") {
        AssignDrfIndices(s);
    } else if (a.verb == "stall") {
        double seconds = 0;
        ParseNumber(a.argument, seconds);
        LogLine(s, "not reading for " + NumberText(seconds) + " s");
        s.stalledUntil = Seconds(s) + seconds;
    } else if (a.verb == "badsize") {
        double size = 0;
        ParseNumber(a.argument, size);
        SendBadSize(s, static_cast<uint32_t>(size));
    } else if (a.verb == "drop") {
        EndSession(s, "dropped by the scenario");
    } else if (a.verb == "quit") {
        SendQuit(s);
        s.quitAfterSession = true;
        s.stop = true;
    }
}
} // namespace

std::array<uint8_t, kRecordSize> EncodeRecord(const ModuleRecord& record) {
    std::array<uint8_t, kRecordSize> out{};
    PutU32Raw(out.data(), record.sequence);
    PutU32Raw(out.data() + 4, record.type);
    PutU32Raw(out.data() + 8, static_cast<uint32_t>(record.system));
    PutU32Raw(out.data() + 12, static_cast<uint32_t>(record.device));
    PutU32Raw(out.data() + 16, static_cast<uint32_t>(record.parameter));
    PutF64Raw(out.data() + 24, record.valueOut);
    PutF64Raw(out.data() + 32, record.valueIn);
    size_t n = std::min<size_t>(record.text.size(), kRecordTextSize - 1);
    std::memcpy(out.data() + 40, record.text.data(), n);
    return out;
}

ModuleRecord DecodeRecord(const uint8_t* bytes) {
    ModuleRecord r;
    r.sequence = GetU32Raw(bytes);
    r.type = GetU32Raw(bytes + 4);
    r.system = static_cast<int32_t>(GetU32Raw(bytes + 8));
    r.device = static_cast<int32_t>(GetU32Raw(bytes + 12));
    r.parameter = static_cast<int32_t>(GetU32Raw(bytes + 16));
    r.valueOut = GetF64Raw(bytes + 24);
    r.valueIn = GetF64Raw(bytes + 32);
    size_t n = 0;
    while (n < kRecordTextSize && bytes[40 + n] != 0) ++n;
    r.text.assign(reinterpret_cast<const char*>(bytes + 40), n);
    return r;
}

void SendModuleRecord(StandIn& s, const ModuleRecord& record) {
    std::array<uint8_t, kRecordSize> bytes = EncodeRecord(record);
    LogLine(s, "MessageW2E " + RecordText(record));
    SetArea(s, "MessageW2E", bytes.data(), kRecordSize);
}

void SendDrfValues(StandIn& s) {
    std::array<uint8_t, 4000> bytes{};
    for (const auto& read : s.readIndex) {
        auto value = s.variables.find(read.first);
        PutF64Raw(bytes.data() + 8 * read.second, value == s.variables.end() ? 0.0 : value->second);
    }
    SetArea(s, "DrfW2E", bytes.data(), 4000);
    s.drfDirty = false;
}

void SetVariable(StandIn& s, const std::string& name, double value, const char* source) {
    auto found = s.variables.find(name);
    if (found != s.variables.end() && std::memcmp(&found->second, &value, sizeof value) == 0) return;
    s.variables[name] = value;
    LogLine(s, "variable " + name + " = " + NumberText(value) + (source ? std::string(" (") + source + ")" : ""));
    if (s.readIndex.count(name)) s.drfDirty = true;
}

void AssignDrfIndices(StandIn& s) {
    std::string listPath = s.options.programFolder + "/data/drf.txt";
    std::vector<std::string> lines = ReadLines(listPath);
    std::vector<DrfLinkEntry> fresh;
    for (const std::string& line : lines) {
        std::vector<std::string> f = SplitAt(line, ',');
        if (f.size() < 6 || (f[5] != "g" && f[5] != "s")) {
            LogLine(s, "DRF list line skipped: " + Quoted(line));
            continue;
        }
        DrfLinkEntry link;
        link.spec = f[0];
        link.write = f[5] == "s";
        if (!ReadLeadingInt(f[2], link.system) || !ReadLeadingInt(f[3], link.device) ||
            !ReadLeadingInt(f[4], link.parameter)) {
            LogLine(s, "DRF list line skipped: " + Quoted(line));
            continue;
        }
        std::map<std::string, int>& indices = link.write ? s.writeIndex : s.readIndex;
        auto known = indices.find(link.spec);
        if (known != indices.end()) {
            link.index = known->second;
        } else if (indices.size() < 500) {
            link.index = static_cast<int>(indices.size());
            indices[link.spec] = link.index;
        } else {
            LogLine(s, "no DRF index left for " + link.spec);
        }
        fresh.push_back(link);
    }
    s.links = fresh;
    LogLine(s, "assigned DRF indices to " + std::to_string(fresh.size()) + " links from " + listPath);
    if (s.options.assignByFile && !s.options.workFolder.empty()) {
        std::vector<std::string> answer;
        for (const DrfLinkEntry& link : fresh) {
            answer.push_back(std::string(link.write ? "1" : "0") + "," + std::to_string(link.system) + "," +
                             std::to_string(link.device) + "," + std::to_string(link.parameter) + "," +
                             std::to_string(link.index));
        }
        std::string folder = s.options.workFolder;
        if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
        WriteLines(folder + "drf.txt", answer);
        SendModuleRecord(s, MessageOfType(37, ""));
    } else {
        for (const DrfLinkEntry& link : fresh) {
            ModuleRecord r = MessageOfType(link.write ? 3 : 1, "", link.index);
            r.system = link.system;
            r.device = link.device;
            r.parameter = link.parameter;
            SendModuleRecord(s, r);
        }
    }
    s.drfDirty = true;
}

void ModuleReceivedRecord(StandIn& s, const ModuleRecord& r) {
    Transcript(s, "client " + std::to_string(s.session.number) + " MessageE2W " + RecordText(r));
    switch (r.type) {
    case 22: {
        if (!s.options.answerAircraft) break;
        ModuleRecord answer = MessageOfType(23, s.options.aircraft);
        answer.sequence = r.sequence;
        SendModuleRecord(s, answer);
        break;
    }
    case 7: {
        double wait = PoseTime(s, r.text);
        s.acks.push_back(PendingAck{Seconds(s) + wait, r.sequence, r.text});
        break;
    }
    case 5:
        if (!RunCalculator(s, r.text)) LogLine(s, "calculator code not understood: " + Quoted(r.text));
        break;
    case 36:
        if (!s.scenario.clockAtOpen && s.clockStart < 0) s.clockStart = Seconds(s);
        AssignDrfIndices(s);
        break;
    default: break; // speech, idle and settings notices: nothing to animate here
    }
}

void ModuleReceivedDrf(StandIn& s, const uint8_t* bytes, uint32_t size) {
    if (size < 4000) return;
    std::array<double, 500> values;
    for (size_t i = 0; i < 500; ++i) values[i] = GetF64Raw(bytes + 8 * i);
    std::string changes;
    for (size_t i = 0; i < 500; ++i) {
        if (std::memcmp(&values[i], &s.lastE2W[i], sizeof(double)) != 0) {
            changes += " [" + std::to_string(i) + "]=" + NumberText(values[i]);
        }
    }
    if (!changes.empty()) {
        Transcript(s, "client " + std::to_string(s.session.number) + " DrfE2W changed" + changes);
        // Only values that changed are applied, so a value the program never wrote leaves the simulator's.
        for (const auto& write : s.writeIndex) {
            size_t i = static_cast<size_t>(write.second);
            if (std::memcmp(&values[i], &s.lastE2W[i], sizeof(double)) != 0) SetVariable(s, write.first, values[i], "DrfE2W");
        }
    }
    s.lastE2W = values;
}

bool RunCalculator(StandIn& s, const std::string& code) {
    std::vector<double> stack;
    auto pop = [&stack]() {
        if (stack.empty()) return 0.0;
        double v = stack.back();
        stack.pop_back();
        return v;
    };
    size_t i = 0;
    while (i < code.size()) {
        if (code[i] == ' ' || code[i] == '\t' || code[i] == '\r' || code[i] == '\n') {
            ++i;
            continue;
        }
        std::string token;
        if (code[i] == '(') {
            size_t close = code.find(')', i);
            if (close == std::string::npos) return false;
            token = code.substr(i, close - i + 1);
            i = close + 1;
        } else {
            size_t end = code.find_first_of(" \t\r\n", i);
            if (end == std::string::npos) end = code.size();
            token = code.substr(i, end - i);
            i = end;
        }
        double number;
        if (ParseNumber(token, number)) {
            stack.push_back(number);
        } else if (token == "+" || token == "-" || token == "*" || token == "/") {
            double b = pop(), a = pop();
            stack.push_back(token == "+" ? a + b : token == "-" ? a - b : token == "*" ? a * b : (b != 0 ? a / b : 0));
        } else if (token.size() > 4 && token.front() == '(' && token.back() == ')') {
            std::string inner = token.substr(1, token.size() - 2);
            bool store = !inner.empty() && inner[0] == '>';
            std::string name = VariableName(store ? inner.substr(1) : inner);
            if (name.size() < 3 || name[1] != ':') return false;
            char kind = name[0];
            if (store && kind == 'K') {
                LogLine(s, "key event " + name + " with " + NumberText(pop()));
            } else if (kind != 'L' && kind != 'A') {
                return false;
            } else if (store) {
                SetVariable(s, name, pop(), "code");
            } else {
                auto found = s.variables.find(name);
                stack.push_back(found == s.variables.end() ? 0.0 : found->second);
            }
        } else {
            return false;
        }
    }
    return true;
}

void RunDueWork(StandIn& s) {
    double now = Seconds(s);
    for (size_t i = 0; i < s.acks.size();) {
        if (s.acks[i].due <= now) {
            ModuleRecord done = MessageOfType(8, s.acks[i].pose);
            done.sequence = s.acks[i].sequence;
            s.acks.erase(s.acks.begin() + static_cast<long>(i));
            SendModuleRecord(s, done);
        } else {
            ++i;
        }
    }
    // Module messages and values wait until the client has asked for them, so none is lost at the start.
    if (s.clockStart >= 0 && Subscribed(s, "MessageW2E")) {
        while (s.serving && !s.stop && s.nextAction < s.scenario.actions.size() &&
               s.scenario.actions[s.nextAction].time <= now - s.clockStart) {
            RunAction(s, s.scenario.actions[s.nextAction++]);
        }
        if (!s.scenarioEnded && !s.scenario.actions.empty() && s.nextAction == s.scenario.actions.size()) {
            s.scenarioEnded = true;
            LogLine(s, "scenario played to its end");
        }
    }
    if (s.drfDirty && Subscribed(s, "DrfW2E")) SendDrfValues(s);
}


} // namespace standin
