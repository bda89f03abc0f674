// What every tool does alike: --version, --help on stdout with 0, usage
// errors exit 2 and say what was wrong.
#include "tools/ToolProcess.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace vektest {
namespace {

TEST(ToolConventionsE2ETest, VersionAndHelp)
{
    for (const char* tool : {"vekhost", "panelsim", "vekmdm"}) {
        const ToolRun version = RunTool(ToolPath(tool), {"--version"});
        EXPECT_EQ(version.exitCode, 0) << tool;
        EXPECT_EQ(version.out.rfind(std::string(tool) + " 2.", 0), 0u) << tool << ": " << version.out;
        const ToolRun help = RunTool(ToolPath(tool), {"--help"});
        EXPECT_EQ(help.exitCode, 0) << tool;
        EXPECT_FALSE(help.out.empty()) << tool;
    }
}

TEST(ToolConventionsE2ETest, UsageErrorsExitTwoAndSayWhy)
{
    const std::string image = ::testing::TempDir() + "panelsim-short-image.bin";
    std::FILE* file = std::fopen(image.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("abc", file);
    std::fclose(file);
    struct Case {
        const char* tool;
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {"vekhost", {"call", "--port", "two"}, "--port: \"two\" is not a number"},
        {"vekhost", {"call", "--port", "0", "--phone", "1"}, "--port: 0 is out of range (1 to 255)"},
        {"vekhost", {"--timeout", "soon", "demo"}, "--timeout: \"soon\" is not a number"},
        {"vekhost", {"frobnicate"}, "frobnicate"},
        {"panelsim", {"--mode", "9"}, "--mode: 9 is out of range (1 to 5)"},
        {"panelsim", {"--dial-delay", "abc"}, "--dial-delay: \"abc\" is not a number"},
        {"panelsim", {"--corrupt", "1.5"}, "--corrupt: 1.5 is out of range (0 to 1)"},
        {"panelsim", {"--miss", "-0.1"}, "--miss: -0.1 is out of range (0 to 1)"},
        {"panelsim", {"--refuse-next", "x:7"}, "\"x\" is not a number"},
        {"panelsim", {"--memory", image}, "holds 3 bytes; a memory image is exactly 65536"},
        {"panelsim", {"--bogus"}, "--bogus"},
        {"vekmdm", {"set"}, "set takes FILE INDEX FIELD VALUE"},
    };
    for (const Case& c : cases) {
        const ToolRun run = RunTool(ToolPath(c.tool), c.args);
        EXPECT_EQ(run.exitCode, 2) << c.tool << " " << c.message << "\n" << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.tool << ": " << run.err;
    }
    std::remove(image.c_str());
}

} // namespace
} // namespace vektest
