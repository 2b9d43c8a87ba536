// The systems files loader: reads the index, the plain and enciphered systems files and the save file of
// the aircraft data folder, joins their lines and builds the systems model from them, then compiles it.
#include "systems/loader.h"

#include "base/frame_state.h"
#include "base/helpers.h"
#include "base/log.h"
#include "systems/logic.h"
#include "systems/model.h"
#include "systems/numbers.h"

#include <cassert>
#include <cctype>
#include <string_view>

namespace {
bool Contains(const std::string& s, const char* part) {
    return s.find(part) != std::string::npos;
}

// Field n (from 1) of an out line; missing trailing fields are empty.
const std::string& Field(const std::vector<std::string>& fields, size_t n) {
    static const std::string empty;
    return n <= fields.size() ? fields[n - 1] : empty;
}

int HighDigit(unsigned char c) {
    return c >= '0' && c <= '9' ? c - '0' : c - '7';
}

int LowDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - '7';
    return c - 'W';
}

const std::string& UsableKey(const std::string& key) {
    static const std::string initial = kInitialSystemsKey;
    return key.empty() ? initial : key;
}

// The save file's value for a parameter: the text after the first "=" of the last line that holds the
// parameter's full name and an "=", when that text is a number the loader can read.
void ApplySavedValue(const std::string& fullName, const std::vector<std::string>& saveLines,
                     std::string& initial) {
    for (const std::string& line : saveLines) {
        if (!Contains(line, fullName.c_str()) || !Contains(line, "=")) continue;
        std::vector<std::string> parts = SplitAt(line, '=');
        double ignored = 0;
        if (IsNumber(parts[1]) && ReadLeadingDouble(parts[1], ignored)) initial = parts[1];
    }
}

struct ParseState {
    int32_t system = -1;
    int32_t device = -1;
    int32_t parameter = -1; // the parameter whose logic lines follow; -1 when none
};

// Builds an out parameter from its line, or rejects the line (logged) when a number it needs is not one.
int32_t AddOutParameter(SystemsState& state, const ParseState& at, const std::string& line,
                        const std::vector<std::string>& saveLines) {
    System& system = state.systems_vector[at.system];
    Device& device = system.Devices[at.device];
    const std::vector<std::string> fields = SplitAt(ReplaceAll(line, "out=", ""), ',');
    const std::string& name = Field(fields, 1);
    const std::string& typeText = Field(fields, 2);
    if (name == "VERSION") DebugTrace("Talvero Systems Version: ", Field(fields, 4));

    auto reject = [&](const std::string& why) {
        ReportSystemsProblem("Systems line rejected in " + system.name + "." + device.name + ": " + why +
                             "; the parameter and its logic lines are left out: " + line);
        return -1;
    };

    OutParameter parameter;
    parameter.name = name;
    if (!Field(fields, 5).empty()) {
        if (!ReadLeadingDouble(Field(fields, 5), parameter.min))
            return reject("minimum \"" + Field(fields, 5) + "\" is not a number");
        parameter.hasMin = true;
    }
    if (!Field(fields, 6).empty()) {
        if (!ReadLeadingDouble(Field(fields, 6), parameter.max))
            return reject("maximum \"" + Field(fields, 6) + "\" is not a number");
        parameter.hasMax = true;
    }
    std::string initial = Field(fields, 4);
    if (Field(fields, 12) == "1")
        ApplySavedValue(system.name + "." + device.name + "." + name, saveLines, initial);

    const bool isInteger = typeText == "int" || typeText == "integer" || typeText == "execute";
    const bool isDouble = typeText == "double";
    if (isInteger || isDouble) {
        double value = 0;
        // An empty initial value means 0.
        if (!initial.empty() && !ReadLeadingDouble(initial, value))
            return reject("initial value \"" + initial + "\" is not a number");
        parameter.type = isInteger ? kTypeInteger : kTypeDouble;
        parameter.value = value;
        if (isInteger) {
            int whole = 0;
            parameter.intValue = ReadLeadingInt(initial, whole) ? whole : TruncateToInt32(value);
        }
    }

    device.outParameters.push_back(std::move(parameter));
    const int32_t index = static_cast<int32_t>(device.outParameters.size() - 1);
    device.outMap.emplace(name, index);
    OutParameter& added = device.outParameters.back();
    if (!Field(fields, 7).empty())
        ParseGetLink(added.inDrf, Field(fields, 7), at.system, at.device, index, Field(fields, 8));
    if (!Field(fields, 9).empty())
        ParseSetLink(added.outDrf, Field(fields, 9), at.system, at.device, index, Field(fields, 10));
    return index;
}

void AddSystem(SystemsState& state, ParseState& at, const std::string& line) {
    System& system = state.systems_vector.emplace_back();
    system.name = ReplaceAll(line, "sys=", "");
    at.system = static_cast<int32_t>(state.systems_vector.size() - 1);
    state.systemIndex.emplace(system.name, at.system);
    at.device = -1;
    at.parameter = -1;
}

void AddDevice(SystemsState& state, ParseState& at, const std::string& line, bool isStack) {
    System& system = state.systems_vector[at.system];
    Device& device = system.Devices.emplace_back();
    device.name = ReplaceAll(line, isStack ? "devstack=" : "dev=", "");
    device.isStack = isStack;
    at.device = static_cast<int32_t>(system.Devices.size() - 1);
    system.deviceMap.emplace(device.name, at.device);
    at.parameter = -1;
}
} // namespace

std::string DecipherSystemsText(const std::string& hexText, const std::string& key, bool* ok) {
    bool valid = hexText.size() % 2 == 0;
    for (size_t i = 0; valid && i < hexText.size(); ++i)
        valid = std::isalnum(static_cast<unsigned char>(hexText[i]));
    if (ok) *ok = valid;
    if (!valid) return std::string();
    const std::string& k = UsableKey(key);
    std::string plain;
    plain.reserve(hexText.size() / 2);
    for (size_t i = 0, keyAt = 0; i < hexText.size(); i += 2) {
        int high = HighDigit(static_cast<unsigned char>(hexText[i]));
        int low = LowDigit(static_cast<unsigned char>(hexText[i + 1]));
        int byte = (high * 16 - static_cast<unsigned char>(k[keyAt]) + low) % 256;
        if (byte < 0) byte += 256;
        plain.push_back(static_cast<char>(byte));
        if (++keyAt == k.size()) keyAt = 0;
    }
    return plain;
}

std::string EncipherSystemsText(const std::string& plainText, const std::string& key) {
    static const char* digits = "0123456789ABCDEF";
    const std::string& k = UsableKey(key);
    std::string hex;
    hex.reserve(plainText.size() * 2);
    for (size_t i = 0, keyAt = 0; i < plainText.size(); ++i) {
        unsigned v = (static_cast<unsigned char>(plainText[i]) + static_cast<unsigned char>(k[keyAt])) & 0xff;
        hex.push_back(digits[v >> 4]);
        hex.push_back(digits[v & 15]);
        if (++keyAt == k.size()) keyAt = 0;
    }
    return hex;
}

std::string NextSystemsKey(const std::string& hexText) {
    return hexText.size() >= 10 ? hexText.substr(0, 10) : std::string(kInitialSystemsKey);
}

std::vector<std::string> SplitDecipheredLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::string& piece : SplitAt(ReplaceAll(ReplaceAll(text, "\r\n", "$"), "\n", "$"), '$'))
        if (!piece.empty()) lines.push_back(std::move(piece));
    return lines;
}

void ParseSystemsLines(const std::vector<std::string>& lines, const std::vector<std::string>& saveLines,
                       const std::vector<LineOrigin>* origins) {
    SystemsState& state = Systems();
    // Compiled references hold parameters' addresses: a frozen model must be reset before it grows.
    assert(!state.frozen);
    if (origins && origins->size() == lines.size()) state.lineOrigins = *origins;
    ParseState at;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (Contains(line, "sys=")) {
            AddSystem(state, at, line);
        } else if (Contains(line, "dev=") && at.system >= 0) {
            AddDevice(state, at, line, false);
        } else if (Contains(line, "devstack=") && at.system >= 0) {
            AddDevice(state, at, line, true);
        } else if (Contains(line, "out=") && at.system >= 0 && at.device >= 0) {
            at.parameter = AddOutParameter(state, at, line, saveLines);
            if (at.parameter >= 0 && !state.lineOrigins.empty())
                state.systems_vector[at.system].Devices[at.device].outParameters[at.parameter].outLine =
                    static_cast<int32_t>(i);
        } else if (Contains(line, "dev=") || Contains(line, "devstack=") || Contains(line, "out=")) {
            // A keyword line outside a system or device: ignored, and it ends any logic lines.
            at.parameter = -1;
        } else if (at.parameter >= 0) {
            OutParameter& parameter =
                state.systems_vector[at.system].Devices[at.device].outParameters[at.parameter];
            if (parameter.logicLines.empty() && !state.lineOrigins.empty())
                parameter.firstLogicLine = static_cast<int32_t>(i);
            parameter.logicLines.push_back(line);
        }
    }
}

namespace {
// The line numbers of a file's non-empty lines, as ReadLines keeps them (`count` of them); all 0 when
// the file's text does not give that many.
std::vector<int32_t> LineNumbers(const std::string& text, size_t count) {
    std::vector<int32_t> numbers;
    int32_t number = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ++number;
        if (!StripLineBreaks(text.substr(start, end - start)).empty()) numbers.push_back(number);
        start = end + 1;
    }
    if (numbers.size() != count) numbers.assign(count, 0);
    return numbers;
}

void AddOrigins(std::vector<LineOrigin>& origins, const std::string& file,
                const std::vector<int32_t>& numbers) {
    std::vector<std::string>& files = Systems().sourceFiles;
    files.push_back(file);
    for (int32_t n : numbers) origins.push_back({static_cast<int32_t>(files.size() - 1), n});
}
} // namespace

void CreateSystemsFromFile() {
    WriteLog("CreateSystemsFromFile()");
    WriteLog(std::string(79, '-'));
    ResetSystems();
    const std::string folder = Frame().AcfPath + "/systems/";
    const std::vector<std::string> saveLines = ReadLines(folder + "_save.txt");
    const std::string indexPath = folder + "_systems.txt";
    std::vector<std::string> lines;
    std::vector<LineOrigin> origins;
    if (!FileExists(indexPath)) {
        DebugTrace("System files not found", "");
    } else {
        std::string key = kInitialSystemsKey;
        for (const std::string& name : ReadLines(indexPath)) {
            const std::string plainPath = folder + name + ".txt";
            const std::string cipheredPath = folder + name + ".sys";
            if (FileExists(plainPath)) {
                std::vector<std::string> fileLines = ReadLines(plainPath);
                AddOrigins(origins, name + ".txt",
                           LineNumbers(ReadFileToString(plainPath), fileLines.size()));
                lines.insert(lines.end(), fileLines.begin(), fileLines.end());
            } else if (FileExists(cipheredPath)) {
                const std::string hexText = ReadFileToString(cipheredPath);
                bool ok = false;
                std::string plain = DecipherSystemsText(hexText, key, &ok);
                if (ok) {
                    std::vector<std::string> fileLines = SplitDecipheredLines(plain);
                    AddOrigins(origins, name + ".sys",
                               LineNumbers(ReplaceAll(plain, "\r\n", "\n"), fileLines.size()));
                    lines.insert(lines.end(), fileLines.begin(), fileLines.end());
                } else {
                    ReportSystemsProblem(
                        "Systems file rejected, not enciphered systems text (odd length or a "
                        "character that is not a hexadecimal digit): " +
                        cipheredPath);
                }
                // The next file's key follows from this file's text, whether it was usable or not.
                key = NextSystemsKey(hexText);
            }
        }
    }
    ParseSystemsLines(lines, saveLines, &origins);
    CompileLogic();
}
