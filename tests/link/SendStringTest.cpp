// The send path on the scripted device and the manual clock: which rule,
// which bytes, which pauses, and when nothing may be sent at all.
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "link/SendPlan.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace vek::test {
namespace {

class SendStringTest : public ::testing::Test {
protected:
    SendStringTest() : clock(true)
    {
        h.OpenPort();
        modem().m_dwFlags = 0;
        modem().m_nCharDelay = 0;
        h.Dlg().m_nCurrentBaudRate = 9600;
    }

    CModem& modem() { return *h.Modems().GetCurrentModem(); }

    int Send(const ByteArray& bytes, int32_t type) { return h.Dlg().SendString(CPool(bytes, type, 0, CODE_NONE, 0)); }

    // Time between consecutive written bytes.
    std::vector<uint64_t> Gaps()
    {
        const auto w = h.Device().Written();
        std::vector<uint64_t> gaps;
        for (size_t i = 1; i < w.size(); ++i)
            gaps.push_back(w[i].timeMs - w[i - 1].timeMs);
        return gaps;
    }

    static ByteArray Text(const std::string& s) { return {s.begin(), s.end()}; }

    ManualClockScope clock;
    DialogHarness h;
    PanelRecord record;
};

TEST_F(SendStringTest, ExtendedModemTextIsPacedFortyMillisecondsPerCharacter)
{
    modem().m_dwFlags = MODEM_EXTENDED;
    const uint64_t start = NowMs();
    EXPECT_EQ(Send(Text("ATZ\r"), STEP_MODEM), 1);
    EXPECT_EQ(h.Device().WrittenText(), "ATZ\r");
    EXPECT_EQ(Gaps(), (std::vector<uint64_t>{40, 40, 40}));
    EXPECT_EQ(NowMs() - start, 160u); // the last byte is followed by its pause too
}

TEST_F(SendStringTest, ExtendedModemTextAt110BitPerSecondIsPacedOneHundredMilliseconds)
{
    modem().m_dwFlags = MODEM_EXTENDED;
    h.Dlg().m_nCurrentBaudRate = 110;
    Send(Text("AT\r"), STEP_NOTIFY);
    EXPECT_EQ(Gaps(), (std::vector<uint64_t>{100, 100}));
}

TEST_F(SendStringTest, ExtendedAndAttentionModemFollowsTheExtendedRule)
{
    modem().m_dwFlags = MODEM_EXTENDED | MODEM_ATTENTION;
    Send(Text("AT\r"), STEP_MODEM);
    EXPECT_EQ(Gaps(), (std::vector<uint64_t>{40, 40}));
}

TEST_F(SendStringTest, AttentionModemTextIsPacedOneHundredMilliseconds)
{
    modem().m_dwFlags = MODEM_ATTENTION;
    Send(Text("AT\r"), STEP_MODEM);
    EXPECT_EQ(Gaps(), (std::vector<uint64_t>{100, 100}));
}

TEST_F(SendStringTest, OtherModemTextUsesTheCharacterDelay)
{
    modem().m_nCharDelay = 7;
    Send(Text("ATH\r"), STEP_MODEM);
    EXPECT_EQ(Gaps(), (std::vector<uint64_t>{7, 7, 7}));
    h.Device().ClearWritten();
    modem().m_nCharDelay = 0;
    Send(Text("ATH\r"), STEP_MODEM);
    EXPECT_EQ(Gaps(), (std::vector<uint64_t>{0, 0, 0}));
}

TEST_F(SendStringTest, NegativeCharacterDelayMeansNoPause)
{
    modem().m_nCharDelay = -5;
    const uint64_t start = NowMs();
    Send(Text("AT\r"), STEP_MODEM);
    EXPECT_EQ(NowMs(), start);
}

TEST_F(SendStringTest, At1200WithExtendedModemOneFillerGoesBetweenBytes)
{
    modem().m_dwFlags = MODEM_EXTENDED;
    h.Dlg().m_nCurrentBaudRate = 1200;
    Send({0x01, 0x02, 0x03}, STEP_PACKET);
    EXPECT_EQ(h.Device().WrittenBytes(), (ByteArray{0x01, 0xFF, 0x02, 0xFF, 0x03}));
    EXPECT_EQ(Gaps(), (std::vector<uint64_t>{0, 0, 0, 0}));
    h.Device().ClearWritten();
    Send({0x07}, STEP_PACKET);
    EXPECT_EQ(h.Device().WrittenBytes(), (ByteArray{0x07}));
}

TEST_F(SendStringTest, PauseStepTextFollowsThePacketRules)
{
    modem().m_dwFlags = MODEM_EXTENDED;
    h.Dlg().m_nCurrentBaudRate = 1200;
    Send(Text("AT\r"), STEP_PAUSE);
    EXPECT_EQ(h.Device().WrittenBytes(), (ByteArray{'A', 0xFF, 'T', 0xFF, '\r'}));
}

TEST_F(SendStringTest, DirectLinkSlowBytesArePacedTwentyMilliseconds)
{
    modem().m_dwFlags = MODEM_PCLINK;
    record.Set16(VEK_PANEL_OPTIONS, 0x0010 | 0x0008);
    h.Dlg().m_pPanelRecord = record.Get();
    Send({1, 2, 3}, STEP_PACKET);
    EXPECT_EQ(h.Device().WrittenBytes(), (ByteArray{1, 2, 3}));
    EXPECT_EQ(Gaps(), (std::vector<uint64_t>{20, 20}));
}

TEST_F(SendStringTest, DirectLinkLongCommandsGetFourteenFillersBetweenBytes)
{
    modem().m_dwFlags = MODEM_PCLINK;
    record.Set16(VEK_PANEL_OPTIONS, 0x0008);
    h.Dlg().m_pPanelRecord = record.Get();
    Send({0xA1, 0xA2, 0xA3}, STEP_PACKET);
    const ByteArray got = h.Device().WrittenBytes();
    ASSERT_EQ(got.size(), 3u + 14u * 2u);
    ByteArray want{0xA1};
    want.insert(want.end(), 14, 0xFF);
    want.push_back(0xA2);
    want.insert(want.end(), 14, 0xFF);
    want.push_back(0xA3);
    EXPECT_EQ(got, want);
}

TEST_F(SendStringTest, IdentifyStepWithDialFrameGetsNoFiller)
{
    modem().m_dwFlags = MODEM_PCLINK;
    record.Set16(VEK_PANEL_OPTIONS, 0x0008);
    h.Dlg().m_pPanelRecord = record.Get();
    h.Dlg().m_bDialFrame = 1;
    Send({0xA1, 0xA2, 0xA3}, STEP_IDENTIFY);
    EXPECT_EQ(h.Device().WrittenBytes(), (ByteArray{0xA1, 0xA2, 0xA3}));
    h.Device().ClearWritten();
    Send({0xA1, 0xA2}, STEP_PACKET); // only the identify step is spared
    EXPECT_EQ(h.Device().WrittenBytes().size(), 2u + 14u);
}

TEST_F(SendStringTest, DirectLinkWithoutRecordFallsThroughToTheLaterRules)
{
    modem().m_dwFlags = MODEM_PCLINK;
    h.Dlg().m_nLinkMode = 3;
    Send({1, 2}, STEP_PACKET);
    EXPECT_EQ(h.Device().WrittenBytes(), (ByteArray{1, 2}));
    EXPECT_EQ(Gaps(), (std::vector<uint64_t>{80})); // link mode 3, panel type 0
}

TEST_F(SendStringTest, LinkMode3PacesByPanelType)
{
    h.Dlg().m_nLinkMode = 3;
    for (const auto& [type, pause] : std::vector<std::pair<uint16_t, uint64_t>>{
             {0, 80}, {4, 80}, {10, 80}, {11, 80}, {7, 40}, {8, 40}, {9, 40}, {5, 150}, {0xFFFF, 150}}) {
        h.Device().ClearWritten();
        h.Dlg().m_ident.panelType = type;
        Send({1, 2}, STEP_PACKET);
        EXPECT_EQ(h.Device().WrittenBytes(), (ByteArray{1, 2})) << type;
        EXPECT_EQ(Gaps(), (std::vector<uint64_t>{pause})) << type;
    }
}

TEST_F(SendStringTest, LinkMode3FramesPanels7To9WithFourFillersOnExtendedModems)
{
    modem().m_dwFlags = MODEM_EXTENDED;
    h.Dlg().m_nLinkMode = 3;
    h.Dlg().m_ident.panelType = 8;
    Send({0x10, 0x20}, STEP_PACKET);
    EXPECT_EQ(h.Device().WrittenBytes(), (ByteArray{0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0x20, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Gaps(), std::vector<uint64_t>(9, 40));
}

TEST_F(SendStringTest, OtherwiseTheByteDelayAndTheNoResponsePenaltyApply)
{
    h.Dlg().m_nByteDelay = 5;
    Send({1, 2}, STEP_PACKET);
    EXPECT_EQ(Gaps(), (std::vector<uint64_t>{5}));
    h.Device().ClearWritten();
    g_nNoResponses = 4;
    Send({1, 2}, STEP_PACKET);
    EXPECT_EQ(Gaps(), (std::vector<uint64_t>{15}));
    h.Device().ClearWritten();
    h.Dlg().m_nByteDelay = 0;
    g_nNoResponses = 3;
    const uint64_t start = NowMs();
    Send({1, 2}, STEP_PACKET);
    EXPECT_EQ(NowMs(), start);
}

TEST_F(SendStringTest, EmptyRequestSendsNothingButCountsAsSent)
{
    EXPECT_EQ(Send({}, STEP_PACKET), 1);
    EXPECT_TRUE(h.Device().WrittenBytes().empty());
}

TEST_F(SendStringTest, ClosedPortIsRefusedWithItsMessage)
{
    MessageBoxCapture boxes;
    h.Dlg().m_commCtrl.SetPortOpen(false);
    EXPECT_EQ(Send({1}, STEP_PACKET), 0);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"SendString Error, Port Not Open"}));
}

TEST_F(SendStringTest, MissingModemIsRefusedWithItsMessage)
{
    MessageBoxCapture boxes;
    h.Dlg().m_pModemSettings = nullptr;
    EXPECT_EQ(Send({1}, STEP_PACKET), 0);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"SendString Error, Outgoing Modem Not Configured"}));
    EXPECT_TRUE(h.Device().WrittenBytes().empty());
}

TEST_F(SendStringTest, ModemCommandOnDirectLinkIsRefusedWithItsMessage)
{
    MessageBoxCapture boxes;
    modem().m_dwFlags = MODEM_PCLINK;
    EXPECT_EQ(Send(Text("AT\r"), STEP_MODEM), 0);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"SendString Error, PCLINK and POOL_AT"}));
    EXPECT_TRUE(h.Device().WrittenBytes().empty());
    EXPECT_EQ(Send(Text("AT\r"), STEP_NOTIFY), 1); // notify text is not a modem step
}

TEST_F(SendStringTest, WaitingInputIsDiscardedBeforeSending)
{
    h.Device().Inject("stale");
    const int discards = h.Device().DiscardCount();
    Send({1}, STEP_PACKET);
    EXPECT_EQ(h.Device().DiscardCount(), discards + 1);
    EXPECT_EQ(h.Dlg().m_commCtrl.GetInBufferCount(), 0);
}

TEST_F(SendStringTest, DsrThatStaysLowWritesNothingAfterTwoSeconds)
{
    h.Device().SetDsr(false);
    const uint64_t start = NowMs();
    EXPECT_EQ(Send({1, 2, 3}, STEP_PACKET), 1);
    EXPECT_TRUE(h.Device().WrittenBytes().empty());
    EXPECT_EQ(NowMs() - start, 2000u); // only the first byte waited
    EXPECT_TRUE(g_evDsrReady.IsSet()); // tells a late waiter to give up
}

TEST_F(SendStringTest, DsrRisingDuringTheWaitLetsTheByteGo)
{
    ManualClockScope manual(false);
    h.Device().SetDsr(false);
    std::thread worker([&] { Send({0x42}, STEP_PACKET); });
    ASSERT_TRUE(manual.Clock().WaitForWaiters(1));
    // Count the waits before moving the clock: the worker may be back in its
    // next wait before this thread looks again.
    const uint64_t entries = manual.Clock().WaitEntries();
    manual.Clock().Advance(500);
    ASSERT_TRUE(manual.Clock().WaitForEntries(entries + 1));
    h.Device().SetDsr(true); // the line change wakes the waiting write
    worker.join();
    const auto written = h.Device().Written();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_GE(written[0].timeMs, 500u);
    EXPECT_LT(written[0].timeMs, 2000u);
}

TEST_F(SendStringTest, VanishedDeviceFailsQuietlyAtOnce)
{
    MessageBoxCapture boxes;
    h.Device().Vanish();
    const uint64_t start = NowMs();
    EXPECT_EQ(Send({1, 2}, STEP_PACKET), 1);
    EXPECT_TRUE(h.Device().WrittenBytes().empty());
    EXPECT_EQ(NowMs(), start);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SendStringTest, DirectByteIgnoresTheDsrGate)
{
    h.Device().SetDsr(false);
    const uint64_t start = NowMs();
    h.Dlg().WriteDirectByte(0x00);
    EXPECT_EQ(h.Device().WrittenBytes(), (ByteArray{0x00}));
    EXPECT_EQ(NowMs(), start);
}

TEST(SendStringPlanTest, FirstMatchingRuleWins)
{
    SendContext ctx;
    ctx.stepType = STEP_PACKET;
    ctx.modemFlags = MODEM_EXTENDED | MODEM_PCLINK;
    ctx.baudRate = 1200;
    ctx.hasRecord = true;
    ctx.panelOptions = 0x0018;
    ctx.linkMode = 3;
    EXPECT_EQ(PlanSend({1}, ctx).rule, SendRule::P1);
    ctx.baudRate = 2400;
    EXPECT_EQ(PlanSend({1}, ctx).rule, SendRule::P2);
    ctx.panelOptions = 0x0008;
    EXPECT_EQ(PlanSend({1}, ctx).rule, SendRule::P3);
    ctx.panelOptions = 0;
    EXPECT_EQ(PlanSend({1}, ctx).rule, SendRule::P4);
    ctx.linkMode = 2;
    EXPECT_EQ(PlanSend({1}, ctx).rule, SendRule::P5);
    ctx.stepType = STEP_MODEM;
    EXPECT_EQ(PlanSend({1}, ctx).rule, SendRule::T1);
}

} // namespace
} // namespace vek::test
