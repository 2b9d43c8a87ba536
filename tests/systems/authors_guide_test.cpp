// The authors' guide (docs/authors-guide.md) keeps its word: every example marked as a complete systems
// file loads, as the only systems file of an aircraft folder, with no line left out and no unresolved name.
#include "base/helpers.h"
#include "tests/systems/systems_fixture.h"

#include <sstream>

namespace {
const std::string kGuide = std::string(TALVERO_SOURCE_DIR) + "/docs/authors-guide.md";

// One fenced example of the guide: where it starts and its lines.
struct GuideExample {
    int line = 0; // the line of its opening fence, from 1
    std::vector<std::string> lines;
};

// The blocks fenced as ```profile (not ```profile-fragment, which are shown out of context).
std::vector<GuideExample> ProfileExamples(const std::string& markdown) {
    std::vector<GuideExample> examples;
    std::istringstream in(markdown);
    std::string line;
    int number = 0;
    bool inside = false;
    bool inOtherFence = false;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (inside) {
            if (line.rfind("```", 0) == 0)
                inside = false;
            else
                examples.back().lines.push_back(line);
        } else if (inOtherFence) {
            if (line.rfind("```", 0) == 0) inOtherFence = false;
        } else if (line == "```profile") {
            inside = true;
            examples.push_back({number, {}});
        } else if (line.rfind("```", 0) == 0) {
            inOtherFence = true;
        }
    }
    return examples;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

TEST_F(SystemsTest, EveryCompleteExampleOfTheAuthorsGuideLoadsWithNothingLeftOut) {
    bool read = false;
    const std::string markdown = ReadFileBytes(kGuide, &read);
    ASSERT_TRUE(read) << "cannot read " << kGuide;
    const std::vector<GuideExample> examples = ProfileExamples(markdown);
    // So that the test cannot pass on a guide that was emptied, moved or lost its markings.
    ASSERT_GE(examples.size(), 12u) << "the guide has too few ```profile examples";

    for (size_t n = 0; n < examples.size(); ++n) {
        const GuideExample& example = examples[n];
        const std::string first = example.lines.empty() ? std::string("(empty)") : example.lines.front();
        SCOPED_TRACE("example at line " + std::to_string(example.line) + " of the guide, beginning \"" +
                     first + "\"");
        // Each example is the only systems file of its own aircraft folder.
        const std::string acf = "acf" + std::to_string(n);
        folder.Write(acf + "/systems/_systems.txt", "example\n");
        folder.Write(acf + "/systems/example.txt", Joined(example.lines));
        Frame().AcfPath = folder.path + "/" + acf;
        ResetPhraseContext();
        CreateSystemsFromFile();

        EXPECT_FALSE(Systems().systems_vector.empty()) << "no system";
        for (const std::string& problem : Systems().problems) ADD_FAILURE() << "left out: " << problem;
        for (const std::string& name : Systems().unresolvedNames) ADD_FAILURE() << "unresolved: " << name;
    }
}
} // namespace
