#include "link/ParseIdentification.h"
#include "link/Crc16.h"
#include "link/FramesLinkStart.h"

#include "support/FrameBytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace vek {
namespace {

using test::Bytes;
using test::WithCrc;

// 02 02 02, type, version, sub-version, bytes 6 to 10, CRC: 13 bytes.
Bytes Block02(uint8_t type, uint8_t version, Bytes tail = {0x11, 0x22, 0x05, 0x33, 0x44})
{
    Bytes b = {0x02, 0x02, 0x02, type, version, 0x07};
    b.insert(b.end(), tail.begin(), tail.end());
    return WithCrc(b);
}

bool AllZero(const PanelIdentification& ident)
{
    const auto bytes = ident.ToBytes();
    for (uint8_t b : bytes) {
        if (b != 0) {
            return false;
        }
    }
    return true;
}

class IdentificationTest : public ::testing::Test {
protected:
    int Parse(Bytes reply, bool withRecord = false)
    {
        m_reply = std::move(reply);
        return ParseIdentification(m_reply, ident, lastReply,
            withRecord ? PanelRecordView(record.data()) : PanelRecordView(static_cast<void*>(nullptr)));
    }
    uint16_t Options() const { return PanelRecordView(const_cast<uint8_t*>(record.data())).PanelOptions(); }

    Bytes m_reply;
    PanelIdentification ident;
    Bytes lastReply;
    Bytes record = Bytes(VEK_PANEL_RECORD_MIN_SIZE, 0);
};

// --- Blocks with the 02 02 02 prefix ---

TEST_F(IdentificationTest, Block02UsesTheTwelveByteLayout)
{
    const Bytes block = Block02(18, 31);
    EXPECT_EQ(Parse(block), kIdentBlock02);
    EXPECT_EQ(ident.panelType, 18);
    EXPECT_EQ(ident.panelVersion, 31);
    EXPECT_EQ(ident.panelSubVersion, 0x07);
    EXPECT_EQ(ident.identificationByte1, 0x11);
    EXPECT_EQ(ident.identificationByte2, 0x22);
    EXPECT_EQ(ident.identificationFlags, 0x05);
    EXPECT_EQ(ident.identificationByte3, 0x33);
    EXPECT_EQ(ident.extraByte1, 0);
    EXPECT_EQ(0, std::memcmp(ident.raw, block.data(), block.size()));
    EXPECT_EQ(ident.raw[block.size()], 0);
    EXPECT_EQ(lastReply, block);
}

TEST_F(IdentificationTest, Block02SetsRecordBitsForType18BelowVersion32)
{
    EXPECT_EQ(Parse(Block02(18, 31), true), kIdentBlock02);
    EXPECT_EQ(Options(), VEK_PANEL_OPT_LONG_COMMANDS | VEK_PANEL_OPT_SLOW_BYTES);
}

TEST_F(IdentificationTest, Block02Type18Version32GetsOnlyLongCommands)
{
    EXPECT_EQ(Parse(Block02(18, 32), true), kIdentBlock02);
    EXPECT_EQ(Options(), VEK_PANEL_OPT_LONG_COMMANDS);
}

TEST_F(IdentificationTest, Block02Type19GetsNoBits)
{
    EXPECT_EQ(Parse(Block02(19, 1), true), kIdentBlock02);
    EXPECT_EQ(Options(), 0);
}

TEST_F(IdentificationTest, RecordBitsAreOnlyEverAdded)
{
    PanelRecordView(record.data()).OrPanelOptions(0x0041);
    EXPECT_EQ(Parse(Block02(40, 1), true), kIdentBlock02);
    EXPECT_EQ(Options(), 0x0049);
}

TEST_F(IdentificationTest, OptionBitsCoverTheListedTypes)
{
    for (int type = 0; type < 256; ++type) {
        const bool listed = type == 14 || type == 16 || type == 18 || type == 22 || type == 23 || type == 24
            || type == 26 || (type >= 32 && type <= 47) || (type >= 49 && type <= 54);
        EXPECT_EQ(IdentificationOptionBits(static_cast<uint8_t>(type), 40), listed ? 0x0008 : 0) << type;
    }
    EXPECT_EQ(IdentificationOptionBits(18, 0), 0x0018);
    EXPECT_EQ(IdentificationOptionBits(16, 0), 0x0008);
}

TEST_F(IdentificationTest, ElevenByteBlockGetsAZeroAppendedAndIsNotChecked)
{
    const Bytes eleven = {0x02, 0x02, 0x02, 0x2F, 0x02, 0x01, 0xA1, 0xA2, 0x04, 0xA3, 0x99};
    EXPECT_EQ(Parse(eleven, true), kIdentBlock02);
    Bytes twelve = eleven;
    twelve.push_back(0x00);
    EXPECT_EQ(m_reply, twelve);
    EXPECT_EQ(lastReply, twelve);
    EXPECT_EQ(ident.panelType, 0x2F);
    EXPECT_EQ(ident.identificationByte1, 0xA1);
    EXPECT_EQ(ident.identificationByte2, 0xA2);
    EXPECT_EQ(ident.identificationFlags, 0x04);
    EXPECT_EQ(ident.identificationByte3, 0xA3);
    EXPECT_EQ(0, std::memcmp(ident.raw, twelve.data(), 12));
    EXPECT_EQ(Options(), VEK_PANEL_OPT_LONG_COMMANDS); // type 47 is listed
}

TEST_F(IdentificationTest, ParityBitsOnThePrefixStillMakeABlock)
{
    Bytes block = Block02(19, 3);
    block[0] = block[1] = block[2] = 0x82;
    EXPECT_EQ(Parse(block), kIdentBlock02);
    EXPECT_EQ(ident.panelType, 19);
    // The repair cleared the parity bits so the CRC matches.
    EXPECT_EQ(lastReply, Block02(19, 3));
}

TEST_F(IdentificationTest, ParityRepairFixesTheFieldsToo)
{
    const Bytes clean = Block02(20, 0x21);
    Bytes received = clean;
    received[3] |= 0x80;
    received[6] |= 0x80;
    EXPECT_EQ(Parse(received), kIdentBlock02);
    EXPECT_EQ(ident.panelType, 20);
    EXPECT_EQ(ident.identificationByte1, 0x11);
    EXPECT_EQ(m_reply, clean);
}

TEST_F(IdentificationTest, SixteenByteBlockUsesItsOwnLayout)
{
    // Bytes 11 and 12 are data here, so the 11-byte check fails and the
    // 14-byte check decides.
    Bytes b = {0x02, 0x02, 0x02, 0x20, 0x05, 0x03, 0xE3, 0xE2, 0xE1, 0x91, 0x92, 0x04, 0x00, 0x00};
    b = WithCrc(b);
    ASSERT_NE(Crc16(b.data(), 10), (b[11] << 8) | b[12]);
    Bytes reply = b;
    reply.push_back(0xAA); // a trailing byte is not part of the block
    EXPECT_EQ(Parse(reply), kIdentBlock02);
    EXPECT_EQ(ident.panelType, 0x20);
    EXPECT_EQ(ident.panelVersion, 0x05);
    EXPECT_EQ(ident.panelSubVersion, 0x03);
    EXPECT_EQ(ident.extraByte3, 0xE3);
    EXPECT_EQ(ident.extraByte2, 0xE2);
    EXPECT_EQ(ident.extraByte1, 0xE1);
    EXPECT_EQ(ident.identificationByte1, 0x91);
    EXPECT_EQ(ident.identificationByte2, 0x92);
    EXPECT_EQ(ident.identificationFlags, 0x04);
    EXPECT_EQ(ident.identificationByte3, 0);
    EXPECT_EQ(lastReply, b);
    EXPECT_EQ(ident.raw[16], 0);
}

TEST_F(IdentificationTest, UncheckedTypeTakesEveryRemainingByte)
{
    Bytes b = {0x02, 0x02, 0x02, 0x07, 0x01, 0x00, 0x10, 0x20, 0x00, 0x30, 0x40, 0x50, 0x60, 0x70};
    EXPECT_EQ(Parse(b), kIdentBlock02);
    EXPECT_EQ(lastReply, b);
    EXPECT_EQ(ident.panelType, 7);
    EXPECT_EQ(ident.identificationByte3, 0x30);
}

TEST_F(IdentificationTest, LeadingBytesBeforeTheBlockAreRemoved)
{
    const Bytes block = Block02(19, 9);
    Bytes reply = {0x0D, 0x0A, 0x43, 0x4F};
    reply.insert(reply.end(), block.begin(), block.end());
    EXPECT_EQ(Parse(reply), kIdentBlock02);
    EXPECT_EQ(m_reply, block);
    EXPECT_EQ(lastReply, block);
}

TEST_F(IdentificationTest, BlockLongerThanTheRawAreaIsCut)
{
    Bytes b = {0x02, 0x02, 0x02, 0x00, 0x01, 0x02};
    b.resize(300, 0x5A);
    b[299] = 0xEE;
    EXPECT_EQ(Parse(b), kIdentBlock02);
    EXPECT_EQ(ident.raw[199], 0x5A);
    EXPECT_EQ(lastReply.size(), 300U); // the reply itself is kept whole
    const auto bytes = ident.ToBytes();
    EXPECT_EQ(bytes.size(), 220U);
    EXPECT_EQ(bytes[219], 0x5A);
}

TEST_F(IdentificationTest, Prefix02WithTenOrFewerBytesIsNotABlock)
{
    EXPECT_EQ(Parse({0x02, 0x02, 0x02, 0x11, 0x22, 0x35}), kIdentNotRecognised);
    EXPECT_TRUE(AllZero(ident));
}

// --- Blocks with the 04 04 04 prefix ---

TEST_F(IdentificationTest, Block04ReadsItsFields)
{
    const Bytes block = BuildIdentificationBlock(0x1A, 0x2B, Bytes{0x31, 0x32, 0x33});
    EXPECT_EQ(Parse(block, true), kIdentBlock04);
    EXPECT_EQ(ident.panelType, 0x1A);
    EXPECT_EQ(ident.panelVersion, 0x2B);
    EXPECT_EQ(ident.panelSubVersion, 0x00);
    EXPECT_EQ(ident.identificationByte1, 0x31);
    EXPECT_EQ(ident.identificationByte2, 0x32);
    EXPECT_EQ(ident.identificationByte3, 0x33);
    EXPECT_EQ(ident.identificationFlags, 0x08);
    EXPECT_EQ(lastReply, block);
    EXPECT_EQ(0, std::memcmp(ident.raw, block.data(), block.size()));
    EXPECT_EQ(Options(), 0); // only 02 02 02 blocks set record bits
}

TEST_F(IdentificationTest, Block04RawAreaKeepsTrailingBytes)
{
    Bytes reply = {0x55};
    const Bytes block = BuildIdentificationBlock(1, 2, Bytes{3});
    reply.insert(reply.end(), block.begin(), block.end());
    reply.push_back(0x77);
    EXPECT_EQ(Parse(reply), kIdentBlock04);
    EXPECT_EQ(lastReply, block);
    EXPECT_EQ(ident.raw[block.size()], 0x77);
}

TEST_F(IdentificationTest, Block04WithBadCrcIsRejected)
{
    Bytes block = BuildIdentificationBlock(0x1A, 0x2B, Bytes{0x31});
    block.back() ^= 0xFF;
    const Bytes original = block;
    EXPECT_EQ(Parse(block), kIdentNotRecognised);
    EXPECT_TRUE(AllZero(ident));
    EXPECT_EQ(lastReply, original);
}

TEST_F(IdentificationTest, Block04TooShortForItsFieldsReadsZeros)
{
    const Bytes block = WithCrc({0x04, 0x04, 0x04, 0x00, 0x02}); // 7 bytes: no type byte present
    EXPECT_EQ(Parse(block), kIdentBlock04);
    EXPECT_EQ(ident.panelType, block[5]); // the CRC's high byte stands where the type would be
    EXPECT_EQ(ident.panelSubVersion, 0);
    EXPECT_EQ(ident.identificationFlags, 0);
}

TEST_F(IdentificationTest, Block04StillArrivingIsNotABlock)
{
    Bytes block = BuildIdentificationBlock(1, 2, Bytes{3});
    block.resize(15);
    EXPECT_NE(Parse(block), kIdentBlock04);
}

// --- Short formats ---

TEST_F(IdentificationTest, ShortReplyOfThreeBytes)
{
    EXPECT_EQ(Parse({0x11, 0x22, 0x35}), kIdentShort);
    EXPECT_EQ(ident.panelType, 0xE4);
    EXPECT_EQ(ident.panelVersion, 0x34);
    EXPECT_EQ(ident.identificationFlags, 1);
    EXPECT_EQ(ident.identificationByte1, 0x11);
    EXPECT_EQ(ident.identificationByte2, 0x22);
    EXPECT_EQ(ident.panelSubVersion, 0);
    EXPECT_EQ(ident.raw[2], 0x35);
    EXPECT_EQ(ident.raw[3], 0);
}

TEST_F(IdentificationTest, ShortReplyOfFourBytes)
{
    EXPECT_EQ(Parse({0x11, 0x22, 0x34, 0x99}), kIdentShort);
    EXPECT_EQ(ident.panelVersion, 0x34);
    EXPECT_EQ(ident.identificationFlags, 0);
    EXPECT_EQ(ident.raw[3], 0x99);
}

TEST_F(IdentificationTest, Frame07AfterCrLf)
{
    EXPECT_EQ(Parse({0x0D, 0x0A, 0x07, 0x10, 0x20, 0x31, 0x68}), kIdentShort);
    EXPECT_EQ(ident.panelType, 0xE2);
    EXPECT_EQ(ident.panelVersion, 0x30);
    EXPECT_EQ(ident.identificationFlags, 1);
    EXPECT_EQ(ident.identificationByte1, 0x10);
    EXPECT_EQ(ident.identificationByte2, 0x20);
    EXPECT_EQ(m_reply, (Bytes{0x07, 0x10, 0x20, 0x31, 0x68}));
    // Short formats keep the reply as given.
    EXPECT_EQ(lastReply, (Bytes{0x0D, 0x0A, 0x07, 0x10, 0x20, 0x31, 0x68}));
}

TEST_F(IdentificationTest, CrLfBeforeAShortReplyIsRemoved)
{
    EXPECT_EQ(Parse({0x0D, 0x0A, 0x11, 0x22, 0x35}), kIdentShort);
    EXPECT_EQ(ident.panelType, 0xE4);
    EXPECT_EQ(ident.identificationByte1, 0x11);
}

TEST_F(IdentificationTest, Frame07AfterNoise)
{
    EXPECT_EQ(Parse({0x99, 0x07, 0x96, 0x01, 0x97, 0x35}), kIdentShort);
    EXPECT_EQ(ident.panelType, 0xE2);
    EXPECT_EQ(ident.panelVersion, 0x96);
    EXPECT_EQ(ident.identificationFlags, 1);
    EXPECT_EQ(ident.identificationByte1, 0x96);
    EXPECT_EQ(ident.raw[0], 0x07);
}

TEST_F(IdentificationTest, Frame55)
{
    // 55, unsummed byte, four bytes, version, flags, sum of bytes 2 to 7.
    const Bytes frame = {0x55, 0xFF, 0x01, 0x41, 0x42, 0x02, 0x17, 0x09, 0x01 + 0x41 + 0x42 + 0x02 + 0x17 + 0x09};
    Bytes reply = {0x00, 0x00};
    reply.insert(reply.end(), frame.begin(), frame.end());
    EXPECT_EQ(Parse(reply), kIdentShort);
    EXPECT_EQ(ident.panelType, 0xE9);
    EXPECT_EQ(ident.panelVersion, 0x17);
    EXPECT_EQ(ident.identificationByte1, 0x41);
    EXPECT_EQ(ident.identificationByte2, 0x42);
    EXPECT_EQ(ident.identificationFlags, 0x09);
    EXPECT_EQ(m_reply, frame);
}

TEST_F(IdentificationTest, Frame03)
{
    const Bytes frame = {0x03, 0x61, 0x62, 0x00, 0x24, 0x02, 0x03 + 0x61 + 0x62 + 0x24 + 0x02};
    Bytes reply = frame;
    reply.push_back(0xFF); // 03 frames are only tried on 8 bytes or more
    EXPECT_EQ(Parse(reply), kIdentShort);
    EXPECT_EQ(ident.panelType, 0xEA);
    EXPECT_EQ(ident.panelVersion, 0x24);
    EXPECT_EQ(ident.identificationByte1, 0x61);
    EXPECT_EQ(ident.identificationByte2, 0x62);
    EXPECT_EQ(ident.identificationFlags, 0x02);
}

TEST_F(IdentificationTest, SevenByteReplyIsOnlyTriedAsA07Frame)
{
    const Bytes frame = {0x03, 0x61, 0x62, 0x00, 0x24, 0x02, 0x03 + 0x61 + 0x62 + 0x24 + 0x02};
    EXPECT_EQ(Parse(frame), kIdentNotRecognised);
    EXPECT_TRUE(AllZero(ident));
}

TEST_F(IdentificationTest, Frame07IsPreferredOver55)
{
    const Bytes reply = {0x55, 0xFF, 0x01, 0x41, 0x42, 0x02, 0x17, 0x09, 0xA6, 0x07, 1, 2, 4, 14};
    EXPECT_EQ(Parse(reply), kIdentShort);
    EXPECT_EQ(ident.panelType, 0xE2);
}

TEST_F(IdentificationTest, FewerThanThreeBytesTouchNeitherTheRecordNorTheKeptReply)
{
    EXPECT_EQ(Parse({0x11, 0x22}), kIdentNotRecognised);
    EXPECT_EQ(Parse({}), kIdentNotRecognised);
    EXPECT_TRUE(AllZero(ident));

    // A stray byte after a good reply leaves what a continued call re-reads.
    const Bytes block = Block02(18, 1);
    ASSERT_EQ(Parse(block), kIdentBlock02);
    EXPECT_EQ(Parse({0x7F}), kIdentNotRecognised);
    EXPECT_EQ(ident.panelType, 18);
    EXPECT_EQ(lastReply, block);
}

TEST_F(IdentificationTest, UnrecognisedReplyLeavesEverythingZero)
{
    EXPECT_EQ(Parse(Block02(18, 1)), kIdentBlock02);
    const Bytes noise = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90};
    EXPECT_EQ(Parse(noise), kIdentNotRecognised);
    EXPECT_TRUE(AllZero(ident));
    EXPECT_EQ(lastReply, noise);
}

TEST_F(IdentificationTest, ParsingTheKeptReplyAgainGivesTheSameRecord)
{
    Bytes reply = {0x41, 0x54};
    const Bytes block = Block02(22, 7);
    reply.insert(reply.end(), block.begin(), block.end());
    ASSERT_EQ(Parse(reply), kIdentBlock02);
    const auto first = ident.ToBytes();
    ASSERT_EQ(Parse(lastReply), kIdentBlock02);
    EXPECT_EQ(ident.ToBytes(), first);
}

TEST_F(IdentificationTest, RecordBytesAreLittleEndian)
{
    PanelIdentification id;
    id.panelType = 0x1234;
    id.identificationFlags = 0x0005;
    id.identificationByte3 = 0xA3;
    id.extraByte3 = 0xE3;
    id.raw[0] = 0x77;
    const auto bytes = id.ToBytes();
    EXPECT_EQ(bytes[0], 0x34);
    EXPECT_EQ(bytes[1], 0x12);
    EXPECT_EQ(bytes[6], 0x05);
    EXPECT_EQ(bytes[8], 0xA3);
    EXPECT_EQ(bytes[13], 0xE3);
    EXPECT_EQ(bytes[20], 0x77);
}

} // namespace
} // namespace vek
