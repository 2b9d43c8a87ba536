// The authors' sealing of systems folders: the key chain across sealed, kept and plain files, and the
// mistakes it refuses.
#include "base/helpers.h"
#include "systems/sealing.h"
#include "tests/systems/systems_fixture.h"

namespace {
using SealingTest = SystemsTest;

TEST_F(SealingTest, SealedFolderLoadsThroughTheKeyChain) {
    WriteAcf("systems/_systems.txt", "one\nplain\nkept\ntwo\n");
    folder.Write("src/one.txt", "sys=ONE\r\ndev=D\r\nout=A,int,,1\r\n");
    WriteAcf("systems/plain.txt", "sys=PLAIN\n");
    // A file sealed earlier with the key that follows one.sys: left as it is, but its key passes on.
    const std::string oneHex = EncipherSystemsText("sys=ONE\ndev=D\nout=A,int,,1\n", kInitialSystemsKey);
    const std::string keptHex = EncipherSystemsText("sys=KEPT\n", NextSystemsKey(oneHex));
    WriteAcf("systems/kept.sys", keptHex);
    folder.Write("src/two.txt", "sys=TWO\ndev=E\nout=B,int,,[ONE.D.A]\n");
    SealReport report = SealSystemsFiles(folder.path + "/acf/systems", folder.path + "/src", {"one", "two"});
    ASSERT_TRUE(report.ok) << report.lines.front();
    EXPECT_EQ(report.lines.size(), 2u);
    EXPECT_EQ(ReadBytes(folder.path + "/acf/systems/one.sys"), oneHex) << "CR LF sources seal like LF ones";
    CreateSystemsFromFile();
    std::string names;
    for (const System& s : Systems().systems_vector) names += s.name + " ";
    EXPECT_EQ(names, "ONE PLAIN KEPT TWO ");

    // Opening gives the plain texts back.
    SealReport opened = OpenSystemsFiles(folder.path + "/acf/systems", folder.path + "/open");
    EXPECT_TRUE(opened.ok);
    EXPECT_EQ(ReadFileToString(folder.path + "/open/kept.txt"), "sys=KEPT\n");
    EXPECT_EQ(ReadFileToString(folder.path + "/open/two.txt"), "sys=TWO\ndev=E\nout=B,int,,[ONE.D.A]\n");
    EXPECT_FALSE(FileExists(folder.path + "/open/plain.txt"));
}

TEST_F(SealingTest, RefusesWhatTheLoaderWouldMisread) {
    WriteAcf("systems/_systems.txt", "a\nb\n");
    WriteAcf("systems/a.txt", "sys=SHADOW\n");
    folder.Write("src/a.txt", "sys=A\n");
    folder.Write("src/b.txt", "sys=B$C\n");
    SealReport report = SealSystemsFiles(folder.path + "/acf/systems", folder.path + "/src", {"a", "b", "c"});
    EXPECT_FALSE(report.ok);
    std::string all;
    for (const std::string& line : report.lines) all += line + "\n";
    EXPECT_NE(all.find("c is not listed"), std::string::npos) << all;
    EXPECT_NE(all.find("a.txt would be read instead of a.sys"), std::string::npos) << all;
    EXPECT_NE(all.find("holds a \"$\""), std::string::npos) << all;
    EXPECT_FALSE(SealSystemsFiles(folder.path + "/nowhere", folder.path + "/src", {"a"}).ok);
}
} // namespace
