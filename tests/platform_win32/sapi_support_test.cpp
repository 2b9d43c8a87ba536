// The SAPI helpers: HRESULT texts for the trace, byte-wise text conversion, and the clearing of events.
#include "platform/win32/sapi_support.h"

#include "tests/platform_win32/fake_sapi.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {
std::vector<std::string> traces;
void Trace(const std::string& line) {
    traces.push_back(line);
}
} // namespace

TEST(SapiSupport, CheckHresultAcceptsOnlySOkAndNamesEverythingElse) {
    struct Case {
        uint32_t hr;
        const char* text;
    };
    const Case cases[] = {
        {0x80070057, "One or more arguments are invalids."},
        {0x80070005, "Acces Denied."},
        {0x80004002, "Interface does not exist."},
        {0x80004001, "Not implemented method."},
        {0x8007000E, "Out of memory."},
        {0x80004003, "Invalid pointer."},
        {0x8000FFFF, "Unexpecter error."},
        {0x80004005, "Failure"},
        {0x80040154, "Class not registered"},
        {0x00000001, "Unknown : 1"},
        {0x80045001, "Unknown : -2147201023"},
    };
    for (const Case& c : cases) {
        traces.clear();
        EXPECT_FALSE(CheckHresult(static_cast<HRESULT>(c.hr), Trace)) << c.text;
        EXPECT_THAT(traces, ElementsAre(std::string("Error HRESULT = ") + c.text));
    }
    traces.clear();
    EXPECT_TRUE(CheckHresult(S_OK, Trace));
    EXPECT_TRUE(traces.empty());
    EXPECT_FALSE(CheckHresult(E_FAIL, nullptr));
}

TEST(SapiSupport, TextIsWidenedByteByByteAndNarrowedToTheLowBytes) {
    EXPECT_EQ(WidenBytes("Flaps 5 \xe9\xff"), std::wstring(L"Flaps 5 \u00e9\u00ff"));
    EXPECT_EQ(WidenBytes(""), std::wstring());
    EXPECT_EQ(NarrowLowBytes(L"gear up"), "gear up");
    EXPECT_EQ(NarrowLowBytes(L"\u0141\u00e9\u2041"), "\x41\xe9\x41");
    EXPECT_EQ(NarrowLowBytes(nullptr), "");
}

TEST(SapiSupport, ClearingAnEventReleasesItsObjectOrTokenAndEmptiesIt) {
    FakeSapi sapi;
    for (SPEVENTLPARAMTYPE type : {SPET_LPARAM_IS_OBJECT, SPET_LPARAM_IS_TOKEN}) {
        FakeResult object(sapi, L"x");
        SPEVENT event = MakeEvent(SPEI_RECOGNITION, &object);
        event.elParamType = type;
        event.wParam = 7;
        ClearEvent(event);
        EXPECT_EQ(object.refs, 0u);
        EXPECT_EQ(event.lParam, 0);
        EXPECT_EQ(event.wParam, 0u);
        EXPECT_EQ(event.eEventId, SPEI_UNDEFINED);
    }
    // Task memory is freed (a leak or a double free would show under a checking allocator).
    SPEVENT text{};
    text.elParamType = SPET_LPARAM_IS_STRING;
    text.lParam = reinterpret_cast<LPARAM>(CoTaskMemAlloc(16));
    ClearEvent(text);
    EXPECT_EQ(text.lParam, 0);
    SPEVENT empty{};
    ClearEvent(empty);
    EXPECT_THAT(sapi.calls, ElementsAre("result released", "result released"));
}
