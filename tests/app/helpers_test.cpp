// File and text helpers: the cases where a slip would corrupt what readers of data files see.
#include "base/helpers.h"
#include "base/log.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

namespace {
TEST(Md5, MatchesTheReferenceVectors) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    TempFolder folder;
    for (const auto& [text, digest] : vectors) {
        EXPECT_EQ(Md5OfBytes(text), digest) << text;
        EXPECT_EQ(Md5OfFile(folder.Write("f.bin", text)), digest) << text;
    }
    // Padding edges: 56 and 64 bytes straddle the length field.
    EXPECT_EQ(Md5OfBytes(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(Md5OfBytes(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
    // A file larger than one read of the file digest agrees with the digest of its bytes.
    std::string large;
    for (int i = 0; i < 200003; ++i) large.push_back(static_cast<char>(i * 7 % 251));
    EXPECT_EQ(Md5OfFile(folder.Write("large.bin", large)), Md5OfBytes(large));
    EXPECT_EQ(Md5OfBytes(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(Files, ReadersAgreeOnLineEndsEmptyLinesAndMissingFiles) {
    ResetLog();
    TempFolder folder;
    std::string path = folder.Write("a.txt", "a\r\n\r\nb\r\nc");
    EXPECT_EQ(ReadLines(path), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(ReadFileToString(path), "a\n\nb\nc");
    EXPECT_EQ(ReadLines(folder.path + "/missing.txt"), std::vector<std::string>{});
    EXPECT_EQ(Log().log.text, "") << "ReadLines says nothing about a missing file";
    EXPECT_EQ(ReadFileToString(folder.path + "/missing.txt"), "");
    EXPECT_EQ(Log().log.text, "ReadFileToString() can not open file: " + folder.path + "/missing.txt\n");
    ResetLog();
}

TEST(Files, WritersUseCrLfAndReplacingNeverLeavesHalfAFile) {
    TempFolder folder;
    std::string lines = folder.path + "/lines.txt";
    WriteLines(lines, {"x", "", "y"});
    EXPECT_EQ(ReadBytes(lines), "x\r\n\r\ny\r\n");
    std::string text = folder.path + "/text.txt";
    EXPECT_TRUE(WriteString(text, "p\nq"));
    EXPECT_EQ(ReadBytes(text), "p\r\nq");
    EXPECT_TRUE(WriteStringReplacing(text, "new\n"));
    EXPECT_EQ(ReadBytes(text), "new\r\n");
    EXPECT_FALSE(FileExists(text + ".new"));
    EXPECT_FALSE(WriteStringReplacing(folder.path + "/no/such/folder.txt", "x"));
    EXPECT_TRUE(FileExists(text));
    EXPECT_FALSE(FileExists(folder.path + "/nothing"));
}

TEST(Files, CopyLogsBothPathsAndThePlatformErrorOnFailure) {
    ResetLog();
    TempFolder folder;
    Log().log.path = folder.path + "/log.txt";
    std::string source = folder.Write("s.bin", std::string("\0\x1a\r\n", 4));
    std::string target = folder.Write("t.bin", "old and longer");
    EXPECT_TRUE(CopyFileLogged(source, target));
    EXPECT_EQ(ReadBytes(target), std::string("\0\x1a\r\n", 4));
    EXPECT_FALSE(CopyFileLogged(folder.path + "/missing", target));
    std::string log = Log().log.text;
    EXPECT_NE(log.find("copy fr " + source + "\ncopy to " + target + "\n"), std::string::npos);
    size_t error = log.find("Copy file error=");
    ASSERT_NE(error, std::string::npos);
    int number = 0;
    EXPECT_TRUE(ReadLeadingInt(log.substr(error + 16), number));
    EXPECT_GT(number, 0) << "the platform's own error number (2: file not found on both platforms)";
    ResetLog();
}

TEST(Folders, ListingsFilterByDotsAndByText) {
    TempFolder folder;
    folder.Make("sub/x");
    folder.Make("old.set/x");
    folder.Write("readme.txt", "");
    folder.Write("notes", "");
    EXPECT_EQ(ListFolders(folder.path),
              (std::vector<std::string>{folder.path + "/notes", folder.path + "/sub"}))
        << "no file-type test: an entry without a dot counts";
    EXPECT_EQ(ListEntriesContaining(folder.path, "e"),
              (std::vector<std::string>{"notes", "old.set", "readme.txt"}));
    EXPECT_EQ(ListFolders(folder.path + "/missing"), std::vector<std::string>{});
}

TEST(Text, ReplacingSplittingAndNumbers) {
    EXPECT_EQ(ReplaceAll("aa", "a", "aa"), "aaaa");
    EXPECT_EQ(ReplaceAll("abc", "", "q"), "abc");
    EXPECT_EQ(ReplaceFirst("a-b-c", "-", "+"), "a+b-c");
    EXPECT_EQ(CollapseSpaces("     "), " ");
    EXPECT_EQ(CollapseSpaces(" a  b   c "), " a b c ");
    EXPECT_EQ(StripLineBreaks("a\r\nb\n"), "ab");

    const std::pair<std::string, std::vector<std::string>> splits[] = {
        {"a,,b", {"a", "", "b"}}, {",a", {"", "a"}}, {"a,", {"a", ""}}, {"", {""}}, {"a,b\r\n", {"a", "b"}}};
    for (const auto& [text, pieces] : splits) EXPECT_EQ(SplitAt(text, ','), pieces) << text;

    for (const char* yes : {"1", "-2.5", "1.2.3", "--", "."}) EXPECT_TRUE(IsNumber(yes)) << yes;
    for (const char* no : {"", "1e3", " 1", "+1", "abc"}) EXPECT_FALSE(IsNumber(no)) << no;
    EXPECT_EQ(ToString(-2147483647 - 1), "-2147483648");

    int value = 7;
    EXPECT_TRUE(ReadLeadingInt("12.7", value));
    EXPECT_EQ(value, 12);
    EXPECT_TRUE(ReadLeadingInt("-5x", value));
    EXPECT_EQ(value, -5);
    EXPECT_TRUE(ReadLeadingInt("99999999999999999999", value));
    EXPECT_EQ(value, 2147483647);
    value = 7;
    for (const char* none : {"", "-", "-.", "..", "x1"}) {
        EXPECT_FALSE(ReadLeadingInt(none, value)) << none;
        EXPECT_EQ(value, 7);
    }
    EXPECT_EQ(Widen("A\xe9"), (std::u16string{u'A', char16_t(0xe9)}));
    EXPECT_EQ(Narrow(u"Cockpit"), "Cockpit");
}
} // namespace
