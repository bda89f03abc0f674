// vekhost's failures as a user meets them: each cause in its own words with
// what to try, its own exit code, the library's code and the panel's reason
// apart in JSON; a save that fails, a port another program holds, a signal
// on a dead line.
#include "support/QuickPanel.h"
#include "tools/ToolProcess.h"

#include "panelsim/Simulator.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace vektest {
namespace {

std::vector<std::string> CallArgs(std::vector<std::string> more)
{
    std::vector<std::string> args{"call", "--port", "1", "--phone", "5551234"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(ToolVekhostFailuresE2ETest, EachCauseHasItsWordsItsHintAndItsExitCode)
{
    struct Case {
        const char* name;
        void (*setUp)(panelsim::Options&);
        int exitCode;
        const char* words;
        const char* hint;
        int libraryCode;
        int panelReason; // -1: none
    };
    const Case cases[] = {
        {"reason 1",
         [](panelsim::Options& o) {
             o.panel.refusals.push_back({1, -1, false, 0, 0xFFFF});
         },
         91, "the panel refused the request (panel reason 1), a reason the library does not act on",
         "see the panel's documentation", 27, 1},
        {"line drop", [](panelsim::Options& o) { o.faults.dropAfterReplies = 1; }, 12,
         "the line dropped: the modem said NO CARRIER", "the connection dropped; call again", 27, -1},
        {"no answer",
         [](panelsim::Options& o) { o.modem.numbers["5551234"].outcome = panelsim::DialOutcome::NoAnswer; }, 17,
         "the modem answered the dial with NO ANSWER: nobody picked up", "is the number right", 28, -1},
        {"busy", [](panelsim::Options& o) { o.modem.numbers["5551234"].outcome = panelsim::DialOutcome::Busy; }, 11,
         "the modem answered the dial with BUSY [library: busy (11)]", "the line is busy; try again later", 11, -1},
    };
    for (const Case& c : cases) {
        panelsim::Options options = QuickPanel();
        c.setUp(options);
        panelsim::Simulator sim(options);
        ASSERT_TRUE(sim.Start()) << sim.Error();
        const ToolRun run =
            RunTool(ToolPath("vekhost"), CallArgs({"--json", "--read", "0x10:4"}), {"VEK_COM1=" + sim.SlavePath()});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << "\n" << run.err;
        EXPECT_NE(run.err.find(c.words), std::string::npos) << c.name << "\n" << run.err;
        // The cause and what to try, both.
        EXPECT_NE(run.err.find(c.hint), std::string::npos) << c.name << "\n" << run.err;
        const nlohmann::json doc = nlohmann::json::parse(run.out);
        EXPECT_EQ(doc["outcome"]["exit"], c.exitCode) << c.name;
        EXPECT_EQ(doc["outcome"]["library_code"], c.libraryCode) << c.name;
        if (c.panelReason < 0) {
            EXPECT_TRUE(doc["outcome"]["panel_reason"].is_null()) << c.name;
        } else {
            EXPECT_EQ(doc["outcome"]["panel_reason"], c.panelReason) << c.name;
        }
        // The line is put back on hook whatever ended the call.
        EXPECT_NE(run.err.find("  9  modem ready"), std::string::npos) << c.name << "\n" << run.err;
    }
}

TEST(ToolVekhostFailuresE2ETest, ASaveThatFailsOnFlushIsAFailureThatSaysWhy)
{
    panelsim::Simulator sim(QuickPanel());
    ASSERT_TRUE(sim.Start()) << sim.Error();
    // --panel-version is the panel's version; --version stays the program's.
    const ToolRun run =
        RunTool(ToolPath("vekhost"), CallArgs({"--panel-version", "2", "--read", "0x0100:64=/dev/full"}),
                {"VEK_COM1=" + sim.SlavePath()});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("cannot write /dev/full: No space left on device"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("saved 64 bytes"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Hanging up"), std::string::npos) << run.out; // the call itself was fine
}

TEST(ToolVekhostFailuresE2ETest, ALongReadIsOneRequestPerLinkModesLargest)
{
    panelsim::Simulator sim(QuickPanel());
    ASSERT_TRUE(sim.Start()) << sim.Error();
    const ToolRun run =
        RunTool(ToolPath("vekhost"), CallArgs({"--json", "--read", "0x0000:2048"}), {"VEK_COM1=" + sim.SlavePath()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json doc = nlohmann::json::parse(run.out);
    int reads = 0;
    for (const auto& note : doc["notifications"])
        reads += note["code"] == 6 ? 1 : 0;
    EXPECT_EQ(reads, 2); // link mode 2: 1024 bytes a request
    EXPECT_EQ(doc["transfers"]["bytes_read"], 2048);
}

TEST(ToolVekhostFailuresE2ETest, APortInAnotherProgramsLockFileIsNotOpened)
{
    panelsim::Simulator sim(QuickPanel());
    ASSERT_TRUE(sim.Start()) << sim.Error();
    char folder[] = "/tmp/vekhost-lock-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string device = sim.SlavePath(); // /dev/pts/N
    const std::string file = std::string(folder) + "/LCK..pts_" + device.substr(9);
    std::FILE* lock = std::fopen(file.c_str(), "w");
    ASSERT_NE(lock, nullptr);
    std::fprintf(lock, "%10ld\n", static_cast<long>(::getpid())); // alive: this test
    std::fclose(lock);
    const ToolRun run = RunTool(ToolPath("vekhost"), CallArgs({"--device", device, "--read", "0:4"}),
                                {"VEK_LOCK_DIR=" + std::string(folder)});
    EXPECT_EQ(run.exitCode, 20) << run.out << run.err;
    EXPECT_NE(run.err.find("cannot be opened: locked by process " + std::to_string(::getpid())), std::string::npos)
        << run.err;
    EXPECT_TRUE(sim.Observe().modemCommands.empty()); // nothing reached the line
    const ToolRun ports =
        RunTool(ToolPath("vekhost"), {"ports"}, {"VEK_COM3=" + device, "VEK_LOCK_DIR=" + std::string(folder)});
    EXPECT_NE(ports.out.find("locked by process " + std::to_string(::getpid())), std::string::npos) << ports.out;
    // One rule for which device is used, said the same in both commands.
    EXPECT_NE(ports.out.find("--device given to call or answer wins over it"), std::string::npos) << ports.out;
    std::remove(file.c_str());
    ::rmdir(folder);
}

TEST(ToolVekhostFailuresE2ETest, ASignalOnADeadLineEndsSoonWithASummaryAndAJsonDocument)
{
    panelsim::Options options = QuickPanel();
    options.modem.numbers["5551234"].outcome = panelsim::DialOutcome::Silence;
    panelsim::Simulator sim(options);
    ASSERT_TRUE(sim.Start()) << sim.Error();
    const auto start = std::chrono::steady_clock::now();
    const ToolRun run = RunTool(ToolPath("vekhost"), CallArgs({"--json", "--read", "0:4"}),
                                {"VEK_COM1=" + sim.SlavePath()}, {SIGTERM, 1000});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.exitCode, 143) << run.err;
    // Bounded: the hang-up after a signal gets 15 s at most.
    EXPECT_LT(took, std::chrono::seconds(40));
    const nlohmann::json doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["outcome"]["exit"], 143);
    EXPECT_NE(run.err.find("interrupted while waiting for"), std::string::npos) << run.err;
    EXPECT_EQ(Count(run.err, "Summary"), 1u) << run.err;
}

} // namespace
} // namespace vektest
