// In real time: a line that is certainly gone ends the call at once, and a
// panel that answers a retry straight away is heard.
#include "e2e/CallHarness.h"
#include "host/CComm2App.h"

#include <algorithm>

namespace vek::test {
namespace {

class LineLossE2ETest : public CallHarness {
protected:
    bool PortClosed()
    {
        return PumpUntil([] { return !theApp.m_pStatusDlg.load()->m_commCtrl.GetPortOpen(); });
    }
    bool Heard(WPARAM code) const
    {
        const auto codes = Codes();
        return std::find(codes.begin(), codes.end(), code) != codes.end();
    }
};

TEST_F(LineLossE2ETest, CarrierLostDuringATransferIsReportedAtOnceAndTheLineStartsOver)
{
    panelsim::Options options;
    options.panel.replyDelayMs = 3000; // the read is still waiting when the line drops
    StartPanel(options);
    SetupModem();
    ASSERT_TRUE(PlaceCall()) << CodesText();
    AddPool('u', 0x52, kPatternAddress, {}, 16);
    ASSERT_TRUE(sim->WaitUntil([](const auto& seen) { return seen.counters.frames >= 2; }, 5000ms));
    sim->DropLine(); // the modem says NO CARRIER
    // The no-answer counting would take some 45 s; the loss is certain now.
    ASSERT_TRUE(WaitFor(27, 5000ms)) << CodesText();
    ASSERT_TRUE(WaitFor(9, 10000ms)) << CodesText();
    EXPECT_EQ(Codes(), (std::vector<WPARAM>{9, 30, 23, 32, 90, 3, 27, 8, 9}));
    EXPECT_TRUE(PortClosed());
    EXPECT_TRUE(boxes.Texts().empty());

    ASSERT_TRUE(PlaceCall()) << CodesText(); // a new call works
    ReadAndWrite();
    ASSERT_TRUE(HangUp()) << CodesText();
    EXPECT_FALSE(Heard(28)) << CodesText();
}

TEST_F(LineLossE2ETest, CarrierLostWhileIdleIsReportedAtOnce)
{
    StartPanel({});
    SetupModem();
    ASSERT_TRUE(PlaceCall()) << CodesText();
    sim->DropLine();
    ASSERT_TRUE(WaitFor(27, 5000ms)) << CodesText();
    ASSERT_TRUE(WaitFor(9, 10000ms)) << CodesText();
    EXPECT_EQ(Codes(), (std::vector<WPARAM>{9, 30, 23, 32, 90, 3, 27, 8, 9}));
    EXPECT_TRUE(PortClosed());
    ASSERT_EQ(VEKComm2_CommInit(), 1);
    ASSERT_TRUE(WaitFor(9)) << CodesText();
}

TEST_F(LineLossE2ETest, VanishedPanelLineEndsTheCallWithoutWritingToIt)
{
    StartPanel({});
    SetupModem();
    ASSERT_TRUE(PlaceCall()) << CodesText();
    sim->Stop(); // the other end of the line is gone
    ASSERT_TRUE(WaitFor(27, 5000ms)) << CodesText();
    ASSERT_TRUE(WaitFor(9, 5000ms)) << CodesText();
    EXPECT_EQ(Codes(), (std::vector<WPARAM>{9, 30, 23, 32, 90, 3, 27, 8, 9}));
    EXPECT_TRUE(PortClosed());
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
}

TEST_F(LineLossE2ETest, FastAnswerToARetryIsHeard)
{
    constexpr uint16_t kReads = 10;
    panelsim::Options options;
    options.panel.replyDelayMs = 5;
    for (uint16_t i = 0; i < kReads; ++i) {
        const auto address = static_cast<uint16_t>(kPatternAddress + 4 * i);
        options.panel.refusals.push_back({1, 1, true, address, address}); // each read refused once
    }
    StartPanel(options);
    SetupModem();
    record.Set16(VEK_PANEL_OPTIONS, 0x3000); // no pause between requests
    ASSERT_TRUE(PlaceCall()) << CodesText();
    for (uint16_t i = 0; i < kReads; ++i)
        AddPool('u', 0x52, static_cast<uint16_t>(kPatternAddress + 4 * i), {}, 4);
    for (uint16_t i = 0; i < kReads; ++i)
        ASSERT_TRUE(WaitFor(6, 20000ms)) << CodesText();
    std::vector<WPARAM> expected = {9, 30, 23, 32, 90, 3};
    for (uint16_t i = 0; i < kReads; ++i)
        expected.insert(expected.end(), {91, 92, 6});
    EXPECT_EQ(Codes(), expected);
    EXPECT_EQ(sim->Observe().counters.refusals, kReads);
}

// The modem's NO CARRIER as a real modem delivers it, a byte or a few at a
// time at the line's pace, right behind the panel's fifth reply.
class PacedLineLossE2ETest : public LineLossE2ETest, public ::testing::WithParamInterface<int> {};

TEST_P(PacedLineLossE2ETest, NoCarrierAtTheLinesPaceEndsTheCallAtOnce)
{
    panelsim::Options options;
    options.lineRate = true;
    options.panel.linkMode = GetParam();
    options.faults.dropAfterReplies = 5; // session open, then four reads
    StartPanel(options);
    SetupModem();
    record.Set16(VEK_PANEL_LINK_MODE, static_cast<uint16_t>(GetParam()));
    ASSERT_TRUE(PlaceCall()) << CodesText();
    for (uint16_t i = 0; i < 8; ++i)
        AddPool('u', 0x52, static_cast<uint16_t>(kPatternAddress + 8 * i), {}, 8);
    // Counting would take 40 s; the modem's words end it within moments.
    ASSERT_TRUE(WaitFor(27, 5000ms)) << CodesText();
    ASSERT_TRUE(WaitFor(9, 5000ms)) << CodesText();
    EXPECT_EQ(Codes(), (std::vector<WPARAM>{9, 30, 23, 32, 90, 3, 6, 6, 6, 6, 27, 8, 9}));
    EXPECT_TRUE(PortClosed());
}

INSTANTIATE_TEST_SUITE_P(Modes, PacedLineLossE2ETest, ::testing::Values(2, 4));

} // namespace
} // namespace vek::test
