// Starting calls: PanelInit's text conversions, placing a call, a direct PC
// link, answering mode, continuing an answered call and the dial-out while
// answering. Every group checks the steps queued, with literal frame bytes.
#include "host/CComm2App.h"
#include "link/HexCodes.h"
#include "link/RequestQueue.h"
#include "link/RestartAnswering.h"
#include "link/SessionState.h"
#include "link/StartCall.h"
#include "platform/KeyState.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

namespace vek::test {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(HexCodesTest, TextsBecomeBytesByStrtolRules)
{
    struct Row {
        const char* text;
        Bytes idCode;
    };
    const Row rows[] = {
        {"", {}},
        {"1A2b", {0x1A, 0x2B}},
        {"12345", {0x12, 0x34, 0x05}}, // a last single character is a group
        {"zz7G", {0x00, 0x07}},        // reading stops at a non-digit
        {"-1", {0xFF}},                // a sign is taken, then cut to 8 bits
        {" 9", {0x09}},                // leading blank skipped
    };
    for (const Row& row : rows)
        EXPECT_EQ(ParseIdentificationCode(row.text), row.idCode) << row.text;
    EXPECT_EQ(ParseIdentificationCode(nullptr), Bytes{});

    EXPECT_EQ(ParseOpenCode("A", false), (Bytes{0x0A, 0x00}));
    EXPECT_EQ(ParseOpenCode("C0DE99", false), (Bytes{0xC0, 0xDE}));
    EXPECT_EQ(ParseOpenCode("C0DE99", true), (Bytes{0xC0, 0xDE, 0x99}));
    EXPECT_EQ(ParseOpenCode("C0D", true), (Bytes{0xC0, 0x0D, 0x00}));
    EXPECT_EQ(ParseOpenCode(nullptr, true), (Bytes{0x00, 0x00, 0x00}));
}

short g_keysDown[2] = {0, 0}; // Caps Lock, Shift

short KeyHook(int key)
{
    if (key == 0x14)
        return g_keysDown[0];
    if (key == 0x10)
        return g_keysDown[1];
    return 0;
}

class CallSetupTest : public ::testing::Test {
protected:
    CallSetupTest() : clock(true)
    {
        h.OpenPort();
        record.Set16(VEK_PANEL_LINK_MODE, 2);
        record.Set16(VEK_PANEL_EXPECTED_TYPE, 18);
        record.Set16(VEK_PANEL_EXPECTED_VERSION, 31);
        SetPhone("5551234");
        SetKeyStateHook(&KeyHook);
    }
    ~CallSetupTest() override
    {
        SetKeyStateHook(nullptr);
        g_keysDown[0] = g_keysDown[1] = 0;
    }

    void SetPhone(const char* number)
    {
        std::copy(number, number + std::strlen(number) + 1, record.Bytes() + VEK_PANEL_PHONE_NUMBER);
    }
    CModem& modem() { return *h.Modems().GetCurrentModem(); }
    int Start(int callMode) { return StartCall(h.Dlg(), record.Get(), {0x12, 0x34}, {0xAB, 0xCD, 0xEF}, callMode); }
    // The last n steps queued (the modem's start-up lines come first).
    static std::vector<QueuedStep> Tail(size_t n)
    {
        auto all = QueuedSteps();
        return {all.end() - static_cast<std::ptrdiff_t>(std::min(n, all.size())), all.end()};
    }

    ManualClockScope clock;
    DialogHarness h;
    PanelRecord record;
};

TEST_F(CallSetupTest, PlacedCallDialsThenWaitsForConnectAndTheIdentification)
{
    record.Bytes()[VEK_PANEL_LINK_OPTIONS] = 0x08; // send the link request
    ASSERT_EQ(Start(1), 1);
    EXPECT_EQ(Tail(4), (std::vector<QueuedStep>{
                           {6, 0, 30, Text("ATDT5551234\r")},
                           {6, 0, 23, {}},
                           {1, 1, 32, {}},
                           {3, 0, 90, {0x00, 0x06, 0xF2, 0x00, 0x14, 0x00, 0x26, 0x3A}},
                       }));
    EXPECT_EQ(h.Dlg().m_nLinkMode, 2);
    EXPECT_EQ(g_bAnswerMode, 0);
    EXPECT_EQ(g_nAnswerRestartArg, 0);
    EXPECT_TRUE(g_evQueue.IsSet());
}

TEST_F(CallSetupTest, LinkFrameChoiceFollowsTheRecordAndTheKeys)
{
    struct Row {
        uint8_t linkOptions;
        short capsLock, shift;
        Bytes frame;
    };
    const Bytes dialFrame = {'A', 'T', 'D', 'T', 9, '5', '5', '5', '1', '2', '3', '4', 0xC1, 0xC5};
    const Bytes idBlock = {0x04, 0x04, 0x04, 0x00, 0x0E, 18,   31,   0x00, 0xAB, 0xCD,
                           0xEF, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x29, 0x78};
    const Row rows[] = {
        {0x00, 0, 0, {}},
        {0x10, 0, 0, dialFrame},
        {0x18, 0, 0, dialFrame}, // the dial frame wins over the link request
        {0x00, short(0x8000), 0, {0x00, 0x06, 0xF2, 0x00, 0x14, 0x00, 0x26, 0x3A}},
        {0x00, short(0x8000), short(0x8000), idBlock},
        {0x00, 0x0001, short(0x8000), {}}, // only the high bit means down
    };
    for (const Row& row : rows) {
        QueueClear();
        record.Bytes()[VEK_PANEL_LINK_OPTIONS] = row.linkOptions;
        g_keysDown[0] = row.capsLock;
        g_keysDown[1] = row.shift;
        ASSERT_EQ(Start(1), 1);
        EXPECT_EQ(Tail(1).front().data, row.frame) << int(row.linkOptions) << " " << row.capsLock;
    }
}

TEST_F(CallSetupTest, LinkModeThreeDialsWithR)
{
    record.Set16(VEK_PANEL_LINK_MODE, 3);
    ASSERT_EQ(Start(1), 1);
    EXPECT_EQ(Tail(4).front().data, Text("ATDT5551234R\r"));
}

TEST_F(CallSetupTest, DelaysComeFromTheOptionsWord)
{
    struct Row {
        uint16_t options;
        int32_t requestDelay, byteDelay;
    };
    for (const Row row : {Row{0x0000, 100, 0}, Row{0x1000, 200, 0}, Row{0x2000, 500, 0}, Row{0x3000, 0, 0},
                          Row{0x4000, 100, 10}, Row{0x8000, 100, 20}, Row{0xF000, 0, 40}}) {
        record.Set16(VEK_PANEL_OPTIONS, row.options);
        ASSERT_EQ(Start(1), 1);
        EXPECT_EQ(h.Dlg().m_nRequestDelay, row.requestDelay) << row.options;
        EXPECT_EQ(h.Dlg().m_nByteDelay, row.byteDelay) << row.options;
    }
}

TEST_F(CallSetupTest, PcLinkPollsThePanelInsteadOfDialling)
{
    modem().m_dwFlags = MODEM_PCLINK;
    record.Set16(VEK_PANEL_DIRECT_SPEED, 0xC200);
    ASSERT_EQ(Start(1), 1);
    CSingleLock lock(g_csQueue);
    ASSERT_EQ(g_requestQueue.size(), 1u); // no modem lines, no dial text
    EXPECT_EQ(g_requestQueue.front()->m_nType, STEP_IDENTIFY);
    EXPECT_EQ(g_requestQueue.front()->m_nExpect, 1);
    EXPECT_EQ(g_requestQueue.front()->m_nTimeout, 500);
    EXPECT_EQ(h.Dlg().m_nCurrentBaudRate, 115200);

    QueueClear();
    record.Bytes()[VEK_PANEL_LINK_OPTIONS] = 0x08;
    ASSERT_EQ(Start(1), 1);
    EXPECT_EQ(g_requestQueue.front()->m_nTimeout, 2000); // with a frame to send
}

TEST_F(CallSetupTest, NoPortMeansNoCall)
{
    h.Dlg().m_commCtrl.SetPortOpen(false);
    h.Device().SetProbeFails(true);
    EXPECT_EQ(Start(1), 0);
    EXPECT_TRUE(QueuedSteps().empty());
    h.Dlg().m_pModemSettings->m_nOutgoing = -1;
    EXPECT_EQ(Start(1), 0);
}

TEST_F(CallSetupTest, AnsweringQueuesTheAnswerScript)
{
    modem().m_nAnswerRings = 3;
    g_bSessionUp = 1;
    ASSERT_EQ(RestartAnswering(h.Dlg(), 1), 1);
    EXPECT_EQ(Tail(6), (std::vector<QueuedStep>{
                           {1, 0, 100, Text("ATS0=3\r")},
                           {1, 2, 41, {}},
                           {1, 2, 41, {}},
                           {1, 2, 41, {}},
                           {1, 1, 32, {}},
                           {3, 2, 13, {}},
                       }));
    {
        CSingleLock lock(g_csQueue);
        EXPECT_EQ(g_requestQueue[g_requestQueue.size() - 6]->m_nTimeout, 5000);
    }
    EXPECT_EQ(g_bAnswerMode, 1);
    EXPECT_EQ(g_nAnswerRestartArg, 1);
    EXPECT_EQ(g_bSessionUp, 0);
    EXPECT_EQ(h.Dlg().m_pPanelRecord, nullptr);
    EXPECT_EQ(h.Dlg().m_nLinkMode, 0);
}

TEST_F(CallSetupTest, PanelInitWithoutRecordAnswersAndTakesModeTwoAsAnswerAgain)
{
    CaptureWindow host;
    theApp.m_pStatusDlg = &h.Dlg();
    EXPECT_EQ(VEKComm2_PanelInit(nullptr, "", "", 2), 1);
    EXPECT_EQ(g_nAnswerRestartArg, 1);
    EXPECT_EQ(VEKComm2_PanelInit(nullptr, "", "", 1), 1);
    EXPECT_EQ(g_nAnswerRestartArg, 0);
    record.Set16(VEK_PANEL_OPTIONS, 0x0040);
    EXPECT_EQ(VEKComm2_PanelInit(record.Get(), "C0DE99", "12345", 1), 1);
    EXPECT_EQ(h.Dlg().m_openCode, (Bytes{0xC0, 0xDE, 0x99}));
    EXPECT_EQ(h.Dlg().m_idCode, (Bytes{0x12, 0x34, 0x05}));
    theApp.m_pStatusDlg = nullptr;
}

TEST_F(CallSetupTest, ContinuedCallReReadsTheReplyAndOpensTheSession)
{
    // Kept from answering: a 02 block of type 18 version 31 (unchecked 11 bytes).
    h.Dlg().m_lastReply = {0x02, 0x02, 0x02, 18, 31, 0, 0x11, 0x22, 0x00, 0x33, 0x44};
    g_bOnline = 1;
    ASSERT_EQ(Start(0), 1);
    EXPECT_EQ(record.Get16(VEK_PANEL_OPTIONS), 0x0018); // the option bits follow the panel
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{{2, 0, 3, {0x00, 0x05, 0x22, 0x12, 0x34, 0x0A, 0x8F}}}));
}

TEST_F(CallSetupTest, ContinuedCallOnAnExtendedModemResumesDataFirst)
{
    record.Set16(VEK_PANEL_EXPECTED_TYPE, 15);
    h.Dlg().m_lastReply = {0x02, 0x02, 0x02, 15, 1, 0, 0x11, 0x22, 0x04, 0x33, 0x44}; // flags 0x04: wait 8 s
    const uint64_t before = NowMs();
    ASSERT_EQ(Start(0), 1);
    EXPECT_GE(NowMs() - before, 8000u);
    EXPECT_EQ(QueuedSteps(), (std::vector<QueuedStep>{
                                 {1, 0, 100, Text("+++")},
                                 {1, 1, 100, Text("AT$WA\r")},
                                 {100, 4, 100, {0x00, 0x03, 0x55, 0x4D, 0xD7}},
                                 {2, 0, 3, {0x00, 0x05, 0x22, 0x12, 0x34, 0x0A, 0x8F}},
                             }));

    QueueClear();
    modem().m_strInit3 = "AT$W"; // the modem already answers in data mode
    ASSERT_EQ(Start(0), 1);
    EXPECT_EQ(QueuedSteps().size(), 1u);
}

TEST_F(CallSetupTest, DialOutWhileAnsweringNeedsARecordForItsNumber)
{
    AnswerOverrideCall(h.Dlg());
    EXPECT_TRUE(QueuedSteps().empty());
    h.Dlg().m_pPanelRecord = record.Get();
    h.Dlg().m_nLinkMode = 2;
    g_bConnectPending = 1;
    AnswerOverrideCall(h.Dlg());
    EXPECT_EQ(QueuedSteps().size(), 4u);
    EXPECT_EQ(QueuedSteps().front().data, Text("ATDT5551234\r"));
    EXPECT_EQ(g_bConnectPending, 0);
}

} // namespace
} // namespace vek::test
