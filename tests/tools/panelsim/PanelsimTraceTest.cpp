// A fault run read from panelsim's trace: every fault names the bytes it hit
// and what became of them, and the bytes the panel threw away are the
// damaged ones. Checked by replaying the trace's own words.
#include "PanelsimHostLine.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace panelsim::test {
namespace {

using namespace std::chrono_literals;

const Bytes kOpen{0x00, 0x05, 0x22, 0x12, 0x34, 0x0A, 0x8F};
const Bytes kRead{0x00, 0x07, 0x52, 0x01, 0x00, 0x00, 0x01, 0x49, 0x51}; // one byte at 0x0100

Bytes FromHex(const std::string& text)
{
    Bytes bytes;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
    return bytes;
}

// The bytes a fault's words say it left: "byte 3 12 became 16; byte 9 C1
// lost; noise 7F 80 before byte 12", offsets into original.
Bytes ApplyFault(const Bytes& original, const std::string& words)
{
    std::vector<Bytes> before(original.size() + 1);
    std::vector<int> fate(original.size(), -1); // -1 kept, -2 lost, else the new byte
    std::istringstream items(words);
    for (std::string item; std::getline(items, item, ';');) {
        std::istringstream in(item);
        std::string first;
        in >> first;
        if (first == "noise") {
            Bytes noise;
            for (std::string word; in >> word && word != "before";)
                noise.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
            std::string byteWord;
            size_t at = 0;
            in >> byteWord >> at;
            EXPECT_LE(at, original.size()) << item;
            before.at(at) = noise;
            continue;
        }
        size_t at = 0;
        std::string was;
        std::string verb;
        in >> at >> was >> verb;
        EXPECT_EQ(first, "byte") << item;
        EXPECT_LT(at, original.size()) << item;
        if (at >= original.size())
            continue;
        EXPECT_EQ(FromHex(was), Bytes{original[at]}) << "names the byte it hit: " << item;
        if (verb == "lost") {
            fate[at] = -2;
        } else {
            std::string now;
            in >> now;
            EXPECT_EQ(verb, "became") << item;
            fate[at] = FromHex(now).at(0);
        }
    }
    Bytes left;
    for (size_t i = 0; i < original.size(); ++i) {
        left.insert(left.end(), before[i].begin(), before[i].end());
        if (fate[i] == -1)
            left.push_back(original[i]);
        else if (fate[i] >= 0)
            left.push_back(static_cast<uint8_t>(fate[i]));
    }
    return left;
}

struct TraceReading {
    Bytes sent;       // every TX line, in order
    Bytes panelRead;  // every RX line, with the faults' words applied
    int rxFaults = 0; // lines "fault on RX"
    int txFaults = 0; // faults on what the panel sent
    std::vector<Bytes> thrownAway;
    std::vector<Bytes> txLeft; // what each fault on a reply left
};

// "   1234 text": the text.
std::string EventOf(const std::string& line)
{
    const size_t start = line.find_first_not_of(' ');
    const size_t gap = line.find(' ', start);
    return gap == std::string::npos ? "" : line.substr(gap + 1);
}

TraceReading ReadTrace(const std::string& path)
{
    TraceReading reading;
    std::ifstream in(path);
    Bytes lastRx;
    for (std::string line; std::getline(in, line);) {
        const std::string event = EventOf(line);
        const size_t colon = event.find(": ");
        if (event.rfind("RX ", 0) == 0) {
            lastRx = FromHex(event.substr(3));
            reading.panelRead.insert(reading.panelRead.end(), lastRx.begin(), lastRx.end());
        } else if (event.rfind("TX ", 0) == 0) {
            const Bytes bytes = FromHex(event.substr(3));
            reading.sent.insert(reading.sent.end(), bytes.begin(), bytes.end());
        } else if (event.rfind("fault on RX ", 0) == 0) {
            ++reading.rxFaults;
            const Bytes hit = FromHex(event.substr(12, colon - 12));
            // The chunk the RX line before it showed, as the panel read it.
            EXPECT_EQ(HexText(hit), HexText(lastRx)) << line;
            reading.panelRead.resize(reading.panelRead.size() - lastRx.size());
            const Bytes left = ApplyFault(hit, event.substr(colon + 2));
            reading.panelRead.insert(reading.panelRead.end(), left.begin(), left.end());
        } else if (event.rfind("fault on ", 0) == 0 && colon != std::string::npos) {
            ++reading.txFaults;
            const std::string head = event.substr(0, colon);
            // "fault on read reply 00 04 ...": the bytes start at the first hex pair.
            size_t hex = head.size();
            while (hex >= 3 && std::isxdigit(static_cast<unsigned char>(head[hex - 1])) &&
                   std::isxdigit(static_cast<unsigned char>(head[hex - 2])) && head[hex - 3] == ' ')
                hex -= 3;
            reading.txLeft.push_back(ApplyFault(FromHex(head.substr(hex)), event.substr(colon + 2)));
        } else if (event.rfind("panel threw away ", 0) == 0) {
            const Bytes bytes = FromHex(event.substr(colon + 2));
            EXPECT_EQ(std::to_string(bytes.size()), event.substr(17, event.find(' ', 17) - 17)) << line;
            reading.thrownAway.push_back(bytes);
        }
    }
    return reading;
}

TraceReading RunAndRead(uint32_t seed, bool faults)
{
    const std::string path = ::testing::TempDir() + "panelsim-trace-" + std::to_string(::getpid()) + "-" +
                             std::to_string(seed) + (faults ? "f" : "c");
    std::remove(path.c_str());
    Options options = QuickOptions(true);
    options.tracePath = path;
    options.seed = seed;
    options.panel.frameGapMs = 50;
    if (faults) {
        options.faults.corruptRate = 0.05;
        options.faults.dropRate = 0.02;
        options.faults.noiseRate = 0.02;
        options.faults.onReceived = true;
    }
    {
        Rig rig(options);
        EXPECT_TRUE(rig.Ok()) << rig.simulator.Error();
        if (!rig.Ok())
            return {};
        rig.host->ReadFor(100ms);
        for (int i = 0; i < 8; ++i) {
            rig.host->Send(i == 0 ? kOpen : kRead);
            // Past the panel's frame gap: what it holds it gives up on.
            rig.host->ReadFor(120ms);
        }
        rig.simulator.Stop();
    }
    TraceReading reading = ReadTrace(path);
    std::remove(path.c_str());
    return reading;
}

TEST(PanelsimTraceTest, AFaultRunReadsFromTheTrace)
{
    int rxFaults = 0;
    int txFaults = 0;
    int thrownAway = 0;
    for (const uint32_t seed : {3u, 11u, 29u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const TraceReading reading = RunAndRead(seed, true);
        // What each fault on a reply left is what went on the line.
        for (const Bytes& left : reading.txLeft)
            EXPECT_TRUE(Contains(reading.sent, left)) << HexText(left);
        // What the panel threw away is among what it read, damage and all.
        for (const Bytes& bytes : reading.thrownAway)
            EXPECT_TRUE(Contains(reading.panelRead, bytes)) << HexText(bytes);
        rxFaults += reading.rxFaults;
        txFaults += reading.txFaults;
        thrownAway += static_cast<int>(reading.thrownAway.size());
    }
    // The seeds do damage both ways, and the panel throws some of it away.
    EXPECT_GT(rxFaults, 0);
    EXPECT_GT(txFaults, 0);
    EXPECT_GT(thrownAway, 0);
}

TEST(PanelsimTraceTest, ACleanRunHasNoFaultsAndThrowsNothingAway)
{
    const TraceReading reading = RunAndRead(3, false);
    EXPECT_EQ(reading.rxFaults, 0);
    EXPECT_EQ(reading.txFaults, 0);
    EXPECT_EQ(reading.thrownAway.size(), 0u);
    EXPECT_EQ(reading.panelRead.size(), kOpen.size() + 7 * kRead.size());
    EXPECT_FALSE(reading.sent.empty());
}

} // namespace
} // namespace panelsim::test
