// Failures named from what the panel and the modem sent: refusals, modem
// results and the identification behind a wrong type or version.
#include "Causes.h"

#include <gtest/gtest.h>

#include <string>

namespace vek::internal {
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

TEST(ClientCausesTest, RefusalsAreFoundInEachLinkMode)
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

TEST(ClientCausesTest, IdentificationsAfterConnect)
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

TEST(ClientCausesTest, FailuresNamedWithWhatWasSeen)
{
    struct Case {
        int code;
        CallStage stage;
        int mode;
        Bytes received;
        const char* text;
        Cause cause;
        std::optional<int> reason{};
        int tries = 0;
        bool gone = false;
    };
    const Bytes refuse1{0x00, 0x04, 0x51, 0x01, 0x11, 0x16};
    const Bytes refuse3{0x00, 0x04, 0x51, 0x03, 0xEA, 0xD5};
    const Bytes refuse5{0x00, 0x04, 0x51, 0x05, 0x46, 0x97};
    const Case cases[] = {
        {27, CallStage::SessionOpen, 2, Join(kRefuse4Mode2, kRefuse4Mode2), "open code refused (panel reason 4)",
         Cause::OpenCodeRefused, 4},
        {27, CallStage::Transfer, 4, kRefuse7Mode4, "address or command refused (panel reason 7)",
         Cause::TransferRefused, 7},
        // The reasons the library does not act on: each said as itself.
        {27, CallStage::Transfer, 2, refuse1, "the panel refused the request (panel reason 1), a reason the library",
         Cause::Refused, 1},
        {27, CallStage::Transfer, 2, refuse3, "the panel refused the request (panel reason 3)", Cause::Refused, 3},
        {27, CallStage::SessionOpen, 2, refuse5, "the panel refused to open the session (panel reason 5)",
         Cause::Refused, 5},
        // What happened to the line, not noise, when nothing came back.
        {27, CallStage::Transfer, 2, {}, "the panel stopped answering: no answer after 5 tries", Cause::PanelSilent, {},
         5},
        {27, CallStage::Transfer, 2, Join({0x00, 0x43, 0x52, 0x70}, Text("\r\nNO CARRIER\r\n")),
         "the line dropped: the modem said NO CARRIER", Cause::LineDropped, {}, 1},
        {27, CallStage::Transfer, 2, {}, "the serial device went away", Cause::DeviceGone, {}, 1, true},
        {16, CallStage::Transfer, 3, {0x45, 0x02, 0x47}, "the panel ended the call (panel reason 6)",
         Cause::PanelEndedCall, 6},
        {27, CallStage::SessionOpen, 2, {0x13, 0x37}, "nothing the panel sent passed its check in 3 tries",
         Cause::BadReplies, {}, 3},
        {28, CallStage::Dial, 2, Text("\r\nNO ANSWER\r\n"), "the modem answered the dial with NO ANSWER",
         Cause::NoAnswer},
        {11, CallStage::Dial, 2, Text("\r\nBUSY\r\n"), "the modem answered the dial with BUSY", Cause::Busy},
        {4, CallStage::Dial, 2, Text("\r\nNO CARRIER\r\n"), "the modem answered the dial with NO CARRIER",
         Cause::NoCarrier},
        {26, CallStage::Dial, 2, Join(Text("CONNECT\r\n"), kIdentType7Version3),
         "panel reported type 7 version 3 (02 02 02 block), expected type 19 version 2", Cause::WrongType},
        {18, CallStage::Dial, 2, Text("CONNECT 9600\r\n"), "the panel sent nothing after CONNECT",
         Cause::NoIdentification},
        {28, CallStage::ModemReady, 2, {}, "the modem sent nothing", Cause::ModemFailed},
        {97, CallStage::Transfer, 2, {}, "the library refused the request", Cause::TransferRefused},
        {9, CallStage::Dial, 2, {}, "", Cause::None},
    };
    for (const Case& c : cases) {
        FailureFacts facts{c.code, c.stage, c.mode, 19, 2, c.received, c.tries, false, c.gone};
        const Explained e = ExplainFailure(facts);
        EXPECT_EQ(e.text.substr(0, std::string(c.text).size()), c.text) << c.code << ": " << e.text;
        EXPECT_EQ(e.cause, c.cause) << c.code << ": " << e.text;
        EXPECT_EQ(e.reason, c.reason) << c.code << ": " << e.text;
        // Words and what to try come together.
        if (c.cause != Cause::None && c.cause != Cause::ModemFailed) {
            EXPECT_FALSE(e.hint.empty()) << e.text;
        }
    }
}

TEST(ClientCausesTest, NoCarrierCountsOnlyAsAWholeLine)
{
    EXPECT_TRUE(HasNoCarrierLine(Text("\r\nNO CARRIER\r\n")));
    EXPECT_TRUE(HasNoCarrierLine(Join({0x41, 0x42}, Text("\nNO CARRIER\r"))));
    EXPECT_FALSE(HasNoCarrierLine(Text("xNO CARRIER\r\n")));
    EXPECT_FALSE(HasNoCarrierLine(Text("\r\nNO CARRIER")));
    EXPECT_FALSE(HasNoCarrierLine(Text("\r\nNO CARRIERS\r\n")));
}

} // namespace
} // namespace vek::internal
