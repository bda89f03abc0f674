// The identification replies, byte for byte, in each of the formats.
#include "PanelsimHostLine.h"
#include "panelsim/Identification.h"

#include <gtest/gtest.h>

namespace panelsim::test {
namespace {

Identification Chosen(IdentFormat format)
{
    Identification ident;
    ident.format = format;
    ident.type = 14;
    ident.version = 2;
    ident.subVersion = 1;
    ident.flags = 0x04;
    ident.idBytes = {0x11, 0x22, 0x33};
    ident.extra = {0xA1, 0xA2, 0xA3};
    return ident;
}

struct FormatCase {
    const char* name;
    IdentFormat format;
    int block02Length;
    bool sevenBit;
    bool lineBreakFirst;
    Bytes bytes;
};

TEST(PanelsimIdentificationTest, EachFormatHasItsExactBytes)
{
    const FormatCase cases[] = {
        {"02, 11 bytes",
         IdentFormat::Block02,
         11,
         false,
         false,
         {0x02, 0x02, 0x02, 0x0E, 0x02, 0x01, 0x11, 0x22, 0x04, 0x33, 0xA1}},
        {"02, 12 bytes",
         IdentFormat::Block02,
         12,
         false,
         false,
         {0x02, 0x02, 0x02, 0x0E, 0x02, 0x01, 0x11, 0x22, 0x04, 0x33, 0xA1, 0xA2}},
        {"02, 13 bytes",
         IdentFormat::Block02,
         13,
         false,
         false,
         {0x02, 0x02, 0x02, 0x0E, 0x02, 0x01, 0x11, 0x22, 0x04, 0x33, 0xA1, 0xAE, 0x4A}},
        {"02 on a 7-bit line",
         IdentFormat::Block02,
         13,
         true,
         false,
         {0x82, 0x82, 0x82, 0x8E, 0x82, 0x81, 0x11, 0x22, 0x84, 0x33, 0x21, 0x2E, 0xCA}},
        {"02, 16 bytes",
         IdentFormat::Block02Long,
         13,
         false,
         false,
         {0x02, 0x02, 0x02, 0x0E, 0x02, 0x01, 0xA3, 0xA2, 0xA1, 0x11, 0x22, 0x04, 0x00, 0x00, 0xDB, 0xD5}},
        {"04",
         IdentFormat::Block04,
         13,
         false,
         false,
         {0x04, 0x04, 0x04, 0x00, 0x0E, 0x0E, 0x02, 0x01, 0x11, 0x22, 0x33, 0xA1, 0xA2, 0xA3, 0x00, 0x04, 0x00, 0x17,
          0x6C}},
        {"short", IdentFormat::ShortReply, 13, false, false, {0x11, 0x22, 0x02}},
        {"short after CR LF", IdentFormat::ShortReply, 13, false, true, {0x0D, 0x0A, 0x11, 0x22, 0x02}},
        {"07", IdentFormat::Frame07, 13, false, false, {0x07, 0x11, 0x22, 0x02, 0x3C}},
        {"55", IdentFormat::Frame55, 13, false, false, {0x55, 0xA1, 0xA2, 0x11, 0x22, 0xA3, 0x02, 0x04, 0x7E}},
        {"03", IdentFormat::Frame03, 13, false, false, {0x03, 0x11, 0x22, 0xA1, 0x02, 0x04, 0xDD, 0x0D}},
    };
    for (const FormatCase& c : cases) {
        Identification ident = Chosen(c.format);
        ident.block02Length = c.block02Length;
        ident.sevenBitLine = c.sevenBit;
        ident.lineBreakFirst = c.lineBreakFirst;
        EXPECT_EQ(HexText(EncodeIdentification(ident)), HexText(c.bytes)) << c.name;
    }
}

TEST(PanelsimIdentificationTest, ShortFormatsCarryTheAnswerFlagInTheVersion)
{
    Identification ident = Chosen(IdentFormat::Frame07);
    ident.flags = 0x01;
    EXPECT_EQ(EncodeIdentification(ident), (Bytes{0x07, 0x11, 0x22, 0x03, 0x3D}));
    EXPECT_EQ(ReportedType(ident), 0xE2);
    EXPECT_EQ(ReportedVersion(ident), 0x02);
}

TEST(PanelsimIdentificationTest, NamesAndTheHostsOptionBits)
{
    for (const char* name : {"02", "02-16", "04", "short", "07", "55", "03"}) {
        const auto format = IdentFormatFromName(name);
        ASSERT_TRUE(format) << name;
        EXPECT_EQ(IdentFormatName(*format), name);
    }
    EXPECT_FALSE(IdentFormatFromName("06"));

    struct Case {
        uint8_t type;
        uint8_t version;
        IdentFormat format;
        bool longForm;
        bool paced;
    };
    const Case cases[] = {{18, 31, IdentFormat::Block02, true, true},  {18, 32, IdentFormat::Block02, true, false},
                          {19, 1, IdentFormat::Block02, false, false}, {40, 1, IdentFormat::Block02Long, true, false},
                          {14, 1, IdentFormat::Block04, false, false}, {48, 1, IdentFormat::Block02, false, false}};
    for (const Case& c : cases) {
        Identification ident = Chosen(c.format);
        ident.type = c.type;
        ident.version = c.version;
        EXPECT_EQ(AsksForLongCommandForm(ident), c.longForm) << int(c.type) << "/" << int(c.version);
        EXPECT_EQ(AsksForPacedDirectLink(ident), c.paced) << int(c.type) << "/" << int(c.version);
    }
}

} // namespace
} // namespace panelsim::test
