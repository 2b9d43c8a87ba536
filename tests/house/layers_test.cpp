// The program's folders are layers: a file includes only its own folder and the folders below it, and no
// two of the program's modules (a header with its source) include each other, directly or through others.
// Read from the source tree as it stands, so a new include that breaks either rule fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;

// Bottom up, as the README's Folders table lists them.
const std::vector<std::string> kLayers = {"platform", "base", "poses",  "systems", "simlink",
                                          "speech",   "flow", "widget", "setup",   "app"};

int LayerOf(const std::string& path) {
    std::string top = path.substr(0, path.find('/'));
    auto it = std::find(kLayers.begin(), kLayers.end(), top);
    return it == kLayers.end() ? -1 : static_cast<int>(it - kLayers.begin());
}

// A module: the path without its extension (a header and its source are one).
std::string ModuleOf(const std::string& path) {
    return path.substr(0, path.rfind('.'));
}

struct Tree {
    std::map<std::string, std::vector<std::string>> includes; // program file -> its quoted includes
};

// The quoted includes of every header and source in the layer folders, paths relative to the root.
Tree ReadTree(const fs::path& root) {
    Tree tree;
    for (const std::string& layer : kLayers) {
        std::error_code ec;
        for (fs::recursive_directory_iterator it(root / layer, ec), end; !ec && it != end; it.increment(ec)) {
            const fs::path& p = it->path();
            if (p.extension() != ".h" && p.extension() != ".cpp") continue;
            std::string relative = fs::relative(p, root).generic_string();
            std::ifstream in(p);
            std::vector<std::string>& list = tree.includes[relative];
            std::string line;
            while (std::getline(in, line)) {
                const std::string directive = "#include \"";
                if (line.rfind(directive, 0) != 0) continue;
                size_t end = line.find('"', directive.size());
                if (end != std::string::npos)
                    list.push_back(line.substr(directive.size(), end - directive.size()));
            }
        }
    }
    return tree;
}

// The includes that break the layering: up into a higher folder, or out of the program into the tests or
// the tools. Each as "file -> include".
std::vector<std::string> UpwardIncludes(const Tree& tree) {
    std::vector<std::string> found;
    for (const auto& [file, list] : tree.includes) {
        for (const std::string& include : list) {
            int to = LayerOf(include);
            if (to < 0 || to > LayerOf(file)) found.push_back(file + " -> " + include);
        }
    }
    return found;
}

// The modules of every circle of includes (a strongly connected set of more than one module).
std::vector<std::vector<std::string>> Circles(const Tree& tree) {
    std::map<std::string, std::set<std::string>> edges;
    for (const auto& [file, list] : tree.includes) {
        edges[ModuleOf(file)];
        for (const std::string& include : list)
            if (tree.includes.count(include) && ModuleOf(include) != ModuleOf(file))
                edges[ModuleOf(file)].insert(ModuleOf(include));
    }
    // Tarjan's strongly connected components.
    std::map<std::string, int> index, low;
    std::set<std::string> onStack;
    std::vector<std::string> stack;
    std::vector<std::vector<std::string>> circles;
    int counter = 0;
    std::function<void(const std::string&)> visit = [&](const std::string& v) {
        index[v] = low[v] = counter++;
        stack.push_back(v);
        onStack.insert(v);
        for (const std::string& w : edges[v]) {
            if (!index.count(w)) {
                visit(w);
                low[v] = std::min(low[v], low[w]);
            } else if (onStack.count(w)) {
                low[v] = std::min(low[v], index[w]);
            }
        }
        if (low[v] != index[v]) return;
        std::vector<std::string> component;
        std::string w;
        do {
            w = stack.back();
            stack.pop_back();
            onStack.erase(w);
            component.push_back(w);
        } while (w != v);
        if (component.size() > 1) circles.push_back(component);
    };
    for (const auto& [module, targets] : edges)
        if (!index.count(module)) visit(module);
    return circles;
}

std::string Lines(const std::vector<std::string>& items) {
    std::ostringstream out;
    for (const std::string& item : items) out << "\n  " << item;
    return out.str();
}

TEST(HouseTest, FilesIncludeOnlyTheirOwnLayerAndTheLayersBelow) {
    Tree tree = ReadTree(TALVERO_SOURCE_DIR);
    ASSERT_GT(tree.includes.size(), 150u)
        << "the program's sources were not found under " << TALVERO_SOURCE_DIR;
    std::vector<std::string> upward = UpwardIncludes(tree);
    EXPECT_TRUE(upward.empty()) << "includes up into a higher layer or out of the program:" << Lines(upward);
}

TEST(HouseTest, NoModulesIncludeEachOther) {
    Tree tree = ReadTree(TALVERO_SOURCE_DIR);
    ASSERT_GT(tree.includes.size(), 150u);
    std::vector<std::string> found;
    for (const std::vector<std::string>& circle : Circles(tree)) {
        std::string text;
        for (const std::string& module : circle) text += (text.empty() ? "" : " <-> ") + module;
        found.push_back(text);
    }
    EXPECT_TRUE(found.empty()) << "circles of includes:" << Lines(found);
}

// The checks themselves, on a tree made up for them: they must see what they are there to see.
TEST(HouseTest, TheChecksSeeAnUpwardIncludeAndACircle) {
    Tree tree;
    tree.includes["base/log.cpp"] = {"base/log.h", "app/frame.h"};
    tree.includes["base/log.h"] = {};
    tree.includes["app/frame.h"] = {};
    tree.includes["systems/model.h"] = {"systems/numbers.h", "tests/fakes/test_support.h"};
    tree.includes["systems/numbers.cpp"] = {"systems/model.h"};
    tree.includes["systems/numbers.h"] = {};
    EXPECT_EQ(UpwardIncludes(tree),
              (std::vector<std::string>{"base/log.cpp -> app/frame.h",
                                        "systems/model.h -> tests/fakes/test_support.h"}));
    std::vector<std::vector<std::string>> circles = Circles(tree);
    ASSERT_EQ(circles.size(), 1u);
    std::set<std::string> circle(circles[0].begin(), circles[0].end());
    EXPECT_EQ(circle, (std::set<std::string>{"systems/model", "systems/numbers"}));
}
} // namespace
