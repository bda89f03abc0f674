// Failures named from what the panel and the modem sent: refusals, modem
// results and the identification behind a wrong type or version.
#include "vekhost/Causes.h"

#include <gtest/gtest.h>

#include <string>

namespace vekhost {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Join(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes kRefuse4Mode2{0x00, 0x04, 0x51, 0x04, 0xEB, 0x75};
const Bytes kRefuse7Mode1{0x04, 0x51, 0x07, 0xBD, 0x54};
const Bytes kRefuse7Mode4{0x00, 0x05, 0x00, 0x51, 0x07, 0xEA, 0x91};
const Bytes kAckMode2{0x00, 0x03, 0x50, 0xB7, 0xB4};
const Bytes kIdentType7Version3{0x02, 0x02, 0x02, 0x07, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

TEST(VekhostCausesTest, RefusalsAreFoundInEachLinkMode)
{
    struct Case {
        int mode;
        Bytes received;
        int reason;
        int raw;
    };
    const Case cases[] = {
        {2, Join(kAckMode2, kRefuse4Mode2), 4, 4},
        {1, Join({0xFF, 0x13}, kRefuse7Mode1), 7, 7},
        {4, kRefuse7Mode4, 7, 7},
        // Mode 3 numbers two reasons differently: byte 2 means the call ends.
        {3, {0x45, 0x02, 0x47}, 6, 2},
        {3, {0x45, 0x03, 0x48}, 2, 3},
        {3, {0x45, 0x07, 0x4C}, 7, 7},
    };
    for (const Case& c : cases) {
        const std::vector<PanelReply> replies = FindReplies(c.mode, c.received);
        ASSERT_FALSE(replies.empty()) << c.mode;
        ASSERT_TRUE(replies.back().reason.has_value()) << c.mode;
        EXPECT_EQ(*replies.back().reason, c.reason) << c.mode;
        EXPECT_EQ(replies.back().rawReason, c.raw) << c.mode;
    }
    // A bad check is no reply; an acknowledgement is no refusal.
    EXPECT_TRUE(FindReplies(2, Bytes{0x00, 0x04, 0x51, 0x04, 0xEB, 0x76}).empty());
    EXPECT_TRUE(FindReplies(3, Bytes{0x45, 0x07, 0x4D}).empty());
    const std::vector<PanelReply> ack = FindReplies(2, kAckMode2);
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0].command, 0x50);
    EXPECT_FALSE(ack[0].reason.has_value());
}

TEST(VekhostCausesTest, IdentificationsAfterConnect)
{
    struct Case {
        Bytes received;
        int type;
        int version;
    };
    const Case cases[] = {
        {Join(Text("\r\nCONNECT 9600\r\n"), kIdentType7Version3), 7, 3},
        {Join(Text("\r\nCONNECT\r\n"), {0x82, 0x82, 0x82, 0x93, 0x02, 0, 0, 0, 0, 0, 0}), 0x13, 2},
        {{0x04, 0x04, 0x04, 0x00, 0x0E, 0x07, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0x3E}, 7, 3},
        {{0x0D, 0x0A, 0x07, 0x10, 0x20, 0x31, 0x68}, 0xE2, 0x30},
        {{0x11, 0x22, 0x35}, 0xE4, 0x34},
    };
    for (const Case& c : cases) {
        const auto ident = FindIdentification(c.received);
        ASSERT_TRUE(ident.has_value());
        EXPECT_EQ(ident->type, c.type);
        EXPECT_EQ(ident->version, c.version);
    }
    EXPECT_FALSE(FindIdentification(Text("\r\nCONNECT 9600\r\n")).has_value());
}

TEST(VekhostCausesTest, FailuresNamedWithWhatWasSeen)
{
    struct Case {
        int code;
        CallStage stage;
        int mode;
        Bytes received;
        const char* text;
        bool openCodeRefused;
    };
    const Case cases[] = {
        {27, CallStage::SessionOpen, 2, Join(kRefuse4Mode2, kRefuse4Mode2), "open code refused (panel reason 4)", true},
        {27, CallStage::Transfer, 4, kRefuse7Mode4, "address or command refused (panel reason 7)", false},
        {27, CallStage::Transfer, 2, {}, "the panel stopped answering", false},
        {16, CallStage::Transfer, 3, {0x45, 0x02, 0x47}, "the panel ended the call (panel reason 6)", false},
        {27, CallStage::SessionOpen, 2, {0x13, 0x37}, "nothing the panel sent passed its check", false},
        {28, CallStage::Dial, 2, Text("\r\nNO ANSWER\r\n"), "the modem answered the dial with NO ANSWER", false},
        {11, CallStage::Dial, 2, Text("\r\nBUSY\r\n"), "the modem answered the dial with BUSY", false},
        {4, CallStage::Dial, 2, Text("\r\nNO CARRIER\r\n"), "the modem answered the dial with NO CARRIER", false},
        {26, CallStage::Dial, 2, Join(Text("CONNECT\r\n"), kIdentType7Version3),
         "panel reported type 7 version 3 (02 02 02 block), expected type 19 version 2", false},
        {18, CallStage::Dial, 2, Text("CONNECT 9600\r\n"), "the panel sent nothing after CONNECT", false},
        {28, CallStage::ModemReady, 2, {}, "the modem sent nothing", false},
        {9, CallStage::Dial, 2, {}, "", false},
    };
    for (const Case& c : cases) {
        const Cause cause = ExplainFailure({c.code, c.stage, c.mode, 19, 2, c.received});
        EXPECT_EQ(cause.text.substr(0, std::string(c.text).size()), c.text) << c.code << ": " << cause.text;
        EXPECT_EQ(cause.openCodeRefused, c.openCodeRefused) << c.code;
    }
}

} // namespace
} // namespace vekhost
