// A line that is certainly gone ends the call at once: what counts as gone
// (the modem's NO CARRIER where no frame is pending, a carrier drop, a device
// that vanished), and what the worker does then, step by step.
#include "link/LineLoss.h"
#include "link/CallStep.h"
#include "link/CommThreadProc.h"
#include "link/IdentifyStep.h"
#include "link/ModemStep.h"
#include "link/NoCarrierWatch.h"
#include "link/PacketStep.h"
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "support/Environment.h"
#include "support/FrameBytes.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vek::test {
namespace {

using Posts = std::vector<std::pair<WPARAM, LPARAM>>;

TEST(NoCarrierWatchTest, OnlyAResultLineWhereNoFrameIsPendingCounts)
{
    struct Chunk {
        std::string bytes;
        bool atBoundary;
        uint64_t atMs;
    };
    struct Row {
        const char* what;
        std::vector<Chunk> chunks;
        bool lost;
    };
    const std::string frameStart("\x00\x10\x52", 3);
    const Row rows[] = {
        {"verbose result at a boundary", {{"\r\nNO CARRIER\r\n", true, 0}}, true},
        {"without the line feed in front", {{"NO CARRIER\r", true, 0}}, true},
        {"split over two arrivals", {{"\r\nNO CAR", true, 0}, {"RIER\r\n", false, 5}}, true},
        {"after a partial frame that fell silent",
         {{frameStart + "ab", true, 0}, {"\r\nNO CARRIER\r\n", false, 600}},
         true},
        {"inside a frame", {{frameStart + "NO CARRIER\r\n", true, 0}}, false},
        {"right behind frame bytes", {{frameStart, true, 0}, {"NO CARRIER\r\n", false, 20}}, false},
        {"not yet a whole line", {{"\r\nNO CARRIER", true, 0}}, false},
        {"another word", {{"\r\nNO CARRIERS\r\n", true, 0}}, false},
        {"another result", {{"\r\nOK\r\n", true, 0}}, false},
    };
    for (const Row& row : rows) {
        NoCarrierWatch watch;
        bool lost = false;
        for (const Chunk& c : row.chunks)
            lost = watch.Feed({reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()}, c.atBoundary,
                              1000 + c.atMs);
        EXPECT_EQ(lost, row.lost) << row.what;
    }
}

class LineLossTest : public ::testing::Test {
protected:
    LineLossTest() : clock(true), silence(SilenceScope::Mode::Immediate)
    {
        ctrl().SetRThreshold(1);
        ctrl().SetEventWindow(h.DialogWindow().Handle());
        h.OpenPort();
        h.Dlg().m_pPanelRecord = record.Get();
        h.Dlg().m_nLinkMode = 2;
        g_bOnline = 1;
        g_bSessionUp = 1;
    }

    CCommCtrl& ctrl() { return h.Dlg().m_commCtrl; }
    Posts Done() { return Posted(h.DialogWindow(), VEK_WM_COMM_STEP_DONE); }
    Posts Notices() { return Posted(h.DialogWindow(), VEK_WM_COMM_NOTICE); }
    static std::unique_ptr<CPool> ReadStep()
    {
        return std::make_unique<CPool>(WithCrc({0x00, 0x07, 0x52, 0x01, 0x00, 0x00, 0x10}), STEP_PACKET, 5, 6, 10000,
                                       'u', 0, 0, 1);
    }
    // Runs the end-of-call step the loss queued, as the worker would.
    void RunQueuedCallStep()
    {
        auto step = QueueTakeHead();
        ASSERT_NE(step, nullptr);
        ASSERT_EQ(step->m_nType, STEP_CALL);
        RunCallStep(h.Dlg(), std::move(step));
    }

    ManualClockScope clock;
    SilenceScope silence;
    DialogHarness h;
    PanelRecord record;
};

TEST_F(LineLossTest, ReceiveHandlerSignalsOnlyWhatProvesTheLineGone)
{
    struct Row {
        const char* what;
        bool online;
        std::string pending; // bytes of a frame already in the receive buffer
        bool frameWaiting;   // a complete frame waits for the worker
        void (*act)(ScriptedDevice&);
        bool lost;
    };
    const Row rows[] = {
        {"NO CARRIER between frames", true, "", false, [](ScriptedDevice& d) { d.Inject("\r\nNO CARRIER\r\n"); }, true},
        {"NO CARRIER behind a frame the worker has not taken", true, "", true,
         [](ScriptedDevice& d) { d.Inject("\r\nNO CARRIER\r\n"); }, true},
        {"NO CARRIER in the same arrival as the frame before it", true, "", false,
         [](ScriptedDevice& d) { d.Inject(std::string("\x00\x03\x50\xB7\xB4\r\nNO CARRIER\r\n", 19)); }, true},
        {"NO CARRIER inside a frame", true, std::string("\x00\x10\x52", 3), false,
         [](ScriptedDevice& d) { d.Inject("NO CARRIER\r\n"); }, false},
        {"NO CARRIER while no call is up", false, "", false, [](ScriptedDevice& d) { d.Inject("\r\nNO CARRIER\r\n"); },
         false},
        {"carrier drop", true, "", false,
         [](ScriptedDevice& d) {
             d.SetCd(true);
             d.SetCd(false);
         },
         true},
        {"carrier rise", true, "", false, [](ScriptedDevice& d) { d.SetCd(true); }, false},
        {"device gone", true, "", false, [](ScriptedDevice& d) { d.Vanish(); }, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ResetLinkState();
        h.Dlg().m_noCarrierWatch.Reset();
        g_bOnline = row.online ? 1 : 0;
        g_evModemDone.Set(); // the packet route, as during a call
        if (row.frameWaiting)
            g_evPacketComplete.Set();
        if (!row.pending.empty())
            FeedReply(h.Dlg(), {row.pending.begin(), row.pending.end()});
        row.act(h.Device());
        DispatchCommEvents(h.Dlg(), h.DialogWindow());
        EXPECT_EQ(g_bLineLost.load(), row.lost ? 1 : 0);
        EXPECT_EQ(g_evQueue.IsSet(), row.lost) << "the worker is woken";
    }
}

TEST_F(LineLossTest, EnvironmentCanLeaveLossToTheNoAnswerCounting)
{
    SetEnvironment("VEK_LINE_LOSS_AT_ONCE", "0");
    SignalLineLost();
    SetEnvironment("VEK_LINE_LOSS_AT_ONCE", nullptr);
    EXPECT_EQ(g_bLineLost, 0);
    EXPECT_FALSE(g_evQueue.IsSet());
    SignalLineLost();
    EXPECT_EQ(g_bLineLost, 1);
}

TEST_F(LineLossTest, LostLineDuringATransferReports27ThenEndsWithoutEscape)
{
    QueueAppend(ReadStep(), false); // more work that will never be done
    SignalLineLost();
    const uint64_t before = NowMs();
    RunPacketStep(h.Dlg(), ReadStep(), WakeReason::Signalled);
    EXPECT_EQ(Notices(), (Posts{{27, 0}}));
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{4, 0, 100, {}}}));
    RunQueuedCallStep();
    EXPECT_EQ(NowMs(), before) << "no wait for a panel that is gone";
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{
                                 {1, 0, 8, Text("ATH0\r")},
                                 {1, 0, 9, Text("ATZ\r")},
                                 {6, 0, 89, {}},
                             }));
    EXPECT_EQ(g_bOnline, 0);
    EXPECT_EQ(g_bLineLost, 0);
}

TEST_F(LineLossTest, ReplyThatCameWholeWithTheLossIsStillHandedOver)
{
    g_nCurrentStepType = STEP_PACKET;
    FeedReply(h.Dlg(), WithCrc({0x00, 0x05, 0x52, 0xAA, 0xBB}));
    SignalLineLost();
    RunPacketStep(h.Dlg(), ReadStep(), WakeReason::Signalled);
    const Posts done = Done();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].first, 6u);
    EXPECT_EQ(TakeBlock(done[0].second), (Bytes{0xAA, 0xBB}));
    ASSERT_TRUE(WorkerPass(h.Dlg())); // then the loss
    EXPECT_EQ(Notices(), (Posts{{27, 0}}));
}

TEST_F(LineLossTest, LostLineBeforeTheIdentificationReports18)
{
    g_bSessionUp = 0;
    g_nCurrentStepType = STEP_IDENTIFY;
    SignalLineLost();
    RunIdentifyStep(h.Dlg(), std::make_unique<CPool>(ByteArray{}, STEP_IDENTIFY, 0, 13, 20000, 0, 0, 0, 1));
    EXPECT_EQ(Notices(), (Posts{{18, 0}}));
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{4, 0, 13, {}}})) << "an answered call answers again";
}

TEST_F(LineLossTest, VanishedDeviceIsReportedDownAndResetWithoutSending)
{
    h.Device().Vanish();
    SignalLineLost();
    h.Device().ClearWritten();
    RunPacketStep(h.Dlg(), ReadStep(), WakeReason::Signalled);
    EXPECT_EQ(Notices(), (Posts{{27, 0}}));
    EXPECT_EQ(Done(), (Posts{{8, 0}, {9, 0}, {89, static_cast<LPARAM>(g_nCallSerial.load())}}));
    EXPECT_TRUE(QueuedSteps().empty());
    EXPECT_EQ(g_bOnline, 0);
    EXPECT_TRUE(h.Device().WrittenBytes().empty());
}

TEST_F(LineLossTest, IdleWorkerEndsTheCallAtOnce)
{
    SignalLineLost();
    ASSERT_TRUE(WorkerPass(h.Dlg()));
    EXPECT_EQ(Notices(), (Posts{{27, 0}}));
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{4, 0, 100, {}}}));
}

TEST_F(LineLossTest, DeviceGoneWhileDiallingEndsThePollWith20)
{
    g_bOnline = 0;
    // The CONNECT wait of a dial polls without limit.
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_MODEM, 1, 32, 0), true);
    h.Device().Vanish();
    ASSERT_TRUE(WorkerPass(h.Dlg()));
    EXPECT_EQ(Notices(), (Posts{{20, 0}}));
    EXPECT_EQ(Done(), (Posts{{89, static_cast<LPARAM>(g_nCallSerial.load())}}));
    EXPECT_TRUE(QueuedSteps().empty());
    ASSERT_TRUE(WorkerPass(h.Dlg())); // once only
    EXPECT_EQ(Notices(), Posts{});
}

TEST_F(LineLossTest, DeviceGoneWhileHangingUpEndsTheCallAsHangedUp)
{
    // The call script has run: the on-hook, reset and end are queued.
    g_bOnline = 0;
    QueueAppend(std::make_unique<CPool>(std::string("ATH0\r"), STEP_MODEM, 0, 8, 1, 0), false);
    QueueAppend(std::make_unique<CPool>(std::string("ATZ\r"), STEP_MODEM, 0, 9, 1, 0), true);
    h.Device().Vanish();
    h.Device().ClearWritten();
    ASSERT_TRUE(WorkerPass(h.Dlg()));
    EXPECT_EQ(Notices(), Posts{});
    EXPECT_EQ(Done(), (Posts{{8, 0}, {9, 0}, {89, static_cast<LPARAM>(g_nCallSerial.load())}}));
    EXPECT_TRUE(QueuedSteps().empty());
    EXPECT_TRUE(h.Device().WrittenBytes().empty());
}

TEST_F(LineLossTest, SetUpCommandUnansweredByAVanishedDeviceSays20Not28)
{
    struct Row {
        bool vanished;
        Posts notices;
        Posts done;
    };
    const Row rows[] = {
        {false, {{28, 0}}, {}},
        {true, {{20, 0}}, {{89, static_cast<LPARAM>(g_nCallSerial.load())}}},
    };
    g_bOnline = 0;
    for (const Row& row : rows) {
        if (row.vanished)
            h.Device().Vanish();
        QueueAppend(std::make_unique<CPool>(std::string("ATE0\r"), STEP_MODEM, 0, 100, 1, 0), false);
        g_evModemDone.Reset();
        RunModemStep(h.Dlg(), std::make_unique<CPool>(std::string("ATZ\r"), STEP_MODEM, 0, 100, 1, 0));
        EXPECT_EQ(Notices(), row.notices) << row.vanished;
        EXPECT_EQ(Done(), row.done) << row.vanished;
        EXPECT_TRUE(QueuedSteps().empty()) << row.vanished;
    }
}

TEST_F(LineLossTest, CallBeingEndedOnlySkipsTheEscape)
{
    // The panel put the line down after the hang-up frame: no loss to
    // report, but the modem is back in command mode.
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_CALL, 0, 100, 1), false);
    SignalLineLost();
    ASSERT_TRUE(WorkerPass(h.Dlg()));
    EXPECT_EQ(Notices(), Posts{});
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{
                                 {1, 0, 8, Text("ATH0\r")},
                                 {1, 0, 9, Text("ATZ\r")},
                                 {6, 0, 89, {}},
                             }));
}

TEST_F(LineLossTest, EscapeAnsweredWithNoCarrierGoesOnToTheOnHookAndReset)
{
    g_bOnline = 0; // the call script has run
    QueueAppend(std::make_unique<CPool>(std::string("ATH0\r"), STEP_MODEM, 0, 8, 1, 0), false);
    g_nModemResult = 3; // NO CARRIER
    g_evModemDone.Set();
    RunModemStep(h.Dlg(), std::make_unique<CPool>(std::string("+++"), STEP_MODEM, 0, 100, 1, 0));
    EXPECT_EQ(Notices(), Posts{}) << "no 28";
    EXPECT_EQ(Done(), (Posts{{100, 0}}));
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{1, 0, 8, Text("ATH0\r")}}));
}

} // namespace
} // namespace vek::test
