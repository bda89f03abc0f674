// What the DLL carries for the status dialog and its message boxes, and its
// exports as a Windows host finds them.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

class DllResourcesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dll = LoadLibraryExA("vek_comm2.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(m_dll, nullptr) << "vek_comm2.dll beside the test program";
    }
    void TearDown() override { FreeLibrary(m_dll); }
    HMODULE m_dll = nullptr;
};

TEST_F(DllResourcesTest, HoldsDialogTemplate6000)
{
    EXPECT_NE(FindResourceA(m_dll, MAKEINTRESOURCEA(6000), MAKEINTRESOURCEA(5)), nullptr); // RT_DIALOG
}

TEST_F(DllResourcesTest, String57344IsTheApplicationTitle)
{
    char text[64] = {};
    ASSERT_GT(LoadStringA(m_dll, 57344, text, sizeof text), 0);
    EXPECT_STREQ(text, "TRV-3 Communications");
}

TEST_F(DllResourcesTest, HoldsAVersionRecord)
{
    EXPECT_NE(FindResourceA(m_dll, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)), nullptr); // RT_VERSION
}

TEST(DllExportsTest, SixteenFunctionsByNameAndAlphabeticalOrdinal)
{
    HMODULE dll = LoadLibraryA("vek_comm2.dll");
    ASSERT_NE(dll, nullptr);
    static const char* const kNames[] = {
        "VEKComm2_AddPool",     "VEKComm2_AnsOverrideCall",    "VEKComm2_CommInit",  "VEKComm2_Debug",
        "VEKComm2_ForceHangUp", "VEKComm2_GetCurrentBaudRate", "VEKComm2_HangUp",    "VEKComm2_Init",
        "VEKComm2_IsPCLink",    "VEKComm2_OptionsDlg",         "VEKComm2_PanelInit", "VEKComm2_ResetEfficiency",
        "VEKComm2_SetupModem",  "VEKComm2_ShowInfoDlg",        "VEKComm2_Uninit",    "VEKComm2_UserInitInfo"};
    WORD ordinal = 1;
    for (const char* name : kNames) {
        FARPROC byName = GetProcAddress(dll, name);
        EXPECT_NE(byName, nullptr) << name;
        EXPECT_EQ(byName, GetProcAddress(dll, MAKEINTRESOURCEA(ordinal))) << name << " is ordinal " << ordinal;
        ++ordinal;
    }
    EXPECT_EQ(GetProcAddress(dll, MAKEINTRESOURCEA(17)), nullptr);
    FreeLibrary(dll);
}

} // namespace
