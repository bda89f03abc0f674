// How a host's process ends with the library in it: exit and unload without
// Uninit, idle and in mid-call, must end at once and cleanly; two threads
// starting the library at once get one library; a forced hang-up from
// another thread never hangs.
#include "host/CComm2App.h"
#include "support/LinkTestSupport.h"
#include "tools/ToolProcess.h"
#include "vek_comm2.h"

#include "panelsim/Simulator.h"

#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <memory>
#include <thread>

namespace vek::test {
namespace {

constexpr int kLimitMs = 10000; // a hang is killed here and fails the test

struct Leaving {
    const char* mode;
    bool call;
    int exitCode;
    const char* says;
};

class LifecycleHostTest : public ::testing::TestWithParam<Leaving> {};

TEST_P(LifecycleHostTest, HostLeavesWithoutUninitAndTheProcessEndsCleanly)
{
    const Leaving& leaving = GetParam();
    std::unique_ptr<panelsim::Simulator> sim;
    std::vector<std::string> args = {leaving.mode, VEK_SHARED_LIBRARY};
    if (leaving.call) {
        sim = std::make_unique<panelsim::Simulator>(panelsim::Options{});
        ASSERT_TRUE(sim->Start()) << sim->Error();
        args.push_back(sim->SlavePath());
    }
    const auto run = vektest::RunTool(VEK_LIFECYCLE_HOST, args, {}, {SIGKILL, kLimitMs});
    EXPECT_EQ(run.exitCode, leaving.exitCode) << "137 is a hang killed after 10 s, 139 a crash\n" << run.err;
    EXPECT_NE(run.out.find(leaving.says), std::string::npos) << run.out;
    if (sim)
        sim->Stop();
}

INSTANTIATE_TEST_SUITE_P(Ways, LifecycleHostTest,
                         ::testing::Values(Leaving{"exit", false, 0, ""}, Leaving{"exit", true, 0, ""},
                                           Leaving{"unload", false, 0, "survived the unload"},
                                           Leaving{"unload", true, 0, "survived the unload"}),
                         [](const auto& info) {
                             return std::string(info.param.mode) + (info.param.call ? "InMidCall" : "Idle");
                         });

TEST(LifecycleHost, TwentyRoundsOfLoadInitUninitUnload)
{
    const auto run = vektest::RunTool(VEK_LIFECYCLE_HOST, {"rounds", VEK_SHARED_LIBRARY, "20"}, {}, {SIGKILL, 60000});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "rounds done\n");
}

TEST(LifecycleThreads, InitOnTwoThreadsAtOnceStartsOneLibrary)
{
    for (int round = 0; round < 20; ++round) {
        CaptureWindow host;
        std::promise<void> go;
        std::shared_future<void> start = go.get_future().share();
        auto init = [&] {
            start.wait();
            return VEKComm2_Init(host.Handle());
        };
        auto first = std::async(std::launch::async, init);
        auto second = std::async(std::launch::async, init);
        go.set_value();
        EXPECT_EQ(first.get(), 1);
        EXPECT_EQ(second.get(), 1);
        CCommStatusDlg* dlg = theApp.m_pStatusDlg;
        ASSERT_NE(dlg, nullptr);
        // One worker: Uninit stops it and returns (two would hang here).
        auto uninit = std::async(std::launch::async, [] { return VEKComm2_Uninit(); });
        ASSERT_EQ(uninit.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "round " << round;
        EXPECT_EQ(uninit.get(), 1);
        EXPECT_EQ(theApp.m_pStatusDlg.load(), nullptr);
    }
}

TEST(LifecycleThreads, ForcedHangUpFromAnotherThreadReturnsWhileTheHostThreadIsBusy)
{
    CaptureWindow host;
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    // This thread owns the dialog and does not pump now.
    auto other = std::async(std::launch::async, [] { return VEKComm2_ForceHangUp(); });
    const bool returned = other.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    EXPECT_TRUE(returned) << "it waited for the host thread";
    if (!returned)
        VekPumpMessages(100); // let it finish before the test ends
    EXPECT_EQ(other.get(), 1);
    VekPumpMessages(0); // the posted hang-up runs here, with no call: nothing
    EXPECT_EQ(VEKComm2_Uninit(), 1);
}

} // namespace
} // namespace vek::test
