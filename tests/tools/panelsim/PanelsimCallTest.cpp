// Whole calls over a real pseudo-terminal through the simulated modem; the
// test plays the host library with raw bytes.
#include "PanelsimHostLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace panelsim::test {
namespace {

using namespace std::chrono_literals;

const Bytes kIdentType19{0x02, 0x02, 0x02, 0x13, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x62, 0x78};
const Bytes kIdentType19AnswerMode{0x02, 0x02, 0x02, 0x13, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x85, 0xF4};
const Bytes kOpenMode2{0x00, 0x05, 0x22, 0x12, 0x34, 0x0A, 0x8F};
const Bytes kAckMode2{0x00, 0x03, 0x50, 0xB7, 0xB4};

std::string TempPath(const char* stem) { return ::testing::TempDir() + stem + std::to_string(::getpid()); }

TEST(PanelsimCallTest, PlacedCallIdentifiesReadsWritesEscapesAndHangsUp)
{
    Options options = QuickOptions(false);
    options.modem.numbers["123"] = DialScript{DialOutcome::Connect, 9600, -1};
    options.tracePath = TempPath("panelsim-call-trace-");
    std::remove(options.tracePath.c_str());
    Rig rig(options);
    ASSERT_TRUE(rig.Ok()) << rig.simulator.Error();

    EXPECT_EQ(rig.Command("ATZ\r", "OK\r\n"), "ATZ\r\r\nOK\r\n");
    EXPECT_EQ(rig.Command("ATS7=250S10=255S9=1S12=10F1Q0C1V1E0\r", "OK\r\n"),
              "ATS7=250S10=255S9=1S12=10F1Q0C1V1E0\r\r\nOK\r\n");
    EXPECT_EQ(rig.Command("ATM0\r", "OK\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(rig.Command("ATDT123\r", "CONNECT 9600\r\n"), "\r\nCONNECT 9600\r\n");
    EXPECT_EQ(HexText(rig.host->ReadCount(kIdentType19.size())), HexText(kIdentType19));

    EXPECT_EQ(rig.Exchange(kOpenMode2, 5), kAckMode2);
    // Write AA BB at 0x0100, then read the two bytes back.
    EXPECT_EQ(rig.Exchange({0x00, 0x07, 0x57, 0x01, 0x00, 0xAA, 0xBB, 0x62, 0xC0}, 5), kAckMode2);
    EXPECT_EQ(rig.simulator.ReadMemory(0x0100, 2), (Bytes{0xAA, 0xBB}));
    EXPECT_EQ(rig.Exchange({0x00, 0x07, 0x52, 0x01, 0x00, 0x00, 0x02, 0x1F, 0x70}, 7),
              (Bytes{0x00, 0x05, 0x52, 0xAA, 0xBB, 0x88, 0x10}));

    // S12=10: 200 ms of silence on both sides of the escape.
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(rig.Command("+++", "OK\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(rig.Command("ATH0\r", "OK\r\n"), "\r\nOK\r\n");

    const Observations seen = rig.simulator.Observe();
    EXPECT_EQ(seen.modemCommands,
              (std::vector<std::string>{"ATZ", "ATS7=250S10=255S9=1S12=10F1Q0C1V1E0", "ATM0", "ATDT123", "ATH0"}));
    ASSERT_EQ(seen.frames.size(), 3u);
    EXPECT_EQ(seen.frames[0].kind, RequestKind::SessionOpen);
    EXPECT_EQ(seen.frames[1].operation, Operation::Write);
    EXPECT_EQ(seen.frames[2].operation, Operation::Read);
    EXPECT_EQ(seen.frames[2].address, 0x0100);
    EXPECT_EQ(seen.frames[2].count, 2);
    EXPECT_EQ(seen.counters.acknowledgements, 2);
    EXPECT_EQ(seen.counters.dataReplies, 1);
    EXPECT_EQ(seen.counters.identifications, 1);
    EXPECT_EQ(seen.modemPhase, ModemPhase::Command);
    EXPECT_FALSE(seen.sessionOpen);

    rig.simulator.Stop();
    std::ifstream trace(options.tracePath);
    std::stringstream text;
    text << trace.rdbuf();
    EXPECT_TRUE(std::regex_search(text.str(), std::regex(R"((^|\n) {0,9}\d{1,10} RX 41 54 44 54 31 32 33 0D\n)")));
    EXPECT_TRUE(std::regex_search(text.str(), std::regex(R"(\n {0,9}\d{1,10} TX 00 05 52 AA BB 88 10\n)")));
    EXPECT_TRUE(std::regex_search(text.str(), std::regex(R"(\n {0,9}\d{1,10} modem command ATDT123\n)")));
    std::remove(options.tracePath.c_str());
}

TEST(PanelsimCallTest, IncomingCallIsAnsweredAtTheRingCountOfS0)
{
    Options options = QuickOptions(false);
    options.panel.ident.flags = 0x01; // never sent on a call the panel places
    Rig rig(options);
    ASSERT_TRUE(rig.Ok()) << rig.simulator.Error();
    EXPECT_EQ(rig.Command("ATE0\r", "OK\r\n"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(rig.Command("ATS0=2\r", "OK\r\n"), "\r\nOK\r\n");
    rig.simulator.Ring(5);
    const Bytes got = rig.host->ReadContaining("CONNECT\r\n");
    EXPECT_EQ(std::string(got.begin(), got.end()), "\r\nRING\r\n\r\nRING\r\n\r\nCONNECT\r\n");
    EXPECT_EQ(HexText(rig.host->ReadCount(kIdentType19.size())), HexText(kIdentType19));
    const Observations seen = rig.simulator.Observe();
    EXPECT_EQ(seen.counters.rings, 2);
    EXPECT_EQ(seen.counters.connects, 1);
    EXPECT_EQ(seen.modemPhase, ModemPhase::Online);
}

TEST(PanelsimCallTest, AnswerModePanelCallsBackAndIdentifiesWithoutTheFlag)
{
    Options options = QuickOptions(false);
    options.panel.ident.flags = 0x01;
    Rig rig(options);
    ASSERT_TRUE(rig.Ok()) << rig.simulator.Error();
    rig.Command("ATE0S12=5\r", "OK\r\n");
    EXPECT_EQ(rig.Command("ATDT5551234\r", "CONNECT\r\n"), "\r\nCONNECT\r\n");
    EXPECT_EQ(HexText(rig.host->ReadCount(13)), HexText(kIdentType19AnswerMode));

    // The host hangs up and waits for the call, as the flag asks.
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(rig.Command("+++", "OK\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(rig.Command("ATH0\r", "OK\r\n"), "\r\nOK\r\n");
    rig.host->Send("ATS0=1\r");
    const Bytes got = rig.host->ReadContaining("CONNECT\r\n");
    EXPECT_TRUE(Contains(got, ToBytes("\r\nRING\r\n")));
    EXPECT_EQ(HexText(rig.host->ReadCount(13)), HexText(kIdentType19));
    EXPECT_EQ(rig.simulator.Observe().counters.connects, 2);
}

TEST(PanelsimCallTest, ALineDropEndsTheCallWithNoCarrier)
{
    struct Case {
        const char* name;
        int dropAfterReplies;
        bool dropByHand;
    };
    for (const Case& c : {Case{"after one reply", 1, false}, Case{"by hand", 0, true}}) {
        SCOPED_TRACE(c.name);
        Options options = QuickOptions(false);
        options.faults.dropAfterReplies = c.dropAfterReplies;
        Rig rig(options);
        ASSERT_TRUE(rig.Ok()) << rig.simulator.Error();
        rig.Command("ATE0\r", "OK\r\n");
        rig.Command("ATD1\r", "CONNECT\r\n");
        rig.host->ReadCount(13);
        rig.host->Send(kOpenMode2);
        if (c.dropByHand) {
            EXPECT_EQ(rig.host->ReadCount(5), kAckMode2);
            rig.simulator.DropLine();
        }
        const Bytes got = rig.host->ReadContaining("NO CARRIER\r\n");
        EXPECT_TRUE(Contains(got, ToBytes("\r\nNO CARRIER\r\n")));
        EXPECT_EQ(rig.Command("AT\r", "OK\r\n"), "\r\nOK\r\n");
        const Observations seen = rig.simulator.Observe();
        EXPECT_EQ(seen.counters.lineDrops, 1);
        EXPECT_EQ(seen.modemPhase, ModemPhase::Command);
    }
}

TEST(PanelsimCallTest, DialFailuresGiveTheirResultWords)
{
    Options options = QuickOptions(false);
    options.modem.numbers["1"] = DialScript{DialOutcome::Busy, 0, -1};
    options.modem.numbers["2"] = DialScript{DialOutcome::NoDialtone, 0, -1};
    options.modem.unknownNumber.outcome = DialOutcome::NoAnswer;
    Rig rig(options);
    ASSERT_TRUE(rig.Ok()) << rig.simulator.Error();
    rig.Command("ATE0\r", "OK\r\n");
    EXPECT_EQ(rig.Command("ATDT1\r", "BUSY\r\n"), "\r\nBUSY\r\n");
    EXPECT_EQ(rig.Command("ATDT2R\r", "TONE\r\n"), "\r\nNO DIALTONE\r\n");
    EXPECT_EQ(rig.Command("ATDP3\r", "ANSWER\r\n"), "\r\nNO ANSWER\r\n");
}

} // namespace
} // namespace panelsim::test
