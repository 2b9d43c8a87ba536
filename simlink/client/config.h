// The simulator client's configuration: "SimConnect.cfg" in the all users' documents folder, the user's
// documents folder and the current directory (later files override earlier ones), and the simulator's
// TCP ports from the user's registry.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kProtocolPipe = 1; // "Auto" and "Pipe": the pipe first, with fallbacks
constexpr uint32_t kProtocolIPv4 = 2;
constexpr uint32_t kProtocolIPv6 = 23;
constexpr uint32_t kDefaultMaxReceiveSize = 41088;
constexpr uint32_t kNoConfigIndex = 0xFFFFFFFF; // skips the configuration files entirely

struct SimConnectConfig {
    uint32_t protocol = kProtocolPipe;
    std::string address;
    std::string port;
    uint32_t maxReceiveSize = kDefaultMaxReceiveSize;
    bool disableNagle = false;
    // The user's registry key under which the simulator publishes its TCP ports.
    std::string registryKey;
};

// The section read for a configuration index: "SimConnect" for 0, "SimConnect.N" otherwise.
std::string ConfigSectionName(uint32_t configIndex);
// The "SimConnect.cfg" files that exist, in reading order.
std::vector<std::string> ConfigFiles();
// Applies every file to `config`. False when a non-zero index names a section that no file has.
bool ReadSimConnectConfig(uint32_t configIndex, SimConnectConfig& config);
// The port the simulator published for IPv4 or IPv6 under the configuration's registry key; empty when it
// published none.
std::string RegistryPort(const SimConnectConfig& config, bool ipv6);
