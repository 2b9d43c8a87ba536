// The systems files loader: the file set and the rolling key of enciphered files, the line grammar, out
// line fields, the save file and what it rejects.
#include "tests/systems/systems_fixture.h"

namespace {
std::string Names(const std::vector<System>& systems) {
    std::string out;
    for (const System& s : systems) {
        out += "[" + s.name + "]";
        for (const Device& d : s.Devices) {
            out += d.isStack ? "{*" + d.name + "}" : "{" + d.name + "}";
            for (const OutParameter& p : d.outParameters) out += "(" + p.name + ")";
        }
    }
    return out;
}

using LoaderTest = SystemsTest;

TEST_F(LoaderTest, CipherRoundTripsEveryByteWithTheSpelledOutDigitRules) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    std::string hex = EncipherSystemsText(all, kInitialSystemsKey);
    bool ok = false;
    EXPECT_EQ(DecipherSystemsText(hex, kInitialSystemsKey, &ok), all);
    EXPECT_TRUE(ok);
    // Lower-case low digits read as their upper-case values; the key position wraps after 10 bytes.
    std::string lower = hex;
    for (size_t i = 1; i < lower.size(); i += 2) lower[i] = static_cast<char>(std::tolower(lower[i]));
    EXPECT_EQ(DecipherSystemsText(lower, kInitialSystemsKey), all);
    // 'p' is 112: the pair "70" with key 'p' gives byte 0; "71" gives 1.
    EXPECT_EQ(DecipherSystemsText("7071", "pp"), std::string("\0\1", 2));
    // Odd length and characters other than letters and digits are not enciphered text.
    DecipherSystemsText("707", kInitialSystemsKey, &ok);
    EXPECT_FALSE(ok);
    DecipherSystemsText("70\n\n", kInitialSystemsKey, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(NextSystemsKey("0123456789ABCDEF"), "0123456789");
    EXPECT_EQ(NextSystemsKey("012345678"), kInitialSystemsKey);
    // CR LF and LF after deciphering give the same lines; empty lines are dropped.
    EXPECT_EQ(SplitDecipheredLines("sys=A\r\n\r\ndev=B\r\nout=C\r\n"),
              (std::vector<std::string>{"sys=A", "dev=B", "out=C"}));
    EXPECT_EQ(SplitDecipheredLines("sys=A\n\ndev=B\nout=C"),
              (std::vector<std::string>{"sys=A", "dev=B", "out=C"}));
    EXPECT_EQ(SplitDecipheredLines("a\rb\n"), (std::vector<std::string>{"ab"}));
}

TEST_F(LoaderTest, KeyOfTheSecondEncipheredFileIsTheFirstFilesLeadingText) {
    std::string first =
        EncipherSystemsText("sys=ELEC\r\ndev=BATTERY\r\nout=VOLTS,double,,24\r\n", kInitialSystemsKey);
    std::string second =
        EncipherSystemsText("sys=FUEL\ndev=PUMPS\nout=LEFT_AFT,int,,1\n", first.substr(0, 10));
    WriteAcf("systems/_systems.txt", "elec\r\nfuel\r\n");
    WriteAcf("systems/elec.sys", first);
    WriteAcf("systems/fuel.sys", second);
    CreateSystemsFromFile();
    EXPECT_EQ(Names(Systems().systems_vector), "[ELEC]{BATTERY}(VOLTS)[FUEL]{PUMPS}(LEFT_AFT)");
    EXPECT_EQ(Param("ELEC.BATTERY.VOLTS").value, 24);
    EXPECT_TRUE(Systems().problems.empty());
}

TEST_F(LoaderTest, ShortEncipheredFileReturnsTheKeyToTheInitialKey) {
    std::string shortFile = EncipherSystemsText("#\n", kInitialSystemsKey); // 4 characters
    WriteAcf("systems/_systems.txt", "a\nb\n");
    WriteAcf("systems/a.sys", shortFile);
    WriteAcf("systems/b.sys", EncipherSystemsText("sys=HYD\ndev=A\n", kInitialSystemsKey));
    CreateSystemsFromFile();
    EXPECT_EQ(Names(Systems().systems_vector), "[HYD]{A}");
}

TEST_F(LoaderTest, PlainFileIsPreferredAndLeavesTheKeyAlone) {
    WriteAcf("systems/_systems.txt", "a\nb\nmissing\n");
    WriteAcf("systems/a.txt", "sys=PLAIN\n");
    WriteAcf("systems/a.sys", EncipherSystemsText("sys=CIPHERED\n", kInitialSystemsKey));
    // Enciphered with the initial key: readable only if a.txt did not change the key.
    WriteAcf("systems/b.sys", EncipherSystemsText("sys=SECOND\n", kInitialSystemsKey));
    CreateSystemsFromFile();
    EXPECT_EQ(Names(Systems().systems_vector), "[PLAIN][SECOND]");
}

TEST_F(LoaderTest, RejectedEncipheredFileIsLoggedAndStillSetsTheNextKey) {
    std::string first = EncipherSystemsText("sys=LOST\n", kInitialSystemsKey);
    WriteAcf("systems/_systems.txt", "a\nb\n");
    WriteAcf("systems/a.sys", first + "\n"); // an editor's line end makes the length odd
    WriteAcf("systems/b.sys", EncipherSystemsText("sys=KEPT\n", first.substr(0, 10)));
    CreateSystemsFromFile();
    EXPECT_EQ(Names(Systems().systems_vector), "[KEPT]");
    ASSERT_EQ(Systems().problems.size(), 1u);
    EXPECT_NE(Systems().problems[0].find("a.sys"), std::string::npos);
    EXPECT_NE(ReadBytes(logPath).find("Systems file rejected"), std::string::npos);
}

TEST_F(LoaderTest, NoIndexFileLeavesTheModelEmptyAndLogsTheHeader) {
    CreateSystemsFromFile();
    EXPECT_TRUE(Systems().systems_vector.empty());
    EXPECT_EQ(ReadBytes(logPath), "CreateSystemsFromFile()\r\n" + std::string(79, '-') + "\r\n");
}

TEST_F(LoaderTest, LineGrammarKeepsBlanksAndIgnoresLinesOutsideSystemsAndDevices) {
    Load({"out=EARLY,int,,1", "dev=ORPHAN", "devstack=ORPHAN2", "  sys=FUEL", "out=BEFORE_DEVICE,int,,1",
          "calc=5", "dev=PUMPS ", "logic: before any parameter", "out=LEFT,int,,1", "logic:", "calc=2",
          "xdevstack=START devstack=", "out=ITEM,int,,0", "sys=ELEC", "out=NO_DEVICE,int,,1"});
    EXPECT_EQ(Names(Systems().systems_vector), "[  FUEL]{PUMPS }(LEFT){*xSTART }(ITEM)[ELEC]");
    EXPECT_EQ(Param("  FUEL.PUMPS .LEFT").logicLines, (std::vector<std::string>{"logic:", "calc=2"}));
    EXPECT_TRUE(Param("  FUEL.xSTART .ITEM").logicLines.empty());
}

TEST_F(LoaderTest, DuplicateNamesAreKeptButResolveToTheFirst) {
    Load({"sys=S", "dev=D", "out=P,int,,1", "out=P,int,,2", "dev=D", "out=Q,int,,3", "sys=S", "dev=D",
          "out=P,int,,4"});
    const auto& systems = Systems().systems_vector;
    ASSERT_EQ(systems.size(), 2u);
    EXPECT_EQ(systems[0].Devices.size(), 2u);
    EXPECT_EQ(systems[0].Devices[0].outParameters.size(), 2u);
    EXPECT_EQ(Param("S.D.P").value, 1);
    EXPECT_FALSE(ResolveParamRef("S.D.Q").kind == kRefParameter) << "Q is in the second D, which has no name";
}

TEST_F(LoaderTest, OutLineFieldsByPosition) {
    Load({"sys=ELEC", "dev=BATTERY", "out=VOLTS,double,,0,0,30,A:BUS VOLTS,new,,,,0",
          "out=SWITCH,int,free text,2.7,,,L:bat_sw,exist,L:bat_sw_set,new", "out=FLAG,bool,,5",
          "out=EIGHT,integer,,-3,,,A:X,new", "out=VERSION,execute,,12", "out=EMPTY,double,,", "out=SHORT"});
    OutParameter& volts = Param("ELEC.BATTERY.VOLTS");
    EXPECT_EQ(volts.type, kTypeDouble);
    EXPECT_TRUE(volts.hasMin && volts.hasMax);
    EXPECT_EQ(volts.max, 30);
    EXPECT_EQ(volts.inDrf.spec, "A:BUS VOLTS");
    EXPECT_EQ(volts.inDrf.varType, kDrfVarA);
    EXPECT_EQ(volts.outDrf.varType, kDrfVarNone);
    OutParameter& sw = Param("ELEC.BATTERY.SWITCH");
    EXPECT_EQ(sw.type, kTypeInteger);
    EXPECT_EQ(sw.intValue, 2);
    EXPECT_EQ(sw.value, 2.7) << "the floating value is field 4 as written";
    EXPECT_FALSE(sw.hasMin || sw.hasMax);
    EXPECT_EQ(sw.outDrf.drfNameWithIndex, "L:bat_sw_set");
    OutParameter& flag = Param("ELEC.BATTERY.FLAG");
    EXPECT_EQ(flag.type, kTypeInteger);
    EXPECT_EQ(flag.value, 0);
    EXPECT_EQ(flag.intValue, 0);
    OutParameter& eight = Param("ELEC.BATTERY.EIGHT");
    EXPECT_EQ(eight.value, -3);
    EXPECT_TRUE(eight.outDrf.spec.empty());
    EXPECT_EQ(Param("ELEC.BATTERY.VERSION").value, 12);
    EXPECT_EQ(Param("ELEC.BATTERY.EMPTY").value, 0) << "an empty initial value is 0";
    EXPECT_EQ(Param("ELEC.BATTERY.SHORT").value, 0);
    EXPECT_TRUE(Systems().problems.empty());
}

TEST_F(LoaderTest, OutLineWithAValueThatIsNoNumberIsRejectedWithItsLogicLines) {
    Load({"sys=S", "dev=D", "out=GOOD,int,,1", "logic:", "calc=3", "out=BAD,int,,one", "logic:", "calc=4",
          "out=LIMIT,double,,1,low", "out=NEXT,int,,2", "logic:", "calc=5"});
    EXPECT_EQ(Names(Systems().systems_vector), "[S]{D}(GOOD)(NEXT)");
    EXPECT_EQ(Param("S.D.GOOD").logicLines.size(), 2u);
    EXPECT_EQ(Param("S.D.NEXT").logicLines, (std::vector<std::string>{"logic:", "calc=5"}));
    ASSERT_EQ(Systems().problems.size(), 2u);
    EXPECT_EQ(Systems().problems[0],
              "Systems line rejected in S.D: initial value \"one\" is not a number; the "
              "parameter and its logic lines are left out: out=BAD,int,,one");
    EXPECT_NE(Systems().problems[1].find("minimum \"low\""), std::string::npos);
}

TEST_F(LoaderTest, SaveFileSubstringMatchLastLineWins) {
    Load({"sys=ELEC", "dev=BAT", "out=SWITC,int,,0,,,,,,,,1", "out=KNOB,double,,0.5,,,,,,,,1",
          "out=UNSAVED,int,,0,,,,,,,,0", "out=ODD,int,,7,,,,,,,,1"},
         {"ELEC.BAT.SWITCH=1", "ELEC.BAT.KNOB=0.25", "ELEC.BAT.KNOB 3", "x ELEC.BAT.KNOB=0.75=9",
          "ELEC.BAT.UNSAVED=5", "ELEC.BAT.ODD=--", "ELEC.BAT.ODD=abc"});
    EXPECT_EQ(Param("ELEC.BAT.SWITC").value, 1);
    EXPECT_EQ(Param("ELEC.BAT.KNOB").value, 0.75);
    EXPECT_EQ(Param("ELEC.BAT.UNSAVED").value, 0);
    EXPECT_EQ(Param("ELEC.BAT.ODD").value, 7) << "save values that are not numbers are ignored";
    EXPECT_TRUE(Systems().problems.empty());
}

TEST_F(LoaderTest, DrfListLinesByteForByte) {
    WriteAcf("systems/_systems.txt", "a\n");
    WriteAcf("systems/a.txt", "sys=FIRST\ndev=D\nout=FOO,int,,0,,,A:FOO,exist\n"
                              "sys=SECOND\ndev=D\nout=P0,int,,0\nout=P1,int,,0\n"
                              "out=BOTH,int,,0,,,L:switch_101,new,L:switch_101_set,exist\n"
                              "out=EVENT,int,,0,,,K:GEAR_UP,new,K:GEAR_DOWN,new\n"
                              "out=TIMER,int,,0,,,T:TIMER,new,T:NO,new\n"
                              "out=CAPS,int,,0,,,A:X,New,A:Y,exist \n"
                              "out=NOPREFIX,int,,0,,,SPEED,new,a:speed,new\n"
                              "out=AIRSPEED,double,,0,,,A:AIRSPEED INDICATED,new,A:AUTOPILOT ALTITUDE,new\n");
    CreateSystemsFromFile();
    EXPECT_EQ(ReadBytes(drfPath), "A:FOO,e,0,0,0,g,\r\n"
                                  "L:switch_101,n,1,0,2,g,\r\n"
                                  "L:switch_101_set,e,1,0,2,s,\r\n"
                                  "K:GEAR_UP,n,1,0,3,g,\r\n"
                                  "T:TIMER,n,1,0,4,g,\r\n"
                                  "A:AIRSPEED INDICATED,n,1,0,7,g,\r\n"
                                  "A:AUTOPILOT ALTITUDE,n,1,0,7,s,\r\n");
    // Links that produce no line still carry their spec and class.
    EXPECT_EQ(Param("SECOND.D.EVENT").outDrf.varType, kDrfVarK);
    EXPECT_EQ(Param("SECOND.D.CAPS").inDrf.spec, "A:X");
    EXPECT_EQ(Param("SECOND.D.NOPREFIX").outDrf.varType, kDrfVarNone);
}
} // namespace
