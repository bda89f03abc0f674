// Whole calls in real time: the library through its exports on one side of
// a pseudo-terminal, the simulated modem and panel on the other. Each test
// is one call from start to hang-up, and checks every notification the host
// received, in order, with the data blocks byte for byte.
#include "frame/CComm2App.h"
#include "support/LinkTestSupport.h"
#include "vek_comm2.h"

#include "panelsim/Identification.h"
#include "panelsim/Simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace vek::test {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

constexpr int kPort = 5;

// A notification as the host saw it; blocks are taken at once.
struct Note {
    WPARAM code;
    Bytes block;
};

class CallE2ETest : public ::testing::Test {
protected:
    CallE2ETest()
    {
        char dir[] = "/tmp/vek-call-XXXXXX";
        if (::mkdtemp(dir) != nullptr)
            m_dataDir = dir;
        VekSetDataFolder(m_dataDir.c_str());
        ResetLinkState();
        record.Set16(VEK_PANEL_LINK_MODE, 2);
        record.Set16(VEK_PANEL_EXPECTED_TYPE, 19);
        record.Set16(VEK_PANEL_EXPECTED_VERSION, 2);
        record.Set16(VEK_PANEL_SECOND_SPEED, 9600);
        record.Set16(VEK_PANEL_DIRECT_SPEED, 9600);
        std::memcpy(record.Bytes() + VEK_PANEL_PHONE_NUMBER, "5551234", 8);
    }
    ~CallE2ETest() override
    {
        VEKComm2_Uninit();
        if (sim)
            sim->Stop();
        VekSetDataFolder(nullptr);
        VekSetPortDevice(kPort, nullptr);
        ::rmdir(m_dataDir.c_str());
        ResetLinkState();
    }

    void StartPanel(panelsim::Options options)
    {
        for (uint16_t a = 0; a < 64; ++a)
            memory.push_back(static_cast<uint8_t>(0xA0 ^ a));
        sim = std::make_unique<panelsim::Simulator>(std::move(options));
        ASSERT_TRUE(sim->Start()) << sim->Error();
        sim->WriteMemory(0x0100, memory);
        VekSetPortDevice(kPort, sim->SlavePath().c_str());
        ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    }

    // A modem at 9600 bit/s without pacing; the short guard time keeps the
    // escape quick. modemOptions 0x08 makes it a direct PC link.
    static void SetupModem(uint8_t modemOptions = 0)
    {
        const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, VEK_MODEM_SETUP_MIN_SIZE);
        auto* p = static_cast<uint8_t*>(GlobalLock(block));
        const int32_t port = kPort, speed = 9600;
        std::memcpy(p + VEK_SETUP_COM_PORT, &port, 4);
        std::memcpy(p + VEK_SETUP_BAUD_RATE, &speed, 4);
        std::memcpy(p + VEK_SETUP_INIT, "ATE0S12=10", 10);
        std::memcpy(p + VEK_SETUP_RESET, "ATZ", 3);
        std::memcpy(p + VEK_SETUP_ESCAPE, "+++", 3);
        std::memcpy(p + VEK_SETUP_HANGUP_STEM, "ATH", 3);
        std::memcpy(p + VEK_SETUP_TONE_DIAL, "DT", 2);
        p[VEK_SETUP_MODEM_OPTIONS] = modemOptions;
        p[VEK_SETUP_ANSWER_RINGS] = 1;
        GlobalUnlock(block);
        ASSERT_EQ(VEKComm2_SetupModem(block), 1);
    }

    // A transfer request as a host builds one: read ('u') or write ('-').
    static void AddPool(uint32_t operation, uint8_t command, uint16_t address, const Bytes& data, uint32_t count)
    {
        const HGLOBAL dataBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, std::max<size_t>(data.size(), 1));
        if (!data.empty())
            std::memcpy(GlobalLock(dataBlock), data.data(), data.size());
        GlobalUnlock(dataBlock);
        const HGLOBAL request = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, VEK_POOL_RECORD_MIN_SIZE);
        auto* p = static_cast<uint8_t*>(GlobalLock(request));
        std::memcpy(p + VEK_POOL_ADDRESS, &address, 2);
        std::memcpy(p + VEK_POOL_COUNT, &count, 4);
        p[VEK_POOL_COMMAND] = command;
        std::memcpy(p + VEK_POOL_DATA, &dataBlock, 4);
        std::memcpy(p + VEK_POOL_OPERATION, &operation, 4);
        GlobalUnlock(request);
        ASSERT_EQ(VEKComm2_AddPool(request), 1);
    }

    // Pumps this thread's messages until the host has received code after
    // the one the last wait found.
    bool WaitFor(WPARAM code, std::chrono::milliseconds limit = 15000ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            for (const Message& m : host.Drain(VEK_WM_COMM_HOST_NOTIFY))
                notes.push_back({m.wParam, m.lParam != 0 ? TakeBlock(m.lParam) : Bytes{}});
            // Only after what an earlier wait found: codes come again.
            for (; m_cursor < notes.size(); ++m_cursor)
                if (notes[m_cursor].code == code) {
                    ++m_cursor;
                    return true;
                }
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            VekPumpMessages(20);
        }
    }
    template <typename Condition> bool PumpUntil(Condition done, std::chrono::milliseconds limit = 10000ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            VekPumpMessages(20);
        }
        return true;
    }
    std::vector<WPARAM> Codes() const
    {
        std::vector<WPARAM> codes;
        for (const Note& n : notes)
            codes.push_back(n.code);
        return codes;
    }
    const Bytes& BlockOf(WPARAM code) const
    {
        static const Bytes none;
        for (const Note& n : notes)
            if (n.code == code)
                return n.block;
        return none;
    }

    // The panel's memory moved through the library: a read of 16 bytes at
    // 0x0100 and a write of 4 bytes at 0x0200.
    void ReadAndWrite()
    {
        AddPool('u', 0x52, 0x0100, {}, 16);
        ASSERT_TRUE(WaitFor(6)) << ::testing::PrintToString(Codes());
        EXPECT_EQ(BlockOf(6), Bytes(memory.begin(), memory.begin() + 16));
        const Bytes written = {0xDE, 0xAD, 0xBE, 0xEF};
        AddPool('-', 0x57, 0x0200, written, 4);
        ASSERT_TRUE(WaitFor(5)) << ::testing::PrintToString(Codes());
        EXPECT_EQ(BlockOf(5), Bytes{}); // no reply command asked for: no block
        EXPECT_EQ(sim->ReadMemory(0x0200, 4), written);
    }

    MessageBoxCapture boxes;
    CaptureWindow host;
    PanelRecord record;
    std::unique_ptr<panelsim::Simulator> sim;
    Bytes memory;
    std::vector<Note> notes;
    size_t m_cursor = 0;
    std::string m_dataDir;
};

TEST_F(CallE2ETest, OutgoingCallInLinkModeTwoReadsWritesAndHangsUp)
{
    panelsim::Options options;
    options.modem.numbers["5551234"] = {panelsim::DialOutcome::Connect, 9600, 300};
    StartPanel(options);
    SetupModem();
    ASSERT_EQ(VEKComm2_CommInit(), 1);
    ASSERT_TRUE(WaitFor(9));
    ASSERT_EQ(VEKComm2_PanelInit(record.Get(), "1234", "", 1), 1);
    ASSERT_TRUE(WaitFor(3)) << ::testing::PrintToString(Codes());
    ReadAndWrite();
    ASSERT_EQ(VEKComm2_HangUp(0, 0), 1);
    ASSERT_TRUE(WaitFor(9)) << ::testing::PrintToString(Codes());
    EXPECT_EQ(Codes(), (std::vector<WPARAM>{9, 30, 23, 32, 90, 3, 6, 5, 8, 9}));

    Bytes ident = panelsim::EncodeIdentification(options.panel.ident);
    ident.resize(200, 0x00);
    EXPECT_EQ(BlockOf(90), ident);
    const auto seen = sim->Observe();
    EXPECT_NE(std::find(seen.modemCommands.begin(), seen.modemCommands.end(), "ATDT5551234"), seen.modemCommands.end())
        << ::testing::PrintToString(seen.modemCommands);
    EXPECT_NE(std::find(seen.modemCommands.begin(), seen.modemCommands.end(), "ATDT5551234"), seen.modemCommands.end());
    EXPECT_EQ(seen.modemCommands.back(), "AT"); // after the reset, as always
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_FALSE(theApp.m_pStatusDlg->m_commCtrl.GetPortOpen()); // the call is over
}

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
    ASSERT_TRUE(WaitFor(13)) << ::testing::PrintToString(Codes());
    const Bytes whole = BlockOf(13);
    ASSERT_EQ(whole.size(), 220u);
    EXPECT_EQ(whole[0], 19); // type
    EXPECT_EQ(whole[2], 2);  // version

    ASSERT_EQ(VEKComm2_PanelInit(record.Get(), "1234", "", 0), 1);
    ASSERT_TRUE(WaitFor(3)) << ::testing::PrintToString(Codes());
    ReadAndWrite();
    ASSERT_EQ(VEKComm2_HangUp(0, 0), 1);
    ASSERT_TRUE(WaitFor(8));
    ASSERT_TRUE(WaitFor(9));
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
    ASSERT_TRUE(WaitFor(3)) << ::testing::PrintToString(Codes());
    ReadAndWrite();
    ASSERT_EQ(VEKComm2_HangUp(0, 0), 1);
    ASSERT_TRUE(WaitFor(9)) << ::testing::PrintToString(Codes());
    EXPECT_EQ(Codes(), (std::vector<WPARAM>{32, 90, 3, 6, 5, 8, 9}));
    EXPECT_TRUE(sim->Observe().modemCommands.empty()); // no AT command on a cable
    EXPECT_TRUE(boxes.Texts().empty());
}

} // namespace
} // namespace vek::test
