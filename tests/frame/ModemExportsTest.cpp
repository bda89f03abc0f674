#include "host/CComm2App.h"
#include "platform/MessageBox.h"
#include "support/LinkTestSupport.h"
#include "vek_comm2.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace vek {
namespace {

std::vector<std::string> g_messages;

void CaptureMessage(const char*, const char* text) { g_messages.emplace_back(text); }

// Builds a setup record in a global block, field by field.
class SetupBlock {
public:
    explicit SetupBlock(size_t size = VEK_MODEM_SETUP_MIN_SIZE) : m_h(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size))
    {
    }
    ~SetupBlock()
    {
        if (GlobalSize(m_h) != 0)
            GlobalFree(m_h);
    }
    SetupBlock& I32(size_t off, int32_t v) { return Put(off, &v, 4); }
    SetupBlock& I16(size_t off, int16_t v) { return Put(off, &v, 2); }
    SetupBlock& U8(size_t off, uint8_t v) { return Put(off, &v, 1); }
    SetupBlock& Text(size_t off, const std::string& s) { return Put(off, s.data(), s.size()); }
    HGLOBAL Handle() const { return m_h; }
    bool Freed() const { return GlobalSize(m_h) == 0; }

private:
    // Host records are little-endian, as this machine is.
    SetupBlock& Put(size_t off, const void* p, size_t n)
    {
        auto* base = static_cast<uint8_t*>(GlobalLock(m_h));
        std::memcpy(base + off, p, n);
        GlobalUnlock(m_h);
        return *this;
    }
    HGLOBAL m_h;
};

class SetupModemTest : public ::testing::Test {
protected:
    test::RunningLibraryScope running;
    void SetUp() override
    {
        g_messages.clear();
        vek::SetMessageBoxHook(&CaptureMessage);
        theApp.m_modemSettings.ResetToDefault();
    }
    void TearDown() override
    {
        vek::SetMessageBoxHook(nullptr);
        theApp.m_modemSettings.m_modems.clear();
        theApp.m_modemSettings.m_nCurrent = theApp.m_modemSettings.m_nIncoming = theApp.m_modemSettings.m_nOutgoing =
            -1;
    }
    static CModem& Current() { return *theApp.m_modemSettings.GetCurrentModem(); }
    static SetupBlock Typical()
    {
        SetupBlock b;
        b.I32(VEK_SETUP_COM_PORT, 3).I32(VEK_SETUP_BAUD_RATE, 9600);
        return b;
    }
};

TEST_F(SetupModemTest, CopiesEveryField)
{
    SetupBlock b;
    b.I32(VEK_SETUP_COM_PORT, 4)
        .I32(VEK_SETUP_BAUD_RATE, 19200)
        .U8(VEK_SETUP_ATTENTION, 1)
        .Text(VEK_SETUP_INIT, "AT&F")
        .Text(VEK_SETUP_INIT2, "ATL2")
        .Text(VEK_SETUP_INIT3, "AT$W1")
        .U8(VEK_SETUP_MODEM_OPTIONS, 0x10)
        .I32(VEK_SETUP_OPTIONS, -5)
        .Text(VEK_SETUP_RESET, "ATZ0")
        .U8(VEK_SETUP_COMMAND_DELAY, 200)
        .U8(VEK_SETUP_CHAR_DELAY, 255)
        .Text(VEK_SETUP_ESCAPE, "---")
        .Text(VEK_SETUP_HANGUP_STEM, "ATH")
        .Text(VEK_SETUP_SPEAKER_MODE, "M%d!")
        .Text(VEK_SETUP_SPEAKER_VOLUME, "L%d!")
        .Text(VEK_SETUP_PULSE_DIAL, "DP!")
        .Text(VEK_SETUP_TONE_DIAL, "DT!")
        .I16(VEK_SETUP_ANSWER_RINGS, 4)
        .I32(VEK_SETUP_EXTRA4, 99);
    ASSERT_EQ(VEKComm2_SetupModem(b.Handle()), 1);
    const CModem& m = Current();
    EXPECT_EQ(m.m_nComPort, 4);
    EXPECT_EQ(m.m_nBaudRate, 19200);
    EXPECT_EQ(m.m_nLineBaudRate, 19200);
    EXPECT_EQ(m.m_dwFlags, MODEM_EXTENDED | MODEM_ATTENTION);
    EXPECT_EQ(m.m_strInit, "AT&F");
    EXPECT_EQ(m.m_strInit2, "ATL2");
    EXPECT_EQ(m.m_strInit3, "AT$W1");
    EXPECT_EQ(m.m_nOptions, -5);
    EXPECT_EQ(m.m_strReset, "ATZ0");
    EXPECT_EQ(m.m_nCommandDelay, 200);
    EXPECT_EQ(m.m_nCharDelay, 255);
    EXPECT_EQ(m.m_strEscape, "---");
    EXPECT_EQ(m.m_strOnHook, "ATH0");
    EXPECT_EQ(m.m_strOffHook, "ATH1");
    EXPECT_EQ(m.m_strSpeakerMode, "M%d!");
    EXPECT_EQ(m.m_strSpeakerVolume, "L%d!");
    EXPECT_EQ(m.m_strPulseDial, "DP!");
    EXPECT_EQ(m.m_strToneDial, "DT!");
    EXPECT_EQ(m.m_nAnswerRings, 4);
    EXPECT_EQ(m.m_nExtra4, 99);
    EXPECT_TRUE(g_messages.empty());
}

TEST_F(SetupModemTest, LeavesTheFieldsTheRecordDoesNotCarry)
{
    CModem& before = Current();
    before.m_strName = "kept";
    before.m_strHangUp = "ATHx";
    before.m_nExtra1 = 11;
    before.m_nExtra8 = 88;
    SetupBlock b = Typical();
    ASSERT_EQ(VEKComm2_SetupModem(b.Handle()), 1);
    const CModem& m = Current();
    EXPECT_EQ(m.m_strName, "kept");
    EXPECT_EQ(m.m_strHangUp, "ATHx");
    EXPECT_EQ(m.m_strReset2, "ATZ");
    EXPECT_EQ(m.m_strResultCodes, "X%d");
    EXPECT_EQ(m.m_strAutoAnswer, "ATS0=%d");
    EXPECT_EQ(m.m_nExtra1, 11);
    EXPECT_EQ(m.m_nExtra8, 88);
    EXPECT_EQ(m.m_nExtra7, 7);
}

TEST_F(SetupModemTest, PortSpeedZeroShowsTheMessageOnceAndStores110)
{
    SetupBlock b;
    ASSERT_EQ(VEKComm2_SetupModem(b.Handle()), 1);
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0], "Incoming Baud Rate is 0 defaulting to 110");
    EXPECT_EQ(Current().m_nBaudRate, 110);
    EXPECT_EQ(Current().m_nLineBaudRate, 1200);

    SetupBlock fast;
    fast.U8(VEK_SETUP_MODEM_OPTIONS, 0x01);
    ASSERT_EQ(VEKComm2_SetupModem(fast.Handle()), 1);
    EXPECT_EQ(Current().m_nBaudRate, 110);
    EXPECT_EQ(Current().m_nLineBaudRate, 2400);
}

TEST_F(SetupModemTest, LineSpeedRules)
{
    struct Case {
        int32_t port;
        uint8_t options;
        int32_t line;
    };
    for (const Case c : {Case{2400, 0x00, 1200}, Case{2400, 0x01, 2400}, Case{4800, 0x00, 4800}, Case{4800, 0x01, 4800},
                         Case{2401, 0x00, 2401}, Case{300, 0x01, 2400}, Case{-1, 0x00, -1}}) {
        SetupBlock b;
        b.I32(VEK_SETUP_BAUD_RATE, c.port).U8(VEK_SETUP_MODEM_OPTIONS, c.options);
        ASSERT_EQ(VEKComm2_SetupModem(b.Handle()), 1);
        EXPECT_EQ(Current().m_nLineBaudRate, c.line) << c.port << " " << int{c.options};
    }
}

TEST_F(SetupModemTest, EmptyHangUpStemGivesZeroAndOne)
{
    SetupBlock b = Typical();
    ASSERT_EQ(VEKComm2_SetupModem(b.Handle()), 1);
    EXPECT_EQ(Current().m_strOnHook, "0");
    EXPECT_EQ(Current().m_strOffHook, "1");
}

TEST_F(SetupModemTest, RingsAreSignExtended)
{
    SetupBlock b = Typical();
    b.U8(VEK_SETUP_ANSWER_RINGS, 0xFF).U8(VEK_SETUP_ANSWER_RINGS + 1, 0xFF);
    ASSERT_EQ(VEKComm2_SetupModem(b.Handle()), 1);
    EXPECT_EQ(Current().m_nAnswerRings, -1);
}

TEST_F(SetupModemTest, OnlyFlagBitsZeroToTwoAreReplaced)
{
    Current().m_dwFlags = 0xFFFFFF00u | MODEM_EXTENDED;
    SetupBlock b = Typical();
    b.U8(VEK_SETUP_MODEM_OPTIONS, 0x08);
    ASSERT_EQ(VEKComm2_SetupModem(b.Handle()), 1);
    EXPECT_EQ(Current().m_dwFlags, 0xFFFFFF00u | MODEM_PCLINK);
    EXPECT_EQ(VEKComm2_IsPCLink(), 1);
}

TEST_F(SetupModemTest, AttentionNeedsTheValueOne)
{
    SetupBlock b = Typical();
    b.U8(VEK_SETUP_ATTENTION, 2);
    ASSERT_EQ(VEKComm2_SetupModem(b.Handle()), 1);
    EXPECT_EQ(Current().m_dwFlags & MODEM_ATTENTION, 0u);
}

TEST_F(SetupModemTest, TextWithoutTerminatorStopsAtItsWidth)
{
    SetupBlock b = Typical();
    b.Text(VEK_SETUP_RESET, "ATZZZZZZ").Text(VEK_SETUP_COMMAND_DELAY, "\x05\x06");
    b.Text(VEK_SETUP_INIT, std::string(70, 'I')).Text(VEK_SETUP_INIT2, "next");
    b.Text(VEK_SETUP_TONE_DIAL, "DTDTDTDT").Text(VEK_SETUP_ANSWER_RINGS, "\x02");
    ASSERT_EQ(VEKComm2_SetupModem(b.Handle()), 1);
    EXPECT_EQ(Current().m_strReset, "ATZZZZZZ");
    EXPECT_EQ(Current().m_strInit, std::string(70, 'I'));
    EXPECT_EQ(Current().m_strToneDial, "DTDTDTDT");
}

TEST_F(SetupModemTest, BlockIsFreedOnSuccess)
{
    SetupBlock b = Typical();
    ASSERT_EQ(VEKComm2_SetupModem(b.Handle()), 1);
    EXPECT_TRUE(b.Freed());
}

TEST_F(SetupModemTest, WithoutCurrentModemTheBlockIsLeftToTheCaller)
{
    theApp.m_modemSettings.m_nCurrent = -1;
    SetupBlock b = Typical();
    EXPECT_EQ(VEKComm2_SetupModem(b.Handle()), 0);
    EXPECT_FALSE(b.Freed());
    // Unlocked again: the caller can still free it.
    EXPECT_EQ(GlobalUnlock(b.Handle()), 0);
    EXPECT_EQ(GlobalFree(b.Handle()), HGLOBAL{});
}

TEST_F(SetupModemTest, NullElementIsNoCurrentModem)
{
    theApp.m_modemSettings.m_modems[0].reset();
    SetupBlock b = Typical();
    EXPECT_EQ(VEKComm2_SetupModem(b.Handle()), 0);
    EXPECT_FALSE(b.Freed());
    EXPECT_EQ(VEKComm2_IsPCLink(), 0);
}

TEST_F(SetupModemTest, StaleOrNullHandleIsRefused)
{
    EXPECT_EQ(VEKComm2_SetupModem(0), 0);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, VEK_MODEM_SETUP_MIN_SIZE);
    GlobalFree(h);
    EXPECT_EQ(VEKComm2_SetupModem(h), 0);
}

TEST_F(SetupModemTest, BlockSmallerThanTheRecordIsRefused)
{
    SetupBlock b(VEK_MODEM_SETUP_MIN_SIZE - 1);
    b.I32(VEK_SETUP_BAUD_RATE, 9600).I32(VEK_SETUP_COM_PORT, 7);
    EXPECT_EQ(VEKComm2_SetupModem(b.Handle()), 0);
    EXPECT_FALSE(b.Freed());
    EXPECT_EQ(Current().m_nComPort, 1);
    EXPECT_TRUE(g_messages.empty());
}

TEST_F(SetupModemTest, LargerBlockIsAccepted)
{
    SetupBlock b(1000);
    b.I32(VEK_SETUP_BAUD_RATE, 9600).I32(VEK_SETUP_COM_PORT, 7);
    EXPECT_EQ(VEKComm2_SetupModem(b.Handle()), 1);
    EXPECT_EQ(Current().m_nComPort, 7);
}

TEST_F(SetupModemTest, WritesTheCurrentModemOnly)
{
    theApp.m_modemSettings.m_modems.push_back(std::make_unique<CModem>());
    theApp.m_modemSettings.m_nIncoming = 1;
    theApp.m_modemSettings.SelectIncoming();
    SetupBlock b = Typical();
    ASSERT_EQ(VEKComm2_SetupModem(b.Handle()), 1);
    EXPECT_EQ(theApp.m_modemSettings.m_modems[1]->m_nComPort, 3);
    EXPECT_EQ(theApp.m_modemSettings.m_modems[0]->m_nComPort, 1);
}

TEST_F(SetupModemTest, IsPCLinkFollowsTheCurrentModem)
{
    EXPECT_EQ(VEKComm2_IsPCLink(), 0);
    Current().m_dwFlags |= MODEM_PCLINK;
    EXPECT_EQ(VEKComm2_IsPCLink(), 1);
    theApp.m_modemSettings.m_nCurrent = -1;
    EXPECT_EQ(VEKComm2_IsPCLink(), 0);
    theApp.m_modemSettings.m_nCurrent = 9;
    EXPECT_EQ(VEKComm2_IsPCLink(), 0);
}

} // namespace
} // namespace vek
