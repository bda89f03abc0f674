// The control's events on the dialog's thread: status texts and the three
// routes of received characters.
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "link/Sum8.h"
#include "modem/ParseModemResponse.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

namespace vek::test {
namespace {

class OnCommEventTest : public ::testing::Test {
protected:
    OnCommEventTest()
    {
        ctrl().SetRThreshold(1);
        ctrl().SetSThreshold(1);
        ctrl().SetEventWindow(h.DialogWindow().Handle());
        h.OpenPort();
    }

    CCommCtrl& ctrl() { return h.Dlg().m_commCtrl; }
    void Arrive(const std::string& bytes)
    {
        h.Device().Inject(bytes);
        DispatchCommEvents(h.Dlg(), h.DialogWindow());
    }
    static std::string RxBytes()
    {
        CSingleLock lock(g_csReceive);
        const auto b = g_rxBuffer.Bytes();
        return {b.begin(), b.end()};
    }

    DialogHarness h;
};

TEST_F(OnCommEventTest, ModemTextSplitAcrossEventsIsTrimmedAndRecognised)
{
    Arrive("\r\n");
    EXPECT_FALSE(g_evModemDone.IsSet());
    Arrive("OK\r\n");
    EXPECT_EQ(g_strModemResponse, "OK");
    EXPECT_EQ(g_nModemResult, 0);
    EXPECT_TRUE(g_evModemDone.IsSet());
    EXPECT_EQ(h.Dlg().m_strStatus, "Receiving");
}

TEST_F(OnCommEventTest, PiecesAreJoinedWithoutSeparators)
{
    Arrive("\r\nCONN");
    EXPECT_FALSE(g_evModemDone.IsSet());
    Arrive("ECT 9600\r\n");
    EXPECT_EQ(g_strModemResponse, "CONNECT 9600");
    EXPECT_EQ(g_nModemResult, 1);
    EXPECT_EQ(g_bConnectPending, 1);
}

TEST_F(OnCommEventTest, PacketRouteFeedsTheReceiveBufferWithEveryByte)
{
    g_evModemDone.Set();
    Arrive(std::string("\x01\x00\x02", 3));
    EXPECT_EQ(RxBytes(), std::string("\x01\x00\x02", 3));
    EXPECT_TRUE(g_evBytesArrived.IsSet());
    EXPECT_EQ(g_strModemResponse, "");
    EXPECT_EQ(ctrl().GetInBufferCount(), 0);
}

TEST_F(OnCommEventTest, PacketRouteScansWithTheRulesOfTheCall)
{
    h.Dlg().m_nLinkMode = 3;
    g_nCurrentStepType = STEP_PACKET;
    const std::vector<uint8_t> head{0x50, 0x01, 0x02};
    std::string reply(head.begin(), head.end());
    reply.push_back(static_cast<char>(Sum8(head)));

    g_evModemDone.Set();
    Arrive(reply);
    EXPECT_TRUE(g_evPacketComplete.IsSet()); // four bytes answer code 0x50

    ResetLinkState();
    g_evModemDone.Set();
    g_nCurrentStepType = STEP_PACKET;
    h.Dlg().m_ident.panelType = 0xE2;
    h.Dlg().m_ident.panelVersion = 0x96;
    Arrive(reply);
    EXPECT_FALSE(g_evPacketComplete.IsSet()); // this panel answers with one more

    ResetLinkState();
    g_evModemDone.Set();
    g_nCurrentStepType = STEP_IDENTIFY;
    h.Dlg().m_ident.panelType = 0;
    Arrive(reply);
    EXPECT_FALSE(g_evPacketComplete.IsSet()); // identification replies are not frames
    EXPECT_TRUE(g_evBytesArrived.IsSet());
}

TEST_F(OnCommEventTest, DiscardRouteDropsWhatArrivesWhileAPacketWaits)
{
    g_evModemDone.Set();
    g_evPacketComplete.Set();
    {
        CSingleLock lock(g_csReceive);
        g_rxBuffer.Append(std::vector<uint8_t>{9, 9});
    }
    Arrive("surplus");
    EXPECT_EQ(RxBytes(), "\x09\x09");
    EXPECT_EQ(g_strModemResponse, "");
    EXPECT_EQ(ctrl().GetInBufferCount(), 0);
    EXPECT_FALSE(g_evBytesArrived.IsSet());
}

TEST_F(OnCommEventTest, ReceiveEventWithNothingWaitingOnlyChangesTheStatus)
{
    h.Dlg().m_strStatus = "before";
    ctrl().BeginEvent(2);
    h.Dlg().OnCommEvent();
    EXPECT_EQ(h.Dlg().m_strStatus, "Receiving");
    EXPECT_EQ(g_strModemResponse, "");
    EXPECT_FALSE(g_evModemDone.IsSet());
}

TEST_F(OnCommEventTest, LineEventsShowTheirTextsAndErrorsKeepTheLastOne)
{
    const std::vector<std::pair<int16_t, std::string>> texts{{1, "Sent All Charaters"},
                                                             {3, "Change in CTS Detected"},
                                                             {4, "Change in DSR Detected"},
                                                             {5, "Change in CD Detected"},
                                                             {6, "Phone is Ringing"},
                                                             {7, "End of File Detected"},
                                                             {2, "Receiving"}};
    for (const auto& [code, text] : texts) {
        ctrl().BeginEvent(code);
        h.Dlg().OnCommEvent();
        EXPECT_EQ(h.Dlg().m_strStatus, text) << code;
    }
    for (const int16_t code : {1001, 1002, 1003, 1004, 1006, 1007, 1008, 1009, 1010, 42}) {
        ctrl().BeginEvent(code);
        h.Dlg().OnCommEvent();
        EXPECT_EQ(h.Dlg().m_strStatus, "Receiving") << code;
    }
}

TEST_F(OnCommEventTest, LineEventsLeaveReceivedBytesAlone)
{
    ctrl().SetRThreshold(0);
    h.Device().Inject("OK");
    h.Device().SetDsr(false);
    DispatchCommEvents(h.Dlg(), h.DialogWindow());
    EXPECT_EQ(h.Dlg().m_strStatus, "Change in DSR Detected");
    EXPECT_EQ(ctrl().GetInBufferCount(), 2);
    EXPECT_FALSE(g_evModemDone.IsSet());
}

TEST_F(OnCommEventTest, NoisyLineDuringALongWaitStaysBounded)
{
    for (int i = 0; i < 2000; ++i)
        Arrive("\r\n+CME NOISE 0123456789\r\n");
    EXPECT_LE(g_strModemResponse.size(), kModemTextCap);
    EXPECT_FALSE(g_evModemDone.IsSet());
    Arrive("\r\nO");
    Arrive("K\r\n");
    EXPECT_EQ(g_nModemResult, 0);
}

TEST_F(OnCommEventTest, VanishedDeviceShowsOneDsrChange)
{
    h.Device().Vanish();
    const auto others = DispatchCommEvents(h.Dlg(), h.DialogWindow());
    EXPECT_TRUE(others.empty());
    EXPECT_EQ(h.Dlg().m_strStatus, "Change in DSR Detected");
}

} // namespace
} // namespace vek::test
