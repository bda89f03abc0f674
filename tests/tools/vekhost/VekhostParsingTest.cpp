// What people type: numbers, hex bytes, --read and --write arguments, and
// the panel file.
#include "vekhost/Numbers.h"
#include "vekhost/PanelFile.h"
#include "vekhost/TransferArgument.h"

#include <gtest/gtest.h>

namespace vekhost {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(VekhostNumbersTest, DecimalOrHexNeverOctal)
{
    EXPECT_EQ(ParseUnsigned("256"), 256u);
    EXPECT_EQ(ParseUnsigned("0x100"), 256u);
    EXPECT_EQ(ParseUnsigned("0X1f"), 31u);
    EXPECT_EQ(ParseUnsigned("0100"), 100u);
    EXPECT_EQ(ParseUnsigned("0"), 0u);
    for (const char* bad : {"", "0x", "-1", "12a", "0x1g", " 1", "99999999999999999999"})
        EXPECT_FALSE(ParseUnsigned(bad).has_value()) << bad;
}

TEST(VekhostNumbersTest, HexBytesInPairs)
{
    EXPECT_EQ(ParseHexBytes("DEADBEEF"), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_EQ(ParseHexBytes("de ad,be_ef"), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_EQ(ParseHexBytes("00"), (Bytes{0x00}));
    for (const char* bad : {"", "A", "ABC", "D E", "0xDE", "GG", " "})
        EXPECT_FALSE(ParseHexBytes(bad).has_value()) << bad;
    EXPECT_TRUE(IsHexText("1234abCD"));
    EXPECT_TRUE(IsHexText(""));
    EXPECT_FALSE(IsHexText("12 34"));
}

struct ReadCase {
    const char* text;
    uint32_t address;
    uint32_t count;
    const char* file;
};

TEST(VekhostTransferArgumentTest, ReadArguments)
{
    const ReadCase cases[] = {
        {"0x0100:64", 0x0100, 64, ""},
        {"256:0x40", 256, 64, ""},
        {"0:65536", 0, 65536, ""},
        {"0xFFFF:1=last.bin", 0xFFFF, 1, "last.bin"},
        {"0x100:16=/tmp/a=b", 0x100, 16, "/tmp/a=b"},
    };
    for (const ReadCase& c : cases) {
        TransferArgument argument;
        ASSERT_EQ(ParseReadArgument(c.text, argument), "") << c.text;
        EXPECT_EQ(argument.kind, TransferKind::Read);
        EXPECT_EQ(argument.address, c.address) << c.text;
        EXPECT_EQ(argument.count, c.count) << c.text;
        EXPECT_EQ(argument.file, c.file) << c.text;
    }
}

struct ErrorCase {
    const char* text;
    const char* error;
};

TEST(VekhostTransferArgumentTest, BadReadArgumentsSayWhatIsWrong)
{
    const ErrorCase cases[] = {
        {"0x100", "--read expects ADDR:COUNT[=FILE], got \"0x100\""},
        {"x:1", "--read: address \"x\" is not a number (0x0100 or 256)"},
        {"0x10000:1", "--read: address 0x10000 is beyond the panel's 64 KiB"},
        {"0x100:0", "--read: nothing to transfer (count 0)"},
        {"0x100:abc", "--read: count \"abc\" is not 1 to 65536"},
        {"0xFFF0:0x20", "--read: 32 bytes from 0xFFF0 run past the end of the panel's 64 KiB"},
        {"0x100:4=", "--read: the file name after '=' is missing"},
    };
    for (const ErrorCase& c : cases) {
        TransferArgument argument;
        EXPECT_EQ(ParseReadArgument(c.text, argument), c.error);
    }
}

TEST(VekhostTransferArgumentTest, WriteArguments)
{
    TransferArgument argument;
    ASSERT_EQ(ParseWriteArgument("0x0200:DEADBEEF", argument), "");
    EXPECT_EQ(argument.kind, TransferKind::Write);
    EXPECT_EQ(argument.address, 0x0200u);
    EXPECT_EQ(argument.count, 4u);
    EXPECT_EQ(argument.bytes, (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_EQ(argument.file, "");

    ASSERT_EQ(ParseWriteArgument("512=image.bin", argument), "");
    EXPECT_EQ(argument.address, 512u);
    EXPECT_EQ(argument.file, "image.bin");
    EXPECT_TRUE(argument.bytes.empty()); // loaded later
}

TEST(VekhostTransferArgumentTest, BadWriteArgumentsSayWhatIsWrong)
{
    const ErrorCase cases[] = {
        {"0x200", "--write expects ADDR=FILE or ADDR:HEXBYTES, got \"0x200\""},
        {"0x200:ABC", "--write: \"ABC\" is not pairs of hex digits (e.g. DEADBEEF or \"DE AD\")"},
        {"0x200=", "--write: the file name after '=' is missing"},
        {"0xFFFF:0102", "--write: 2 bytes from 0xFFFF run past the end of the panel's 64 KiB"},
    };
    for (const ErrorCase& c : cases) {
        TransferArgument argument;
        EXPECT_EQ(ParseWriteArgument(c.text, argument), c.error);
    }
}

TEST(VekhostPanelFileTest, KeysCommentsAndNumbers)
{
    vek::Panel s;
    const auto error = ReadPanelText("# the site panel\n"
                                     "phone = 5551234\n"
                                     "\n"
                                     "link-mode=3   # short codes\n"
                                     "type = 0x12\r\n"
                                     "version = 31\n"
                                     "open-code = 123456\n"
                                     "panel-options = 0x0040\n"
                                     "link-options = 8\n"
                                     "idle-b = -1\n"
                                     "host-flags = 0x10000",
                                     s);
    ASSERT_FALSE(error.has_value()) << error->message;
    EXPECT_EQ(s.phone, "5551234");
    EXPECT_EQ(s.linkMode, 3);
    EXPECT_EQ(s.type, 0x12);
    EXPECT_EQ(s.version, 31);
    EXPECT_EQ(s.openCode, "123456");
    EXPECT_EQ(s.options, 0x0040);
    EXPECT_EQ(s.linkOptions, 8);
    EXPECT_EQ(s.idleB, -1);
    EXPECT_EQ(s.hostFlags, 0x10000u);
}

TEST(VekhostPanelFileTest, ErrorsNameTheLine)
{
    const ErrorCase cases[] = {
        {"phone = 1\nlink mode 2\n", "expected key = value"},
        {"colour = red", "unknown key \"colour\""},
        {"link-mode = 0", "link-mode: 0 is out of range (1 to 5)"},
        {"type = nineteen", "type: \"nineteen\" is not a number (0 to 65535)"},
        {"open-code = 12G4", "open-code: \"12G4\" is not hexadecimal"},
        {"link-options = 0x100", "link-options: 0x100 is out of range (0 to 255)"},
        {"idle-a = -40000", "idle-a: -40000 is out of range (-32768 to 32767)"},
    };
    for (const ErrorCase& c : cases) {
        vek::Panel s;
        const auto error = ReadPanelText(c.text, s);
        ASSERT_TRUE(error.has_value()) << c.text;
        EXPECT_EQ(error->message, c.error);
    }
    vek::Panel s;
    EXPECT_EQ(ReadPanelText("phone = 1\n\nlink mode 2\n", s)->line, 3);
}

TEST(VekhostPanelFileTest, EveryKeyIsAnOptionAndInTheHelp)
{
    const std::string help = PanelFileHelp();
    for (const PanelKey& key : PanelKeys()) {
        EXPECT_NE(help.find("  " + std::string(key.key) + " "), std::string::npos) << key.key;
        vek::Panel s;
        EXPECT_NE(ApplyPanelKey(s, key.key, "1"), "unknown key \"" + std::string(key.key) + "\"");
    }
}

} // namespace
} // namespace vekhost
