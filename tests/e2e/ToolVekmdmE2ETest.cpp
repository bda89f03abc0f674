// vekmdm as a user runs it: values the library cannot use are refused,
// read and write errors name the file and the system's reason, each kind of
// mistake has its own exit code, and the file it makes serves a call.
#include "tools/ToolProcess.h"

#include "panelsim/Simulator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vektest {
namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class ToolVekmdmE2ETest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_file = ::testing::TempDir() + "vekmdm-e2e-" + std::to_string(::getpid()) + ".mdm";
        std::remove(m_file.c_str());
        ASSERT_EQ(Run({"new", m_file}).exitCode, 0);
    }
    void TearDown() override { std::remove(m_file.c_str()); }
    ToolRun Run(const std::vector<std::string>& args) { return RunTool(ToolPath("vekmdm"), args); }
    std::string Show() { return Run({"show", m_file}).out; }

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
        {{"0", "m_nComPort", "7"}, 0, ""},
        {{"0", "BaudRate", "-9600"}, 2, "BaudRate -9600 is not a speed the port takes"},
        {{"0", "BaudRate", "12345"}, 2, "BaudRate 12345 is not a speed the port takes"},
        {{"0", "BaudRate", "14400"}, 0, ""},
        {{"0", "LineBaudRate", "0"}, 2, "LineBaudRate 0 is not a speed the port takes"},
        {{"0", "Reset", "ATZATZATZ"}, 2, "Reset is at most 7 characters, not 9"},
        {{"0", "Init", std::string(70, 'A')}, 2, "Init is at most 69 characters, not 70"},
        {{"0", "Name", std::string(200, 'n')}, 0, ""},
        {{"0", "ComPort", "two"}, 2, "\"two\" is not a number"},
        {{"0", "Colour", "red"}, 2, "no field \"Colour\""},
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

TEST_F(ToolVekmdmE2ETest, AnIndexThatNamesNoDefinitionHasItsOwnExitCode)
{
    ASSERT_EQ(Run({"add", m_file}).exitCode, 0); // definitions 0 and 1
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{"set", m_file, "2", "ComPort", "3"}, 3, "has no definition 2 (0 to 1)"},
        {{"set", m_file, "1", "ComPort", "3"}, 0, ""},
        {{"set", m_file, "outgoing", "5"}, 3, "outgoing 5 names no definition (0 to 1, or -1)"},
        {{"set", m_file, "outgoing", "1"}, 0, ""},
        {{"remove", m_file, "2"}, 3, "has no definition 2 (0 to 1)"},
        {{"set", m_file, "x", "ComPort", "3"}, 2, "\"x\" is not a definition index"},
        {{"remove", m_file, "-1"}, 2, "\"-1\" is not a definition index"},
    };
    for (const Case& c : cases) {
        const ToolRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[1] << " " << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_NE(Show().find("outgoing: 1\n"), std::string::npos);
}

TEST_F(ToolVekmdmE2ETest, UsageMistakesSayWhatWasWrongNotTheWholeUsage)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{}, "no command given"},
        {{"frobnicate"}, "no command \"frobnicate\""},
        {{"show"}, "show takes FILE"},
        {{"show", m_file, "extra"}, "show takes FILE"},
        {{"set"}, "set takes FILE INDEX FIELD VALUE, or FILE outgoing|incoming INDEX"},
        {{"set", m_file, "outgoing"}, "set takes FILE INDEX FIELD VALUE"},
        {{"set", m_file, "0", "ComPort"}, "set takes FILE INDEX FIELD VALUE"},
        {{"remove", m_file}, "remove takes FILE INDEX"},
        {{"new"}, "new takes [--force] FILE"},
        {{"new", "--forse", m_file}, "new has no option --forse"},
        {{"fields", "ComPort"}, "fields takes no arguments"},
    };
    for (const Case& c : cases) {
        const ToolRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, 2) << c.message;
        EXPECT_NE(run.err.find(std::string("vekmdm: ") + c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("Commands:"), std::string::npos) << "the whole usage: " << run.err;
        EXPECT_EQ(run.out, "") << c.message;
    }
}

TEST_F(ToolVekmdmE2ETest, NewReplacesOnlyWhatHoldsNothingUnlessForced)
{
    const std::string database = ReadAll(m_file);
    ASSERT_FALSE(database.empty());
    const std::string other = m_file + ".other";
    struct Case {
        const char* name;
        std::string contents; // before; empty: no file
        bool create;
        std::vector<std::string> options;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {"a database", database, true, {}, 4, "holds 1 definition; vekmdm new --force replaces it"},
        {"a database, forced", database, true, {"--force"}, 0, ""},
        {"something else", "notes\n", true, {}, 4, "is not a modem database"},
        {"something else, forced", "notes\n", true, {"--force"}, 0, ""},
        {"an empty file", "", true, {}, 0, ""},
        {"no file", "", false, {}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(other.c_str());
        if (c.create)
            WriteAll(other, c.contents);
        std::vector<std::string> args{"new"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(other);
        const ToolRun run = Run(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        // Refused: the file is as it was. Written: it is the built-in definition.
        EXPECT_EQ(ReadAll(other), c.exitCode == 0 ? database : c.contents);
    }
    std::remove(other.c_str());
}

TEST_F(ToolVekmdmE2ETest, RemovingADefinitionMovesTheIndicesThatFollowIt)
{
    ASSERT_EQ(Run({"add", m_file}).exitCode, 0);
    ASSERT_EQ(Run({"add", m_file}).exitCode, 0);
    ASSERT_EQ(Run({"set", m_file, "1", "Name", "second"}).exitCode, 0);
    ASSERT_EQ(Run({"set", m_file, "2", "Name", "third"}).exitCode, 0);
    ASSERT_EQ(Run({"set", m_file, "outgoing", "2"}).exitCode, 0);
    ASSERT_EQ(Run({"set", m_file, "incoming", "1"}).exitCode, 0);

    const ToolRun removed = Run({"remove", m_file, "1"});
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_EQ(removed.out, "removed definition 1\noutgoing 2 is now 1\nincoming was 1: now -1 (none)\n");
    const std::string shown = Show();
    EXPECT_NE(shown.find("definitions: 2\noutgoing: 1\nincoming: -1 (none)\n"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("\"second\""), std::string::npos) << shown;
    EXPECT_NE(shown.find("[1]\n  Name                \"third\""), std::string::npos) << shown;

    // Down to none: the indices that named something name nothing.
    EXPECT_EQ(Run({"remove", m_file, "1"}).exitCode, 0);
    EXPECT_EQ(Run({"remove", m_file, "0"}).exitCode, 0);
    EXPECT_NE(Show().find("definitions: 0\noutgoing: -1 (none)\nincoming: -1 (none)\n"), std::string::npos);
    const ToolRun none = Run({"remove", m_file, "0"});
    EXPECT_EQ(none.exitCode, 3);
    EXPECT_NE(none.err.find("has no definition 0 (the file has none)"), std::string::npos) << none.err;
}

TEST_F(ToolVekmdmE2ETest, FieldsShowAndSetUseTheSameNames)
{
    const ToolRun fields = Run({"fields"});
    ASSERT_EQ(fields.exitCode, 0);
    EXPECT_NE(fields.out.find("ComPort (number)\n"), std::string::npos) << fields.out;
    EXPECT_NE(fields.out.find("Init (text)\n"), std::string::npos) << fields.out;
    const std::string shown = Show();
    std::istringstream lines(fields.out);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const std::string name = line.substr(0, line.find(' '));
        EXPECT_NE(name.rfind("m_", 0), 0u) << "a member name: " << name;
        EXPECT_NE(shown.find("\n  " + name + " "), std::string::npos) << name << " is not what show prints";
        // What fields lists, set takes.
        const bool text = line.find("(text)") != std::string::npos;
        const std::string value = text ? "AT" : (name.find("BaudRate") != std::string::npos ? "9600" : "1");
        EXPECT_EQ(Run({"set", m_file, "0", name, value}).exitCode, 0) << name;
    }
    EXPECT_EQ(count, 32);
}

TEST_F(ToolVekmdmE2ETest, ReadAndWriteErrorsNameTheFileAndTheReason)
{
    const std::string damaged = m_file + ".damaged";
    WriteAll(damaged, "\x01");
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
        {{"remove", damaged, "0"}, 1, "not a modem database"},
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
    for (const char* part : {"show FILE", "remove FILE INDEX", "new [--force] FILE",
                             "Exit codes:", "    3  an index that names no definition"})
        EXPECT_NE(help.out.find(part), std::string::npos) << part;
    EXPECT_EQ(help.err, "");
    const ToolRun version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("vekmdm ", 0), 0u) << version.out;
}

// The file `vekmdm new` writes, taken as it is by vekhost, serves a whole
// call to a panelsim with its defaults.
TEST_F(ToolVekmdmE2ETest, TheNewDefinitionCallsADefaultPanelsim)
{
    const std::string folder = ::testing::TempDir() + "vekmdm-e2e-folder-" + std::to_string(::getpid());
    ::mkdir(folder.c_str(), 0700);
    const std::string database = folder + "/Trv3.mdm";
    const ToolRun made = Run({"new", database});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_NE(made.out.find("COM1 at 110 bit/s, extended modem"), std::string::npos) << made.out;

    panelsim::Simulator simulator{panelsim::Options{}};
    ASSERT_TRUE(simulator.Start()) << simulator.Error();
    simulator.WriteMemory(0x0100, std::vector<uint8_t>{0x5A, 0xA5, 0x01, 0x02});
    const ToolRun call =
        RunTool(ToolPath("vekhost"), {"call", "--data-folder", folder, "--device", simulator.SlavePath(), "--phone",
                                      "5551234", "--read", "0x0100:4"});
    EXPECT_EQ(call.exitCode, 0) << call.out << call.err;
    EXPECT_NE(call.out.find("0100  5A A5 01 02"), std::string::npos) << call.out;
    simulator.Stop();
    std::remove(database.c_str());
    ::rmdir(folder.c_str());
}

} // namespace
} // namespace vektest
