// The Windows backends of the paths, the host library call and the line
// settings.
#include "platform/HostLibrary.h"
#include "platform/Paths.h"
#include "serial/CommEvents.h"
#include "serial/CommState.h"
#include "serial/Win32CommDevice.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace vek {
namespace {

TEST(WindowsPathsTest, PortNIsTheDeviceCOMn)
{
    EXPECT_EQ(DefaultPortDevice(5), "\\\\.\\COM5");
    EXPECT_EQ(DefaultPortDevice(12), "\\\\.\\COM12");
    EXPECT_EQ(PortDevicePath(0), "");
}

TEST(WindowsPathsTest, DataFolderIsTheModulesFolder)
{
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string folder(exe);
    folder.erase(folder.find_last_of('\\') + 1);
    // The tests link the library in: the module is the test program.
    EXPECT_EQ(ModuleFolder(), folder);
    EXPECT_EQ(DataFolder(), folder);
}

TEST(WindowsPathsTest, SetFolderGetsABackslash)
{
    SetDataFolder("C:\\modems");
    EXPECT_EQ(DataFolder(), "C:\\modems\\");
    SetDataFolder(nullptr);
}

TEST(WindowsHostLibraryTest, OnlineReqProcessIsFoundInVekDll)
{
    ASSERT_NE(GetModuleHandleA("Vek.dll"), nullptr) << "the stand-in host library is loaded";
    const int before = test::g_onlineCalls;
    int record = 0;
    EXPECT_TRUE(CallOnlineReqProcess(&record, 6, 0));
    EXPECT_EQ(test::g_onlineCalls, before + 1);
    EXPECT_EQ(test::g_onlineRecord, &record);
    EXPECT_EQ(test::g_onlineWhat, 600);
}

TEST(CommStateTest, SettingsTextBecomesARawBinaryLine)
{
    DCB dcb{};
    dcb.fOutxCtsFlow = TRUE;
    dcb.fOutX = TRUE;
    dcb.fNull = TRUE;
    FillCommState(dcb, *ParseLineSettings("9600,N,8,2"), true);
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, 0);   // NOPARITY
    EXPECT_EQ(dcb.StopBits, 2); // TWOSTOPBITS
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 0u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_EQ(dcb.fNull, 0u);
    EXPECT_EQ(dcb.fAbortOnError, 0u);
    EXPECT_EQ(dcb.fDtrControl, 1u); // DTR_CONTROL_ENABLE
}

TEST(CommStateTest, DtrOffAndHighSpeeds)
{
    DCB dcb{};
    FillCommState(dcb, *ParseLineSettings("115200,N,8,2"), false);
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.fDtrControl, 0u); // DTR_CONTROL_DISABLE
}

TEST(CommEventsTest, CarrierDetectChangeIsEventFive)
{
    EXPECT_EQ(LineEventCodes(EV_RLSD, 0), (std::vector<int16_t>{5}));
}

TEST(CommEventsTest, LineChangesByTheControlsCodes)
{
    EXPECT_EQ(LineEventCodes(EV_CTS | EV_DSR | EV_RLSD | EV_RING, 0), (std::vector<int16_t>{3, 4, 5, 6}));
}

TEST(CommEventsTest, LineErrorsByTheControlsCodes)
{
    EXPECT_EQ(LineEventCodes(0, CE_BREAK | CE_FRAME | CE_OVERRUN | CE_RXOVER | CE_RXPARITY),
              (std::vector<int16_t>{1001, 1004, 1006, 1008, 1009}));
}

TEST(CommEventsTest, DataAndDrainAreNoLineEvents)
{
    EXPECT_TRUE(LineEventCodes(EV_RXCHAR | EV_TXEMPTY | EV_ERR, 0).empty());
}

TEST(Win32CommDeviceTest, MissingPortCannotBeHad)
{
    Win32CommDevice device;
    EXPECT_FALSE(device.Probe("\\\\.\\COM250"));
    EXPECT_FALSE(device.Probe(""));
    EXPECT_FALSE(device.Open("\\\\.\\COM250", "9600,N,8,2"));
    EXPECT_FALSE(device.IsOpen());
    EXPECT_NE(device.LastError().find("COM250"), std::string::npos) << device.LastError();
}

TEST(Win32CommDeviceTest, ClosedDeviceRefusesEverything)
{
    Win32CommDevice device;
    const uint8_t byte = 0x41;
    EXPECT_FALSE(device.Write({&byte, 1}));
    EXPECT_FALSE(device.ApplySettings("9600,N,8,2"));
    EXPECT_EQ(device.ModemLines(), 0u);
    device.DiscardInput(); // harmless
    device.Close();
}

} // namespace
} // namespace vek
