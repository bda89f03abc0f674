// vekhost as a user runs it, against panelsim on a pseudo-terminal: what
// reaches the panel, what is printed and the exit status.
#include "support/QuickPanel.h"
#include "tools/ToolProcess.h"

#include "panelsim/Simulator.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace vektest {
namespace {

using Bytes = std::vector<uint8_t>;

struct Line {
    explicit Line(const panelsim::Options& options) : simulator(options) { started = simulator.Start(); }
    std::string ComVariable() const { return "VEK_COM1=" + simulator.SlavePath(); }
    panelsim::Simulator simulator;
    bool started = false;
};

std::vector<std::string> CallArgs(std::vector<std::string> more)
{
    std::vector<std::string> args{"call", "--port", "1", "--phone", "5551234"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

TEST(ToolVekhostE2ETest, LinkModeThreeWriteReachesThePanelAndReadsBack)
{
    panelsim::Options options = QuickPanel(3);
    options.panel.twoByteAddress = true;
    Line line(options);
    ASSERT_TRUE(line.started) << line.simulator.Error();

    const ToolRun run =
        RunTool(ToolPath("vekhost"), CallArgs({"--link-mode", "3", "--write", "0x0200:DEADBEEF", "--read", "0x0200:4"}),
                {line.ComVariable()});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(line.simulator.ReadMemory(0x0200, 4), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_NE(run.out.find("0200  DE AD BE EF"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("4 bytes read, 4 bytes written"), std::string::npos) << run.out;
}

TEST(ToolVekhostE2ETest, LinkModeThreeCommandsThatCarryNothingAreUsageErrors)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--link-mode", "3", "--write-cmd", "0x57", "--write", "0x0200:DEADBEEF"}, "--write-cmd 0x57"},
        {{"--link-mode", "3", "--read-cmd", "0x52", "--read", "0x10:4"}, "--read-cmd 0x52"},
        {{"--link-mode", "3", "--panel-options", "0x40", "--read", "0x0200:4"}, "two-byte address"},
        {{"--link-mode", "3", "--chunk", "256", "--read", "0x10:4"}, "--chunk 256"},
    };
    for (const Case& c : cases) {
        // Refused before any port is opened: no line needed.
        const ToolRun run = RunTool(ToolPath("vekhost"), CallArgs(c.args), {"VEK_COM1=/nonexistent"});
        EXPECT_EQ(run.exitCode, 2) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

TEST(ToolVekhostE2ETest, FailuresNameWhatThePanelSaidWithTheLibrarysCode)
{
    struct Case {
        const char* name;
        void (*setUp)(panelsim::Options&);
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {"wrong open code",
         [](panelsim::Options& o) {
             o.panel.openCode = {0x99, 0x99};
         },
         94, "open code refused (panel reason 4) [library: link lost (27)]"},
        {"wrong type",
         [](panelsim::Options& o) {
             o.panel.ident.type = 7;
             o.panel.ident.version = 3;
         },
         26, "panel reported type 7 version 3 (02 02 02 block), expected type 19 version 2 [library: wrong type (26)]"},
        {"busy", [](panelsim::Options& o) { o.modem.numbers["5551234"].outcome = panelsim::DialOutcome::Busy; }, 11,
         "the modem answered the dial with BUSY [library: busy (11)]"},
    };
    for (const Case& c : cases) {
        panelsim::Options options = QuickPanel(2);
        c.setUp(options);
        Line line(options);
        ASSERT_TRUE(line.started) << line.simulator.Error();
        const ToolRun run = RunTool(ToolPath("vekhost"), CallArgs({"--read", "0x10:4"}), {line.ComVariable()});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << "\n" << run.out << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << "\n" << run.err;
    }
}

TEST(ToolVekhostE2ETest, APortThatCannotBeOpenedSaysWhyAndShowsNoSpeed)
{
    struct Case {
        const char* device;
        const char* message;
    };
    const Case cases[] = {
        {"/nonexistent/ttyX", "COM1 (/nonexistent/ttyX) cannot be opened: No such file or directory"},
        {"/dev/null", "COM1 (/dev/null) cannot be opened: not a terminal device"},
        {"/tmp", "COM1 (/tmp) cannot be opened: a directory, not a serial device"},
    };
    for (const Case& c : cases) {
        // The command line wins over the environment, and says so.
        const ToolRun run =
            RunTool(ToolPath("vekhost"), CallArgs({"--device", c.device, "--read", "0x10:4"}), {"VEK_COM1=/dev/ttyS0"});
        EXPECT_EQ(run.exitCode, 20) << c.device << "\n" << run.out << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("wins over VEK_COM1=/dev/ttyS0"), std::string::npos) << run.err;
        EXPECT_NE(run.out.find("line        0 bytes sent"), std::string::npos) << run.out;
    }
}

TEST(ToolVekhostE2ETest, ReadsGoToStandardOutputAndFailuresKeepWhatWasRead)
{
    panelsim::Options options = QuickPanel(2);
    // The second 64-byte piece of the read below is refused.
    options.panel.refusals.push_back({7, -1, true, 0x0140, 0x01FF});
    Line line(options);
    ASSERT_TRUE(line.started) << line.simulator.Error();
    Bytes pattern(128);
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<uint8_t>(i * 3 + 1);
    line.simulator.WriteMemory(0x0100, pattern);

    const ToolRun whole = RunTool(ToolPath("vekhost"), CallArgs({"--read", "0x0100:16=-"}), {line.ComVariable()});
    EXPECT_EQ(whole.exitCode, 0) << whole.err;
    EXPECT_EQ(whole.out, std::string(pattern.begin(), pattern.begin() + 16));
    EXPECT_NE(whole.err.find("saved 16 bytes to standard output"), std::string::npos) << whole.err;

    const std::string file = ::testing::TempDir() + "vekhost-partial.bin";
    std::remove(file.c_str());
    const ToolRun part =
        RunTool(ToolPath("vekhost"), CallArgs({"--chunk", "64", "--read", "0x0100:128=" + file}), {line.ComVariable()});
    EXPECT_EQ(part.exitCode, 97) << part.out << part.err;
    EXPECT_NE(part.out.find("saved 64 of 128 bytes to " + file), std::string::npos) << part.out;
    std::FILE* saved = std::fopen(file.c_str(), "rb");
    ASSERT_NE(saved, nullptr);
    Bytes back(200);
    back.resize(std::fread(back.data(), 1, back.size(), saved));
    std::fclose(saved);
    EXPECT_EQ(back, Bytes(pattern.begin(), pattern.begin() + 64));
    std::remove(file.c_str());
}

TEST(ToolVekhostE2ETest, AReadFileThatCannotBeWrittenIsRefusedBeforeDialling)
{
    const ToolRun run = RunTool(ToolPath("vekhost"), CallArgs({"--read", "0:4=/nonexistent/folder/out.bin"}),
                                {"VEK_COM1=/nonexistent"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--read: cannot create /nonexistent/folder/out.bin: No such file or directory"),
              std::string::npos)
        << run.err;
}

TEST(ToolVekhostE2ETest, TheDataFoldersModemIsUsedUnlessAnOptionSaysOtherwise)
{
    const std::string folder = ::testing::TempDir() + "vekhost-e2e-data";
    const std::string file = folder + "/Trv3.mdm";
    ::mkdir(folder.c_str(), 0700);
    ASSERT_EQ(RunTool(ToolPath("vekmdm"), {"new", file}).exitCode, 0);
    ASSERT_EQ(RunTool(ToolPath("vekmdm"), {"set", file, "0", "ComPort", "4"}).exitCode, 0);
    ASSERT_EQ(RunTool(ToolPath("vekmdm"), {"set", file, "0", "BaudRate", "19200"}).exitCode, 0);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string shown;
    };
    const Case cases[] = {
        {{"--data-folder", folder}, 20, "vekhost call: COM4 (/nonexistent/ttyX) at 19200 bit/s"},
        {{"--data-folder", folder, "--speed", "2400"}, 20, "vekhost call: COM4 (/nonexistent/ttyX) at 2400 bit/s"},
        {{"--data-folder", folder + "/missing"}, 2, "--data-folder " + folder + "/missing: no such folder"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"call", "--device", "/nonexistent/ttyX", "--phone", "1", "--read", "0:4"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolRun run = RunTool(ToolPath("vekhost"), args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(c.shown), std::string::npos) << run.out << run.err;
    }
    std::remove(file.c_str());
    ::rmdir(folder.c_str());
}

TEST(ToolVekhostE2ETest, JsonSummaryAndQuietOutput)
{
    panelsim::Options options = QuickPanel(2);
    Line line(options);
    ASSERT_TRUE(line.started) << line.simulator.Error();

    const ToolRun run = RunTool(
        ToolPath("vekhost"), CallArgs({"--json", "-q", "--chunk", "16", "--read", "0x0100:256"}), {line.ComVariable()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["command"], "call");
    EXPECT_EQ(doc["outcome"]["exit"], 0);
    EXPECT_EQ(doc["identification"]["type"], 19);
    EXPECT_EQ(doc["identification"]["version"], 2);
    EXPECT_EQ(doc["transfers"]["bytes_read"], 256);
    EXPECT_EQ(doc["line"]["speed"], 9600);
    EXPECT_GT(doc["line"]["bytes_received"].get<int>(), 256);
    int reads = 0;
    for (const auto& note : doc["notifications"])
        reads += note["code"] == 6 ? 1 : 0;
    EXPECT_EQ(reads, 16);
    // Quiet: not one line per request of 16 bytes.
    EXPECT_EQ(run.err.find("read done"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("/256 bytes"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Reading 256 bytes at 0x0100"), std::string::npos) << run.err;

    const ToolRun loud =
        RunTool(ToolPath("vekhost"), CallArgs({"--chunk", "16", "--read", "0x0100:64"}), {line.ComVariable()});
    size_t lines = 0;
    for (size_t at = loud.out.find("read done"); at != std::string::npos; at = loud.out.find("read done", at + 1))
        ++lines;
    EXPECT_EQ(lines, 4u) << loud.out;
}

TEST(ToolVekhostE2ETest, APanelThatStopsAnsweringEndsAsLinkLostNotAsATimeOut)
{
    panelsim::Options options = QuickPanel(2);
    options.faults.missRate = 1.0; // identifies itself, then answers nothing
    Line line(options);
    ASSERT_TRUE(line.started) << line.simulator.Error();

    // The library resends for about 45 s before it calls the link lost;
    // the default wait lets it say so.
    const ToolRun run = RunTool(ToolPath("vekhost"), CallArgs({"--read", "0x10:4"}), {line.ComVariable()});
    EXPECT_EQ(run.exitCode, 27) << run.out << run.err;
    EXPECT_NE(run.err.find("the panel stopped answering: no answer after"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("[library: link lost (27)]"), std::string::npos) << run.err;

    // --timeout bounds every wait instead, and says that it did.
    const ToolRun bounded =
        RunTool(ToolPath("vekhost"), {"--timeout", "1", "call", "--port", "1", "--phone", "5551234", "--read", "0:4"},
                {line.ComVariable()});
    EXPECT_EQ(bounded.exitCode, 124) << bounded.out << bounded.err;
    EXPECT_NE(bounded.err.find("timed out after 1 s"), std::string::npos) << bounded.err;
    // The hang-up is waited for all the same: the line does not stay up.
    EXPECT_NE(bounded.out.find("  8  on hook"), std::string::npos) << bounded.out;
    EXPECT_NE(bounded.out.find("  9  modem ready"), std::string::npos) << bounded.out;
}

TEST(ToolVekhostE2ETest, SignalsEndTheRunWithTheirOwnExitCodes)
{
    panelsim::Options options = QuickPanel(2);
    // The modem never answers the dial: the run waits until it is stopped.
    options.modem.numbers["5551234"].outcome = panelsim::DialOutcome::Silence;
    Line line(options);
    ASSERT_TRUE(line.started) << line.simulator.Error();
    struct Case {
        int signal;
        int exitCode;
        const char* meaning;
    };
    const Case cases[] = {{SIGTERM, 143, "terminated (SIGTERM) (exit 143)"},
                          {SIGINT, 130, "interrupted (Ctrl-C) (exit 130)"}};
    for (const Case& c : cases) {
        const ToolRun run =
            RunTool(ToolPath("vekhost"), CallArgs({"--read", "0:4"}), {line.ComVariable()}, {c.signal, 1500});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
        EXPECT_NE(run.out.find(c.meaning), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("Ctrl-C again to leave now"), std::string::npos) << run.out;
    }
}

} // namespace
} // namespace vektest
