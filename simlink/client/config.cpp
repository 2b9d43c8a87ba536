// Reading "SimConnect.cfg" and the registry ports for the simulator client.
#include "simlink/client/config.h"

#include "base/helpers.h"
#include "platform/profile.h"

#include <cstdio>

namespace {
const char* kConfigFileName = "SimConnect.cfg";
const size_t kProfileBuffer = 2048;
const size_t kRegistryPortBytes = 20;

bool SameText(const std::string& a, const char* b) {
    if (a.size() != std::char_traits<char>::length(b)) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Decimal digits after optional blanks, as the C library reads an unsigned number; 0 when there are none.
uint64_t ReadDecimal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > 0xFFFFFFFFull) return 0xFFFFFFFFull;
    }
    return value;
}

void ApplyFile(const std::string& path, const std::string& section, SimConnectConfig& config) {
    std::string protocol = ReadProfileString(path, section, "Protocol", kProfileBuffer);
    if (SameText(protocol, "Auto") || SameText(protocol, "Pipe")) {
        config.protocol = kProtocolPipe;
    } else if (SameText(protocol, "IPv4") || SameText(protocol, "IPv6")) {
        config.protocol = SameText(protocol, "IPv4") ? kProtocolIPv4 : kProtocolIPv6;
        if (config.port.empty()) config.port = RegistryPort(config, config.protocol == kProtocolIPv6);
    }
    std::string address = ReadProfileString(path, section, "Address", kProfileBuffer);
    if (!address.empty()) config.address = address;
    std::string port = ReadProfileString(path, section, "Port", kProfileBuffer);
    if (!port.empty()) config.port = port;
    std::string maxReceive = ReadProfileString(path, section, "MaxReceiveSize", kProfileBuffer);
    uint64_t size = ReadDecimal(maxReceive);
    if (size > config.maxReceiveSize) config.maxReceiveSize = static_cast<uint32_t>(size);
    std::string nagle = ReadProfileString(path, section, "DisableNagle", kProfileBuffer);
    if (!nagle.empty()) {
        int value = 0;
        ReadLeadingInt(nagle, value);
        config.disableNagle = value != 0;
    }
}
} // namespace

std::string ConfigSectionName(uint32_t configIndex) {
    if (configIndex == 0) return "SimConnect";
    char name[26];
    std::snprintf(name, sizeof name, "SimConnect.%u", configIndex);
    return name;
}

std::vector<std::string> ConfigFiles() {
    std::vector<std::string> folders;
    if (auto all = ConfigFolderPath(ConfigFolder::AllUsersDocuments)) folders.push_back(*all);
    if (auto user = ConfigFolderPath(ConfigFolder::UserDocuments)) folders.push_back(*user);
    folders.push_back(CurrentDirectory());
    std::vector<std::string> files;
    for (const std::string& folder : folders) {
        if (folder.empty()) continue;
        std::string path = folder + "/" + kConfigFileName;
        if (FileExists(path)) files.push_back(path);
    }
    return files;
}

bool ReadSimConnectConfig(uint32_t configIndex, SimConnectConfig& config) {
    if (configIndex == kNoConfigIndex) return true;
    std::string section = ConfigSectionName(configIndex);
    bool sectionFound = false;
    for (const std::string& path : ConfigFiles()) {
        if (configIndex != 0 && ProfileSectionHasLines(path, section)) sectionFound = true;
        ApplyFile(path, section, config);
    }
    return configIndex == 0 || sectionFound;
}

std::string RegistryPort(const SimConnectConfig& config, bool ipv6) {
    auto value = ReadUserRegistryString(
        config.registryKey, ipv6 ? "SimConnect_Port_IPv6" : "SimConnect_Port_IPv4", kRegistryPortBytes);
    return value ? *value : std::string();
}
