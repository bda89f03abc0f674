// A line that is certainly gone ends the call at once: what counts as gone
// (the modem's NO CARRIER where no frame is pending, a carrier drop, a device
// that vanished), and what the worker does then, step by step.
#include "link/LineLoss.h"
#include "link/CallStep.h"
#include "link/CarrierWatch.h"
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

#include <algorithm>
#include <cstdlib>

namespace vek::test {
namespace {

using Posts = std::vector<std::pair<WPARAM, LPARAM>>;

TEST(NoCarrierWatchTest, FindsTheWholeResultLineHoweverItArrives)
{
    struct Row {
        const char* what;
        std::string bytes;
        bool found;
    };
    const Row rows[] = {
        {"verbose result", "\r\nNO CARRIER\r\n", true},
        {"at the start of the stream", "NO CARRIER\r", true},
        {"behind other text on its own line", "xyz\nNO CARRIER\n", true},
        {"inside a line", "xNO CARRIER\r\n", false},
        {"not yet a whole line", "\r\nNO CARRIER", false},
        {"another word", "\r\nNO CARRIERS\r\n", false},
        {"another result", "\r\nOK\r\n", false},
        {"broken off and begun again", "\r\nNO CAR\r\nNO CARRIER\r", true},
    };
    for (const Row& row : rows) {
        // Whole, and split at every place into two arrivals: the same answer.
        for (size_t cut = 0; cut <= row.bytes.size(); ++cut) {
            NoCarrierWatch watch;
            const auto bytes = std::span(reinterpret_cast<const uint8_t*>(row.bytes.data()), row.bytes.size());
            const size_t first = watch.Feed(bytes.first(cut));
            const size_t second = first != 0 ? 0 : watch.Feed(bytes.subspan(cut));
            EXPECT_EQ(first != 0 || second != 0, row.found) << row.what << ", cut at " << cut;
        }
    }
    NoCarrierWatch watch;
    const std::string twice = "\r\nNO CARRIER\r\nNO CARRIER\r";
    const auto bytes = std::span(reinterpret_cast<const uint8_t*>(twice.data()), twice.size());
    EXPECT_EQ(watch.Feed(bytes), 13u) << "counts up to the line end that completes it";
    EXPECT_EQ(watch.Feed(bytes.subspan(13)), 12u);
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
    CModem& modem() { return *h.Modems().GetCurrentModem(); }
    Posts Done() { return Posted(h.DialogWindow(), VEK_WM_COMM_STEP_DONE); }
    Posts Notices() { return Posted(h.DialogWindow(), VEK_WM_COMM_NOTICE); }
    static std::unique_ptr<CPool> ReadStep()
    {
        return std::make_unique<CPool>(WithCrc({0x00, 0x07, 0x52, 0x01, 0x00, 0x00, 0x02}), STEP_PACKET, 5, 6, 10000,
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

namespace {

std::vector<uint32_t> g_carrierTimers;
void RecordCarrierTimer(uint32_t delayMs) { g_carrierTimers.push_back(delayMs); }

} // namespace

TEST_F(LineLossTest, ReceiveHandlerCountsTheModemsWordsOnlyWhereNoFrameCanClaimThem)
{
    enum class Route { Packet, Surplus, Identify };
    enum class Verdict { None, Deferred, Lost };
    struct Row {
        const char* what;
        int mode;
        bool pcLink;
        bool online;
        Route route;
        std::string pending; // bytes of a frame already in the receive buffer
        std::string arrives;
        Verdict verdict;
    };
    const std::string noCarrier = "\r\nNO CARRIER\r\n";
    const Bytes ack = WithCrc({0x00, 0x03, 0x50});
    const std::string ackText(ack.begin(), ack.end());
    // Mode 1, command 0x4E, ten data bytes "O CARRIER\r": the frame spells
    // "\rNO CARRIER\r" from its length byte on.
    const Bytes spelled = WithCrc({0x0D, 0x4E, 'O', ' ', 'C', 'A', 'R', 'R', 'I', 'E', 'R', '\r'});
    const std::string spelledText(spelled.begin(), spelled.end());
    const Bytes long64 = [] {
        Bytes f = {0x00, 0x13, 0x52};
        for (char c : std::string("ab\r\nNO CARRIER\r\n"))
            f.push_back(static_cast<uint8_t>(c));
        return WithCrc(f);
    }();
    const std::string longText(long64.begin(), long64.end());
    const Row rows[] = {
        {"between frames: a frame could still begin with it", 2, false, true, Route::Packet, "", noCarrier,
         Verdict::Deferred},
        {"behind a frame that waits for the worker", 2, false, true, Route::Surplus, "", noCarrier, Verdict::Lost},
        {"behind a good frame in the same arrival", 2, false, true, Route::Packet, "", ackText + noCarrier,
         Verdict::Lost},
        {"inside a frame still coming", 2, false, true, Route::Packet, std::string("\x00\x40\x52", 3), noCarrier,
         Verdict::Deferred},
        {"a mode 1 frame that spells it", 1, false, true, Route::Packet, "", spelledText, Verdict::None},
        {"a frame that spells it, paused in the middle", 2, false, true, Route::Packet, longText.substr(0, 9),
         longText.substr(9), Verdict::None},
        {"mode 3: the first bytes fail as a frame, the rest is free", 3, false, true, Route::Packet, "", noCarrier,
         Verdict::Lost},
        {"while the identification is collected", 2, false, true, Route::Identify, "", noCarrier, Verdict::Lost},
        {"on a direct cable there is no modem", 2, true, true, Route::Surplus, "", noCarrier, Verdict::None},
        {"while no call is up", 2, false, false, Route::Surplus, "", noCarrier, Verdict::None},
        {"not a whole line", 2, false, true, Route::Surplus, "", "xNO CARRIER\r\n", Verdict::None},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ResetLinkState();
        h.Dlg().m_noCarrierWatch.Reset();
        h.Dlg().m_nLinkMode = row.mode;
        modem().m_dwFlags = row.pcLink ? MODEM_PCLINK : 0;
        g_bOnline = row.online ? 1 : 0;
        g_nCurrentStepType = row.route == Route::Identify ? STEP_IDENTIFY : STEP_PACKET;
        g_evModemDone.Set(); // the packet route, as during a call
        if (row.route == Route::Surplus)
            g_evPacketComplete.Set();
        if (!row.pending.empty()) {
            h.Device().Inject(row.pending);
            DispatchCommEvents(h.Dlg(), h.DialogWindow());
        }
        h.Device().Inject(row.arrives);
        DispatchCommEvents(h.Dlg(), h.DialogWindow());
        EXPECT_EQ(g_bLineLost.load(), row.verdict == Verdict::Lost ? 1 : 0);
        EXPECT_EQ(g_evQueue.IsSet(), row.verdict == Verdict::Lost) << "the worker is woken";
        // A line a frame still claims counts once that frame is given up.
        EXPECT_EQ(TakeDeferredNoCarrier(), row.verdict == Verdict::Deferred);
    }
    modem().m_dwFlags = 0;
}

TEST_F(LineLossTest, GivingUpAFrameThatClaimedTheWordsEndsTheCall)
{
    g_evModemDone.Set();
    g_nCurrentStepType = STEP_PACKET;
    h.Device().Inject("\r\nNO CARRIER\r\n");
    DispatchCommEvents(h.Dlg(), h.DialogWindow());
    EXPECT_EQ(g_bLineLost, 0);
    // The next step starts afresh: what was buffered was never a frame.
    QueueAppend(ReadStep(), true);
    h.Device().ClearWritten();
    ASSERT_TRUE(WorkerPass(h.Dlg()));
    EXPECT_EQ(Notices(), (Posts{{27, 0}}));
    EXPECT_TRUE(h.Device().WrittenBytes().empty()) << "nothing sent into a dead line";
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{4, 0, 100, {}}}));
}

TEST_F(LineLossTest, CarrierDropCountsOnlyOnceItHasLasted)
{
    struct Row {
        const char* what;
        bool comesBack;
        bool online;
        bool lost;
    };
    const Row rows[] = {
        {"a drop that lasts", false, true, true},
        {"a dip: the carrier comes back", true, true, false},
        {"a drop while no call is up", false, false, false},
    };
    SetCarrierTimerStarter(&RecordCarrierTimer);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ResetLinkState();
        g_carrierTimers.clear();
        g_bOnline = row.online ? 1 : 0;
        h.Device().SetCd(true);
        h.Device().SetCd(false);
        DispatchCommEvents(h.Dlg(), h.DialogWindow());
        EXPECT_EQ(g_bLineLost, 0) << "not at once";
        if (row.comesBack) {
            h.Device().SetCd(true);
            DispatchCommEvents(h.Dlg(), h.DialogWindow());
        }
        // Each event reads the line as it is when handled: a timer of 500 ms
        // for every one that found the carrier down.
        EXPECT_EQ(std::count(g_carrierTimers.begin(), g_carrierTimers.end(), 500u),
                  static_cast<std::ptrdiff_t>(g_carrierTimers.size()));
        ConfirmCarrierDrop(); // the timer fires
        EXPECT_EQ(g_bLineLost, row.lost ? 1 : 0);
    }
    SetCarrierTimerStarter(nullptr);
}

TEST_F(LineLossTest, VanishedDeviceIsSignalledAtOnce)
{
    h.Device().Vanish();
    DispatchCommEvents(h.Dlg(), h.DialogWindow());
    EXPECT_EQ(g_bLineLost, 1);
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
