// The modem command step on the manual clock: results, code actions, polls,
// escape retries and the failure rule.
#include "link/ModemStep.h"
#include "link/CallPhase.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

namespace vek::test {
namespace {

class ModemStepTest : public ::testing::Test {
protected:
    ModemStepTest() : clock(true)
    {
        h.OpenPort();
        modem().m_dwFlags = 0;
        modem().m_nCommandDelay = 0;
        h.Dlg().m_nCurrentBaudRate = 1200;
    }

    CModem& modem() { return *h.Modems().GetCurrentModem(); }

    static std::unique_ptr<CPool> Step(const std::string& text, int32_t expect, int32_t code, int32_t timeout = 0)
    {
        return std::make_unique<CPool>(text, STEP_MODEM, expect, code, 1, timeout);
    }

    // Runs a step as the worker does once its text is out; result -1: silence.
    void Run(std::unique_ptr<CPool> step, int32_t result)
    {
        g_evModemDone.Reset();
        g_nModemResult = 100;
        if (result >= 0) {
            g_nModemResult = result;
            g_evModemDone.Set();
        }
        RunModemStep(h.Dlg(), std::move(step));
    }

    // Takes the head step again and runs it in silence, as the worker would.
    void RunHeadInSilence()
    {
        auto step = QueueTakeHead();
        ASSERT_NE(step, nullptr);
        Run(std::move(step), -1);
    }

    std::vector<std::pair<UINT, WPARAM>> Posted()
    {
        std::vector<std::pair<UINT, WPARAM>> out;
        for (const Message& m : h.DialogWindow().Drain())
            out.emplace_back(m.message, m.wParam);
        return out;
    }

    static std::pair<UINT, WPARAM> Done(WPARAM code) { return {VEK_WM_COMM_STEP_DONE, code}; }
    static std::pair<UINT, WPARAM> Notice(WPARAM code) { return {VEK_WM_COMM_NOTICE, code}; }

    static std::vector<std::pair<std::string, int32_t>> Queue()
    {
        CSingleLock lock(g_csQueue);
        std::vector<std::pair<std::string, int32_t>> out;
        for (const auto& s : g_requestQueue)
            out.emplace_back(std::string(s->m_data.begin(), s->m_data.end()), s->m_nCode);
        return out;
    }

    static const CPool& Head()
    {
        CSingleLock lock(g_csQueue);
        return *g_requestQueue.front();
    }

    ManualClockScope clock;
    DialogHarness h;
    PanelRecord record;
};

TEST_F(ModemStepTest, OkReportsTheStepCode)
{
    Run(Step("ATE0\r", 0, 77), 0);
    EXPECT_EQ(Posted(), (std::vector{Done(77)}));
    EXPECT_EQ(g_nRetries, 0);
}

TEST_F(ModemStepTest, Code87SetsTwelveHundredAndReportsNothing)
{
    Run(Step("AT\r", 0, 87), 0);
    EXPECT_EQ(h.Dlg().m_nCurrentBaudRate, 1200);
    EXPECT_EQ(h.Device().CurrentSettings(), "1200,N,8,2");
    EXPECT_EQ(Posted(), (std::vector{Done(100)}));
}

TEST_F(ModemStepTest, Code86SetsThreeHundred)
{
    Run(Step("AT\r", 0, 86), 0);
    EXPECT_EQ(h.Device().CurrentSettings(), "300,N,8,2");
    EXPECT_EQ(Posted(), (std::vector{Done(100)}));
}

TEST_F(ModemStepTest, Code35TakesTheRecordLineSpeedUnlessAlreadyThere)
{
    record.Set16(VEK_PANEL_LINE_SPEED, 0xC200);
    h.Dlg().m_pPanelRecord = record.Get();
    Run(Step("AT\r", 0, 35), 0);
    EXPECT_EQ(h.Device().CurrentSettings(), "115200,N,8,2");
    EXPECT_EQ(Posted(), (std::vector{Done(35)}));

    h.Dlg().m_commCtrl.SetSettings("9600,N,8,1"); // would be rewritten by a change
    Run(Step("AT\r", 0, 35), 0);
    EXPECT_EQ(h.Device().CurrentSettings(), "9600,N,8,1");
}

TEST_F(ModemStepTest, Code84RaisesToTheLineSpeedAndQueuesABareAtFirst)
{
    modem().m_nLineBaudRate = 2400;
    QueueAppend(Step("ATE0\r", 0, 9), false);
    Run(Step("ATZ\r", 0, 84), 0);
    EXPECT_EQ(h.Device().CurrentSettings(), "2400,N,8,2");
    EXPECT_EQ(Posted(), (std::vector{Done(100)}));
    EXPECT_EQ(Queue(), (std::vector<std::pair<std::string, int32_t>>{{"AT\r", 100}, {"ATE0\r", 9}}));
    EXPECT_EQ(Head().m_nExpect, 100);
    EXPECT_EQ(Head().m_bClearRx, 1);
    EXPECT_EQ(Head().m_nType, STEP_MODEM);
}

TEST_F(ModemStepTest, Code84NeverLowersTheSpeed)
{
    modem().m_nLineBaudRate = 1200;
    h.Dlg().m_nCurrentBaudRate = 9600;
    h.Dlg().m_commCtrl.SetSettings("9600,N,8,2");
    Run(Step("ATZ\r", 0, 84), 0);
    EXPECT_EQ(h.Device().CurrentSettings(), "9600,N,8,2");
    EXPECT_EQ(Queue().size(), 1u); // the bare AT all the same
}

TEST_F(ModemStepTest, Code9TakesTheSecondRecordSpeedOrTheModemSpeed)
{
    record.Set16(VEK_PANEL_SECOND_SPEED, 4800);
    h.Dlg().m_pPanelRecord = record.Get();
    Run(Step("ATE0\r", 0, 9), 0);
    EXPECT_EQ(h.Device().CurrentSettings(), "4800,N,8,2");
    EXPECT_EQ(Posted(), (std::vector{Done(9)}));
    EXPECT_EQ(Queue(), (std::vector<std::pair<std::string, int32_t>>{{"AT\r", 100}}));

    QueueClear();
    h.Dlg().m_bIdBlock = 1; // with the identification block the speed stays
    Run(Step("ATE0\r", 0, 9), 0);
    EXPECT_EQ(h.Dlg().m_nCurrentBaudRate, 4800);

    QueueClear();
    h.Dlg().m_pPanelRecord = nullptr;
    modem().m_nBaudRate = 19200;
    Run(Step("ATE0\r", 0, 9), 0);
    EXPECT_EQ(h.Device().CurrentSettings(), "19200,N,8,2");
}

TEST_F(ModemStepTest, Code85IsCode9WithoutAReport)
{
    modem().m_nBaudRate = 2400;
    Run(Step("ATE0\r", 0, 85), 0);
    EXPECT_EQ(h.Device().CurrentSettings(), "2400,N,8,2");
    EXPECT_EQ(Posted(), (std::vector{Done(100)}));
    EXPECT_EQ(Queue().size(), 1u);
}

TEST_F(ModemStepTest, RecordSpeedZeroLeavesTheLineAlone)
{
    h.Dlg().m_pPanelRecord = record.Get(); // second speed 0
    h.Dlg().m_commCtrl.SetSettings("1200,N,8,2");
    Run(Step("ATE0\r", 0, 9), 0);
    EXPECT_EQ(h.Dlg().m_nCurrentBaudRate, 1200);
    EXPECT_EQ(h.Device().CurrentSettings(), "1200,N,8,2");
}

TEST_F(ModemStepTest, SuccessPausesForAttentionModemsAndTheCommandDelay)
{
    modem().m_dwFlags = MODEM_ATTENTION;
    modem().m_nCommandDelay = 30;
    const uint64_t start = NowMs();
    Run(Step("AT\r", 0, 100), 0);
    EXPECT_EQ(NowMs() - start, 280u);
}

TEST_F(ModemStepTest, AnyResultIsSuccessWhenAnyIsExpected)
{
    Run(Step("AT\r", 100, 100), 4);
    EXPECT_EQ(Posted(), (std::vector{Done(100)}));
}

TEST_F(ModemStepTest, OnHookAnsweredByConnectStartsIdentification)
{
    QueueAppend(Step("ATZ\r", 0, 9), false);
    Run(Step("ATH0\r", 99, 100), 1);
    EXPECT_EQ(Posted(), (std::vector{Done(32)}));
    CSingleLock lock(g_csQueue);
    ASSERT_EQ(g_requestQueue.size(), 1u);
    EXPECT_EQ(g_requestQueue.front()->m_nType, STEP_IDENTIFY);
    EXPECT_EQ(g_requestQueue.front()->m_nExpect, 0);
    EXPECT_EQ(g_requestQueue.front()->m_nCode, 90);
    EXPECT_EQ(g_requestQueue.front()->m_nTimeout, 20000);
}

TEST_F(ModemStepTest, UnexpectedResultFailsWithNotice28AndFlushes)
{
    QueueAppend(Step("ATM0\r", 0, 9), true);
    Run(Step("ATE0\r", 0, 100), 4);
    EXPECT_EQ(Posted(), (std::vector{Notice(28)}));
    EXPECT_TRUE(Queue().empty());
    EXPECT_FALSE(g_evQueue.IsSet());
}

TEST_F(ModemStepTest, ConnectWaitFailuresGiveTheirNotices)
{
    for (const auto& [result, notice] : std::vector<std::pair<int32_t, WPARAM>>{{7, 11}, {6, 15}, {3, 4}}) {
        for (const int32_t code : {32, 100}) {
            for (const int32_t online : {0, 1}) {
                QueueAppend(Step("", 0, 90), true);
                g_bOnline = online;
                g_nCallPhase = CALL_CLOSED;
                Run(Step("", 1, code), result);
                EXPECT_EQ(Posted(), (std::vector{Notice(notice)})) << result << " " << code;
                EXPECT_EQ(g_bOnline, online); // no redial for these
                // A dial fails and that is all; a wait during a call (an
                // answered line's extended mode) leaves it in no known
                // state, and the call is ended.
                const auto queued = QueuedSteps();
                ASSERT_EQ(queued.size(), static_cast<size_t>(online)) << result << " " << code;
                if (online) {
                    EXPECT_EQ(queued[0].type, STEP_CALL);
                }
                QueueClear();
            }
        }
    }
}

TEST_F(ModemStepTest, NoAnswerOnAConnectWaitWithCode32IsAModemFailure)
{
    QueueAppend(Step("", 0, 90), true);
    Run(Step("ATDT1\r", 1, 32), 8);
    EXPECT_EQ(Posted(), (std::vector{Notice(28)}));
    EXPECT_TRUE(Queue().empty());
}

TEST_F(ModemStepTest, NoAnswerOnAConnectWaitWithCode100Redials)
{
    modem().m_strOnHook = "ATH0";
    g_bOnline = 1;
    QueueAppend(Step("", 0, 90), true);
    Run(Step("AT$WA\r", 1, 100), 8);
    EXPECT_EQ(Posted(), (std::vector{Notice(27), Notice(8)}));
    EXPECT_EQ(g_bOnline, 0);
    CSingleLock lock(g_csQueue);
    ASSERT_EQ(g_requestQueue.size(), 2u);
    const CPool& onHook = *g_requestQueue.front();
    EXPECT_EQ(std::string(onHook.m_data.begin(), onHook.m_data.end()), "ATH0\r");
    EXPECT_EQ(onHook.m_nExpect, 100);
    EXPECT_EQ(onHook.m_bClearRx, 1);
    EXPECT_EQ(g_requestQueue.back()->m_nType, STEP_CALL);
    EXPECT_TRUE(g_requestQueue.back()->m_data.empty());
    EXPECT_EQ(g_requestQueue.back()->m_nCode, 100);
    EXPECT_TRUE(g_evQueue.IsSet());
}

TEST_F(ModemStepTest, SilentConnectWaitWithCode100GivesUpAfterFiftySlices)
{
    QueueAppend(Step("", 0, 90), true); // the identification step behind it
    const uint64_t start = NowMs();
    Run(Step("AT$WA\r", 1, 100), -1);
    for (int i = 0; i < 49; ++i) {
        EXPECT_TRUE(Posted().empty());
        EXPECT_TRUE(Head().m_data.empty()); // the command is not sent again
        EXPECT_EQ(Head().m_bClearRx, 0);
        RunHeadInSilence();
    }
    EXPECT_EQ(g_nRetries, 50);
    EXPECT_TRUE(Posted().empty());
    RunHeadInSilence();
    EXPECT_EQ(NowMs() - start, 51u * 500u);
    EXPECT_EQ(Posted(), (std::vector{Notice(27), Notice(8)}));
    EXPECT_EQ(Queue().size(), 2u); // on-hook and the redial call
}

TEST_F(ModemStepTest, SilentConnectWaitWithCode32NeverEnds)
{
    QueueAppend(Step("", 0, 90), true);
    Run(Step("ATDT1\r", 1, 32), -1);
    for (int i = 0; i < 200; ++i)
        RunHeadInSilence();
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(Queue().size(), 2u);
    EXPECT_EQ(Head().m_nExpect, 1);
}

TEST_F(ModemStepTest, ConnectWaitWithNothingBehindItIsDropped)
{
    Run(Step("", 1, 32), -1);
    EXPECT_TRUE(Queue().empty());
    EXPECT_TRUE(Posted().empty());
}

TEST_F(ModemStepTest, AnswerConnectWaitGivesWayToQueuedWork)
{
    modem().m_strOnHook = "ATH0";
    QueueAppend(Step("", 0, 13), false);   // identification behind the wait
    QueueAppend(Step("host", 0, 5), true); // work the host queued
    Run(Step("", 1, 32), -1);
    EXPECT_EQ(Queue(), (std::vector<std::pair<std::string, int32_t>>{{"ATH0\r", 100}, {"host", 5}}));
    EXPECT_EQ(Head().m_nExpect, 99);
    EXPECT_EQ(Head().m_bClearRx, 0);
}

TEST_F(ModemStepTest, AnswerConnectWaitBeforeIdentificationCode13RestartsAnswering)
{
    QueueAppend(Step("", 0, 13), false);
    Run(Step("", 1, 32), 1);
    EXPECT_EQ(g_bRestartAnswer, 1);
    EXPECT_EQ(Posted(), (std::vector{Done(32)}));
}

TEST_F(ModemStepTest, RingWaitKeepsWaitingWithOnlyTheAnswerScriptBehind)
{
    QueueAppend(Step("", 2, 41), false);
    QueueAppend(Step("", 1, 32), false);
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_IDENTIFY, 1, 90, 1), false);
    Run(Step("", 2, 41), -1);
    EXPECT_EQ(Queue().size(), 4u);
    EXPECT_EQ(Head().m_nExpect, 2);
    EXPECT_EQ(Head().m_bClearRx, 0);
}

TEST_F(ModemStepTest, RingWaitIsAbandonedForWorkQueuedBehindTheScript)
{
    QueueAppend(Step("", 2, 41), false);
    QueueAppend(Step("", 1, 32), false);
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_IDENTIFY, 1, 90, 1), false);
    QueueAppend(Step("host", 0, 5), true);
    Run(Step("", 2, 41), -1);
    EXPECT_EQ(Queue(), (std::vector<std::pair<std::string, int32_t>>{{"host", 5}}));
    EXPECT_TRUE(Posted().empty());
}

TEST_F(ModemStepTest, FourUnansweredEscapesEndTheCall)
{
    modem().m_strEscape = "+++";
    QueueAppend(Step("ATH0\r", 0, 8), true);
    const int discards = h.Device().DiscardCount();
    const uint64_t start = NowMs();
    Run(Step("+++", 0, 100, 1000), -1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(Posted().empty());
        ASSERT_EQ(std::string(Head().m_data.begin(), Head().m_data.end()), "+++");
        RunHeadInSilence();
    }
    EXPECT_EQ(h.Device().DiscardCount(), discards + 4);
    // Five waits of 1000 ms and four pauses of twice that.
    EXPECT_EQ(NowMs() - start, 5u * 1000u + 4u * 2000u);
    EXPECT_EQ(Posted(), (std::vector{Done(8), Done(9), Done(89), Notice(28)}));
    EXPECT_TRUE(Queue().empty());
    EXPECT_EQ(g_nRetries, 0);
}

TEST_F(ModemStepTest, EscapeAnsweredWithOkSucceeds)
{
    modem().m_strEscape = "+++";
    Run(Step("+++", 0, 100), 0);
    EXPECT_EQ(Posted(), (std::vector{Done(100)}));
}

TEST_F(ModemStepTest, EmptyEscapeDoesNotTurnPollsIntoEscapeRetries)
{
    modem().m_strEscape = "";
    QueueAppend(Step("", 0, 90), true);
    Run(Step("", 1, 100), -1);
    EXPECT_EQ(g_nRetries, 1); // a CONNECT poll slice, not an escape retry
    EXPECT_EQ(Head().m_nExpect, 1);
}

TEST_F(ModemStepTest, SilentOkWaitFailsWithNotice28)
{
    QueueAppend(Step("ATM0\r", 0, 9), true);
    const uint64_t start = NowMs();
    Run(Step("ATE0\r", 0, 100), -1);
    EXPECT_EQ(NowMs() - start, 3000u);
    EXPECT_EQ(Posted(), (std::vector{Notice(28)}));
    EXPECT_TRUE(Queue().empty());
}

TEST_F(ModemStepTest, FailureDuringTeardownKeepsTheWorkerAwake)
{
    g_evStop.Set();
    g_evQueue.Set();
    Run(Step("ATE0\r", 0, 100), 4);
    EXPECT_TRUE(g_evQueue.IsSet());
    EXPECT_TRUE(g_evStop.IsSet()); // still there for the worker to see
}

TEST_F(ModemStepTest, NegativeTimeOutDoesNotWaitForEver)
{
    Run(Step("ATE0\r", 0, 100, -1), -1);
    EXPECT_EQ(Posted(), (std::vector{Notice(28)}));
}

} // namespace
} // namespace vek::test
