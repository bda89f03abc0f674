// Opening the port and queueing the modem's start-up lines.
#include "link/RequestQueue.h"
#include "platform/Paths.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

namespace vek::test {
namespace {

struct Queued {
    std::string text;
    int32_t type;
    int32_t expect;
    int32_t code;
    int32_t clearRx;
    bool operator==(const Queued&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Queued& q)
{
    return os << "{" << q.text << "," << q.type << "," << q.expect << "," << q.code << "," << q.clearRx << "}";
}

class CommInitTest : public ::testing::Test {
protected:
    CommInitTest()
    {
        SetPortDevice(1, "/dev/scripted-one");
        SetPortDevice(2, "/dev/scripted-two");
        modem().m_nComPort = 1;
        modem().m_nBaudRate = 2400;
        modem().m_dwFlags = 0;
        modem().m_strReset = "ATZ";
        modem().m_strInit = "ATE0";
        modem().m_strInit2 = "";
        modem().m_strInit3 = "";
    }
    ~CommInitTest() override
    {
        SetPortDevice(1, nullptr);
        SetPortDevice(2, nullptr);
    }

    CModem& modem() { return *h.Modems().GetCurrentModem(); }
    CCommCtrl& ctrl() { return h.Dlg().m_commCtrl; }

    static std::vector<Queued> QueuedSteps()
    {
        CSingleLock lock(g_csQueue);
        std::vector<Queued> out;
        for (const auto& s : g_requestQueue)
            out.push_back(
                {std::string(s->m_data.begin(), s->m_data.end()), s->m_nType, s->m_nExpect, s->m_nCode, s->m_bClearRx});
        return out;
    }

    std::vector<WPARAM> HostCodes()
    {
        std::vector<WPARAM> codes;
        for (const Message& m : h.HostWindow().Drain(VEK_WM_COMM_HOST_NOTIFY))
            codes.push_back(m.wParam);
        return codes;
    }

    DialogHarness h;
    PanelRecord record;
};

TEST_F(CommInitTest, OpensThePortWithTheSettingsAndQueuesResetAndInit)
{
    EXPECT_EQ(h.Dlg().CommInit(9), 1);
    EXPECT_TRUE(ctrl().GetPortOpen());
    EXPECT_EQ(h.Device().OpenedPath(), "/dev/scripted-one");
    EXPECT_EQ(h.Device().CurrentSettings(), "2400,N,8,2");
    EXPECT_EQ(h.Dlg().m_nCurrentBaudRate, 2400);
    EXPECT_EQ(QueuedSteps(), (std::vector<Queued>{{"ATZ\r", STEP_MODEM, 0, 84, 1}, {"ATE0\r", STEP_MODEM, 0, 9, 1}}));
    EXPECT_TRUE(g_evQueue.IsSet());
    CSingleLock lock(g_csQueue);
    EXPECT_EQ(g_requestQueue.front()->m_nTimeout, 3000);
}

TEST_F(CommInitTest, AttentionModemGetsABareAtPauseStepFirst)
{
    modem().m_dwFlags = MODEM_ATTENTION;
    h.Dlg().CommInit(9);
    EXPECT_EQ(QueuedSteps(),
              (std::vector<Queued>{
                  {"AT\r", STEP_PAUSE, 0, 100, 1}, {"ATZ\r", STEP_MODEM, 0, 84, 1}, {"ATE0\r", STEP_MODEM, 0, 9, 1}}));
}

TEST_F(CommInitTest, TheLastInitialisationLineCarriesTheCompletionCode)
{
    modem().m_strInit2 = "ATM0";
    modem().m_strInit3 = "ATL1";
    h.Dlg().CommInit(85);
    EXPECT_EQ(QueuedSteps(), (std::vector<Queued>{{"ATZ\r", STEP_MODEM, 0, 84, 1},
                                                  {"ATE0\r", STEP_MODEM, 0, 100, 1},
                                                  {"ATM0\r", STEP_MODEM, 0, 100, 1},
                                                  {"ATL1\r", STEP_MODEM, 0, 85, 1}}));
}

TEST_F(CommInitTest, OnlyAThirdLineTakesTheCode)
{
    modem().m_strInit3 = "ATL1";
    h.Dlg().CommInit(9);
    EXPECT_EQ(QueuedSteps(), (std::vector<Queued>{{"ATZ\r", STEP_MODEM, 0, 84, 1},
                                                  {"ATE0\r", STEP_MODEM, 0, 100, 1},
                                                  {"ATL1\r", STEP_MODEM, 0, 9, 1}}));
}

TEST_F(CommInitTest, ExtendedModemAddsTheWSuffixForPanelsThatWantIt)
{
    modem().m_dwFlags = MODEM_EXTENDED;
    record.Set16(VEK_PANEL_EXPECTED_TYPE, 15);
    h.Dlg().m_pPanelRecord = record.Get();
    h.Dlg().CommInit(9);
    EXPECT_EQ(QueuedSteps().at(1).text, "ATE0$W\r");
}

TEST_F(CommInitTest, DirectLinkTakesTheRecordSpeedAndQueuesNothing)
{
    modem().m_dwFlags = MODEM_PCLINK;
    record.Set16(VEK_PANEL_DIRECT_SPEED, 0xC200);
    h.Dlg().m_pPanelRecord = record.Get();
    EXPECT_EQ(h.Dlg().CommInit(9), 1);
    EXPECT_EQ(h.Device().CurrentSettings(), "115200,N,8,2");
    EXPECT_TRUE(QueuedSteps().empty());
    EXPECT_FALSE(g_evQueue.IsSet());
}

TEST_F(CommInitTest, DirectLinkWithoutRecordUsesTheModemSpeed)
{
    modem().m_dwFlags = MODEM_PCLINK;
    EXPECT_EQ(h.Dlg().CommInit(9), 1);
    EXPECT_EQ(h.Device().CurrentSettings(), "2400,N,8,2");
}

TEST_F(CommInitTest, NoModemFailsAndTouchesNothing)
{
    h.Dlg().m_pModemSettings = nullptr;
    EXPECT_EQ(h.Dlg().CommInit(9), 0);
    EXPECT_FALSE(ctrl().GetPortOpen());
    EXPECT_TRUE(QueuedSteps().empty());
    EXPECT_TRUE(HostCodes().empty());
}

TEST_F(CommInitTest, SpeedZeroFailsAndKeepsTheStoredSpeed)
{
    modem().m_nBaudRate = 0;
    EXPECT_EQ(h.Dlg().CommInit(9), 0);
    EXPECT_EQ(h.Dlg().m_nCurrentBaudRate, 300);
    EXPECT_FALSE(ctrl().GetPortOpen());
    EXPECT_TRUE(QueuedSteps().empty());
}

TEST_F(CommInitTest, SecondCallOnTheSamePortOnlyRewritesTheSettings)
{
    h.Dlg().CommInit(9);
    QueueClear();
    modem().m_nBaudRate = 9600;
    EXPECT_EQ(h.Dlg().CommInit(9), 1);
    EXPECT_EQ(h.Device().OpenCount(), 1);
    EXPECT_EQ(h.Device().CurrentSettings(), "9600,N,8,2");
}

TEST_F(CommInitTest, AnotherPortClosesProbesAndReopens)
{
    h.Dlg().CommInit(9);
    modem().m_nComPort = 2;
    EXPECT_EQ(h.Dlg().CommInit(9), 1);
    EXPECT_EQ(h.Device().OpenCount(), 2);
    EXPECT_EQ(ctrl().GetCommPort(), 2);
    EXPECT_EQ(h.Device().OpenedPath(), "/dev/scripted-two");
}

TEST_F(CommInitTest, PortZeroGivesNotification20)
{
    modem().m_nComPort = 0;
    EXPECT_EQ(h.Dlg().CommInit(9), 0);
    EXPECT_EQ(HostCodes(), (std::vector<WPARAM>{20}));
    EXPECT_FALSE(ctrl().GetPortOpen());
    EXPECT_TRUE(QueuedSteps().empty());
}

TEST_F(CommInitTest, PortThatCannotBeHadGivesNotification20AndStaysClosed)
{
    h.Dlg().CommInit(9);
    QueueClear();
    modem().m_nComPort = 2;
    h.Device().SetProbeFails(true);
    EXPECT_EQ(h.Dlg().CommInit(9), 0);
    EXPECT_EQ(HostCodes(), (std::vector<WPARAM>{20}));
    EXPECT_FALSE(ctrl().GetPortOpen()); // the old port was closed first
    EXPECT_TRUE(QueuedSteps().empty());
}

TEST_F(CommInitTest, ProbeIsNotRepeatedForAnOpenPort)
{
    h.Dlg().CommInit(9);
    h.Device().SetProbeFails(true); // another program could not have it now
    EXPECT_EQ(h.Dlg().CommInit(9), 1);
    EXPECT_TRUE(HostCodes().empty());
}

TEST_F(CommInitTest, RefusedSpeedIsReportedNotReplaced)
{
    h.Device().RefuseSpeed(14400);
    modem().m_nBaudRate = 14400;
    EXPECT_EQ(h.Dlg().CommInit(9), 0);
    EXPECT_EQ(HostCodes(), (std::vector<WPARAM>{20}));
    EXPECT_FALSE(ctrl().GetPortOpen());
    EXPECT_EQ(h.Dlg().m_nCurrentBaudRate, 300);

    modem().m_nBaudRate = 2400;
    ASSERT_EQ(h.Dlg().CommInit(9), 1);
    QueueClear();
    modem().m_nBaudRate = 14400;
    EXPECT_EQ(h.Dlg().CommInit(9), 0); // open port: the line keeps 2400
    EXPECT_EQ(h.Device().CurrentSettings(), "2400,N,8,2");
    EXPECT_EQ(h.Dlg().m_nCurrentBaudRate, 2400);
    EXPECT_EQ(HostCodes(), (std::vector<WPARAM>{20}));
    EXPECT_TRUE(QueuedSteps().empty());
}

TEST_F(CommInitTest, VanishedDeviceIsProbedAgainAndReportedWhileGone)
{
    h.Dlg().CommInit(9);
    QueueClear();
    h.Device().Vanish();
    EXPECT_EQ(h.Dlg().CommInit(9), 0);
    EXPECT_EQ(HostCodes(), (std::vector<WPARAM>{20}));
    EXPECT_FALSE(ctrl().GetPortOpen());

    h.Device().SetProbeFails(false); // plugged in again
    EXPECT_EQ(h.Dlg().CommInit(9), 1);
    EXPECT_TRUE(ctrl().GetPortOpen());
    EXPECT_FALSE(ctrl().IsDeviceGone());
    EXPECT_EQ(h.Device().OpenCount(), 2);
}

TEST_F(CommInitTest, CheckPortAvailableOnAMissingControlFails)
{
    CCommStatusDlg bare;
    EXPECT_FALSE(bare.CheckPortAvailable(1));
    EXPECT_EQ(HostCodes(), (std::vector<WPARAM>{20}));
}

} // namespace
} // namespace vek::test
