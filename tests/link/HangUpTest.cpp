// Hang-up requests and keep-alive frames on the queue.
#include "link/CallPhase.h"
#include "link/CommThreadProc.h"
#include "link/QueueHangUp.h"
#include "link/QueueKeepAlive.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

namespace vek::test {
namespace {

class HangUpTest : public ::testing::Test {
protected:
    std::vector<CPool> Queued()
    {
        CSingleLock lock(g_csQueue);
        std::vector<CPool> steps;
        for (const auto& s : g_requestQueue)
            steps.push_back(*s);
        return steps;
    }

    std::vector<WPARAM> HostCodes()
    {
        std::vector<WPARAM> codes;
        for (const Message& m : h.HostWindow().Drain(VEK_WM_COMM_HOST_NOTIFY))
            codes.push_back(m.wParam);
        return codes;
    }

    static void QueueSteps(int n)
    {
        for (int i = 0; i < n; ++i)
            QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_NOTIFY, 0, i, 1), false);
    }

    DialogHarness h;
};

TEST_F(HangUpTest, ConnectedCallGetsTheHangUpFrameThenTheCallScript)
{
    g_bOnline = 1;
    h.Dlg().m_nLinkMode = 2;
    QueueHangUp(h.Dlg(), 0, 1);
    const auto steps = Queued();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].m_data, (ByteArray{0x00, 0x03, 0x54, 0xE0, 0x35}));
    EXPECT_EQ(steps[0].m_nType, STEP_DEFER_CALL);
    EXPECT_EQ(steps[0].m_nCode, 88);
    EXPECT_EQ(steps[0].m_bClearRx, 1);
    EXPECT_EQ(g_nAnswerRestartArg, 1);
    EXPECT_TRUE(g_evQueue.IsSet());
    EXPECT_TRUE(HostCodes().empty());
}

TEST_F(HangUpTest, HangUpFramePerModeAndCodeWithoutRestart)
{
    g_bOnline = 1;
    h.Dlg().m_nLinkMode = 1;
    QueueHangUp(h.Dlg(), 0, 0);
    QueueHangUp(h.Dlg(), 0, 0); // the call is being ended already
    EXPECT_EQ(Queued().size(), 1u);
    CloseCall(); // the next call
    h.Dlg().m_nLinkMode = 3;
    QueueHangUp(h.Dlg(), 0, 0);
    const auto steps = Queued();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].m_data, (ByteArray{0x03, 0x54, 0xE0, 0x35}));
    EXPECT_EQ(steps[1].m_data, (ByteArray{0x02, 0x02}));
    EXPECT_EQ(steps[0].m_nCode, CODE_NONE);
}

TEST_F(HangUpTest, IdleDisconnectIsReportedBeforeTheHangUp)
{
    g_bOnline = 1;
    g_bIdleDisconnect = 1;
    h.Dlg().m_nLinkMode = 2;
    QueueHangUp(h.Dlg(), 0, 0);
    EXPECT_EQ(HostCodes(), (std::vector<WPARAM>{36}));
    EXPECT_EQ(Queued().size(), 1u);
}

TEST_F(HangUpTest, IgnoredWhileThePanelHasNotIdentifiedItself)
{
    g_bOnline = 1;
    g_bConnectPending = 1;
    g_bIdleDisconnect = 1;
    QueueHangUp(h.Dlg(), 0, 1);
    EXPECT_TRUE(Queued().empty());
    EXPECT_TRUE(HostCodes().empty());
    EXPECT_EQ(g_nAnswerRestartArg, 1); // taken before anything else
}

TEST_F(HangUpTest, NoCallAndClosedPortOnlyReportsOnHookAndReady)
{
    g_bAnswerMode = 1;
    QueueHangUp(h.Dlg(), 1, 0);
    EXPECT_EQ(HostCodes(), (std::vector<WPARAM>{8, 9}));
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(g_bAnswerMode, 0);
}

TEST_F(HangUpTest, NoCallWithOpenPortQueuesNotifyOrCallStep)
{
    h.OpenPort();
    QueueHangUp(h.Dlg(), 1, 0);
    QueueHangUp(h.Dlg(), 0, 0);
    const auto steps = Queued();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].m_nType, STEP_NOTIFY);
    EXPECT_EQ(steps[0].m_nCode, 40);
    EXPECT_TRUE(steps[0].m_data.empty());
    EXPECT_EQ(steps[1].m_nType, STEP_CALL);
    EXPECT_EQ(steps[1].m_nCode, CODE_NONE);
    EXPECT_TRUE(g_evQueue.IsSet());
}

TEST_F(HangUpTest, KeepAliveFromTheWorkerReplacesTheQueueWithoutWaking)
{
    h.Dlg().m_nLinkMode = 4;
    QueueSteps(3);
    QueueKeepAlive(h.Dlg(), false, false);
    const auto steps = Queued();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].m_data, (ByteArray{0x00, 0x04, 0x00, 0x55, 0x62, 0x5C}));
    EXPECT_EQ(steps[0].m_nType, STEP_PACKET);
    EXPECT_EQ(steps[0].m_nExpect, 4);
    EXPECT_EQ(steps[0].m_nCode, CODE_NONE);
    EXPECT_FALSE(g_evQueue.IsSet());
}

TEST_F(HangUpTest, SendOnlyKeepAliveKeepsTheQueueAndWakes)
{
    h.Dlg().m_nLinkMode = 5;
    QueueSteps(2);
    QueueKeepAlive(h.Dlg(), true, true);
    QueueKeepAlive(h.Dlg(), true, false);
    const auto steps = Queued();
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps.front().m_data, (ByteArray{0x00, 0x05, 0x25, 0x00, 0x55, 0x7D, 0xC7}));
    EXPECT_EQ(steps.front().m_nType, STEP_SEND_ONLY);
    EXPECT_EQ(steps.back().m_nType, STEP_SEND_ONLY);
    EXPECT_TRUE(g_evQueue.IsSet());
}

} // namespace
} // namespace vek::test

namespace vek::test {
namespace {

// A call online without framing (answered, before PanelInit gave the record)
// has no hang-up frame: nothing is sent and the call script ends the call.
TEST(HangUpWithoutFramingTest, GoesStraightToTheCallScript)
{
    ManualClockScope clock(true);
    DialogHarness h;
    h.OpenPort();
    g_bOnline = 1;
    h.Dlg().m_nLinkMode = 0;
    QueueHangUp(h.Dlg(), 0, 0);
    h.Device().ClearWritten();
    ASSERT_TRUE(WorkerPass(h.Dlg()));
    EXPECT_TRUE(h.Device().WrittenBytes().empty());
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{4, 0, 100, {}}}));
    ASSERT_TRUE(WorkerPass(h.Dlg())); // escape, on-hook, reset, end of call
    EXPECT_EQ(QueuedSteps().front().data, Text("+++"));
    EXPECT_EQ(QueuedSteps().back(), (QueuedStep{6, 0, 89, {}}));
}

} // namespace
} // namespace vek::test
