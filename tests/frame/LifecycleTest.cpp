// Library start and stop through the exports, with the real dialog window and
// worker thread.
#include "dialog/CCommStatusDlg.h"
#include "host/CComm2App.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "platform/MessageBox.h"
#include "platform/MessageWindow.h"
#include "platform/Paths.h"
#include "serial/DeviceFactory.h"
#include "support/Environment.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace vek::test {
namespace {

std::vector<std::string> g_boxes;

class LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetLinkState();
        g_boxes.clear();
        SetMessageBoxHook([](const char*, const char* text) { g_boxes.emplace_back(text); });
        folder = std::filesystem::temp_directory_path() / ("vek_lifecycle_" + std::to_string(ProcessId()));
        std::filesystem::create_directories(folder);
        SetDataFolder(folder.string().c_str());
    }

    void TearDown() override
    {
        VEKComm2_Uninit();
        SetDeviceFactory({});
        SetDataFolder(nullptr);
        SetMessageBoxHook(nullptr);
        std::filesystem::remove_all(folder);
        ResetLinkState();
    }

    // Pumps until the host window has n notifications or a second passes.
    std::vector<Message> WaitForNotifications(size_t n)
    {
        std::vector<Message> got;
        for (int i = 0; i < 100 && got.size() < n; ++i) {
            PumpMessages(10);
            for (const Message& m : host.Drain(VEK_WM_COMM_HOST_NOTIFY))
                got.push_back(m);
        }
        return got;
    }

    std::filesystem::path folder;
    CaptureWindow host;
};

TEST_F(LifecycleTest, UninitWithoutInitAndTwiceReturnsOne)
{
    EXPECT_EQ(VEKComm2_Uninit(), 1);
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    EXPECT_EQ(VEKComm2_Uninit(), 1);
    EXPECT_EQ(theApp.m_pStatusDlg, nullptr);
    EXPECT_EQ(VEKComm2_Uninit(), 1);
}

TEST_F(LifecycleTest, InitStartsTheWorkerAndItsStepsReachTheHost)
{
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    ASSERT_NE(theApp.m_pStatusDlg, nullptr);
    EXPECT_TRUE(theApp.m_pStatusDlg.load()->HasWorker());
    EXPECT_EQ(VEKComm2_GetCurrentBaudRate(), 300);
    EXPECT_EQ(theApp.m_pStatusDlg.load()->m_commCtrl.GetRThreshold(), 1);
    EXPECT_EQ(theApp.m_pStatusDlg.load()->m_commCtrl.GetSThreshold(), 1);
    EXPECT_TRUE(theApp.m_pStatusDlg.load()->m_commCtrl.GetDTREnable());

    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_NOTIFY, 0, 41, 1), true);
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_NOTIFY, 0, 100, 1), true); // swallowed
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_NOTIFY, 0, 23, 1), true);
    const auto got = WaitForNotifications(2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].wParam, 41u);
    EXPECT_EQ(got[1].wParam, 23u);
}

TEST_F(LifecycleTest, UninitStopsAWorkerThatWaitsWithoutLimit)
{
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    // The worker is blocked on an empty queue with no time-out; Uninit must
    // still return (it signals the stop and the queue events together).
    EXPECT_EQ(VEKComm2_Uninit(), 1);
    // A new start after a stop works and gets a fresh worker.
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    EXPECT_TRUE(theApp.m_pStatusDlg.load()->HasWorker());
}

TEST_F(LifecycleTest, SecondInitKeepsTheRunningDialogAndTakesTheNewHost)
{
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    CCommStatusDlg* first = theApp.m_pStatusDlg;
    CaptureWindow otherHost;
    ASSERT_EQ(VEKComm2_Init(otherHost.Handle()), 1);
    EXPECT_EQ(theApp.m_pStatusDlg, first);
    EXPECT_EQ(theApp.m_hWndHost, otherHost.Handle());
}

TEST_F(LifecycleTest, ForceHangUpRunsSynchronouslyAheadOfWaitingWork)
{
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    theApp.m_pStatusDlg.load()->m_nLinkMode = 2;
    // Holding the queue lock keeps the worker from taking anything; the
    // forced hang-up runs on this thread and re-enters the lock.
    CSingleLock lock(g_csQueue);
    g_requestQueue.push_back(std::make_unique<CPool>(ByteArray{}, STEP_NOTIFY, 0, 5, 1));

    EXPECT_EQ(VEKComm2_ForceHangUp(), 1); // not online: nothing
    EXPECT_EQ(g_requestQueue.size(), 1u);

    g_bOnline = 1;
    EXPECT_EQ(VEKComm2_ForceHangUp(), 1);
    ASSERT_EQ(g_requestQueue.size(), 2u);
    EXPECT_EQ(g_requestQueue.front()->m_data, (ByteArray{0x00, 0x03, 0x77, 0x77, 0x77}));
    EXPECT_EQ(g_nEfficiency, 0);
    g_requestQueue.clear();
    g_bOnline = 0;
}

TEST_F(LifecycleTest, HostMayStopTheLibraryFromInsideTheIdleCallback)
{
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    CCommStatusDlg* dlg = theApp.m_pStatusDlg;
    PanelRecord record;
    dlg->m_pPanelRecord = record.Get();
    int uninit = -1;
    g_onlineAction = [&] { uninit = VEKComm2_Uninit(); };
    // Six silent ticks have passed: the worker asks for work.
    PostMessageA(dlg->m_hWnd, VEK_WM_COMM_KEEPALIVE, 0, 0);
    for (int i = 0; i < 100 && uninit < 0; ++i)
        PumpMessages(10);
    g_onlineAction = nullptr;
    EXPECT_EQ(uninit, 1);
    EXPECT_EQ(theApp.m_pStatusDlg.load(), nullptr);
    // Whatever was still queued for the window is dropped, and a new start works.
    PumpMessages(10);
    EXPECT_EQ(VEKComm2_Init(host.Handle()), 1);
}

TEST_F(LifecycleTest, ResetEfficiencyAndTheNoOpExports)
{
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    g_nEfficiency = 2;
    VEKComm2_ResetEfficiency();
    EXPECT_EQ(g_nEfficiency, 10);
    EXPECT_EQ(VEKComm2_Debug(), 1);
    EXPECT_EQ(VEKComm2_OptionsDlg(), 1);
    EXPECT_EQ(VEKComm2_ShowInfoDlg(), 1);
}

TEST_F(LifecycleTest, ExportsBeforeInitAndAfterUninitFailAndTouchNothing)
{
    const HGLOBAL setup = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 288);
    const HGLOBAL request = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 48);
    std::vector<uint8_t> panel(13264, 0);
    const auto everyExport = [&](const char* when) {
        g_nEfficiency = 3;
        EXPECT_EQ(VEKComm2_AddPool(request), 0) << when;
        EXPECT_EQ(VEKComm2_AnsOverrideCall(), 0) << when;
        EXPECT_EQ(VEKComm2_CommInit(), 0) << when;
        EXPECT_EQ(VEKComm2_Debug(), 0) << when;
        EXPECT_EQ(VEKComm2_ForceHangUp(), 0) << when;
        EXPECT_EQ(VEKComm2_GetCurrentBaudRate(), 0) << when;
        EXPECT_EQ(VEKComm2_HangUp(0, 0), 0) << when;
        EXPECT_EQ(VEKComm2_IsPCLink(), 0) << when;
        EXPECT_EQ(VEKComm2_OptionsDlg(), 0) << when;
        EXPECT_EQ(VEKComm2_PanelInit(panel.data(), "1234", "", 1), 0) << when;
        EXPECT_EQ(VEKComm2_PanelInit(nullptr, "", "", 1), 0) << when;
        VEKComm2_ResetEfficiency();
        EXPECT_EQ(g_nEfficiency, 3) << when;
        EXPECT_EQ(VEKComm2_SetupModem(setup), 0) << when;
        EXPECT_EQ(VEKComm2_ShowInfoDlg(), 0) << when;
        EXPECT_EQ(VEKComm2_UserInitInfo(1200, 2), 0) << when;
        // The host's blocks are still its own, and nobody was told anything.
        EXPECT_EQ(GlobalSize(setup), 288u) << when;
        EXPECT_EQ(GlobalSize(request), 48u) << when;
        EXPECT_TRUE(host.Drain(1075).empty()) << when;
    };
    everyExport("before Init");
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    ASSERT_EQ(VEKComm2_Uninit(), 1);
    everyExport("after Uninit");
    EXPECT_EQ(VEKComm2_Uninit(), 1) << "a second Uninit is harmless";
    GlobalFree(setup);
    GlobalFree(request);
}

TEST_F(LifecycleTest, DamagedDatabaseFailsInitWithItsMessage)
{
    std::ofstream(folder / "Trv3.mdm", std::ios::binary) << std::string("\x05\x00\xFF\xFF\x02\x00", 6);
    EXPECT_EQ(VEKComm2_Init(host.Handle()), 0);
    EXPECT_EQ(theApp.m_pStatusDlg, nullptr);
    EXPECT_EQ(g_boxes, (std::vector<std::string>{"The Archive File Has Been Damaged Please Reinstall"}));
}

TEST_F(LifecycleTest, MissingDatabaseUsesTheBuiltInModem)
{
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    EXPECT_TRUE(g_boxes.empty());
    const CModem* modem = theApp.m_modemSettings.GetCurrentModem();
    ASSERT_NE(modem, nullptr);
    EXPECT_EQ(modem->m_strName, "Quarnel QN48 v1.1.mod");
    EXPECT_EQ(theApp.m_strDatabasePath, (folder / "Trv3.mdm").string());
}

TEST_F(LifecycleTest, NoControlMeansNoWorkerAndSafeLaterCalls)
{
    SetDeviceFactory([] { return std::unique_ptr<SerialDevice>(); });
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1); // the window exists all the same
    EXPECT_EQ(g_boxes, (std::vector<std::string>{"Failed to create OLE Communications Control"}));
    ASSERT_NE(theApp.m_pStatusDlg, nullptr);
    EXPECT_FALSE(theApp.m_pStatusDlg.load()->HasWorker());
    EXPECT_FALSE(theApp.m_pStatusDlg.load()->HasControl());
    EXPECT_EQ(VEKComm2_CommInit(), 0);
    const auto got = WaitForNotifications(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].wParam, static_cast<WPARAM>(VEK_NOTIFY_PORT_UNAVAILABLE));
    EXPECT_EQ(VEKComm2_ForceHangUp(), 1);
    EXPECT_EQ(VEKComm2_HangUp(0, 0), 1);
    EXPECT_EQ(VEKComm2_Uninit(), 1);
}

} // namespace
} // namespace vek::test

namespace vek::test {
namespace {

TEST_F(LifecycleTest, UserInitInfoSetsTheLineSpeedAndLinkMode)
{
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    EXPECT_EQ(VEKComm2_UserInitInfo(2400, 3), 1);
    EXPECT_EQ(VEKComm2_GetCurrentBaudRate(), 2400);
    EXPECT_EQ(theApp.m_pStatusDlg.load()->m_nLinkMode, 3);
    EXPECT_EQ(theApp.m_pStatusDlg.load()->m_commCtrl.GetSettings(), "2400,N,8,2");
}

} // namespace
} // namespace vek::test
