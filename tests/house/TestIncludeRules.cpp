// Who may include whom (src/README.md): every `#include "…"` of the program,
// the command line, the simulator and the tools is checked against the table,
// and the folders' include graph must have no cycle. The core knows no window:
// no dialog or control name (IDD_…, IDC_…) and no template lookup in it but
// where the template texts are kept (core/base/UiText).
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The folder an include or a file belongs to: "core/base", "ui/toolkit",
// "cli", "sim", "tools"; empty for anything else.
std::string AreaOf(const std::string& path) {
    const auto slash = path.find('/');
    if (slash == std::string::npos) return {};
    const std::string top = path.substr(0, slash);
    if (top == "core" || top == "ui") {
        const auto second = path.find('/', slash + 1);
        return second == std::string::npos ? std::string{} : path.substr(0, second);
    }
    return top;
}

bool Allowed(const std::string& from, const std::string& to) {
    if (from == to) return true;
    const bool toCore = to.rfind("core/", 0) == 0;
    if (from == "core/base") return false;
    if (from == "core/port") return to == "core/base";
    // Profiles map both families' settings: the one area that reads two others.
    if (from == "core/profile") return to == "core/base" || to == "core/label" || to == "core/receipt";
    if (from.rfind("core/", 0) == 0) return to == "core/base" || to == "core/port";
    if (from == "ui/toolkit") return toCore;
    if (from == "ui/app") return true; // the main window holds every page
    if (from.rfind("ui/", 0) == 0) {
        if (toCore || to == "ui/toolkit") return true;
        return from == "ui/port" && (to == "ui/network" || to == "ui/wireless");
    }
    if (from == "cli") return toCore;
    if (from == "tools") return true;
    return false; // sim: nothing of the program
}

struct Finding {
    std::string where; // file:line
    std::string what;
};

bool IdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Whether `line` holds `word` where an identifier begins.
bool HasIdentifierStart(const std::string& line, const std::string& word) {
    for (std::size_t at = line.find(word); at != std::string::npos; at = line.find(word, at + 1))
        if (at == 0 || !IdentifierChar(line[at - 1])) return true;
    return false;
}

// What in a core file's line belongs to the windows: a dialog's or a
// control's name, or a lookup in the dialog templates.
std::string WindowKnowledge(const std::string& file, const std::string& line) {
    if (HasIdentifierStart(line, "IDC_") || HasIdentifierStart(line, "IDD_")) return "the core names a dialog control";
    if (file.rfind("src/core/base/UiText.", 0) == 0) return {};
    for (const char* lookup : {"TemplateText(", "TemplateItems(", "TemplateColumns(", "TemplateKeys("})
        if (HasIdentifierStart(line, lookup)) return "the core looks up a dialog template";
    return {};
}

std::vector<fs::path> SourcesUnder(const fs::path& dir) {
    std::vector<fs::path> files;
    if (!fs::exists(dir)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const auto ext = entry.path().extension();
        if (entry.is_regular_file() && (ext == ".h" || ext == ".cpp")) files.push_back(entry.path());
    }
    return files;
}

// What an `#include` line names, with its opening bracket ('"' or '<');
// empty for any other line. (No std::regex: the sanitizer build's warnings
// reject its headers.)
std::pair<char, std::string> IncludeOf(const std::string& line) {
    std::size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != '#') return {};
    i = line.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos || line.compare(i, 7, "include") != 0) return {};
    i = line.find_first_not_of(" \t", i + 7);
    if (i == std::string::npos || (line[i] != '"' && line[i] != '<')) return {};
    const std::size_t end = line.find(line[i] == '"' ? '"' : '>', i + 1);
    if (end == std::string::npos) return {};
    return {line[i], line.substr(i + 1, end - i - 1)};
}

// Checks the tree at `root` (holding src/, cli/, sim/, tools/).
std::vector<Finding> CheckTree(const fs::path& root) {
    std::vector<Finding> findings;
    std::map<std::string, std::set<std::string>> graph;
    for (const char* top : {"src", "cli", "sim", "tools"}) {
        for (const auto& file : SourcesUnder(root / top)) {
            const std::string rel = fs::relative(file, root / "src").generic_string();
            std::string from = top == std::string("src") ? AreaOf(rel) : std::string(top);
            const std::string name = fs::relative(file, root).generic_string();
            if (from.empty()) {
                findings.push_back({name, "lies outside src/core and src/ui"});
                continue;
            }
            std::ifstream in(file);
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                const std::string where = name + ":" + std::to_string(number);
                if (from.rfind("core/", 0) == 0)
                    if (const std::string what = WindowKnowledge(name, line); !what.empty())
                        findings.push_back({where, what});
                const auto [bracket, target] = IncludeOf(line);
                const bool qt = bracket == '<' && target.size() > 1 && target[0] == 'Q' &&
                                std::isupper(static_cast<unsigned char>(target[1]));
                if (from.rfind("core/", 0) == 0 && qt) findings.push_back({where, "the core includes Qt"});
                if (bracket != '"') continue;
                if (!fs::exists(root / "src" / target)) continue; // the file's own folder, res/, or a support header
                const std::string to = AreaOf(target);
                if (to != from) graph[from].insert(to);
                if (!Allowed(from, to)) findings.push_back({where, from + " may not include " + target});
            }
        }
    }
    // A folder cycle, found by a depth-first walk of the folders' include graph.
    std::map<std::string, int> state; // 1 on the path, 2 done
    std::vector<std::string> path;
    std::function<void(const std::string&)> visit = [&](const std::string& node) {
        state[node] = 1;
        path.push_back(node);
        for (const auto& next : graph[node]) {
            if (state[next] == 1) {
                std::string cycle;
                for (auto it = std::find(path.begin(), path.end(), next); it != path.end(); ++it)
                    cycle += *it + " -> ";
                findings.push_back({"folders", "cycle " + cycle + next});
            } else if (state[next] == 0) {
                visit(next);
            }
        }
        path.pop_back();
        state[node] = 2;
    };
    for (const auto& [node, edges] : graph)
        if (state[node] == 0) visit(node);
    return findings;
}

std::string Describe(const std::vector<Finding>& findings) {
    std::string text;
    for (const auto& f : findings)
        text += f.where + ": " + f.what + "\n";
    return text;
}

TEST(IncludeRules, TheProjectKeepsEveryRule) {
    const auto findings = CheckTree(PEMBERLUX_SOURCE_DIR);
    EXPECT_TRUE(findings.empty()) << Describe(findings);
}

// A small tree with one planted include each: the checker must name it.
TEST(IncludeRules, PlantedBreachesAreNamedWithFileAndLine) {
    struct Case {
        std::string file, include, expect;
    };
    const std::vector<Case> cases = {
        {"src/core/base/A.h", "core/port/P.h", "src/core/base/A.h:2: core/base may not include core/port/P.h"},
        {"src/core/port/P.h", "core/label/L.h", "core/port may not include"},
        {"src/core/receipt/R.h", "core/label/L.h", "core/receipt may not include"},
        {"src/core/profile/F.h", "core/port/P.h", "core/profile may not include"},
        {"src/core/label/L.h", "core/profile/F.h", "core/label may not include"},
        {"src/core/label/L.h", "ui/toolkit/W.h", "core/label may not include"},
        {"src/ui/toolkit/W.h", "ui/label/Page.h", "ui/toolkit may not include"},
        {"src/ui/label/Page.h", "ui/network/Dlg.h", "ui/label may not include"},
        {"src/ui/network/Dlg.h", "ui/label/Page.h", "ui/network may not include"},
        {"cli/Cli.cpp", "ui/toolkit/W.h", "cli may not include"},
        {"sim/Sim.cpp", "core/base/A.h", "sim may not include"},
        {"src/Stray.h", "core/base/A.h", "src/Stray.h: lies outside"},
    };
    for (const auto& c : cases) {
        pemberlux::test::TempDir dir;
        for (const char* f :
             {"src/core/base/A.h", "src/core/port/P.h", "src/core/label/L.h", "src/core/receipt/R.h",
              "src/core/profile/F.h", "src/ui/toolkit/W.h", "src/ui/label/Page.h", "src/ui/network/Dlg.h"}) {
            fs::create_directories((dir.Path() / f).parent_path());
            std::ofstream(dir.Path() / f) << "#pragma once\n";
        }
        fs::create_directories((dir.Path() / c.file).parent_path());
        std::ofstream(dir.Path() / c.file) << "#pragma once\n#include \"" << c.include << "\"\n";
        const std::string text = Describe(CheckTree(dir.Path()));
        EXPECT_NE(text.find(c.expect), std::string::npos) << c.file << " -> " << c.include << "\n" << text;
    }
}

TEST(IncludeRules, QtAndWindowKnowledgeInTheCoreAndFolderCyclesAreFound) {
    pemberlux::test::TempDir dir;
    const std::map<std::string, std::string> files = {
        {"src/core/base/A.h", "#include <QString>\n"},
        {"src/core/label/L.h", "#pragma once\nconstexpr int x = IDC_PAGE_MODE;\n"},
        {"src/core/receipt/R.cpp", "// IDD_SETUP\n"},
        {"src/core/profile/F.cpp", "\nauto items = TemplateItems(112, 1102, 1033);\n"},
        {"src/core/base/UiText.cpp", "std::string TemplateText(int dialogId, const std::string& control) {}\n"},
        {"src/core/port/P.h", "int MY_IDC_COUNT = OwnTemplateText();\n"},
        {"src/ui/label/Page.h", "constexpr int IDC_PAGE_MODE = 1068;\n"},
        {"src/ui/port/Page.h", "#include \"ui/network/Dlg.h\"\n"},
        {"src/ui/network/Dlg.h", "#include \"ui/port/Page.h\"\n"},
    };
    for (const auto& [name, text] : files) {
        fs::create_directories((dir.Path() / name).parent_path());
        std::ofstream(dir.Path() / name) << text;
    }
    const std::string text = Describe(CheckTree(dir.Path()));
    EXPECT_NE(text.find("src/core/base/A.h:1: the core includes Qt"), std::string::npos) << text;
    EXPECT_NE(text.find("src/core/label/L.h:2: the core names a dialog control"), std::string::npos) << text;
    EXPECT_NE(text.find("src/core/receipt/R.cpp:1: the core names a dialog control"), std::string::npos) << text;
    EXPECT_NE(text.find("src/core/profile/F.cpp:2: the core looks up a dialog template"), std::string::npos) << text;
    // The texts' own home, a name that only contains the words, and the windows pass.
    for (const char* clean : {"src/core/base/UiText.cpp", "src/core/port/P.h", "src/ui/label/Page.h"})
        EXPECT_EQ(text.find(clean), std::string::npos) << text;
    EXPECT_NE(text.find("cycle ui/network -> ui/port -> ui/network"), std::string::npos) << text;
}

} // namespace
