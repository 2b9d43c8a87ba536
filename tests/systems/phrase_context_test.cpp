// The phrase context: built-in phrases, registration and the normal form the grammar is built from.
#include "systems/phrase_context.h"

#include <gtest/gtest.h>

namespace {
struct PhraseContextTest : ::testing::Test {
    void SetUp() override { ResetPhraseContext(); }
    void TearDown() override { ResetPhraseContext(); }
};

TEST_F(PhraseContextTest, NormalForm) {
    struct Case {
        const char* text;
        const char* normal;
    } cases[] = {
        {"gear   up", "gear up"},
        {"  Flaps five  ", "flaps five"},
        {"Flaps, five!", "flaps five"},
        {"After-Takeoff checklist", "after takeoff checklist"},
        {"V1 / rotate", "v1 rotate"},
        {"don't sink", "don't sink"},
        {"'gear up'", "gear up"},
        {"set (QNH) 1013?", "set qnh 1013"},
        {"caf\xE9 au lait", "caf\xE9 au lait"},
        {"?!", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(NormalisePhrase(c.text), c.normal) << c.text;
}

TEST_F(PhraseContextTest, RegistrationAppendsEachNormalFormOnce) {
    EXPECT_EQ(RegisterPhrase("Gear Up").text, "gear up");
    EXPECT_EQ(RegisterPhrase("gear  up").text, "gear up");
    EXPECT_EQ(RegisterPhrase("CHECKED").text, "checked");
    EXPECT_EQ(RegisterPhrase("...").text, "");
    RegisterPhrase("flaps five");
    ASSERT_EQ(PhraseContextSize(), 21);
    EXPECT_EQ(PhraseContext().phraseContext[19], "gear up");
    EXPECT_EQ(PhraseContext().phraseContext[20], "flaps five");
    ResetPhraseContext();
    EXPECT_EQ(PhraseContextSize(), 19);
}
} // namespace
