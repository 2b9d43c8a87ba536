// Configuration files and registry values on Windows: the profile functions, SHGetFolderPathA and the
// HKEY_CURRENT_USER registry.
#include "platform/profile.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                              size_t bufferSize) {
    std::vector<char> buffer(bufferSize > 0 ? bufferSize : 1, '\0');
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                       static_cast<DWORD>(buffer.size()), path.c_str());
    return std::string(buffer.data(), n);
}

bool ProfileSectionHasLines(const std::string& path, const std::string& section) {
    std::vector<char> buffer(32768, '\0');
    DWORD n = GetPrivateProfileSectionA(section.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
    return n > 0;
}

std::optional<std::string> SystemConfigFolderPath(ConfigFolder which) {
    char path[MAX_PATH] = {};
    int csidl = which == ConfigFolder::AllUsersDocuments ? CSIDL_COMMON_DOCUMENTS : CSIDL_PERSONAL;
    if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return std::nullopt;
    return std::string(path);
}

std::optional<std::string> ReadUserRegistryString(const std::string& key, const std::string& name, size_t maxBytes) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return std::nullopt;
    std::vector<char> buffer(maxBytes + 1, '\0');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(maxBytes);
    LONG rc = RegQueryValueExA(opened, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(opened);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
    return std::string(buffer.data());
}

bool WriteUserRegistryString(const std::string& key, const std::string& name, const std::string& value) {
    HKEY opened = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    LONG rc = RegSetValueExA(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1));
    RegCloseKey(opened);
    return rc == ERROR_SUCCESS;
}

bool DeleteUserRegistryKey(const std::string& key) {
    LONG rc = RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}
