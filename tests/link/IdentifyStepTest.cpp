// The identification step and the call script step, driven on the test's
// thread: replies are fed into the receive buffer and a started silence
// timer reports silence at once.
#include "link/IdentifyStep.h"
#include "link/CallStep.h"
#include "link/LineLoss.h"
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "platform/Handles.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

namespace vek::test {
namespace {

using Bytes = std::vector<uint8_t>;

// An 11-byte 02 block (read with the unchecked 12-byte layout): type,
// version, identification bytes 11 22, flags, 33 44.
Bytes Block(uint8_t type, uint8_t version, uint8_t flags = 0)
{
    return {0x02, 0x02, 0x02, type, version, 0x00, 0x11, 0x22, flags, 0x33, 0x44};
}

const Bytes kSessionOpen = {0x00, 0x05, 0x22, 0x12, 0x34, 0x0A, 0x8F};
const QueuedStep kEndCall = {4, 0, 100, {}};

class IdentifyStepTest : public ::testing::Test {
protected:
    IdentifyStepTest() : clock(true), silence(SilenceScope::Mode::Immediate)
    {
        h.OpenPort();
        record.Set16(VEK_PANEL_EXPECTED_TYPE, 0x0312); // only the low byte counts
        record.Set16(VEK_PANEL_EXPECTED_VERSION, 31);
        h.Dlg().m_pPanelRecord = record.Get();
        h.Dlg().m_nLinkMode = 2;
        h.Dlg().m_openCode = {0x12, 0x34};
        g_bConnectPending = 1;
    }

    void Run(const Bytes& reply, int32_t expect = 0, int32_t code = 90, int32_t timeout = 20000)
    {
        g_nCurrentStepType = STEP_IDENTIFY;
        if (!reply.empty())
            FeedReply(h.Dlg(), reply);
        RunIdentifyStep(h.Dlg(),
                        std::make_unique<CPool>(ByteArray{}, STEP_IDENTIFY, expect, code, timeout, 0, 0, 0, 1));
    }
    static void ClearReceived()
    {
        CSingleLock lock(g_csReceive);
        g_rxBuffer.Clear();
    }
    std::vector<std::pair<WPARAM, LPARAM>> Done() { return Posted(h.DialogWindow(), VEK_WM_COMM_STEP_DONE); }
    std::vector<WPARAM> Notices()
    {
        std::vector<WPARAM> out;
        for (const auto& [code, lParam] : Posted(h.DialogWindow(), VEK_WM_COMM_NOTICE))
            out.push_back(code);
        return out;
    }

    ManualClockScope clock;
    SilenceScope silence;
    DialogHarness h;
    PanelRecord record;
};

TEST_F(IdentifyStepTest, PlacedCallAcceptedOpensTheSessionAndHandsOverTheReply)
{
    Run(Block(18, 31));
    const auto done = Done();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].first, 90u);
    Bytes raw = TakeBlock(done[0].second);
    ASSERT_EQ(raw.size(), 200u);
    Bytes expected = Block(18, 31);
    expected.push_back(0x00); // the 11-byte block is read as 12
    expected.resize(200, 0x00);
    EXPECT_EQ(raw, expected);
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{2, 0, 3, kSessionOpen}}));
    EXPECT_EQ(g_bConnectPending, 0);
    EXPECT_EQ(g_bSessionUp, 1);
    EXPECT_EQ(g_bPanelIdentified, 0); // only a called-back panel counts as identified here
    EXPECT_EQ(SilenceScope::Intervals(), (std::vector<uint32_t>{2500}));
}

TEST_F(IdentifyStepTest, RejectionsEndTheCall)
{
    struct Row {
        const char* what;
        Bytes reply;
        int32_t code;
        bool withRecord;
        WPARAM notice;
        int32_t endCode;
    };
    const Row rows[] = {
        {"wrong type", Block(19, 31), 90, true, 26, 100},
        {"type right, version wrong", Block(18, 32), 90, true, 25, 100},
        {"no record to compare with", Block(18, 31), 90, false, 26, 100},
        {"nothing at all", {}, 90, true, 18, 100},
        {"not an identification", {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}, 90, true, 18, 100},
        {"answering keeps answering", {}, 13, true, 18, 13},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ResetLinkState();
        h.Dlg().m_pPanelRecord = row.withRecord ? record.Get() : nullptr;
        QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_PACKET, 0, 5, 1), false); // flushed
        Run(row.reply, 0, row.code);
        EXPECT_EQ(Notices(), (std::vector<WPARAM>{row.notice}));
        EXPECT_TRUE(Done().empty());
        EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{4, 0, row.endCode, {}}}));
        EXPECT_EQ(g_nRetries, 0);
    }
}

TEST_F(IdentifyStepTest, IncomingCallHandsOverTheWholeRecordWithoutAComparison)
{
    h.Dlg().m_pPanelRecord = nullptr;
    Run(Block(0x42, 7), 2, 13);
    const auto done = Done();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].first, 13u);
    const Bytes whole = TakeBlock(done[0].second);
    ASSERT_EQ(whole.size(), 220u);
    EXPECT_EQ(whole[0], 0x42);  // type, little-endian 16 bits
    EXPECT_EQ(whole[2], 7);     // version
    EXPECT_EQ(whole[20], 0x02); // the reply from byte 20
    EXPECT_EQ(g_bPanelIdentified, 1);
    EXPECT_TRUE(QueuedSteps().empty());
}

TEST_F(IdentifyStepTest, PanelAskingForAnswerModeIsHungUpToCallBack)
{
    Run(Block(18, 31, 0x01));
    EXPECT_EQ(Done(), (std::vector<std::pair<WPARAM, LPARAM>>{{38, 0}}));
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{4, 0, 35, {}}}));

    // The panel calling back is identified as a placed call's panel.
    QueueClear();
    Run(Block(18, 31, 0x01), 1, 90);
    ASSERT_EQ(Done().size(), 1u); // 90 with its block (not taken here)
    EXPECT_EQ(g_bPanelIdentified, 1);
}

TEST_F(IdentifyStepTest, ShortReplyWithSilenceIsWaitedForTwiceThenFails)
{
    for (int32_t retry = 1; retry <= 2; ++retry) {
        Run({0x02, 0x02});
        EXPECT_EQ(g_nRetries, retry);
        auto again = QueueTakeHead();
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->m_bClearRx, 0); // the two bytes are kept
        ClearReceived();
    }
    Run({0x02, 0x02});
    EXPECT_EQ(Notices(), (std::vector<WPARAM>{18}));
}

TEST_F(IdentifyStepTest, PcLinkWaitsForAWholeBlockAndGoesOnlineItself)
{
    h.Modems().GetCurrentModem()->m_dwFlags = MODEM_PCLINK;
    Run(Bytes(12, 0x02), 1, 90, 2000); // too short: no silence timer, keep waiting
    EXPECT_TRUE(SilenceScope::Intervals().empty());
    EXPECT_EQ(QueuedSteps().size(), 1u);
    EXPECT_EQ(g_nRetries, 1);

    QueueClear();
    ClearReceived();
    Run(Bytes(13, 0x7E), 1, 90, 2000); // long enough but not recognised: no retry counted
    EXPECT_EQ(g_nRetries, 1);
    QueueClear();
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_PACKET, 0, 5, 1), false);
    Run({}, 1, 90, 2000); // other work queued: the poll gives way
    EXPECT_EQ(QueuedSteps().size(), 1u);
    EXPECT_TRUE(Notices().empty());

    QueueClear();
    ClearReceived();
    // A checked 13-byte block: 02 02 02, type 18, version 31, ..., CRC.
    Run({0x02, 0x02, 0x02, 0x12, 0x1F, 0x00, 0x11, 0x22, 0x00, 0x33, 0x44, 0x2A, 0x13}, 1, 90, 2000);
    const auto done = Done();
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].first, 32u);
    EXPECT_EQ(done[1].first, 90u);
    GlobalFree(HandleFromParam<HGLOBAL>(done[1].second));
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{2, 0, 3, kSessionOpen}}));
}

class CallStepTest : public IdentifyStepTest {
protected:
    void RunCall(int32_t code) { RunCallStep(h.Dlg(), std::make_unique<CPool>(ByteArray{}, STEP_CALL, 0, code, 1)); }
    CModem& modem() { return *h.Modems().GetCurrentModem(); }
};

TEST_F(CallStepTest, EndingAnOnlineSessionEscapesHangsUpAndResets)
{
    const std::vector<QueuedStep> onHookAndReset = {
        {1, 0, 8, Text("ATH0\r")}, {1, 0, 9, Text("ATZ\r")}, {6, 0, 89, {}}};
    struct Row {
        const char* what;
        std::string escape;
        int32_t commandMode;
        bool escapes;
    };
    const Row rows[] = {
        {"with an escape text", "+++", 0, true},
        // An empty escape would wait for an OK that never comes, and its
        // failure would drop the on-hook and the reset.
        {"without an escape text", "", 0, false},
        {"with the modem back in command mode", "+++", 1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QueueClear();
        modem().m_strEscape = row.escape;
        g_bModemInCommandMode = row.commandMode;
        g_bOnline = 1;
        const uint64_t before = NowMs();
        RunCall(100);
        EXPECT_GE(NowMs() - before, 1000u); // the panel's moment after the hang-up frame
        std::vector<QueuedStep> expected = onHookAndReset;
        if (row.escapes)
            expected.insert(expected.begin(), {1, 0, 100, Text("+++")});
        EXPECT_EQ(QueuedSteps(), expected);
        EXPECT_EQ(g_bOnline, 0);
        EXPECT_EQ(g_bModemInCommandMode, 0);
    }
}

TEST_F(CallStepTest, AnswerModeScriptHangsUpAndWaitsForTheCallBack)
{
    g_bOnline = 1;
    modem().m_nAnswerRings = 3;
    RunCall(35);
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{
                                 {1, 0, 100, Text("+++")},
                                 {1, 0, 35, Text("ATH0\r")},
                                 {1, 0, 100, Text("ATS0=3\r")},
                                 {1, 2, 41, {}},
                                 {1, 2, 41, {}},
                                 {1, 2, 41, {}},
                                 {1, 1, 32, {}},
                                 {3, 1, 90, {}},
                             }));

    QueueClear();
    g_bOnline = 0;
    RunCall(35); // nothing to end: nothing queued
    EXPECT_TRUE(QueuedSteps().empty());
}

TEST_F(CallStepTest, AnsweringComesBackWhenAskedFor)
{
    struct Row {
        int32_t code;
        int32_t restartArg, answerMode, restartAnswer;
        bool answers;
    };
    const Row rows[] = {
        {100, 0, 0, 0, false}, {88, 0, 0, 0, true},  {13, 0, 0, 0, true},
        {100, 1, 0, 0, true},  {100, 0, 1, 0, true}, {100, 0, 0, 1, true},
    };
    for (const Row& row : rows) {
        QueueClear();
        g_nAnswerRestartArg = row.restartArg;
        g_bAnswerMode = row.answerMode;
        g_bRestartAnswer = row.restartAnswer;
        RunCall(row.code);
        const auto steps = QueuedSteps();
        ASSERT_FALSE(steps.empty());
        if (row.answers) {
            EXPECT_EQ(steps.back(), (QueuedStep{3, 2, 13, {}})) << row.code; // the answer script's end
            EXPECT_EQ(g_bRestartAnswer, 0);
            EXPECT_EQ(g_bAnswerMode, 1);
        } else {
            EXPECT_EQ(steps, (std::vector<QueuedStep>{{1, 0, 9, Text("ATZ\r")}, {6, 0, 89, {}}}));
        }
    }
}

TEST_F(CallStepTest, PcLinkEndsAtOnce)
{
    modem().m_dwFlags = MODEM_PCLINK;
    g_bOnline = 1;
    RunCall(100);
    EXPECT_EQ(Done(), (std::vector<std::pair<WPARAM, LPARAM>>{{8, 0}, {9, 0}}));
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{6, 0, 89, {}}}));
    EXPECT_EQ(g_bOnline, 0);
}

} // namespace
} // namespace vek::test
