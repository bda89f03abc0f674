// The panel on a direct link over a real pseudo-terminal: exchanges in
// every link mode, refusals, fillers, link frames, faults and pacing.
#include "PanelsimHostLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sys/socket.h>

namespace panelsim::test {
namespace {

using namespace std::chrono_literals;

const Bytes kIdentType19{0x02, 0x02, 0x02, 0x13, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x62, 0x78};
const Bytes kIdentType14{0x02, 0x02, 0x02, 0x0E, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x13, 0xB4};
const Bytes kOpenMode2{0x00, 0x05, 0x22, 0x12, 0x34, 0x0A, 0x8F};
const Bytes kAckMode2{0x00, 0x03, 0x50, 0xB7, 0xB4};
const Bytes kReadMode2At0100{0x00, 0x07, 0x52, 0x01, 0x00, 0x00, 0x01, 0x49, 0x51};

struct Step {
    Bytes request;
    Bytes reply;
};

struct Script {
    const char* name;
    int mode;
    std::function<void(Options&)> adjust;
    std::vector<Step> steps;
};

void NoChange(Options&) {}

const std::vector<Script> kScripts{
    {"mode 1 read",
     1,
     NoChange,
     {{{0x05, 0x22, 0x12, 0x34, 0x0A, 0x8F}, {0x03, 0x50, 0xB7, 0xB4}},
      {{0x06, 0x52, 0x01, 0x00, 0x01, 0xF8, 0x09}, {0x04, 0x52, 0xAA, 0x95, 0x82}}}},
    {"mode 4 read keeps the sub-address",
     4,
     NoChange,
     {{{0x00, 0x06, 0x00, 0x22, 0x12, 0x34, 0x3E, 0x47}, {0x00, 0x04, 0x00, 0x50, 0x98, 0x3F}},
      {{0x00, 0x08, 0x03, 0x52, 0x01, 0x00, 0x00, 0x02, 0x4A, 0x29},
       {0x00, 0x06, 0x03, 0x52, 0xAA, 0xBB, 0xC4, 0x71}}}},
    {"mode 5 read and write",
     5,
     NoChange,
     {{{0x00, 0x07, 0x25, 0x00, 0x22, 0x12, 0x34, 0x5C, 0x8A}, {0x00, 0x05, 0x25, 0x00, 0x50, 0x87, 0xA4}},
      {{0x00, 0x09, 0x01, 0x03, 0x52, 0x01, 0x00, 0x00, 0x02, 0x86, 0x0D},
       {0x00, 0x07, 0x01, 0x03, 0x52, 0xAA, 0xBB, 0x41, 0x92}},
      {{0x00, 0x08, 0x01, 0x03, 0x57, 0x01, 0x00, 0xCC, 0xA4, 0xB3}, {0x00, 0x05, 0x01, 0x00, 0x50, 0x28, 0x76}}}},
    {"mode 3 read and write",
     3,
     NoChange,
     {{{0x01, 0x12, 0x34, 0x47}, {0x01, 0x12, 0x34, 0x47}},
      {{0x90, 0x10, 0xA0}, {0x90, 0xAA, 0xBB, 0xF5}},
      {{0xC0, 0x11, 0x55, 0x26}, {0xC0, 0x55, 0x15}}}},
    {"control frames are acknowledged",
     2,
     NoChange,
     {{{0x00, 0x03, 0x55, 0x4D, 0xD7}, kAckMode2},
      {{0x00, 0x03, 0x56, 0x1B, 0xF6}, kAckMode2},
      {{0x00, 0x03, 0x54, 0xE0, 0x35}, kAckMode2}}},
    {"mode 3 control frames",
     3,
     NoChange,
     {{{0x00, 0x00}, {0x00, 0x00}},
      {{0x00, 0x04, 0x58, 0x02, 0x73, 0x35}, {0x00, 0x00}},
      {{0x02, 0x02}, {0x02, 0x02}}}},
    {"mode 3 with two-byte addresses",
     3,
     [](Options& o) { o.panel.twoByteAddress = true; },
     {{{0x01, 0x12, 0x34, 0x47}, {0x01, 0x12, 0x34, 0x47}}, {{0x90, 0x01, 0x00, 0x91}, {0x90, 0xAA, 0xBB, 0xF5}}}},
    {"command with a configured reply",
     2,
     [](Options& o) {
         o.panel.commandReplies[0x43] = CommandReply{0x44, {0x01, 0x02}, false, 0};
     },
     {{kOpenMode2, kAckMode2},
      {{0x00, 0x04, 0x43, 0x01, 0x79, 0x12}, {0x00, 0x05, 0x44, 0x01, 0x02, 0x80, 0xB0}},
      {{0x00, 0x04, 0x4B, 0x01, 0x79, 0x12}, {}}}}, // damaged: no answer
    {"data before the session is refused with 2",
     2,
     NoChange,
     {{kReadMode2At0100, {0x00, 0x04, 0x51, 0x02, 0x47, 0x37}}}},
    {"wrong open code",
     2,
     NoChange,
     {{{0x00, 0x05, 0x22, 0x12, 0x35, 0xA7, 0x6D}, {0x00, 0x04, 0x51, 0x04, 0xEB, 0x75}}}},
    {"next request refused with 7",
     2,
     [](Options& o) {
         o.panel.refusals.push_back(RefusalRule{7, 1, false, 0, 0xFFFF});
     },
     {{kOpenMode2, kAckMode2},
      {kReadMode2At0100, {0x00, 0x04, 0x51, 0x07, 0xBD, 0x54}},
      {kReadMode2At0100, {0x00, 0x04, 0x52, 0xAA, 0x95, 0x82}}}},
    {"busy over an address range",
     2,
     [](Options& o) {
         o.panel.refusals.push_back(RefusalRule{8, -1, true, 0x0100, 0x010F});
     },
     {{kOpenMode2, kAckMode2},
      {kReadMode2At0100, {0x00, 0x04, 0x51, 0x08, 0x13, 0xF6}},
      {{0x00, 0x07, 0x52, 0x00, 0x00, 0x00, 0x01, 0x61, 0x36}, {0x00, 0x04, 0x52, 0x00, 0x4D, 0x41}},
      {kReadMode2At0100, {0x00, 0x04, 0x51, 0x08, 0x13, 0xF6}}}},
    {"mode 3 refusal 6 ends the session",
     3,
     [](Options& o) {
         o.panel.refusals.push_back(RefusalRule{6, 1, false, 0, 0xFFFF});
     },
     {{{0x01, 0x12, 0x34, 0x47}, {0x01, 0x12, 0x34, 0x47}},
      {{0x90, 0x10, 0xA0}, {0x45, 0x02, 0x47}},
      {{0x90, 0x10, 0xA0}, {0x45, 0x03, 0x48}}}},
    {"abort is not answered and closes the session",
     1,
     NoChange,
     {{{0x05, 0x22, 0x12, 0x34, 0x0A, 0x8F}, {0x03, 0x50, 0xB7, 0xB4}},
      {{0x03, 0x77, 0x77, 0x77}, {}},
      {{0x06, 0x52, 0x01, 0x00, 0x01, 0xF8, 0x09}, {0x04, 0x51, 0x02, 0x47, 0x37}}}},
};

TEST(PanelsimLinkTest, AnswersEachScriptedExchange)
{
    for (const Script& script : kScripts) {
        SCOPED_TRACE(script.name);
        Options options = QuickOptions(true);
        options.panel.linkMode = script.mode;
        script.adjust(options);
        Rig rig(options);
        ASSERT_TRUE(rig.Ok()) << rig.simulator.Error();
        rig.simulator.WriteMemory(0x0100, Bytes{0xAA, 0xBB});
        rig.simulator.WriteMemory(0x0010, Bytes{0xAA, 0xBB});
        EXPECT_EQ(HexText(rig.host->ReadCount(kIdentType19.size())), HexText(kIdentType19));
        for (const Step& step : script.steps) {
            // "Nothing came" can only pass wrongly on a slow machine, never fail.
            const Bytes got = step.reply.empty() ? (rig.host->Send(step.request), rig.host->ReadFor(300ms))
                                                 : rig.Exchange(step.request, step.reply.size());
            EXPECT_EQ(HexText(got), HexText(step.reply)) << "after " << HexText(step.request);
        }
    }
}

TEST(PanelsimLinkTest, ObservationsDescribeTheFrames)
{
    Options options = QuickOptions(true);
    options.panel.linkMode = 5;
    options.panel.refusals.push_back(RefusalRule{7, 1, false, 0, 0xFFFF});
    Rig rig(options);
    ASSERT_TRUE(rig.Ok()) << rig.simulator.Error();
    rig.host->ReadCount(13);
    rig.Exchange({0x00, 0x07, 0x25, 0x00, 0x22, 0x12, 0x34, 0x5C, 0x8A}, 7);
    rig.Exchange({0x00, 0x09, 0x01, 0x03, 0x52, 0x01, 0x00, 0x00, 0x02, 0x86, 0x0D}, 8);
    ASSERT_TRUE(rig.simulator.WaitForFrames(2, kPatience));
    const Observations seen = rig.simulator.Observe();
    const FrameRecord& read = seen.frames[1];
    EXPECT_EQ(read.mode, 5);
    EXPECT_EQ(read.operation, Operation::Read);
    EXPECT_EQ(read.command, 0x52);
    EXPECT_EQ(read.subAddress, 0x03);
    EXPECT_EQ(read.address, 0x0100);
    EXPECT_EQ(read.count, 2);
    EXPECT_TRUE(read.refused);
    EXPECT_EQ(seen.counters.frames, 2);
    EXPECT_EQ(seen.counters.acknowledgements, 1);
    EXPECT_EQ(seen.counters.refusals, 1);
    EXPECT_TRUE(seen.sessionOpen);
}

Bytes WithFillersAfterEachByte(const Bytes& frame, size_t fillers)
{
    Bytes out;
    for (size_t i = 0; i < frame.size(); ++i) {
        out.push_back(frame[i]);
        if (i + 1 < frame.size())
            out.insert(out.end(), fillers, 0xFF);
    }
    return out;
}

TEST(PanelsimLinkTest, TakesOutTheFillersOfTheRuleInForce)
{
    struct Case {
        const char* name;
        int mode;
        uint8_t type;
        bool extended;
        speed_t speed;
        Bytes ident;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"one between bytes at 1200 bit/s with an extended modem",
         2,
         19,
         true,
         B1200,
         kIdentType19,
         {{{0x00, 0xFF, 0x05, 0xFF, 0x22, 0xFF, 0x12, 0xFF, 0x34, 0xFF, 0x0A, 0xFF, 0x8F}, kAckMode2},
          // Write FF 01 at 0x0200: the data byte 0xFF stays.
          {{0x00, 0xFF, 0x07, 0xFF, 0x57, 0xFF, 0x02, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0x01, 0xFF, 0x23, 0xFF, 0xD5},
           kAckMode2}}},
        {"fourteen after each byte once a type 14 panel identified",
         2,
         14,
         false,
         B9600,
         kIdentType14,
         {{WithFillersAfterEachByte(kOpenMode2, 14), kAckMode2}}},
        {"four before and after a mode 3 frame",
         3,
         19,
         true,
         B9600,
         kIdentType19,
         {{{0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x12, 0x34, 0x47, 0xFF, 0xFF, 0xFF, 0xFF}, {0x01, 0x12, 0x34, 0x47}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Options options = QuickOptions(true);
        options.panel.linkMode = c.mode;
        options.panel.ident.type = c.type;
        options.modem.extended = c.extended;
        Rig rig(options, c.speed);
        ASSERT_TRUE(rig.Ok()) << rig.simulator.Error();
        EXPECT_EQ(HexText(rig.host->ReadCount(c.ident.size())), HexText(c.ident));
        for (const Step& step : c.steps)
            EXPECT_EQ(HexText(rig.Exchange(step.request, step.reply.size())), HexText(step.reply));
    }
    Options options = QuickOptions(true);
    options.modem.extended = true;
    Rig rig(options, B1200);
    ASSERT_TRUE(rig.Ok());
    rig.host->ReadCount(13);
    rig.Exchange({0x00, 0xFF, 0x05, 0xFF, 0x22, 0xFF, 0x12, 0xFF, 0x34, 0xFF, 0x0A, 0xFF, 0x8F}, 5);
    rig.Exchange({0x00, 0xFF, 0x07, 0xFF, 0x57, 0xFF, 0x02, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0x01, 0xFF, 0x23, 0xFF, 0xD5},
                 5);
    EXPECT_EQ(rig.simulator.ReadMemory(0x0200, 2), (Bytes{0xFF, 0x01}));
}

TEST(PanelsimLinkTest, EveryLinkFrameGetsTheIdentificationAtOnce)
{
    struct Case {
        const char* name;
        int mode;
        Bytes frame;
        RequestKind kind;
    };
    const Case cases[] = {
        {"link request", 2, {0x00, 0x06, 0xF2, 0x00, 0x14, 0x00, 0x26, 0x3A}, RequestKind::LinkRequest},
        {"mode 3 link request", 3, {0x07, 0x07}, RequestKind::LinkRequest},
        {"dial-command link frame",
         1,
         {0x41, 0x54, 0x44, 0x54, 0x05, 0x31, 0x32, 0x33, 0x1E, 0xD4},
         RequestKind::DialFrame},
        {"identification block",
         2,
         {0x04, 0x04, 0x04, 0x00, 0x0E, 0x13, 0x02, 0x00, 0x11, 0x22, 0x33, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0xB7,
          0xBA},
         RequestKind::IdentBlock},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Options options = QuickOptions(true);
        options.panel.linkMode = c.mode;
        options.panel.identDelayMs = 60000; // only when asked
        Rig rig(options);
        ASSERT_TRUE(rig.Ok()) << rig.simulator.Error();
        EXPECT_EQ(HexText(rig.Exchange(c.frame, 13)), HexText(kIdentType19));
        const Observations seen = rig.simulator.Observe();
        ASSERT_EQ(seen.frames.size(), 1u);
        EXPECT_EQ(seen.frames[0].kind, c.kind);
    }
}

Bytes RunWithFaults(uint32_t seed, Counters& counters)
{
    Options options = QuickOptions(true);
    options.seed = seed;
    options.faults.corruptRate = 0.2;
    Rig rig(options);
    EXPECT_TRUE(rig.Ok()) << rig.simulator.Error();
    Bytes all = rig.host->ReadCount(13);
    const Bytes ack = rig.Exchange(kOpenMode2, 5);
    all.insert(all.end(), ack.begin(), ack.end());
    for (int i = 0; i < 4; ++i) {
        const Bytes reply = rig.Exchange({0x00, 0x07, 0x52, 0x01, 0x00, 0x00, 0x02, 0x1F, 0x70}, 7);
        all.insert(all.end(), reply.begin(), reply.end());
    }
    counters = rig.simulator.Observe().counters;
    return all;
}

TEST(PanelsimLinkTest, FaultsFromTheSameSeedRepeat)
{
    Counters first;
    Counters second;
    const Bytes firstRun = RunWithFaults(7, first);
    const Bytes secondRun = RunWithFaults(7, second);
    EXPECT_EQ(HexText(firstRun), HexText(secondRun));
    EXPECT_GT(first.corruptedBytes, 0);
    EXPECT_EQ(first.corruptedBytes, second.corruptedBytes);
    EXPECT_EQ(firstRun.size(), size_t(13 + 5 + 4 * 7));
}

TEST(PanelsimLinkTest, ServesAGivenDescriptorUntilItsEnd)
{
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    Simulator simulator(QuickOptions(true));
    ASSERT_TRUE(simulator.StartOnFd(ends[0])) << simulator.Error();
    EXPECT_TRUE(simulator.SlavePath().empty());
    Bytes ident(13);
    size_t got = 0;
    while (got < ident.size()) {
        const ssize_t n = ::read(ends[1], ident.data() + got, ident.size() - got);
        ASSERT_GT(n, 0);
        got += static_cast<size_t>(n);
    }
    EXPECT_EQ(ident, kIdentType19);
    ::close(ends[1]);
    EXPECT_TRUE(simulator.WaitUntil([](const Observations& seen) { return !seen.running; }, kPatience));
    simulator.Stop();
    simulator.Stop();
    ::close(ends[0]);
}

TEST(PanelsimLinkTest, MemoryImagesLoadAndSave)
{
    const std::string path = ::testing::TempDir() + "panelsim-memory-" + std::to_string(::getpid());
    Simulator writer(QuickOptions(true));
    writer.WriteMemory(0xFFFF, Bytes{0x5A, 0xA5}); // runs on to 0x0000
    ASSERT_TRUE(writer.SaveMemory(path));

    Options options = QuickOptions(true);
    options.panel.memoryFile = path;
    Simulator reader(options);
    EXPECT_TRUE(reader.Error().empty()) << reader.Error();
    EXPECT_EQ(reader.ReadMemory(0xFFFF, 2), (Bytes{0x5A, 0xA5}));
    EXPECT_FALSE(reader.LoadMemory(path + "-missing"));
    std::remove(path.c_str());
}

TEST(PanelsimLinkTest, EachFaultDoesWhatItSays)
{
    struct Case {
        const char* name;
        std::function<void(FaultOptions&)> set;
        std::function<void(Rig&)> check;
    };
    const Case cases[] = {
        {"every byte lost", [](FaultOptions& f) { f.dropRate = 1; },
         [](Rig& rig) {
             EXPECT_TRUE(rig.simulator.WaitUntil(
                 [](const Observations& seen) { return seen.counters.droppedBytes == 13; }, kPatience));
             EXPECT_TRUE(rig.host->ReadFor(100ms).empty());
         }},
        {"a noise byte before every byte", [](FaultOptions& f) { f.noiseRate = 1, f.noiseBurstMax = 1; },
         [](Rig& rig) {
             EXPECT_EQ(rig.host->ReadCount(26).size(), 26u);
             EXPECT_EQ(rig.simulator.Observe().counters.noiseBytes, 13);
         }},
        {"every reply missed", [](FaultOptions& f) { f.missRate = 1; },
         [](Rig& rig) {
             rig.host->ReadCount(13);
             rig.host->Send(kOpenMode2);
             EXPECT_TRUE(rig.simulator.WaitUntil(
                 [](const Observations& seen) { return seen.counters.missedReplies == 1; }, kPatience));
             EXPECT_TRUE(rig.host->ReadFor(100ms).empty());
         }},
        {"every reply held back", [](FaultOptions& f) { f.delayRate = 1, f.delayMs = 300; },
         [](Rig& rig) {
             rig.host->ReadCount(13);
             const auto sent = std::chrono::steady_clock::now();
             EXPECT_EQ(rig.Exchange(kOpenMode2, 5), kAckMode2);
             EXPECT_GE(std::chrono::steady_clock::now() - sent, 300ms);
             EXPECT_EQ(rig.simulator.Observe().counters.delayedReplies, 1);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Options options = QuickOptions(true);
        c.set(options.faults);
        Rig rig(options);
        ASSERT_TRUE(rig.Ok()) << rig.simulator.Error();
        c.check(rig);
    }
}

TEST(PanelsimLinkTest, PacedLineTakesAtLeastElevenBitTimesPerByte)
{
    Options options = QuickOptions(true);
    options.lineRate = true;
    Rig rig(options, B300);
    ASSERT_TRUE(rig.Ok()) << rig.simulator.Error();
    rig.host->ReadCount(1);
    const auto firstByte = std::chrono::steady_clock::now();
    const Bytes rest = rig.host->ReadCount(12);
    const auto elapsed = std::chrono::steady_clock::now() - firstByte;
    ASSERT_EQ(rest.size(), 12u);
    // Twelve more bytes at 300 bit/s: 12 x 11 / 300 s = 440 ms at the least.
    EXPECT_GE(elapsed, 400ms);
}

} // namespace
} // namespace panelsim::test
