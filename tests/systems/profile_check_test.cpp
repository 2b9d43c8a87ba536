// The profile check's findings beyond the load report: phrases the voice can never satisfy, answers shown
// that nothing hears, sequences with an item that can never be done, links the module never gets.
#include "systems/profile_check.h"
#include "tests/systems/systems_fixture.h"

#include <algorithm>

namespace {
struct ProfileCheckTest : SystemsTest {
    static bool Has(const std::vector<std::string>& lines, const std::string& text) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    }
};

TEST_F(ProfileCheckTest, PhrasesTheVoiceCanNeverSatisfyAreListed) {
    Load({"sys=COMMANDS", "dev=GEAR",
          // Written as no recogniser delivers it, and nothing sayable at all.
          "out=UP,execute,,0", "logic:", "instring=Gear Up", "execute=0,Gear up,0", "out=NONE,execute,,0",
          "logic:", "instring=?!", "execute=0,What,0",
          // Asks for nothing but "flaps five": takes it from every later block.
          "out=FLAPS,execute,,0", "logic:", "instring=flaps five", "execute=0,Flaps five,0",
          "out=FLAPS_AGAIN,execute,,0", "logic:", "instring=flaps five", "execute=0,Again,0",
          // With a second condition the earlier block does not always take it: no finding for the later one.
          "out=LIGHTS,execute,,0", "logic:", "instring=lights on", "[COMMANDS.GEAR.UP]=1", "execute=0,On,0",
          "out=LIGHTS_AGAIN,execute,,0", "logic:", "instring=lights on", "execute=0,On again,0"});
    ProfileSummary s = SummariseSystems();
    EXPECT_EQ(s.unhearablePhrases.size(), 3u);
    EXPECT_TRUE(Has(s.unhearablePhrases, "COMMANDS.GEAR.UP: \"Gear Up\" is never heard as written: the "
                                         "recogniser hears \"gear up\""));
    EXPECT_TRUE(Has(s.unhearablePhrases, "COMMANDS.GEAR.NONE: \"?!\" has no word the captain can say"));
    EXPECT_TRUE(Has(s.unhearablePhrases, "COMMANDS.GEAR.FLAPS_AGAIN: \"flaps five\" is never heard"));
    EXPECT_FALSE(Has(s.unhearablePhrases, "LIGHTS_AGAIN"));
    EXPECT_FALSE(s.Clean());
    std::vector<std::string> text = DescribeSummary(s);
    EXPECT_TRUE(Has(text, "3 phrases no block can hear, 0 answers nothing hears, 0 sequences that can never "
                          "finish, 0 links the module never gets"));
}

TEST_F(ProfileCheckTest, ABlockThatTakesAnyPhraseHidesEveryPhraseAfterIt) {
    Load({"sys=EVENTS", "dev=ANYTHING", "out=HEARD,execute,,0", "logic:", "instring=any", "execute=0,Yes,0",
          "sys=COMMANDS", "dev=GEAR", "out=UP,execute,,0", "logic:", "instring=gear up", "execute=0,Up,0"});
    ProfileSummary s = SummariseSystems();
    ASSERT_EQ(s.unhearablePhrases.size(), 1u);
    EXPECT_TRUE(Has(s.unhearablePhrases,
                    "COMMANDS.GEAR.UP: \"gear up\" is never heard: EVENTS.ANYTHING.HEARD takes "
                    "every phrase first"));
}

TEST_F(ProfileCheckTest, AnswersShownThatNoBlockHearsAreListed) {
    Load({"sys=PROCEDURES", "devstack=START", "out=TRIGGER,execute,,0", "logic:", "instring=start",
          "execute=1,Fuel lever idle,0", "execute=12,idle,20", "execute=12,checked,20", "out=NEXT,execute,,0",
          "logic:", "instring=checked", "execute=0,Done,0"});
    ProfileSummary s = SummariseSystems();
    ASSERT_EQ(s.unheardAnswers.size(), 1u);
    EXPECT_TRUE(Has(s.unheardAnswers,
                    "PROCEDURES.START.TRIGGER: the answer \"idle\" is shown as expected, but no "
                    "block hears it"));
}

TEST_F(ProfileCheckTest, SequencesWithAnItemThatCanNeverBeDoneAreListed) {
    Load({"sys=CHECKLIST",
          // The second item has no logic: the checklist waits at it for ever.
          "devstack=NO LOGIC", "out=TRIGGER,execute,,0", "logic:", "instring=one", "execute=1,Doors?,0",
          "out=DOORS,execute,,0", "out=LAST,execute,,0", "logic:", "instring=on", "execute=0,Done,0",
          // Its item fires, but with nothing that makes it count as done.
          "devstack=NO STEP", "out=TRIGGER,execute,,0", "logic:", "instring=two", "execute=1,Doors?,0",
          "out=DOORS,execute,,0", "logic:", "instring=closed",
          // Fine: every item fires with a step, or has a calc.
          "devstack=FINE", "out=TRIGGER,execute,,0", "logic:", "instring=three", "execute=1,Doors?,0",
          "out=DOORS,execute,,0", "logic:", "instring=closed", "calc=[1]", "out=LAST,execute,,0",
          "logic:", "instring=on", "execute=0,Done,0"});
    ProfileSummary s = SummariseSystems();
    ASSERT_EQ(s.unfinishableSequences.size(), 2u);
    EXPECT_TRUE(Has(s.unfinishableSequences, "CHECKLIST.NO LOGIC can never finish: its item DOORS"));
    EXPECT_TRUE(Has(s.unfinishableSequences, "it has no logic"));
    EXPECT_TRUE(Has(s.unfinishableSequences, "CHECKLIST.NO STEP can never finish: its item DOORS"));
    EXPECT_TRUE(Has(s.unfinishableSequences, "its blocks have no step, calc or graph"));
    EXPECT_FALSE(Has(s.unfinishableSequences, "FINE"));
}

TEST_F(ProfileCheckTest, LinksTheModuleNeverGetsAreListed) {
    Load({"sys=AIRCRAFT", "dev=LINKS",
          // Taken: an A: read link and an L: write link, both "new".
          "out=GOOD,double,,0,,,A:AIRSPEED INDICATED,new,L:TVO_GOOD,new,,0",
          // A mode the module does not take, and a write link to a key event.
          "out=MODE,double,,0,,,A:INDICATED ALTITUDE,New,,,,0", "out=KEY,double,,0,,,,,K:GEAR_UP,new,,0"});
    ProfileSummary s = SummariseSystems();
    ASSERT_EQ(s.linksNeverSent.size(), 2u) << DescribeSummary(s).back();
    EXPECT_TRUE(
        Has(s.linksNeverSent, "AIRCRAFT.LINKS.MODE: the read link \"A:INDICATED ALTITUDE\" never reaches"));
    EXPECT_TRUE(Has(s.linksNeverSent, "AIRCRAFT.LINKS.KEY: the write link \"K:GEAR_UP\" never reaches"));
}
TEST_F(ProfileCheckTest, BlocksThatMayActOnValuesTheyDidNotHearAreListed) {
    Load({"sys=COMMANDS", "dev=MCP",
          // Right: the phrase first, limits with AND.
          "out=HEADING,int,,0", "logic:", "instring=set heading {digits 3}", "[{1}]<=360",
          "execute=0,Heading <&{1}> set,0", "calc=[{1}]",
          // "||" after the phrase: holds on the last value heard whenever it is above 340.
          "out=SPEED,int,,0", "logic:", "instring=set speed {number}", "[{1}]<100", "||", "[{1}]>340",
          "execute=0,Unable,0",
          // Reads a value in its code without hearing any phrase with slots.
          "out=SQUAWK,int,,0", "logic:", "[COMMANDS.MCP.HEADING]>0", "execute=8,[{1}] (>K:XPNDR_SET),0"});
    ProfileSummary s = SummariseSystems();
    ASSERT_EQ(s.valuesNotHeard.size(), 2u) << DescribeSummary(s).back();
    EXPECT_TRUE(Has(s.valuesNotHeard, "COMMANDS.MCP.SPEED: the block of \"set speed {number}\" has \"||\""));
    EXPECT_TRUE(Has(s.valuesNotHeard,
                    "COMMANDS.MCP.SQUAWK: a block reads values of a phrase with slots, but its "
                    "first condition is not such a phrase"));
    EXPECT_FALSE(s.Clean());
}

TEST_F(ProfileCheckTest, EachFindingNamesItsFileAndLine) {
    WriteAcf("systems/_systems.txt", "main\n");
    WriteAcf("systems/main.txt", "sys=COMMANDS\n"
                                 "dev=GEAR\n"
                                 "out=UP,execute,,0\n"
                                 "logic:\n"
                                 "instring=Gear Up\n"
                                 "execute=0,Gear up,0\n"
                                 "execute=12,gear is up,10\n"
                                 "\n"
                                 "out=KEY,double,,0,,,,,K:GEAR_UP,new,,0\n"
                                 "sys=CHECKLIST\n"
                                 "devstack=DOORS\n"
                                 "out=TRIGGER,execute,,0\n"
                                 "logic:\n"
                                 "instring=doors\n"
                                 "execute=1,Doors?,0\n"
                                 "out=CLOSED,execute,,0\n");
    CreateSystemsFromFile();
    ProfileSummary s = SummariseSystems();
    EXPECT_TRUE(Has(s.unhearablePhrases, "COMMANDS.GEAR.UP (main.txt line 5): \"Gear Up\""));
    EXPECT_TRUE(Has(s.unheardAnswers, "COMMANDS.GEAR.UP (main.txt line 7): the answer \"gear is up\""));
    EXPECT_TRUE(Has(s.linksNeverSent, "COMMANDS.GEAR.KEY (main.txt line 9): the write link \"K:GEAR_UP\""))
        << "line numbers count the empty line before it";
    EXPECT_TRUE(
        Has(s.unfinishableSequences, "CHECKLIST.DOORS can never finish: its item CLOSED (main.txt line 16)"));
}
} // namespace
