// In real time: the other end of the line goes away in each phase of a call.
// Whatever the phase, the host hears something it can act on, the port is
// put down, and the next line works.
#include "e2e/CallHarness.h"
#include "host/CComm2App.h"

#include <algorithm>

namespace vek::test {
namespace {

struct Phase {
    const char* name;
    std::vector<WPARAM> heard; // after 9, 30, 23
};

class LineGoneTest : public CallHarness {
protected:
    // A new line on the same port works as before.
    void NewLineWorks()
    {
        sim = std::make_unique<panelsim::Simulator>(panelsim::Options{});
        ASSERT_TRUE(sim->Start()) << sim->Error();
        VekSetPortDevice(kCallPort, sim->SlavePath().c_str());
        ASSERT_TRUE(PlaceCall()) << CodesText();
    }
};

class LineGoneE2ETest : public LineGoneTest, public ::testing::WithParamInterface<Phase> {};

TEST_P(LineGoneE2ETest, HostIsToldThePortIsPutDownAndTheNextLineWorks)
{
    const std::string phase = GetParam().name;
    panelsim::Options options;
    options.modem.numbers["5551234"] = {panelsim::DialOutcome::Connect, 9600, phase == "dialling" ? 8000 : 200};
    options.panel.identDelayMs = phase == "identification" ? 6000 : 500;
    StartPanel(options);
    SetupModem();
    ASSERT_EQ(VEKComm2_CommInit(), 1);
    ASSERT_TRUE(WaitFor(9)) << CodesText();
    ASSERT_EQ(VEKComm2_PanelInit(record.Get(), "1234", "", 1), 1);
    ASSERT_TRUE(WaitFor(phase == "dialling" ? 23 : 32)) << CodesText();
    PumpUntil([] { return false; }, 300ms); // well into the wait
    sim->Stop();                            // the line is gone
    const WPARAM last = GetParam().heard.back();
    ASSERT_TRUE(WaitFor(last, 10000ms)) << CodesText();
    std::vector<WPARAM> expected = {9, 30, 23};
    expected.insert(expected.end(), GetParam().heard.begin(), GetParam().heard.end());
    EXPECT_EQ(Codes(), expected);
    EXPECT_TRUE(PumpUntil([] { return !theApp.m_pStatusDlg.load()->m_commCtrl.GetPortOpen(); }));
    EXPECT_TRUE(boxes.Texts().empty());

    NewLineWorks();
}

// Before the call: the modem goes away while it is being set up.
TEST_F(LineGoneTest, DuringModemSetUpIsReportedAndCommInitWorksAgain)
{
    StartPanel({});
    SetupModem();
    ASSERT_EQ(VEKComm2_CommInit(), 1);
    sim->Stop(); // before the modem has answered its set-up
    ASSERT_TRUE(PumpUntil([this] {
        Collect();
        return !Codes().empty();
    })) << CodesText();
    PumpUntil([] { return false; }, 500ms); // anything that follows
    EXPECT_EQ(Codes(), (std::vector<WPARAM>{20}));
    EXPECT_TRUE(PumpUntil([] { return !theApp.m_pStatusDlg.load()->m_commCtrl.GetPortOpen(); }));

    NewLineWorks();
}

// At the end: the line goes away while the library is hanging up.
TEST_F(LineGoneTest, DuringHangUpStillEndsTheCallOnce)
{
    StartPanel({});
    SetupModem();
    ASSERT_TRUE(PlaceCall()) << CodesText();
    ASSERT_EQ(VEKComm2_HangUp(0, 0), 1);
    PumpUntil([] { return false; }, 300ms); // inside the escape's guard time
    sim->Stop();
    ASSERT_TRUE(WaitFor(9, 10000ms)) << CodesText();
    PumpUntil([] { return false; }, 500ms);
    const auto codes = Codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 8), 1) << CodesText();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 9), 2) << CodesText(); // CommInit's and the end's
    EXPECT_EQ(codes.back(), 9) << CodesText();
    EXPECT_TRUE(PumpUntil([] { return !theApp.m_pStatusDlg.load()->m_commCtrl.GetPortOpen(); }));

    NewLineWorks();
}

INSTANTIATE_TEST_SUITE_P(Phases, LineGoneE2ETest,
                         ::testing::Values(Phase{"dialling", {20}}, Phase{"identification", {32, 18, 8, 9}}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vek::test
