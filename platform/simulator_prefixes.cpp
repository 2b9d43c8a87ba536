// The portable front of the simulator prefixes: test overrides, else the platform's answer; and the
// reading of Steam's list of library folders.
#include "platform/simulator_prefixes.h"

#include <cctype>

std::vector<SimulatorPrefix> SystemSimulatorPrefixes();

namespace {
std::optional<std::vector<SimulatorPrefix>>& Override() {
    static std::optional<std::vector<SimulatorPrefix>> prefixes;
    return prefixes;
}

struct VdfToken {
    enum Kind { Text, Open, Close } kind;
    std::string text;
};

// Quoted strings (with \\ and \" escapes), braces; everything else is skipped, "//" comments included.
std::vector<VdfToken> Tokenise(const std::string& s) {
    std::vector<VdfToken> tokens;
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c == '"') {
            std::string text;
            for (++i; i < s.size() && s[i] != '"'; ++i) {
                if (s[i] == '\\' && i + 1 < s.size()) ++i;
                text += s[i];
            }
            ++i;
            tokens.push_back({VdfToken::Text, text});
        } else if (c == '{' || c == '}') {
            tokens.push_back({c == '{' ? VdfToken::Open : VdfToken::Close, ""});
            ++i;
        } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '/') {
            while (i < s.size() && s[i] != '\n') ++i;
        } else {
            ++i;
        }
    }
    return tokens;
}

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}
} // namespace

std::vector<SimulatorPrefix> SimulatorPrefixes() {
    return Override() ? *Override() : SystemSimulatorPrefixes();
}

void OverrideSimulatorPrefixes(std::optional<std::vector<SimulatorPrefix>> prefixes) {
    Override() = prefixes;
}

void ResetSimulatorPrefixes() {
    Override().reset();
}

std::vector<std::string> ParseSteamLibraryFolders(const std::string& vdfText) {
    std::vector<std::string> folders;
    std::vector<VdfToken> tokens = Tokenise(vdfText);
    int depth = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const VdfToken& t = tokens[i];
        if (t.kind == VdfToken::Open) {
            ++depth;
        } else if (t.kind == VdfToken::Close) {
            --depth;
        } else if (i + 1 < tokens.size() && tokens[i + 1].kind == VdfToken::Text) {
            // A key with its value: "path" inside a numbered block, or (the older form) a numbered key
            // of the outer block whose value is the path itself.
            const std::string& value = tokens[i + 1].text;
            if ((depth == 2 && t.text == "path") || (depth == 1 && AllDigits(t.text))) {
                if (!value.empty()) folders.push_back(value);
            }
            ++i;
        }
    }
    return folders;
}
