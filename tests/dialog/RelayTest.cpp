// The dialog's relays turn worker messages into host notifications.
#include "link/AbortPattern.h"
#include "link/QueueKeepAlive.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "platform/Handles.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace vek::test {
namespace {

class RelayTest : public ::testing::Test {
protected:
    void SetUp() override { g_onlineCalls = 0; }

    std::vector<Message> HostNotifications() { return h.HostWindow().Drain(VEK_WM_COMM_HOST_NOTIFY); }

    static void QueueSteps(int count)
    {
        for (int i = 0; i < count; ++i)
            QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_NOTIFY, 0, i, 1), false);
    }

    DialogHarness h;
};

TEST_F(RelayTest, NoticeCode100IsSwallowed)
{
    EXPECT_EQ(h.Dlg().OnWorkerNotify(100, 6005), 0);
    EXPECT_EQ(h.Dlg().OnWorkerStatus(100, 0), 1);
    EXPECT_TRUE(HostNotifications().empty());
}

TEST_F(RelayTest, NoticeDropsItsLParamAndStatusKeepsIt)
{
    EXPECT_EQ(h.Dlg().OnWorkerNotify(20, 5), 1);
    EXPECT_EQ(h.Dlg().OnWorkerStatus(7, 5), 1);
    const auto got = HostNotifications();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].wParam, 20u);
    EXPECT_EQ(got[0].lParam, 0);
    EXPECT_EQ(got[1].wParam, 7u);
    EXPECT_EQ(got[1].lParam, 5);
}

TEST_F(RelayTest, StatusWithBlockPassesTheSameHandle)
{
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 16);
    h.Dlg().OnWorkerStatus(6, HandleToParam(block));
    const auto got = HostNotifications();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].wParam, 6u);
    EXPECT_EQ(HandleFromParam<HGLOBAL>(got[0].lParam), block);
    GlobalFree(block);
}

TEST_F(RelayTest, ConnectedCutsTheQueueToItsHeadAndGoesOnline)
{
    QueueSteps(3);
    g_nEfficiency = 3;
    g_nNoResponses = 4;
    g_nHostNoResponses = 2;
    g_bPanelIdentified = 1;
    g_bRestartAnswer = 1;
    g_bIdleDisconnect = 1;

    h.Dlg().OnWorkerStatus(32, 0);

    {
        CSingleLock lock(g_csQueue);
        ASSERT_EQ(g_requestQueue.size(), 1u);
        EXPECT_EQ(g_requestQueue.front()->m_nCode, 0); // the first one stays
    }
    EXPECT_EQ(g_bOnline, 1);
    EXPECT_EQ(g_nEfficiency, 10);
    EXPECT_EQ(g_nNoResponses, 0);
    EXPECT_EQ(g_nHostNoResponses, 0);
    EXPECT_EQ(g_bPanelIdentified, 0);
    EXPECT_EQ(g_bRestartAnswer, 0);
    EXPECT_EQ(g_bIdleDisconnect, 0);
    const auto got = HostNotifications();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].wParam, 32u);
}

TEST_F(RelayTest, ConnectedOnAnEmptyQueueOnlySetsTheSession)
{
    h.Dlg().OnWorkerStatus(32, 0);
    EXPECT_EQ(QueueCount(), 0u);
    EXPECT_EQ(g_bOnline, 1);
    EXPECT_EQ(HostNotifications().size(), 1u);
}

TEST_F(RelayTest, EndOfCallResetsTheCallAndClosesThePort)
{
    PanelRecord record;
    h.OpenPort();
    auto& dlg = h.Dlg();
    dlg.m_pPanelRecord = record.Get();
    dlg.m_nLinkMode = 2;
    dlg.m_nCallMode = 1;
    dlg.m_openCode = {1, 2};
    dlg.m_idCode = {3};
    g_bConnectPending = 1;
    g_bSessionUp = 1;
    g_nAnswerRestartArg = 1;
    g_bAnswerMode = 1;
    g_bRestartAnswer = 1;

    EXPECT_EQ(dlg.OnWorkerStatus(89, 0), 1);

    EXPECT_TRUE(HostNotifications().empty());
    EXPECT_EQ(dlg.m_pPanelRecord, nullptr);
    EXPECT_EQ(dlg.m_nLinkMode, 0);
    EXPECT_EQ(dlg.m_nCallMode, 0);
    EXPECT_TRUE(dlg.m_openCode.empty());
    EXPECT_TRUE(dlg.m_idCode.empty());
    EXPECT_FALSE(dlg.m_commCtrl.GetPortOpen());
    for (int flag : {g_bConnectPending.load(), g_bSessionUp.load(), g_nAnswerRestartArg.load(), g_bAnswerMode.load(),
                     g_bRestartAnswer.load()})
        EXPECT_EQ(flag, 0);
}

TEST_F(RelayTest, EndOfAnOldCallLeavesTheNextOneAlone)
{
    // The host heard 9 and began its next call before the old call's 89
    // reached the dialog.
    PanelRecord record;
    auto& dlg = h.Dlg();
    const auto oldCall = static_cast<LPARAM>(g_nCallSerial.load());
    ASSERT_EQ(dlg.CommInit(85), 1);
    QueueClear();
    dlg.m_pPanelRecord = record.Get();
    dlg.m_nLinkMode = 2;
    EXPECT_EQ(dlg.OnWorkerStatus(89, oldCall), 1);
    EXPECT_TRUE(dlg.m_commCtrl.GetPortOpen());
    EXPECT_EQ(dlg.m_pPanelRecord, record.Get());
    EXPECT_EQ(dlg.m_nLinkMode, 2);
    // The new call's own end resets it.
    EXPECT_EQ(dlg.OnWorkerStatus(89, static_cast<LPARAM>(g_nCallSerial.load())), 1);
    EXPECT_FALSE(dlg.m_commCtrl.GetPortOpen());
    EXPECT_EQ(dlg.m_pPanelRecord, nullptr);
}

TEST_F(RelayTest, KeepAliveDueAsksTheHostOnlyWhenIdleWithARecord)
{
    PanelRecord record;
    auto& dlg = h.Dlg();

    dlg.OnKeepAliveDue(0, 0); // no record
    EXPECT_EQ(g_onlineCalls, 0);

    dlg.m_pPanelRecord = record.Get();
    record.Set32(VEK_PANEL_HOST_FLAGS, VEK_HOST_FLAG_NO_IDLE_CALLS);
    dlg.OnKeepAliveDue(0, 0); // host asked not to be called
    EXPECT_EQ(g_onlineCalls, 0);

    record.Set32(VEK_PANEL_HOST_FLAGS, 0);
    QueueSteps(1);
    dlg.OnKeepAliveDue(0, 0); // work is waiting
    EXPECT_EQ(g_onlineCalls, 0);

    QueueClear();
    EXPECT_EQ(dlg.OnKeepAliveDue(0, 0), 0);
    EXPECT_EQ(g_onlineCalls, 1);
    EXPECT_EQ(g_onlineRecord, record.Get());
    EXPECT_EQ(g_onlineWhat, 600);

    // The tick's own keep-alive, not yet taken by the worker, is not work.
    dlg.m_nLinkMode = 2;
    QueueKeepAlive(dlg, false, false);
    ASSERT_EQ(QueueCount(), 1u);
    dlg.OnKeepAliveDue(0, 0);
    EXPECT_EQ(g_onlineCalls, 2);
    QueueClear();
}

TEST_F(RelayTest, HostMayUseTheLibraryFromAnyThreadInsideTheIdleCallback)
{
    PanelRecord record;
    h.Dlg().m_pPanelRecord = record.Get();
    // The worker, or any thread of the host, takes the queue's lock while
    // the host is inside the callback: no lock of the library is held there.
    bool otherThreadGotIn = false;
    std::future<size_t> other; // outlives the callback, should the lock be held
    g_onlineAction = [&] {
        other = std::async(std::launch::async, [] { return QueueCount(); });
        otherThreadGotIn = other.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    };
    h.Dlg().OnKeepAliveDue(0, 0);
    g_onlineAction = nullptr;
    EXPECT_EQ(g_onlineCalls, 1);
    EXPECT_TRUE(otherThreadGotIn);
}

TEST_F(RelayTest, ConnectedCutsSetUpStepsButNeverAHostsRequest)
{
    QueueSteps(3); // the step in hand and two of the call's set-up
    auto request = std::make_unique<CPool>(ByteArray{1}, STEP_PACKET, 5, 6, 1);
    request->m_bHostRequest = true;
    QueueAppend(std::move(request), false);
    h.Dlg().OnWorkerStatus(32, 0);
    const auto steps = QueuedSteps();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].code, 0);
    EXPECT_EQ(steps[1], (QueuedStep{2, 5, 6, {1}}));
}

TEST_F(RelayTest, ForcedHangUpOnlyWhileOnlineAndAheadOfEverything)
{
    QueueSteps(2);
    h.Dlg().m_nLinkMode = 1;
    h.Dlg().ForcedHangUp();
    EXPECT_EQ(QueueCount(), 2u);
    EXPECT_EQ(g_nEfficiency, 10);

    g_bOnline = 1;
    h.Dlg().ForcedHangUp();
    CSingleLock lock(g_csQueue);
    ASSERT_EQ(g_requestQueue.size(), 3u);
    const CPool& head = *g_requestQueue.front();
    EXPECT_EQ(head.m_data, (ByteArray{0x03, 0x77, 0x77, 0x77}));
    EXPECT_EQ(head.m_nType, STEP_PACKET);
    EXPECT_EQ(head.m_nCode, CODE_NONE);
    EXPECT_EQ(head.m_nTimeout, 3000);
    EXPECT_EQ(head.m_bClearRx, 1);
    EXPECT_EQ(g_nEfficiency, 0);
    EXPECT_TRUE(g_evQueue.IsSet());
}

TEST(AbortPatternTest, EachLinkMode)
{
    EXPECT_EQ(AbortPattern(0), (ByteArray{0x03, 0x77, 0x77, 0x77}));
    EXPECT_EQ(AbortPattern(1), (ByteArray{0x03, 0x77, 0x77, 0x77}));
    EXPECT_EQ(AbortPattern(2), (ByteArray{0x00, 0x03, 0x77, 0x77, 0x77}));
    EXPECT_EQ(AbortPattern(3), (ByteArray{0x11, 0x03, 0x77, 0x77, 0x77}));
    EXPECT_EQ(AbortPattern(4), (ByteArray{0x00, 0x04, 0x77, 0x77, 0x77, 0x77}));
    EXPECT_EQ(AbortPattern(5), (ByteArray{0x00, 0x05, 0x77, 0x77, 0x77, 0x77, 0x77}));
    EXPECT_EQ(AbortPattern(9), AbortPattern(5));
}

} // namespace
} // namespace vek::test
