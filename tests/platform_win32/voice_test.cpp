// The Windows speech synthesiser through the real SAPI: start and stop, lines that never block, the
// voices the registry's tokens describe (registered by the test in its own prefix) and choosing them.
#include "platform/win32/sapi_speech.h"

#include "platform/win32/sapi_support.h"
#include "tests/platform_win32/under_wine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

namespace {

const wchar_t kTokens[] = L"SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\";

// Voice tokens written into HKEY_LOCAL_MACHINE for the test's length: name, description, and optionally a
// description for one language. Removed again at the end.
struct RegisteredVoices {
    struct Voice {
        std::wstring name;
        std::wstring description;
        REGSAM view = KEY_WOW64_64KEY;
        std::wstring languageValue; // value name
        std::wstring languageDescription;
    };
    explicit RegisteredVoices(std::vector<Voice> list) : voices(std::move(list)) {
        for (const Voice& v : voices) {
            HKEY key = nullptr;
            if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kTokens + v.name).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS | v.view, nullptr, &key, nullptr) != ERROR_SUCCESS)
                return;
            Set(key, nullptr, v.description);
            if (!v.languageValue.empty()) Set(key, v.languageValue.c_str(), v.languageDescription);
            RegCloseKey(key);
        }
        registered = true;
    }
    ~RegisteredVoices() { Remove(); }
    void Remove() {
        for (const Voice& v : voices) {
            HKEY tokens = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens", 0,
                              KEY_ALL_ACCESS | v.view, &tokens) != ERROR_SUCCESS)
                continue;
            RegDeleteTreeW(tokens, v.name.c_str());
            RegCloseKey(tokens);
        }
        voices.clear();
    }
    static void Set(HKEY key, const wchar_t* name, const std::wstring& text) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    std::vector<Voice> voices;
    bool registered = false;
};

const std::string kDavid = "Microsoft David Desktop - English (United States)";
const std::string kHedda = "Microsoft Hedda Desktop - German (Germany)";
const std::string kZira = "Microsoft Zira Desktop - English (United States)";

class VoiceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(StartSapiVoice()) << "SAPI's voice object exists here"; }
    void TearDown() override { StopSapiVoice(); }
};

} // namespace

TEST_F(VoiceTest, LinesAreQueuedWithoutWaitingAndUnderWineNothingSpeaks) {
    for (int rate : {-11, -10, 0, 10, 11}) SetSapiVoiceRate(rate);
    for (int volume : {0, 95, 100}) SetSapiVoiceVolume(volume);
    SapiSpeak("Before start checklist complete");
    SapiSpeak("");
    SapiSpeak("Caf\xe9 \xff");
    PlatformVoiceStatus status = GetSapiVoiceStatus();
    if (UnderWine()) {
        // Wine 8's voice answers E_NOTIMPL to Speak and GetStatus: the status reads as silent, and the
        // probe that makes the platform's voice fall back on the built-in one finds the line unspoken.
        EXPECT_FALSE(status.speaking);
        EXPECT_EQ(status.phonemeId, 0);
        EXPECT_EQ(SapiSpeakProbe(), E_NOTIMPL);
    }
}

TEST_F(VoiceTest, AStoppedVoiceHasNoVoicesAndIgnoresEverything) {
    StopSapiVoice();
    StopSapiVoice();
    EXPECT_TRUE(SapiVoiceDescriptions().empty());
    SelectSapiVoice(0);
    SetSapiVoiceRate(5);
    SetSapiVoiceVolume(50);
    SapiSpeak("gear up");
    EXPECT_FALSE(GetSapiVoiceStatus().speaking);
    ASSERT_TRUE(StartSapiVoice()) << "and it starts again";
}

TEST_F(VoiceTest, RegisteredTokensAreDescribedInTheEnginesOrder) {
    // Key names sort before anything a machine or wine registers, keeping the three together and in order;
    // a token of the 32-bit registry view is not one of this 64-bit program's voices.
    RegisteredVoices voices(
        {{L"AAATalveroTest1", WidenBytes(kDavid)},
         {L"AAATalveroTest2", WidenBytes(kHedda)},
         {L"AAATalveroTest3", WidenBytes(kZira)},
         {L"AAATalveroTest0", L"Microsoft Wow Desktop - English (United States)", KEY_WOW64_32KEY}});
    if (!voices.registered) GTEST_SKIP() << "voices cannot be registered here (no write access to HKLM)";
    std::vector<std::string> descriptions = SapiVoiceDescriptions();
    auto david = std::find(descriptions.begin(), descriptions.end(), kDavid);
    ASSERT_NE(david, descriptions.end());
    ASSERT_GE(descriptions.end() - david, 3);
    EXPECT_EQ(david[1], kHedda);
    EXPECT_EQ(david[2], kZira);
    EXPECT_EQ(std::count_if(descriptions.begin(), descriptions.end(),
                            [](const std::string& d) { return d.find("Wow") != std::string::npos; }),
              0);
    // Every position, and positions outside the list, can be chosen without harm.
    for (int position = -1; position <= static_cast<int>(descriptions.size()) + 1; ++position)
        SelectSapiVoice(position);
    SapiSpeak("Speech voice was changed");
    // The list is read anew each time: with the tokens gone, so are their voices.
    std::vector<std::string> before = descriptions;
    voices.Remove();
    descriptions = SapiVoiceDescriptions();
    EXPECT_EQ(descriptions.size(), before.size() - 3);
    EXPECT_EQ(std::find(descriptions.begin(), descriptions.end(), kZira), descriptions.end());
}

TEST_F(VoiceTest, ADescriptionInTheUsersLanguageComesBeforeTheDefaultOne) {
    wchar_t language[8];
    swprintf(language, 8, L"%x", static_cast<unsigned>(GetUserDefaultUILanguage()));
    RegisteredVoices voices({{L"AAATalveroTest4", L"Talvero Default - English", KEY_WOW64_64KEY, language,
                              L"Talvero Localised - English"},
                             {L"AAATalveroTest5", L"Talvero Other - English", KEY_WOW64_64KEY, L"ffff",
                              L"Talvero Foreign - English"}});
    if (!voices.registered) GTEST_SKIP() << "voices cannot be registered here (no write access to HKLM)";
    std::vector<std::string> descriptions = SapiVoiceDescriptions();
    auto first = std::find(descriptions.begin(), descriptions.end(), "Talvero Localised - English");
    ASSERT_NE(first, descriptions.end());
    ASSERT_NE(first + 1, descriptions.end());
    EXPECT_EQ(first[1], "Talvero Other - English");
}
