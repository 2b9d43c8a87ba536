// Known folders on Windows: SHGetKnownFolderPath with the create flag, narrowed to the ANSI code page.
#include "platform/codepage.h"
#include "platform/known_folders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

std::optional<std::string> SystemKnownFolderPath(KnownFolder which) {
    const KNOWNFOLDERID* id = &FOLDERID_LocalAppData;
    if (which == KnownFolder::RoamingAppData) id = &FOLDERID_RoamingAppData;
    if (which == KnownFolder::Documents) id = &FOLDERID_Documents;
    PWSTR path = nullptr;
    HRESULT hr = SHGetKnownFolderPath(*id, KF_FLAG_CREATE, nullptr, &path);
    if (hr != S_OK || !path) {
        if (path) CoTaskMemFree(path);
        return std::nullopt;
    }
    std::u16string wide(reinterpret_cast<const char16_t*>(path));
    CoTaskMemFree(path);
    return NarrowFromUtf16(wide);
}
