// vekmdm as a user runs it: values the library cannot use are refused,
// read and write errors name the file and the system's reason.
#include "tools/ToolProcess.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace vektest {
namespace {

class ToolVekmdmE2ETest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_file = ::testing::TempDir() + "vekmdm-e2e-" + std::to_string(::getpid()) + ".mdm";
        ASSERT_EQ(Run({"new", m_file}).exitCode, 0);
    }
    void TearDown() override { std::remove(m_file.c_str()); }
    ToolRun Run(const std::vector<std::string>& args) { return RunTool(ToolPath("vekmdm"), args); }

    std::string m_file;
};

TEST_F(ToolVekmdmE2ETest, ValuesTheLibraryCannotUseAreRefused)
{
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{"0", "ComPort", "0"}, 2, "ComPort 0 is not 1 to 255"},
        {{"0", "ComPort", "256"}, 2, "ComPort 256 is not 1 to 255"},
        {{"0", "ComPort", "255"}, 0, ""},
        {{"0", "BaudRate", "-9600"}, 2, "BaudRate -9600 is not a speed the port takes"},
        {{"0", "BaudRate", "12345"}, 2, "BaudRate 12345 is not a speed the port takes"},
        {{"0", "BaudRate", "14400"}, 0, ""},
        {{"0", "LineBaudRate", "0"}, 2, "LineBaudRate 0 is not a speed the port takes"},
        {{"0", "Reset", "ATZATZATZ"}, 2, "m_strReset is at most 7 characters, not 9"},
        {{"0", "Init", std::string(70, 'A')}, 2, "m_strInit is at most 69 characters, not 70"},
        {{"0", "Name", std::string(200, 'n')}, 0, ""},
        {{"0", "ComPort", "two"}, 2, "\"two\" is not a number"},
        {{"outgoing", "3"}, 2, "outgoing 3 names no definition (0 to 0, or -1)"},
        {{"incoming", "-1"}, 0, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"set", m_file};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolRun run = Run(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[1] << " " << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

TEST_F(ToolVekmdmE2ETest, ReadAndWriteErrorsNameTheFileAndTheReason)
{
    const std::string damaged = m_file + ".damaged";
    std::FILE* out = std::fopen(damaged.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("\x01", out);
    std::fclose(out);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {{"show", "/nonexistent/Trv3.mdm"}, 1, "vekmdm: /nonexistent/Trv3.mdm: No such file or directory"},
        {{"show", "/tmp"}, 1, "vekmdm: /tmp: is a directory"},
        {{"show", damaged},
         1,
         "vekmdm: The Archive File Has Been Damaged Please Reinstall (" + damaged + "): not a modem database"},
        {{"new", "/nonexistent/Trv3.mdm"},
         1,
         "vekmdm: /nonexistent/Trv3.mdm.tmp: cannot write: No such file or directory"},
    };
    for (const Case& c : cases) {
        const ToolRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    std::remove(damaged.c_str());
}

TEST_F(ToolVekmdmE2ETest, HelpAndVersionGoToStandardOutput)
{
    const ToolRun help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("vekmdm show FILE"), std::string::npos);
    EXPECT_EQ(help.err, "");
    const ToolRun version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("vekmdm ", 0), 0u) << version.out;
    const ToolRun wrong = Run({"frobnicate"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_NE(wrong.err.find("usage:"), std::string::npos);
}

} // namespace
} // namespace vektest
