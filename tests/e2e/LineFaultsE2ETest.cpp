// Calls that go wrong, in real time: dial failures, the wrong panel, a noisy
// line and a line that drops in mid-call. Whatever happens, the host is told,
// and data never arrives wrong.
#include "e2e/CallHarness.h"
#include "host/CComm2App.h"

#include <algorithm>

namespace vek::test {
namespace {

class LineFaultsE2ETest : public CallHarness {};

struct DialCase {
    panelsim::DialOutcome outcome;
    WPARAM notice;
};

class DialFailureE2ETest : public CallHarness, public ::testing::WithParamInterface<DialCase> {};

TEST_P(DialFailureE2ETest, IsReportedAndNothingFollows)
{
    panelsim::Options options;
    options.modem.numbers["5551234"] = {GetParam().outcome, 0, 200};
    StartPanel(options);
    SetupModem();
    ASSERT_EQ(VEKComm2_CommInit(), 1);
    ASSERT_TRUE(WaitFor(9));
    ASSERT_EQ(VEKComm2_PanelInit(record.Get(), "1234", "", 1), 1);
    ASSERT_TRUE(WaitFor(GetParam().notice)) << CodesText();
    PumpUntil([] { return false; }, 500ms); // nothing more comes
    Collect();
    EXPECT_EQ(Codes(), (std::vector<WPARAM>{9, 30, 23, GetParam().notice}));
    EXPECT_TRUE(QueuedSteps().empty());
}

INSTANTIATE_TEST_SUITE_P(Outcomes, DialFailureE2ETest,
                         ::testing::Values(DialCase{panelsim::DialOutcome::Busy, 11},
                                           DialCase{panelsim::DialOutcome::NoCarrier, 4},
                                           DialCase{panelsim::DialOutcome::NoDialtone, 15}),
                         [](const auto& info) { return "Notice" + std::to_string(info.param.notice); });

TEST_F(LineFaultsE2ETest, WrongPanelTypeEndsTheCall)
{
    StartPanel({});
    SetupModem();
    record.Set16(VEK_PANEL_EXPECTED_TYPE, 20); // the panel says 19
    ASSERT_EQ(VEKComm2_CommInit(), 1);
    ASSERT_TRUE(WaitFor(9));
    ASSERT_EQ(VEKComm2_PanelInit(record.Get(), "1234", "", 1), 1);
    ASSERT_TRUE(WaitFor(26)) << CodesText();
    ASSERT_TRUE(WaitFor(9)) << CodesText();
    EXPECT_EQ(Codes(), (std::vector<WPARAM>{9, 30, 23, 32, 26, 8, 9}));
    EXPECT_TRUE(PumpUntil([] { return !theApp.m_pStatusDlg.load()->m_commCtrl.GetPortOpen(); }));
}

TEST_F(LineFaultsE2ETest, NoisyLineNeverDeliversWrongData)
{
    panelsim::Options options;
    options.faults.corruptRate = 0.01;
    options.faults.onReceived = true; // both ways
    options.seed = 20261207;
    StartPanel(options);
    SetupModem();
    ASSERT_EQ(VEKComm2_CommInit(), 1);
    ASSERT_TRUE(WaitFor(9));
    // A damaged identification is reported (18, 25, 26) and the call ended;
    // the host tries again.
    bool open = false;
    for (int attempt = 0; attempt < 5 && !open; ++attempt) {
        ASSERT_EQ(VEKComm2_PanelInit(record.Get(), "1234", "", 1), 1);
        open = WaitFor(3, 20000ms);
        if (!open) {
            ASSERT_TRUE(WaitFor(9, 20000ms)) << CodesText(); // the call was ended
        }
    }
    ASSERT_TRUE(open) << CodesText();

    // A transfer may honestly take ten failed exchanges of 8 s before the
    // link is given up.
    constexpr auto kTransferLimit = 120000ms;
    int reads = 0, writes = 0;
    for (uint16_t i = 0; i < 24; ++i) {
        const uint16_t offset = static_cast<uint16_t>((i * 8) % 48);
        if (i % 3 == 2) {
            const Bytes data = {static_cast<uint8_t>(i), 0x5A, static_cast<uint8_t>(~i)};
            AddPool('-', 0x57, static_cast<uint16_t>(0x0400 + i * 4), data, 3);
            if (!WaitFor(5, kTransferLimit))
                break; // only a lost link may stop it, and it is reported
            EXPECT_EQ(sim->ReadMemory(static_cast<uint16_t>(0x0400 + i * 4), 3), data);
            ++writes;
            continue;
        }
        AddPool('u', 0x52, static_cast<uint16_t>(kPatternAddress + offset), {}, 16);
        if (!WaitFor(6, kTransferLimit))
            break;
        EXPECT_EQ(BlockOf(6), Bytes(memory.begin() + offset, memory.begin() + offset + 16)) << "read " << i;
        ++reads;
    }
    const auto codes = Codes();
    const bool linkLost = std::find(codes.begin(), codes.end(), WPARAM{27}) != codes.end();
    EXPECT_TRUE(reads + writes == 24 || linkLost) << CodesText();
    EXPECT_GT(reads, 0);
    const auto seen = sim->Observe();
    EXPECT_GT(seen.counters.corruptedBytes, 0); // the line really was noisy
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(LineFaultsE2ETest, LineDropInMidCallEndsInLinkLostAndACleanReset)
{
    panelsim::Options options;
    options.faults.dropAfterReplies = 2; // the session open and one read
    StartPanel(options);
    SetupModem();
    ASSERT_TRUE(PlaceCall()) << CodesText();
    AddPool('u', 0x52, kPatternAddress, {}, 16);
    ASSERT_TRUE(WaitFor(6)) << CodesText();
    // The modem's NO CARRIER right behind the read's reply ends the call
    // at once; the modem is in command mode already, so no escape follows.
    ASSERT_TRUE(WaitFor(27, 5000ms)) << CodesText();
    ASSERT_TRUE(WaitFor(9, 10000ms)) << CodesText();
    EXPECT_EQ(Codes(), (std::vector<WPARAM>{9, 30, 23, 32, 90, 3, 6, 27, 8, 9}));
    EXPECT_TRUE(PumpUntil([] { return !theApp.m_pStatusDlg.load()->m_commCtrl.GetPortOpen(); }));

    // Clean: the library starts over as on a fresh line.
    ASSERT_EQ(VEKComm2_CommInit(), 1);
    ASSERT_TRUE(WaitFor(9)) << CodesText();
}

} // namespace
} // namespace vek::test
