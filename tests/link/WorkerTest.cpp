// The worker's main loop driven pass by pass on the test's thread, with a
// manual clock so that pauses and 9000 ms ticks cost nothing.
#include "link/CommThreadProc.h"
#include "link/QueueKeepAlive.h"
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "platform/Handles.h"
#include "platform/MessageBox.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace vek::test {
namespace {

class WorkerTest : public ::testing::Test {
protected:
    WorkerTest() : clock(true) {}

    static std::unique_ptr<CPool> Notify(int code)
    {
        return std::make_unique<CPool>(ByteArray{}, STEP_NOTIFY, 0, code, 0);
    }

    std::vector<WPARAM> StepDoneCodes()
    {
        std::vector<WPARAM> codes;
        for (const Message& m : h.DialogWindow().Drain(VEK_WM_COMM_STEP_DONE))
            codes.push_back(m.wParam);
        return codes;
    }

    void RunPasses(int n)
    {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(WorkerPass(h.Dlg()));
    }

    ManualClockScope clock;
    DialogHarness h;
};

TEST_F(WorkerTest, TakesStepsOneAtATimeInQueueOrder)
{
    QueueAppend(Notify(1), true);
    QueueAppend(Notify(2), true);
    QueueAppend(Notify(3), true);
    RunPasses(1);
    EXPECT_EQ(StepDoneCodes(), (std::vector<WPARAM>{1}));
    EXPECT_EQ(QueueCount(), 2u);
    RunPasses(2);
    EXPECT_EQ(StepDoneCodes(), (std::vector<WPARAM>{2, 3}));
}

TEST_F(WorkerTest, HeadInsertionRunsBeforeTheTail)
{
    QueueAppend(Notify(1), true);
    QueueInsertHead(Notify(9), true);
    RunPasses(2);
    EXPECT_EQ(StepDoneCodes(), (std::vector<WPARAM>{9, 1}));
}

TEST_F(WorkerTest, EmptyQueueResetsTheQueueEvent)
{
    g_evQueue.Set();
    RunPasses(1);
    EXPECT_FALSE(g_evQueue.IsSet());
}

TEST_F(WorkerTest, NullEntryCountsAsNothing)
{
    QueueAppend(nullptr, true);
    QueueAppend(Notify(4), true);
    RunPasses(2);
    EXPECT_EQ(StepDoneCodes(), (std::vector<WPARAM>{4}));
}

TEST_F(WorkerTest, StopIsSeenOnlyAfterTheQueueWaitEnds)
{
    g_evStop.Set();
    g_evQueue.Set();
    EXPECT_FALSE(WorkerPass(h.Dlg()));
}

TEST_F(WorkerTest, DeferCallAppendsACallStepWithItsCode)
{
    QueueAppend(Notify(1), true);
    QueueInsertHead(std::make_unique<CPool>(ByteArray{}, STEP_DEFER_CALL, 0, 88, 0), true);
    RunPasses(1);
    CSingleLock lock(g_csQueue);
    ASSERT_EQ(g_requestQueue.size(), 2u);
    const CPool& call = *g_requestQueue.back();
    EXPECT_EQ(call.m_nType, STEP_CALL);
    EXPECT_EQ(call.m_nExpect, 0);
    EXPECT_EQ(call.m_nCode, 88);
    EXPECT_EQ(call.m_bClearRx, 1);
    EXPECT_EQ(call.m_nTimeout, 1000);
    EXPECT_TRUE(call.m_data.empty());
}

TEST_F(WorkerTest, PauseStepWaitsOneSecond)
{
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_PAUSE, 0, 100, 0), true);
    const uint64_t before = NowMs();
    RunPasses(1);
    EXPECT_EQ(NowMs() - before, 1000u);
}

TEST_F(WorkerTest, SendOnlyStepIsSentThenPauses)
{
    h.OpenPort();
    QueueAppend(std::make_unique<CPool>(ByteArray{0x41, 0x42}, STEP_SEND_ONLY, 0, 100, 0), true);
    const uint64_t before = NowMs();
    RunPasses(1);
    EXPECT_EQ(h.Device().WrittenBytes(), (ByteArray{0x41, 0x42}));
    EXPECT_GE(NowMs() - before, 300u);
    EXPECT_TRUE(StepDoneCodes().empty()); // no answer read, nothing reported
}

TEST_F(WorkerTest, NoSendFlagAndEmptyDataSendNothingButRunTheType)
{
    h.OpenPort();
    QueueAppend(std::make_unique<CPool>(ByteArray{1, 2}, STEP_NOTIFY, 0, 7, 0, 0, REQ_NO_SEND, 0, 0), true);
    QueueAppend(Notify(8), true);
    RunPasses(2);
    EXPECT_TRUE(h.Device().WrittenBytes().empty());
    EXPECT_EQ(StepDoneCodes(), (std::vector<WPARAM>{7, 8}));
}

TEST_F(WorkerTest, FailedSendDropsTheStepAndWaitsForTheNextProducer)
{
    std::vector<std::string> boxes;
    static std::vector<std::string>* sink = nullptr;
    sink = &boxes;
    SetMessageBoxHook([](const char*, const char* text) { sink->push_back(text); });
    QueueAppend(std::make_unique<CPool>(ByteArray{1}, STEP_NOTIFY, 0, 5, 0), true);
    QueueAppend(Notify(6), true);
    RunPasses(1); // port closed: refused
    SetMessageBoxHook(nullptr);
    EXPECT_EQ(boxes, (std::vector<std::string>{"SendString Error, Port Not Open"}));
    EXPECT_FALSE(g_evQueue.IsSet());
    EXPECT_EQ(QueueCount(), 1u);
    EXPECT_TRUE(StepDoneCodes().empty());
}

TEST_F(WorkerTest, ClearRxEmptiesTheReceiveStateOnlyWhenAsked)
{
    {
        CSingleLock lock(g_csReceive);
        const uint8_t bytes[] = {1, 2, 3};
        g_rxBuffer.Append(bytes);
        g_strModemResponse = "OK";
    }
    QueueAppend(Notify(1), true); // m_bClearRx 0 keeps what arrived
    RunPasses(1);
    EXPECT_EQ(g_rxBuffer.Size(), 3u);
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_NOTIFY, 0, 2, 1), true);
    RunPasses(1);
    EXPECT_TRUE(g_rxBuffer.Empty());
    EXPECT_TRUE(g_strModemResponse.empty());
}

TEST_F(WorkerTest, PreparationSteersTheReceiveEvents)
{
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_MODEM, 0, 100, 0), true);
    g_evPacketComplete.Reset();
    g_evModemDone.Set();
    RunPasses(1);
    EXPECT_FALSE(g_evModemDone.IsSet());
    EXPECT_TRUE(g_evPacketComplete.IsSet());
    EXPECT_EQ(g_nCurrentStepType, STEP_MODEM);
    EXPECT_EQ(g_nModemResult, 100);

    g_evBytesArrived.Set();
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_IDENTIFY, 0, 100, 0), true);
    RunPasses(1);
    EXPECT_TRUE(g_evModemDone.IsSet());
    EXPECT_FALSE(g_evPacketComplete.IsSet());
    EXPECT_FALSE(g_evBytesArrived.IsSet());
    EXPECT_EQ(g_nCurrentStepType, STEP_IDENTIFY);
}

// The idle watch, 9000 ms per silent tick.
class IdleWatchTest : public WorkerTest {
protected:
    void SetUp() override
    {
        g_bOnline = 1;
        h.Dlg().m_nLinkMode = 2;
        h.OpenPort();
    }

    void AttachRecord(int16_t factorA, int16_t factorB)
    {
        record.Set16(VEK_PANEL_IDLE_FACTOR_A, static_cast<uint16_t>(factorA));
        record.Set16(VEK_PANEL_IDLE_FACTOR_B, static_cast<uint16_t>(factorB));
        record.Set32(VEK_PANEL_RECORD_WINDOW, HandleToField(recordWindow.Handle()));
        // Nothing answers the keep-alive frames here: their failures must not
        // count against the link, or it would end before the ticks of interest.
        record.Set32(VEK_PANEL_HOST_FLAGS, VEK_HOST_FLAG_NO_IDLE_CALLS);
        h.Dlg().m_pPanelRecord = record.Get();
    }

    // Uncounted failures still end a silent link after a bound (the packet
    // step's tests show it); each tick here is forgiven its unanswered frame.
    void RunPasses(int n)
    {
        for (int i = 0; i < n; ++i) {
            ASSERT_TRUE(WorkerPass(h.Dlg()));
            g_nHostNoResponses = 0;
            g_nUncountedFailures = 0;
        }
    }

    // A wake by a producer, as after the call was set up. The first pass
    // runs the step; the second finds the queue empty and clears the event,
    // so the ticks after it are silent.
    void ProducerWake()
    {
        QueueClear(); // the unanswered keep-alive of the last tick
        QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_PAUSE, 0, 100, 0), true);
        RunPasses(2);
        ASSERT_FALSE(g_evQueue.IsSet());
    }

    size_t KeepAliveMessages() { return h.DialogWindow().Drain(VEK_WM_COMM_KEEPALIVE).size(); }
    size_t DisconnectCommands()
    {
        size_t n = 0;
        for (const Message& m : recordWindow.Drain(WM_COMMAND))
            n += m.wParam == VEK_CMD_IDLE_DISCONNECT ? 1 : 0;
        return n;
    }

    PanelRecord record;
    CaptureWindow recordWindow;
};

TEST_F(IdleWatchTest, OfflineWorkerBlocksUntilWorkIsQueued)
{
    g_bOnline = 0;
    AttachRecord(9000, 3);
    clock.Clock().SetAutoAdvance(false);
    std::atomic<bool> woke{false};
    std::thread worker([&] {
        EXPECT_EQ(WaitForWork(), WakeReason::Signalled);
        woke = true;
    });
    ASSERT_TRUE(clock.Clock().WaitForWaiters(1));
    clock.Clock().Advance(10 * kIdleTickMs); // no tick while offline
    EXPECT_TRUE(clock.Clock().WaitForWaiters(1));
    EXPECT_FALSE(woke);
    QueueAppend(Notify(1), true);
    worker.join();
    EXPECT_TRUE(woke);
}

TEST_F(IdleWatchTest, OfflineWatchDoesNothing)
{
    g_bOnline = 0;
    AttachRecord(9000, 1);
    IdleWatch(h.Dlg(), WakeReason::TimedOut);
    EXPECT_EQ(QueueCount(), 0u);
    EXPECT_EQ(g_nIdleCountdown, 9999);
    EXPECT_EQ(g_nKeepAliveCountdown, 9999u);
    EXPECT_EQ(DisconnectCommands(), 0u);
}

TEST_F(IdleWatchTest, WithoutRecordATickQueuesOneKeepAliveAndEmptiesTheQueue)
{
    QueueAppend(Notify(1), false);
    QueueAppend(Notify(2), false);
    IdleWatch(h.Dlg(), WakeReason::TimedOut);
    CSingleLock lock(g_csQueue);
    ASSERT_EQ(g_requestQueue.size(), 1u);
    EXPECT_EQ(g_requestQueue.front()->m_nType, STEP_PACKET);
    EXPECT_EQ(g_requestQueue.front()->m_nExpect, 4);
    EXPECT_FALSE(g_evQueue.IsSet());
}

TEST_F(IdleWatchTest, NoKeepAliveStepWithoutFraming)
{
    // Link mode 0 or below (a record value of 0x8000 or more) has no frame:
    // an empty step would only wait out a reply and count against the line.
    for (int32_t mode : {0, -1, -32768}) {
        h.Dlg().m_nLinkMode = mode;
        QueueAppend(Notify(1), false);
        IdleWatch(h.Dlg(), WakeReason::TimedOut);
        QueueKeepAlive(h.Dlg(), true, true);
        EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{6, 0, 1, {}}})) << mode;
        QueueClear();
    }
}

TEST_F(IdleWatchTest, WithoutRecordAWakeQueuesNothing)
{
    IdleWatch(h.Dlg(), WakeReason::Signalled);
    EXPECT_EQ(QueueCount(), 0u);
}

TEST_F(IdleWatchTest, SixSilentTicksPostOneKeepAliveMessage)
{
    AttachRecord(0, 0);
    ProducerWake();
    RunPasses(5);
    EXPECT_EQ(KeepAliveMessages(), 0u);
    RunPasses(1);
    EXPECT_EQ(KeepAliveMessages(), 1u);
    RunPasses(10); // the countdown has run past zero and stays quiet
    EXPECT_EQ(KeepAliveMessages(), 0u);
}

TEST_F(IdleWatchTest, ProducerWakeRearmsButOwnKeepAlivesDoNot)
{
    AttachRecord(0, 0);
    ProducerWake();
    RunPasses(4);
    ProducerWake(); // back to six
    RunPasses(5);
    EXPECT_EQ(KeepAliveMessages(), 0u);
    RunPasses(1);
    EXPECT_EQ(KeepAliveMessages(), 1u);
}

TEST_F(IdleWatchTest, EachSilentTickQueuesAKeepAliveFrameStep)
{
    AttachRecord(0, 0);
    ProducerWake();
    IdleWatch(h.Dlg(), WakeReason::TimedOut);
    CSingleLock lock(g_csQueue);
    ASSERT_EQ(g_requestQueue.size(), 1u);
    EXPECT_EQ(g_requestQueue.front()->m_nType, STEP_PACKET);
}

TEST_F(IdleWatchTest, DisconnectCommandOnceAfterTheConfiguredTicks)
{
    AttachRecord(9000, 2); // (2 x 9000) / 9000 = 2 ticks
    ProducerWake();
    RunPasses(1);
    EXPECT_EQ(DisconnectCommands(), 0u);
    RunPasses(1);
    EXPECT_EQ(DisconnectCommands(), 1u);
    EXPECT_EQ(g_bIdleDisconnect, 1);
    RunPasses(5);
    EXPECT_EQ(DisconnectCommands(), 0u);
}

TEST_F(IdleWatchTest, DisconnectTickSendsNoKeepAliveFrame)
{
    AttachRecord(9000, 1);
    ProducerWake();
    IdleWatch(h.Dlg(), WakeReason::TimedOut);
    EXPECT_EQ(QueueCount(), 0u);
    EXPECT_EQ(DisconnectCommands(), 1u);
}

TEST_F(IdleWatchTest, NeverDisconnectsOnAPcLinkOrWithFactorBZero)
{
    AttachRecord(9000, 2);
    h.Modems().GetCurrentModem()->m_dwFlags |= MODEM_PCLINK;
    ProducerWake();
    RunPasses(10);
    EXPECT_EQ(DisconnectCommands(), 0u);

    h.Modems().GetCurrentModem()->m_dwFlags &= ~MODEM_PCLINK;
    AttachRecord(9000, 0);
    ProducerWake();
    RunPasses(10);
    EXPECT_EQ(DisconnectCommands(), 0u);
    EXPECT_EQ(g_bIdleDisconnect, 0);
}

TEST_F(IdleWatchTest, CountdownUsesSignedProductTruncatedTowardsZero)
{
    AttachRecord(-9001, 3); // -27003 / 9000 = -3
    ProducerWake();
    EXPECT_EQ(g_nIdleCountdown, -3);
    EXPECT_EQ(g_nKeepAliveCountdown, 6u);
}

} // namespace
} // namespace vek::test

namespace vek::test {
namespace {

// Teardown sets the stop event, then the queue event. Whatever the worker
// resets in between, the stop must still reach it.
TEST_F(WorkerTest, PendingStopSurvivesTheWorkersQueueEventResets)
{
    g_evStop.Set();
    ResetQueueEvent();
    EXPECT_TRUE(g_evQueue.IsSet());
    g_evQueue.Reset();
    g_evStop.Set();                 // still pending: nothing consumed it
    EXPECT_EQ(TakeStep(), nullptr); // empty queue resets the event
    EXPECT_TRUE(g_evQueue.IsSet());
    EXPECT_FALSE(WorkerPass(h.Dlg()));
}

} // namespace
} // namespace vek::test
