// SAPI 5 helpers shared by the Windows speech synthesiser and recogniser: the HRESULT check and its texts,
// byte-wise text conversion, token categories and descriptions, and event clearing.
#include "platform/win32/sapi_support.h"

#include <cwchar>

namespace {

const char* HresultText(HRESULT hr) {
    switch (static_cast<uint32_t>(hr)) {
    case 0x80070057u:
        return "One or more arguments are invalids.";
    case 0x80070005u:
        return "Acces Denied.";
    case 0x80004002u:
        return "Interface does not exist.";
    case 0x80004001u:
        return "Not implemented method.";
    case 0x8007000Eu:
        return "Out of memory.";
    case 0x80004003u:
        return "Invalid pointer.";
    case 0x8000FFFFu:
        return "Unexpecter error.";
    case 0x80004005u:
        return "Failure";
    case 0x80040154u:
        return "Class not registered";
    default:
        return nullptr;
    }
}

ISpObjectTokenCategory* OpenCategory(const wchar_t* categoryId) {
    ISpObjectTokenCategory* category = nullptr;
    if (CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL, IID_ISpObjectTokenCategory,
                         reinterpret_cast<void**>(&category)) != S_OK ||
        category == nullptr)
        return nullptr;
    if (category->SetId(categoryId, FALSE) != S_OK) {
        category->Release();
        return nullptr;
    }
    return category;
}

// The language-specific value, else the default value, of one data key.
bool ReadDescriptionValue(ISpDataKey* key, const wchar_t* languageName, std::wstring& description) {
    for (const wchar_t* name : {languageName, static_cast<const wchar_t*>(nullptr)}) {
        wchar_t* value = nullptr;
        HRESULT hr = key->GetStringValue(name, &value);
        if (hr == S_OK && value != nullptr) {
            description = value;
            CoTaskMemFree(value);
            return true;
        }
        CoTaskMemFree(value);
    }
    return false;
}

} // namespace

bool CheckHresult(HRESULT hr, TraceSink trace) {
    if (hr == S_OK) return true;
    if (trace != nullptr) {
        const char* text = HresultText(hr);
        std::string line = "Error HRESULT = ";
        line += text != nullptr ? std::string(text) : "Unknown : " + std::to_string(static_cast<int32_t>(hr));
        trace(line);
    }
    return false;
}

std::wstring WidenBytes(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    for (size_t i = 0; i < text.size(); ++i)
        wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
    return wide;
}

std::string NarrowLowBytes(const wchar_t* text) {
    std::string narrow;
    if (text == nullptr) return narrow;
    for (; *text != L'\0'; ++text) narrow += static_cast<char>(*text & 0xFF);
    return narrow;
}

IEnumSpObjectTokens* EnumerateCategoryTokens(const wchar_t* categoryId) {
    ISpObjectTokenCategory* category = OpenCategory(categoryId);
    if (category == nullptr) return nullptr;
    IEnumSpObjectTokens* tokens = nullptr;
    if (category->EnumTokens(nullptr, nullptr, &tokens) != S_OK) {
        if (tokens != nullptr) tokens->Release();
        tokens = nullptr;
    }
    category->Release();
    return tokens;
}

ISpObjectToken* DefaultCategoryToken(const wchar_t* categoryId) {
    ISpObjectTokenCategory* category = OpenCategory(categoryId);
    if (category == nullptr) return nullptr;
    wchar_t* tokenId = nullptr;
    ISpObjectToken* token = nullptr;
    if (category->GetDefaultTokenId(&tokenId) == S_OK && tokenId != nullptr &&
        CoCreateInstance(CLSID_SpObjectToken, nullptr, CLSCTX_ALL, IID_ISpObjectToken,
                         reinterpret_cast<void**>(&token)) == S_OK &&
        token != nullptr) {
        if (token->SetId(nullptr, tokenId, FALSE) != S_OK) {
            token->Release();
            token = nullptr;
        }
    }
    CoTaskMemFree(tokenId);
    category->Release();
    return token;
}

bool ReadTokenDescription(ISpObjectToken* token, LANGID language, std::wstring& description) {
    wchar_t languageName[8];
    swprintf(languageName, 8, L"%x", static_cast<unsigned>(language));
    if (ReadDescriptionValue(token, languageName, description)) return true;
    ISpDataKey* ownKey = nullptr;
    if (token->OpenKey(L"", &ownKey) != S_OK || ownKey == nullptr) return false;
    bool found = ReadDescriptionValue(ownKey, languageName, description);
    ownKey->Release();
    return found;
}

void ClearEvent(SPEVENT& event) {
    switch (event.elParamType) {
    case SPET_LPARAM_IS_POINTER:
    case SPET_LPARAM_IS_STRING:
        CoTaskMemFree(reinterpret_cast<void*>(event.lParam));
        break;
    case SPET_LPARAM_IS_TOKEN:
    case SPET_LPARAM_IS_OBJECT:
        if (event.lParam != 0) reinterpret_cast<IUnknown*>(event.lParam)->Release();
        break;
    default:
        break;
    }
    event = SPEVENT{};
}
