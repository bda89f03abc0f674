// Whole calls from start to hang-up: every link mode placed through a modem,
// a call answered and continued, a direct PC link. Each checks the host's
// notifications in order and the data byte for byte.
#include "e2e/CallHarness.h"
#include "host/CComm2App.h"

#include "panelsim/Identification.h"

#include <algorithm>

namespace vek::test {
namespace {

class CallE2ETest : public CallHarness {};

class LinkModeE2ETest : public CallHarness, public ::testing::WithParamInterface<int> {};

TEST_P(LinkModeE2ETest, OutgoingCallReadsWritesAndHangsUp)
{
    const int mode = GetParam();
    panelsim::Options options;
    options.modem.numbers["5551234"] = {panelsim::DialOutcome::Connect, 9600, 300};
    options.panel.linkMode = mode;
    // Mode 3 addresses are one byte unless the panel takes two.
    options.panel.twoByteAddress = mode == 3;
    StartPanel(options);
    SetupModem();
    record.Set16(VEK_PANEL_LINK_MODE, static_cast<uint16_t>(mode));
    record.Set16(VEK_PANEL_OPTIONS, mode == 3 ? 0x0080 : 0x0000);
    ASSERT_TRUE(PlaceCall()) << CodesText();
    // Mode 3 moves data with short codes: command 1 reads, command 2 writes.
    if (mode == 3)
        ReadAndWrite(1, 2);
    else
        ReadAndWrite();
    ASSERT_TRUE(HangUp()) << CodesText();
    // The call is over: the end of call follows 9 and the modem's last AT.
    EXPECT_TRUE(PumpUntil([] { return !theApp.m_pStatusDlg.load()->m_commCtrl.GetPortOpen(); }));
    EXPECT_EQ(Codes(), (std::vector<WPARAM>{9, 30, 23, 32, 90, 3, 6, 5, 8, 9}));

    Bytes ident = panelsim::EncodeIdentification(options.panel.ident);
    ident.resize(200, 0x00);
    EXPECT_EQ(BlockOf(90), ident);
    const auto seen = sim->Observe();
    EXPECT_NE(
        std::find(seen.modemCommands.begin(), seen.modemCommands.end(), mode == 3 ? "ATDT5551234R" : "ATDT5551234"),
        seen.modemCommands.end())
        << ::testing::PrintToString(seen.modemCommands);
    EXPECT_EQ(seen.modemCommands.back(), "AT"); // after the reset, as always
    EXPECT_TRUE(boxes.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(EveryMode, LinkModeE2ETest, ::testing::Values(1, 2, 3, 4, 5));

TEST_F(CallE2ETest, AnsweredCallIsContinuedWithCallModeZero)
{
    panelsim::Options options;
    options.modem.ringIntervalMs = 200;
    StartPanel(options);
    SetupModem();
    ASSERT_EQ(VEKComm2_PanelInit(nullptr, "", "", 0), 1);
    // Ring once the worker waits for the RING: a RING read in one piece
    // with the auto-answer's OK would be neither.
    const auto waitingForRing = [] {
        const auto steps = QueuedSteps();
        return steps.size() == 2 && steps.front() == QueuedStep{1, 1, 32, {}};
    };
    ASSERT_TRUE(PumpUntil(waitingForRing)) << ::testing::PrintToString(sim->Observe().modemCommands);
    sim->Ring(3);
    ASSERT_TRUE(WaitFor(13)) << CodesText();
    const Bytes whole = BlockOf(13);
    ASSERT_EQ(whole.size(), 220u);
    EXPECT_EQ(whole[0], 19); // type
    EXPECT_EQ(whole[2], 2);  // version

    ASSERT_EQ(VEKComm2_PanelInit(record.Get(), "1234", "", 0), 1);
    ASSERT_TRUE(WaitFor(3)) << CodesText();
    ReadAndWrite();
    ASSERT_TRUE(HangUp()) << CodesText();
    EXPECT_EQ(Codes(), (std::vector<WPARAM>{9, 41, 32, 13, 3, 6, 5, 8, 9}));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(CallE2ETest, DirectPcLinkCall)
{
    panelsim::Options options;
    options.pcLink = true;
    options.panel.pcLinkPeriodMs = 700;
    StartPanel(options);
    SetupModem(0x08);
    ASSERT_EQ(VEKComm2_PanelInit(record.Get(), "1234", "", 1), 1);
    ASSERT_TRUE(WaitFor(3)) << CodesText();
    ReadAndWrite();
    ASSERT_TRUE(HangUp()) << CodesText();
    EXPECT_EQ(Codes(), (std::vector<WPARAM>{32, 90, 3, 6, 5, 8, 9}));
    EXPECT_TRUE(sim->Observe().modemCommands.empty()); // no AT command on a cable
    EXPECT_TRUE(boxes.Texts().empty());
}

} // namespace
} // namespace vek::test
