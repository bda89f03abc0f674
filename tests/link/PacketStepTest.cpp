// The packet step on the manual clock: what each kind of reply leads to,
// the efficiency counter over runs of failures, slow mode, splitting, the
// acknowledgement at 1200 bit/s, speed changes, and replies too short to
// hold what is looked for.
#include "link/PacketStep.h"
#include "link/EvaluateReply.h"
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "link/Sum8.h"
#include "platform/Handles.h"
#include "support/FrameBytes.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

namespace vek::test {
namespace {

const Bytes kAck = {0x00, 0x03, 0x50, 0xB7, 0xB4};
// Read 9 bytes at 0x0100 in mode 2.
const Bytes kRead9 = {0x00, 0x07, 0x01, 0x01, 0x00, 0x00, 0x09, 0x12, 0x57};

class PacketStepTest : public ::testing::Test {
protected:
    PacketStepTest() : clock(true), silence(SilenceScope::Mode::Immediate)
    {
        h.OpenPort();
        h.Dlg().m_pPanelRecord = record.Get(); // counting allowed
        h.Dlg().m_nLinkMode = 2;
        h.Dlg().m_openCode = {0x12, 0x34};
        h.Dlg().m_nCurrentBaudRate = 2400;
        modem().m_dwFlags = 0;
        g_bOnline = 1;
    }

    CModem& modem() { return *h.Modems().GetCurrentModem(); }
    static std::unique_ptr<CPool> Step(const Bytes& frame, int32_t expect, int32_t code, int32_t command = 0,
                                       uint32_t flags = 0, int32_t timeout = 10000)
    {
        return std::make_unique<CPool>(frame, STEP_PACKET, expect, code, timeout, command, flags, 0, 1);
    }
    // Runs a step whose frame went out; an empty reply is no answer at all.
    void Run(std::unique_ptr<CPool> step, const Bytes& reply, WakeReason wake = WakeReason::Signalled)
    {
        {
            CSingleLock lock(g_csReceive);
            g_rxBuffer.Clear();
        }
        g_evPacketComplete.Reset();
        g_evBytesArrived.Reset();
        g_nCurrentStepType = STEP_PACKET;
        if (!reply.empty())
            FeedReply(h.Dlg(), reply);
        RunPacketStep(h.Dlg(), std::move(step), wake);
    }
    std::vector<std::pair<WPARAM, LPARAM>> Done() { return Posted(h.DialogWindow(), VEK_WM_COMM_STEP_DONE); }
    std::vector<std::pair<WPARAM, LPARAM>> Notices() { return Posted(h.DialogWindow(), VEK_WM_COMM_NOTICE); }
    using Posts = std::vector<std::pair<WPARAM, LPARAM>>;

    ManualClockScope clock;
    SilenceScope silence;
    DialogHarness h;
    PanelRecord record;
};

TEST_F(PacketStepTest, EachReplyLeadsWhereItShould)
{
    struct Row {
        const char* what;
        uint32_t flags;
        int32_t retriesBefore;
        Bytes reply;
        Posts notices;
        Posts done;
        std::vector<QueuedStep> queue;
        int32_t efficiency;
    };
    const Bytes write = WithCrc({0x00, 0x07, 0x01, 0x00, 0x10, 0xAA, 0xBB}); // write AA BB at 0x0010
    const QueuedStep again = {2, 0, 5, write};
    const Row rows[] = {
        {"accepted", 0, 0, kAck, {}, {{5, 0}}, {}, 10},
        {"refused 7 the first time", 0, 0, WithCrc({0x00, 0x04, 0x51, 0x07}), {{97, 0}}, {}, {}, 10},
        {"refused 7 again", 0, 1, WithCrc({0x00, 0x04, 0x51, 0x07}), {{91, 0}}, {}, {again}, 9},
        {"4 is a failure without an acknowledgement",
         0,
         0,
         WithCrc({0x00, 0x04, 0x51, 0x04}),
         {{91, 0}},
         {},
         {again},
         9},
        {"4 refuses an acknowledged step", REQ_EXPECT_ACK, 0, WithCrc({0x00, 0x04, 0x51, 0x04}), {{97, 0}}, {}, {}, 10},
        {"the panel ends the call",
         0,
         0,
         WithCrc({0x00, 0x04, 0x51, 0x06}),
         {{16, 0}},
         {},
         {{5, 0, 100, {0x00, 0x03, 0x54, 0xE0, 0x35}}},
         10},
        {"re-open the session",
         0,
         0,
         WithCrc({0x00, 0x04, 0x51, 0x02}),
         {},
         {},
         {{2, 0, 100, {0x00, 0x05, 0x22, 0x12, 0x34, 0x0A, 0x8F}}, again},
         10},
        {"busy", 0, 0, WithCrc({0x00, 0x04, 0x51, 0x08}), {{29, 0}}, {}, {again}, 10},
        {"another panel command", 0, 0, WithCrc({0x00, 0x03, 0x52}), {{91, 0}}, {}, {again}, 9},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ResetLinkState();
        g_bOnline = 1;
        g_nRetries = row.retriesBefore;
        Run(Step(write, 0, 5, '-', row.flags), row.reply);
        EXPECT_EQ(Notices(), row.notices);
        EXPECT_EQ(Done(), row.done);
        EXPECT_EQ(QueuedSteps(), row.queue);
        EXPECT_EQ(g_nEfficiency, row.efficiency);
        EXPECT_EQ(g_bSlowMode, row.reply[3] == 0x08 ? 1 : 0);
    }
}

TEST_F(PacketStepTest, ReadHandsOverExactlyThePanelsBytesAndAGoodExchangeRaisesEfficiency)
{
    g_nEfficiency = 8;
    h.Dlg().m_readData = {0xEE}; // left from an earlier read: the first step empties it
    const Bytes nine = {0xAA, 0xBB, 0xCC, 4, 5, 6, 7, 8, 9};
    Bytes reply = {0x00, 0x0C, 0x01};
    reply.insert(reply.end(), nine.begin(), nine.end());
    Run(Step(kRead9, 5, 6, 'u'), WithCrc(reply));
    const auto done = Done();
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0], (std::pair<WPARAM, LPARAM>{92, 0}));
    EXPECT_EQ(done[1].first, 6u);
    EXPECT_EQ(TakeBlock(done[1].second), nine);
    EXPECT_EQ(g_nEfficiency, 9);
}

TEST_F(PacketStepTest, ReadAnsweredWithOtherThanTheCountAskedForIsAFailedExchange)
{
    // Good checks, the read's own command, but three bytes or ten for nine.
    for (const Bytes& reply :
         {WithCrc({0x00, 0x06, 0x01, 0xAA, 0xBB, 0xCC}), WithCrc({0x00, 0x0D, 0x01, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10})}) {
        ResetLinkState();
        Run(Step(kRead9, 5, 6, 'u'), reply);
        EXPECT_EQ(Done(), (std::vector<std::pair<WPARAM, LPARAM>>{}));
        EXPECT_EQ(Notices(), (std::vector<std::pair<WPARAM, LPARAM>>{{91, 0}}));
        EXPECT_EQ(QueueCount(), 1u) << "tried again";
    }
}

TEST_F(PacketStepTest, PanelThatAlwaysAsksForAReopenEndsTheLinkInsteadOfLoopingForEver)
{
    // The panel acknowledges every session-open frame and answers the
    // transfer with reason 2, again and again.
    const Bytes reopen = WithCrc({0x00, 0x04, 0x51, 0x02});
    g_nEfficiency = 9; // an accepted re-open must not win a point back
    std::unique_ptr<CPool> transfer = Step(kAck, 0, 5);
    for (int i = 1; i <= 4; ++i) {
        Run(std::move(transfer), reopen);
        auto sessionOpen = QueueTakeHead();
        ASSERT_NE(sessionOpen, nullptr);
        EXPECT_EQ(sessionOpen->m_data[2], 0x22);
        transfer = QueueTakeHead();
        ASSERT_NE(transfer, nullptr);
        EXPECT_EQ(transfer->m_nReopens, i);
        Run(std::move(sessionOpen), kAck);
        EXPECT_EQ(QueueCount(), 0u);
    }
    EXPECT_EQ(Done(), Posts{}); // no 92 for the re-opens
    EXPECT_EQ(g_nEfficiency, 9);
    // From the fifth reason 2 on, each try is a failed exchange.
    for (int efficiency = 8; efficiency >= 0; --efficiency) {
        Run(std::move(transfer), reopen);
        EXPECT_EQ(g_nEfficiency, efficiency);
        transfer = QueueTakeHead();
        ASSERT_NE(transfer, nullptr);
        EXPECT_EQ(transfer->m_data, kAck) << "sent again, not re-opened";
        EXPECT_EQ(QueueCount(), 0u);
    }
    EXPECT_EQ(Notices(), Posts(9, {91, 0}));
    Run(std::move(transfer), reopen);
    EXPECT_EQ(Notices(), (Posts{{27, 0}}));
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{4, 0, 100, {}}}));
}

TEST_F(PacketStepTest, TenFailuresSpendTheEfficiencyAndTheEleventhEndsTheLink)
{
    const Bytes unknown = WithCrc({0x00, 0x04, 0x51, 0x05});
    for (int i = 0; i < 10; ++i) {
        Run(Step(kAck, 4, 100), unknown);
        ASSERT_NE(QueueTakeHead(), nullptr) << "repeated while the efficiency lasts";
    }
    EXPECT_EQ(g_nEfficiency, 0);
    EXPECT_EQ(Notices(), Posts(10, {91, 0}));
    QueueAppend(std::make_unique<CPool>(kAck, STEP_PACKET, 0, 5, 1), false); // flushed
    Run(Step(kAck, 4, 100), unknown);
    EXPECT_EQ(Notices(), (Posts{{27, 0}}));
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{4, 0, 100, {}}}));
    EXPECT_TRUE(g_evQueue.IsSet());
}

TEST_F(PacketStepTest, SilentPanelEndsTheLinkOnTheFifthCountedNoAnswer)
{
    for (int i = 1; i <= 4; ++i) {
        Run(Step(kAck, 4, 100), {});
        EXPECT_EQ(g_nHostNoResponses, i);
        ASSERT_NE(QueueTakeHead(), nullptr);
    }
    Run(Step(kAck, 4, 100), {});
    EXPECT_EQ(Notices(), (Posts{{91, 0}, {91, 0}, {91, 0}, {91, 0}, {27, 0}}));
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{4, 0, 100, {}}}));
    EXPECT_EQ(g_nNoResponses, 5);
}

TEST_F(PacketStepTest, FailuresThatCostNoEfficiencyStillEndADeadLinkWhenCountedOnesWould)
{
    struct Row {
        const char* what;
        bool attached;
        uint32_t hostFlags;
        bool silent; // else a good frame that is not the answer
        int lostAtRun;
        size_t notices91;
    };
    const Row rows[] = {
        {"placed call, silent panel", true, 0, true, 5, 4},
        {"placed call, wrong answers", true, 0, false, 11, 10},
        {"answered call (no record), silent panel", false, 0, true, 5, 0},
        {"answered call (no record), wrong answers", false, 0, false, 11, 0},
        {"host asks for no idle calls, silent panel", true, 0x10000, true, 5, 0},
        {"host asks for no idle calls, wrong answers", true, 0x10000, false, 11, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ResetLinkState();
        g_bOnline = 1;
        record.Set32(VEK_PANEL_HOST_FLAGS, row.hostFlags);
        h.Dlg().m_pPanelRecord = row.attached ? record.Get() : nullptr;
        int run = 0;
        size_t failed = 0;
        Posts notices;
        while (run < 40 && (notices.empty() || notices.back().first != 27)) {
            ++run;
            Run(Step(kAck, 4, 100), row.silent ? Bytes{} : WithCrc({0x00, 0x03, 0x52}));
            for (const auto& n : Notices()) {
                notices.push_back(n);
                failed += n.first == 91;
            }
            if (notices.empty() || notices.back().first != 27) {
                ASSERT_NE(QueueTakeHead(), nullptr) << "repeated at the head";
            }
        }
        EXPECT_EQ(run, row.lostAtRun);
        EXPECT_EQ(failed, row.notices91);
        EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{4, 0, 100, {}}})) << "the call is ended";
        if (!row.attached || row.hostFlags != 0) {
            EXPECT_EQ(g_nEfficiency, 10) << "no efficiency spent";
        }
    }
    record.Set32(VEK_PANEL_HOST_FLAGS, 0);
}

TEST_F(PacketStepTest, SlowModeAbsorbsNineHundredSilentWaits)
{
    g_bSlowMode = 1;
    g_bSlowNoticeSent = 1;
    const uint64_t start = NowMs();
    for (int i = 0; i < 900; ++i) {
        Run(Step(kAck, 4, 100), {});
        ASSERT_NE(QueueTakeHead(), nullptr);
    }
    EXPECT_EQ(NowMs() - start, 900u * 4000u); // the shorter first-byte wait
    EXPECT_TRUE(Notices().empty());
    EXPECT_EQ(g_nEfficiency, 10);
    Run(Step(kAck, 4, 100), {});
    EXPECT_EQ(Notices(), (Posts{{91, 0}}));
    EXPECT_EQ(g_nSlowModeTimeouts, 0);
    EXPECT_EQ(g_nHostNoResponses, 1);

    // The notice comes once per episode, and only on a wake by the queue.
    g_bSlowNoticeSent = 0;
    QueueClear();
    Run(Step(kAck, 4, 100), {}, WakeReason::TimedOut);
    EXPECT_TRUE(Notices().empty());
    Run(Step(kAck, 4, 100), {}, WakeReason::Signalled);
    EXPECT_EQ(Notices(), (Posts{{29, 0}}));
    // A good reply ends the episode.
    Run(Step(kAck, 4, 100), kAck);
    EXPECT_EQ(g_bSlowMode, 0);
    EXPECT_EQ(g_bSlowNoticeSent, 0);
}

TEST_F(PacketStepTest, FailingReadAtEfficiencyEightIsSplitInTwo)
{
    g_nEfficiency = 9;
    Run(Step(kRead9, 5, 6, 'u', REQ_REPLY_CMD), {});
    EXPECT_EQ(g_nEfficiency, 8);
    CSingleLock lock(g_csQueue);
    ASSERT_EQ(g_requestQueue.size(), 2u);
    const CPool& first = *g_requestQueue[0];
    const CPool& second = *g_requestQueue[1];
    EXPECT_EQ(first.m_data, (Bytes{0x00, 0x07, 0x01, 0x01, 0x00, 0x00, 0x04, 0x47, 0x36}));
    EXPECT_EQ(second.m_data, (Bytes{0x00, 0x07, 0x01, 0x01, 0x04, 0x00, 0x05, 0x34, 0xEA}));
    EXPECT_EQ(first.m_nTimeout, 10280);
    EXPECT_EQ(second.m_nTimeout, 10350);
    EXPECT_EQ(first.m_nExpect, 5);
    EXPECT_EQ(second.m_nExpect, 0);
    EXPECT_EQ(first.m_nCode, 100);
    EXPECT_EQ(second.m_nCode, 6);
    EXPECT_EQ(first.m_dwFlags, REQ_REPLY_CMD);
    EXPECT_EQ(second.m_dwFlags, REQ_REPLY_CMD | REQ_SECOND_HALF);
}

TEST_F(PacketStepTest, SplitLaterFrameOfAShortCodeReadKeepsWhatTheEarlierFramesBrought)
{
    // 13 bytes at 0x10 go as 8 at 0x10, 4 at 0x18 and 1 at 0x1C; the second
    // frame gets no answer and is split into two reads of 2.
    h.Dlg().m_nLinkMode = 3;
    Bytes memory;
    for (uint8_t i = 0; i < 13; ++i)
        memory.push_back(static_cast<uint8_t>(0x40 + i));
    const auto reply = [&memory](uint8_t code, size_t from, size_t n) {
        Bytes r{code};
        r.insert(r.end(), memory.begin() + static_cast<std::ptrdiff_t>(from),
                 memory.begin() + static_cast<std::ptrdiff_t>(from + n));
        r.push_back(Sum8(r));
        return r;
    };
    Run(Step({0xB0, 0x10, 0xC0}, 5, 100, 'u'), reply(0xB0, 0, 8));
    g_nEfficiency = 9;
    Run(Step({0xA0, 0x18, 0xB8}, 0, 100, 'u'), {});
    EXPECT_EQ(QueuedSteps(),
              (std::vector<QueuedStep>{{2, 0, 100, {0x90, 0x18, 0xA8}}, {2, 0, 100, {0x90, 0x1A, 0xAA}}}));
    Run(QueueTakeHead(), reply(0x90, 8, 2));
    Run(QueueTakeHead(), reply(0x90, 10, 2));
    Run(Step({0x80, 0x1C, 0x9C}, 0, 6, 'u'), reply(0x80, 12, 1));
    const auto done = Done();
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(done[2].first, 6u);
    EXPECT_EQ(TakeBlock(done[2].second), memory);
}

TEST_F(PacketStepTest, SplitReplyCommandTransferHandsTheHostEveryByteInOrder)
{
    g_nEfficiency = 9;
    auto step = Step(kRead9, 5, 6, 'u', REQ_REPLY_CMD);
    step->m_byReply = 0x72;
    Run(std::move(step), {}); // no answer: split into 4 at 0x0100 and 5 at 0x0104
    ASSERT_EQ(QueueCount(), 2u);
    Run(QueueTakeHead(), WithCrc({0x00, 0x07, 0x72, 1, 2, 3, 4}));
    Run(QueueTakeHead(), WithCrc({0x00, 0x08, 0x72, 5, 6, 7, 8, 9}));
    const auto done = Done();
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(done[0], (std::pair<WPARAM, LPARAM>{92, 0}));
    EXPECT_EQ(done[1], (std::pair<WPARAM, LPARAM>{92, 0}));
    EXPECT_EQ(done[2].first, 6u);
    EXPECT_EQ(TakeBlock(done[2].second), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(PacketStepTest, SplitRulesForWritesShortCodesAndWhatCannotBeSplit)
{
    g_nEfficiency = 7;
    Run(Step(WithCrc({0x00, 0x09, 0x01, 0x00, 0x10, 1, 2, 3, 4}), 5, 5, '-'), {});
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{2, 5, 100, WithCrc({0x00, 0x07, 0x01, 0x00, 0x10, 1, 2})},
                                                      {2, 0, 5, WithCrc({0x00, 0x07, 0x01, 0x00, 0x12, 3, 4})}}));
    QueueClear();
    h.Dlg().m_nLinkMode = 3;
    g_nEfficiency = 7;
    Run(Step({0xB0, 0x10, 0xC0}, 5, 6, 'u'), {}); // 8 bytes at 0x10
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{2, 5, 100, {0xA0, 0x10, 0xB0}}, {2, 0, 6, {0xA0, 0x14, 0xB4}}}));
    QueueClear();
    g_nEfficiency = 7;
    Run(Step({0x80, 0x10, 0x90}, 5, 6, 'u'), {}); // one byte stays one step
    EXPECT_EQ(QueuedSteps().size(), 1u);
}

TEST_F(PacketStepTest, AcknowledgementAt1200WritesTheDirectByteAndWaitsForTheReply)
{
    h.Dlg().m_nCurrentBaudRate = 1200;
    h.Device().ClearWritten();
    const uint64_t before = NowMs();
    Run(Step(kAck, 5, 5, '-', REQ_EXPECT_ACK), kAck);
    EXPECT_EQ(h.Device().WrittenBytes(), (Bytes{0x00}));
    EXPECT_TRUE(Done().empty());
    EXPECT_EQ(NowMs(), before); // no pause before waiting for the real reply
    CSingleLock lock(g_csQueue);
    ASSERT_EQ(g_requestQueue.size(), 1u);
    EXPECT_EQ(g_requestQueue.front()->m_dwFlags, REQ_NO_SEND);
}

TEST_F(PacketStepTest, SessionOpenedMovesASlowLineUpAndAFailingOneDown)
{
    modem().m_dwFlags = MODEM_EXTENDED;
    modem().m_nOptions = 2;
    h.Dlg().m_nCurrentBaudRate = 300;
    Run(Step(kAck, 0, 3), kAck);
    EXPECT_TRUE(Done().empty());
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{2, 3, 3, {0x00, 0x03, 0x56, 0x1B, 0xF6}}}));

    QueueClear();
    Run(Step(kAck, 3, 3), kAck); // the panel moved to 1200: the modem follows
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{1, 0, 87, Text("+++")}, {1, 0, 3, Text("AT&CDS\r")}}));

    QueueClear();
    h.Dlg().m_nCurrentBaudRate = 1200;
    g_nEfficiency = 6;
    Run(Step(kAck, 4, 100), {});
    EXPECT_EQ(g_nEfficiency, 5);
    EXPECT_EQ(QueuedSteps().back(), (QueuedStep{2, 0, 86, {0x00, 0x03, 0x53, 0xE1, 0x95}}));
}

TEST_F(PacketStepTest, GarbageAfterSilenceIsAPartialResponse)
{
    Run(Step(kAck, 4, 100), {0x00, 0x40, 0x99, 0x12, 0x77});
    EXPECT_EQ(Notices(), (Posts{{100, 6005}, {91, 0}}));
}

TEST_F(PacketStepTest, FrameFailingItsCheckIsNeverJudged)
{
    h.Dlg().m_nLinkMode = 3;
    Run(Step({0x80, 0x10, 0x90}, 5, 6, 'u'), {0x80, 0x07, 0x88}); // bad sum
    EXPECT_TRUE(Done().empty());
    EXPECT_EQ(Notices(), (Posts{{91, 0}}));
}

TEST(EvaluateReplyTest, RepliesTooShortForTheirPositionsAreNotRecognised)
{
    DialogHarness h;
    struct Row {
        int mode;
        uint32_t flags;
        uint8_t replyCommand;
        int32_t code;
        Bytes reply;
        int32_t outcome;
    };
    const Row rows[] = {
        {5, REQ_EXPECT_ACK, 0, 5, {0x00}, 100},
        {5, REQ_REPLY_CMD, 0x60, 6, {0x00, 0x05}, 100},
        {4, 0, 0, 6, {0x00, 0x04, 0x00}, 100},
        {2, 0, 0, 5, {0x00, 0x04, 0x51}, 100},                         // a Q without its reason
        {3, 0, 0, 5, {0x45}, 100},                                     // an E without its reason
        {3, 0, 0, 5, {0x45, 0x02, 0x47}, 6},                           // mapped: 2 ends the call
        {3, 0, 0, 5, {0x45, 0x03, 0x48}, 2},                           // mapped: 3 re-opens
        {5, 0, 0, 5, {0x00, 0x05, 0x01, 0x07, 0x50, 0xA4, 0x75}, 100}, // P from a sub-address
        {5, 0, 0, 5, {0x00, 0x05, 0x25, 0x00, 0x50, 0x87, 0xA4}, 0},
    };
    for (const Row& row : rows) {
        h.Dlg().m_nLinkMode = row.mode;
        CPool step(Bytes{0x00, 0x09, 0x01, 0x07, 0x33, 0x01, 0x00, 0x00, 0x02, 0x97, 0x86}, STEP_PACKET, 0, row.code,
                   3000, '-', row.flags, row.replyCommand, 1);
        HGLOBAL extra = 0;
        EXPECT_EQ(EvaluateReply(h.Dlg(), step, row.reply, extra), row.outcome) << row.mode << " " << row.reply.size();
        EXPECT_EQ(extra, HGLOBAL{});
    }
    QueueClear();
}

TEST(EvaluateReplyTest, PayloadsAreSizedByWhatArrivedAndReadDataIsBounded)
{
    DialogHarness h;
    h.Dlg().m_nLinkMode = 2;
    CPool reply(Bytes{}, STEP_PACKET, 0, 6, 3000, 'c', REQ_REPLY_CMD, 0x61, 1);
    HGLOBAL extra = 0;
    EXPECT_EQ(EvaluateReply(h.Dlg(), reply, Bytes{0x00, 0x03, 0x61, 0x11, 0x22}, extra), 0);
    EXPECT_EQ(TakeBlock(HandleToParam(extra)), Bytes{}); // c + 3 bytes: an empty payload
    EXPECT_EQ(EvaluateReply(h.Dlg(), reply, Bytes{0x00, 0x04, 0x61, 0x7F, 0x11, 0x22}, extra), 0);
    EXPECT_EQ(TakeBlock(HandleToParam(extra)), Bytes{0x7F});

    CPool read(kRead9, STEP_PACKET, 0, 6, 3000, 'u', 0, 0, 1);
    h.Dlg().m_readData.assign(kMaxReadData - 1, 0x55);
    // Exactly the nine bytes asked for, but more than the gathered data holds.
    EXPECT_EQ(EvaluateReply(h.Dlg(), read, Bytes{0x00, 0x0C, 0x01, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x00, 0x00}, extra), 100);
    EXPECT_EQ(h.Dlg().m_readData.size(), kMaxReadData - 1);
    EXPECT_EQ(extra, HGLOBAL{});
}

} // namespace
} // namespace vek::test
