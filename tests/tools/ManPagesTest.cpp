// The tools' manual pages as built: each section once, no path of the build
// in them, every option the program takes in the page, and no option in
// the page that the program does not take.
#include "tools/ToolProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

namespace vektest {
namespace {

std::filesystem::path BuildTop() { return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path(); }

std::string ReadPage(const std::string& tool)
{
    std::ifstream in(BuildTop() / "tools" / tool / (tool + ".1"));
    return {std::istreambuf_iterator<char>(in), {}};
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::set<std::string> LongOptions(const std::string& text)
{
    static const std::regex option("--[a-z][a-z0-9-]*[a-z0-9]");
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        found.insert(it->str());
    return found;
}

// The names under "Subcommands:" in a help text.
std::vector<std::string> Subcommands(const std::string& help)
{
    std::vector<std::string> names;
    std::istringstream lines(help.substr(std::min(help.find("\nSubcommands:\n"), help.size())));
    std::string line;
    std::getline(lines, line); // the empty part before the heading
    std::getline(lines, line); // the heading
    while (std::getline(lines, line) && line.rfind("  ", 0) == 0)
        names.push_back(line.substr(2, line.find(' ', 2) - 2));
    return names;
}

TEST(ManPagesTest, EachPageHasItsSectionsOnceAndEveryOptionOfItsProgram)
{
    const std::string top = BuildTop().string();
    for (const std::string tool : {"vekhost", "panelsim", "vekmdm"}) {
        SCOPED_TRACE(tool);
        const std::string page = ReadPage(tool);
        ASSERT_FALSE(page.empty()) << "no page beside the program";
        size_t last = 0;
        for (const char* section :
             {".SH NAME\n", ".SH SYNOPSIS\n", ".SH OPTIONS\n", ".SH EXIT STATUS\n", ".SH EXAMPLES\n"}) {
            EXPECT_EQ(Count(page, section), 1u) << section;
            const size_t at = page.find(section);
            EXPECT_GT(at, last) << section << " out of order";
            last = at == std::string::npos ? last : at;
        }
        EXPECT_EQ(page.find(top), std::string::npos) << "a path of the build";
        EXPECT_EQ(page.find("Usage:"), std::string::npos);
        EXPECT_EQ(Count(page, ".TH "), 1u);

        // Every option of the program and its subcommands is in the page,
        // and every option the page names is one of them.
        const ToolRun help = RunTool(ToolPath(tool), {"--help"});
        ASSERT_EQ(help.exitCode, 0);
        std::string helps = help.out;
        for (const std::string& sub : Subcommands(help.out)) {
            const ToolRun more = RunTool(ToolPath(tool), {sub, "--help"});
            EXPECT_EQ(more.exitCode, 0) << sub;
            EXPECT_EQ(Count(page, ".SS " + sub + "\n"), 1u) << sub;
            helps += more.out;
        }
        // Lines that run another tool (an example of the pair) name its options.
        std::string text;
        std::istringstream lines(std::regex_replace(page, std::regex(R"(\\-)"), "-"));
        const std::regex otherTool("(^|[ =/])(vekhost|panelsim|vekmdm) ");
        for (std::string line; std::getline(lines, line);) {
            std::smatch match;
            if (!std::regex_search(line, match, otherTool) || match[2] == tool)
                text += line + "\n";
        }
        const std::set<std::string> taken = LongOptions(helps);
        const std::set<std::string> named = LongOptions(text);
        for (const std::string& option : taken)
            EXPECT_TRUE(named.count(option)) << option << " is missing from the page";
        for (const std::string& option : named)
            EXPECT_TRUE(taken.count(option)) << option << " is in the page but not taken by " << tool;
    }
}

TEST(ManPagesTest, TheExitCodeTableIsInThePageOnce)
{
    struct Case {
        const char* tool;
        const char* entry; // the roff of one exit status
    };
    const Case cases[] = {
        {"vekhost", ".TP\n\\fB124\\fR\ntimed out waiting\n"},
        {"panelsim", ".TP\n\\fB2\\fR\nusage error\n"},
        {"vekmdm", ".TP\n\\fB3\\fR\nan index that names no definition\n"},
    };
    for (const Case& c : cases) {
        const std::string page = ReadPage(c.tool);
        EXPECT_EQ(Count(page, c.entry), 1u) << c.tool << "\n" << page;
        EXPECT_GT(page.find(c.entry), page.find(".SH EXIT STATUS\n")) << c.tool;
    }
}

TEST(ManPagesTest, PagesRenderWithoutWarnings)
{
    if (!std::filesystem::exists("/usr/bin/groff"))
        GTEST_SKIP() << "groff is not installed";
    for (const std::string tool : {"vekhost", "panelsim", "vekmdm"}) {
        const std::string page = (BuildTop() / "tools" / tool / (tool + ".1")).string();
        const ToolRun run = RunTool("/usr/bin/groff", {"-man", "-ww", "-z", "-Tutf8", page});
        EXPECT_EQ(run.exitCode, 0) << tool;
        EXPECT_EQ(run.err, "") << tool;
    }
}

} // namespace
} // namespace vektest
