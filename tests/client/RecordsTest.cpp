// The three records the client hands the library, byte for byte at the
// offsets the library reads: panel record, modem setup, transfer request.
#include "LinkRules.h"
#include "ModemRecord.h"
#include "PanelRecord.h"
#include "PoolRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vek::internal {
namespace {

using Bytes = std::vector<uint8_t>;

unsigned Get16(const Bytes& b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }
uint32_t Get32(const Bytes& b, size_t at)
{
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | static_cast<uint32_t>(b.at(at + 3)) << 24;
}
std::string Text(const Bytes& b, size_t at) { return reinterpret_cast<const char*>(b.data() + at); }

Panel DemoPanel()
{
    Panel s;
    s.phone = "5551234";
    s.secondSpeed = 9600;
    return s;
}

TEST(ClientPanelRecordTest, DemoPanelAtTheLibrarysOffsets)
{
    const Bytes r = BuildPanelRecord(DemoPanel(), 0);
    ASSERT_EQ(r.size(), 13264u);
    EXPECT_EQ(Get16(r, 4710), 2u);    // link mode
    EXPECT_EQ(Get16(r, 4706), 19u);   // expected type
    EXPECT_EQ(Get16(r, 4708), 2u);    // expected version
    EXPECT_EQ(Get16(r, 4702), 9600u); // second line speed
    EXPECT_EQ(Text(r, 13172), "5551234");
    EXPECT_EQ(r[13172 + 7], 0);
    EXPECT_EQ(Get16(r, 4788), 0u);
    EXPECT_EQ(r[4790], 0);
    EXPECT_EQ(Get32(r, 72), 0u);
}

TEST(ClientPanelRecordTest, EveryFieldLandsWhereTheLibraryReadsIt)
{
    Panel s;
    s.phone = "0123456789";
    s.linkMode = 3;
    s.type = 0x0112;
    s.version = 0x0203;
    s.options = 0xC040;
    s.linkOptions = 0x18;
    s.lineSpeed = 1200;
    s.secondSpeed = 2400;
    s.directSpeed = 115200;
    s.idleA = 9000;
    s.idleB = -3;
    s.hostFlags = 0x10000;
    const Bytes r = BuildPanelRecord(s, 0x01020304);
    EXPECT_EQ(Get32(r, 72), 0x10000u);
    EXPECT_EQ(Get16(r, 4700), 1200u);
    EXPECT_EQ(Get16(r, 4702), 2400u);
    EXPECT_EQ(Get16(r, 4704), 0xC200u); // 115200 does not fit 16 bits
    EXPECT_EQ(Get16(r, 4706), 0x0112u);
    EXPECT_EQ(Get16(r, 4708), 0x0203u);
    EXPECT_EQ(Get16(r, 4710), 3u);
    EXPECT_EQ(Get16(r, 4714), 9000u);
    EXPECT_EQ(Get16(r, 4716), 0xFFFDu);
    EXPECT_EQ(Get16(r, 4788), 0xC040u);
    EXPECT_EQ(r[4790], 0x18);
    EXPECT_EQ(Text(r, 13172), "0123456789");
    EXPECT_EQ(Get32(r, 13260), 0x01020304u);
}

TEST(ClientPanelRecordTest, SpeedsLeftAtZeroTakeTheModemsSpeed)
{
    Panel s;
    s.lineSpeed = 1200;
    const Panel resolved = WithModemSpeed(s, 9600);
    EXPECT_EQ(resolved.lineSpeed, 1200);
    EXPECT_EQ(resolved.secondSpeed, 9600);
    EXPECT_EQ(resolved.directSpeed, 9600);
}

struct SpeedCase {
    int speed;
    int field; // -1: does not fit
};

TEST(ClientPanelRecordTest, SpeedsThatFitTheSixteenBitFields)
{
    const SpeedCase cases[] = {{0, 0},           {300, 300},  {9600, 9600}, {57600, 57600}, {65535, 65535},
                               {115200, 0xC200}, {65536, -1}, {230400, -1}, {-1, -1}};
    for (const SpeedCase& c : cases) {
        const auto field = EncodeRecordSpeed(c.speed);
        EXPECT_EQ(field ? *field : -1, c.field) << c.speed;
    }
}

TEST(ClientPanelRecordTest, SettingsThatDoNotFitAreRefusedWithAReason)
{
    EXPECT_EQ(CheckPanelValues(DemoPanel()), "");
    Panel s = DemoPanel();
    s.linkMode = 6;
    EXPECT_EQ(CheckPanelValues(s), "link mode 6 is not 1 to 5");
    s = DemoPanel();
    s.phone = std::string(88, '1');
    EXPECT_EQ(CheckPanelValues(s), "the phone number is longer than 87 characters");
    s = DemoPanel();
    s.secondSpeed = 230400;
    EXPECT_EQ(CheckPanelValues(s), "second speed 230400 does not fit the panel record (up to 65535, or 115200)");
}

Modem DemoModem()
{
    Modem m;
    m.port = 9;
    m.speed = 9600;
    return m;
}

TEST(ClientModemRecordTest, DemoModemAtTheLibrarysOffsets)
{
    const Bytes r = BuildModemRecord(DemoModem());
    ASSERT_EQ(r.size(), 288u);
    EXPECT_EQ(Get32(r, 0), 9u);
    EXPECT_EQ(Get32(r, 4), 9600u);
    EXPECT_EQ(Text(r, 58), "ATE0S12=10");
    EXPECT_EQ(Text(r, 216), "ATZ");
    EXPECT_EQ(Text(r, 232), "+++");
    EXPECT_EQ(Text(r, 240), "ATH");
    EXPECT_EQ(Text(r, 272), "DT");
    EXPECT_EQ(Text(r, 264), "DP");
    EXPECT_EQ(Get16(r, 280), 1u); // answer rings
    EXPECT_EQ(r[208], 0);         // not extended, not a PC link
    EXPECT_EQ(r[8], 0);
}

struct ModemFlagCase {
    bool pcLink;
    bool extended;
    bool line2400;
    uint8_t byte208;
};

TEST(ClientModemRecordTest, ModemOptionBits)
{
    const ModemFlagCase cases[] = {
        {true, false, false, 0x08}, {false, true, false, 0x10}, {false, false, true, 0x01}, {true, true, true, 0x19}};
    for (const ModemFlagCase& c : cases) {
        Modem m = DemoModem();
        m.pcLink = c.pcLink;
        m.extended = c.extended;
        m.line2400 = c.line2400;
        EXPECT_EQ(BuildModemRecord(m)[208], c.byte208);
    }
}

TEST(ClientModemRecordTest, OtherFields)
{
    Modem m = DemoModem();
    m.init2 = "ATM0";
    m.init3 = "AT$W";
    m.attention = true;
    m.options = 0x12345678;
    m.commandDelayMs = 200;
    m.charDelayMs = 7;
    m.answerRings = 3;
    const Bytes r = BuildModemRecord(m);
    EXPECT_EQ(Text(r, 128), "ATM0");
    EXPECT_EQ(Text(r, 168), "AT$W");
    EXPECT_EQ(r[8], 1);
    EXPECT_EQ(Get32(r, 212), 0x12345678u);
    EXPECT_EQ(r[224], 200);
    EXPECT_EQ(r[225], 7);
    EXPECT_EQ(Get16(r, 280), 3u);
}

TEST(ClientModemRecordTest, TextsLongerThanTheirFieldAreRefused)
{
    EXPECT_EQ(CheckModemValues(DemoModem()), "");
    Modem m = DemoModem();
    m.init = std::string(69, 'A');
    EXPECT_EQ(CheckModemValues(m), "");
    m.init += 'A';
    EXPECT_EQ(CheckModemValues(m), "init \"" + m.init + "\" is longer than 69 characters");
    m = DemoModem();
    m.reset = "ATZ12345";
    EXPECT_EQ(CheckModemValues(m), "reset \"ATZ12345\" is longer than 7 characters");
    m = DemoModem();
    m.port = 0;
    EXPECT_EQ(CheckModemValues(m), "port 0 is not 1 to 255");
}

TEST(ClientPoolRecordTest, ReadRequestAtTheLibrarysOffsets)
{
    const Bytes r = BuildPoolRecord({TransferKind::Read, 0x0100, 64, 0x52}, 0x00ABCDEF);
    ASSERT_EQ(r.size(), 48u);
    EXPECT_EQ(r[4], 0x00); // address, low byte first
    EXPECT_EQ(r[5], 0x01);
    EXPECT_EQ(Get32(r, 8), 64u);
    EXPECT_EQ(r[12], 0x52);
    EXPECT_EQ(Get32(r, 40), 0x00ABCDEFu);
    EXPECT_EQ(Get32(r, 44), 0x75u); // 'u'
    EXPECT_EQ(Get32(r, 28), 0u);
    EXPECT_EQ(Get32(r, 32), 0u);
}

TEST(ClientPoolRecordTest, WriteRequest)
{
    const Bytes r = BuildPoolRecord({TransferKind::Write, 0x1234, 8, 0x57}, 7);
    EXPECT_EQ(Get16(r, 4), 0x1234u);
    EXPECT_EQ(Get32(r, 8), 8u);
    EXPECT_EQ(r[12], 0x57);
    EXPECT_EQ(Get32(r, 40), 7u);
    EXPECT_EQ(Get32(r, 44), 0x2Du); // '-'
}

struct ChunkCase {
    uint16_t address;
    uint32_t count;
    uint32_t chunk;
    std::vector<Chunk> expected;
};

TEST(ClientPoolRecordTest, LongTransfersAreCutIntoChunks)
{
    const ChunkCase cases[] = {
        {0x0100, 64, 64, {{0x0100, 0, 64}}},
        {0x0100, 65, 64, {{0x0100, 0, 64}, {0x0140, 64, 1}}},
        {0x0000, 300, 128, {{0x0000, 0, 128}, {0x0080, 128, 128}, {0x0100, 256, 44}}},
        {0xFFF0, 16, 8, {{0xFFF0, 0, 8}, {0xFFF8, 8, 8}}},
        {0x0100, 0, 64, {}},
        {0x0100, 10, 0, {}},
    };
    for (const ChunkCase& c : cases)
        EXPECT_EQ(SplitIntoChunks(c.address, c.count, c.chunk), c.expected) << c.address << " " << c.count;
}

} // namespace
} // namespace vek::internal
