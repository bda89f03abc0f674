// The panel's side of the framing: checks, the worked control frames of
// every link mode, reply lengths, and how the receiver finds frames.
#include "PanelsimHostLine.h"
#include "panelsim/Checksums.h"
#include "panelsim/FrameReader.h"
#include "panelsim/Frames.h"

#include <gtest/gtest.h>

namespace panelsim::test {
namespace {

std::vector<Request> ReadAll(FrameReader& reader, const Bytes& bytes)
{
    std::vector<Request> found;
    for (const uint8_t b : bytes)
        for (Request& r : reader.Push(b))
            found.push_back(std::move(r));
    return found;
}

FrameReader ReaderFor(int mode)
{
    ReaderSettings settings;
    settings.mode = mode;
    settings.shortWriteCodes = {0xC0};
    return FrameReader(settings);
}

TEST(PanelsimChecksumsTest, Crc16AndSum8CheckValues)
{
    EXPECT_EQ(Crc16(ToBytes("123456789")), 0x6664);
    EXPECT_EQ(Crc16(ToBytes("abc")), 0xAF84);
    EXPECT_EQ(Crc16(Bytes{}), 0x0000);
    // Leading zero bytes leave the CRC alone: mode 2 frames check like mode 1.
    EXPECT_EQ(Crc16(Bytes{0x00, 0x06, 0xF2, 0x00, 0x14, 0x00}), 0x263A);
    EXPECT_EQ(Sum8(Bytes{}), 0x00);
    EXPECT_EQ(Sum8(Bytes{0x80, 0x90}), 0x10);
    EXPECT_TRUE(Crc16Matches(Bytes{0x03, 0x54, 0xE0, 0x35}));
    EXPECT_FALSE(Crc16Matches(Bytes{0x03, 0x54, 0xE0, 0x36}));
}

struct WorkedFrame {
    int mode;
    RequestKind kind;
    Bytes bytes;
};

const std::vector<WorkedFrame> kWorkedFrames{
    {1, RequestKind::LinkRequest, {0x06, 0xF2, 0x00, 0x14, 0x00, 0x26, 0x3A}},
    {2, RequestKind::LinkRequest, {0x00, 0x06, 0xF2, 0x00, 0x14, 0x00, 0x26, 0x3A}},
    {4, RequestKind::LinkRequest, {0x00, 0x07, 0x00, 0xF2, 0x00, 0x14, 0x00, 0x46, 0x52}},
    {5, RequestKind::LinkRequest, {0x00, 0x08, 0x25, 0x00, 0xF2, 0x00, 0x14, 0x00, 0x1F, 0x27}},
    {3, RequestKind::LinkRequest, {0x07, 0x07}},
    {1, RequestKind::HangUp, {0x03, 0x54, 0xE0, 0x35}},
    {2, RequestKind::HangUp, {0x00, 0x03, 0x54, 0xE0, 0x35}},
    {4, RequestKind::HangUp, {0x00, 0x04, 0x00, 0x54, 0xCF, 0xBE}},
    {5, RequestKind::HangUp, {0x00, 0x05, 0x25, 0x00, 0x54, 0xD0, 0x25}},
    {3, RequestKind::HangUp, {0x02, 0x02}},
    {1, RequestKind::KeepAlive, {0x03, 0x55, 0x4D, 0xD7}},
    {2, RequestKind::KeepAlive, {0x00, 0x03, 0x55, 0x4D, 0xD7}},
    {4, RequestKind::KeepAlive, {0x00, 0x04, 0x00, 0x55, 0x62, 0x5C}},
    {5, RequestKind::KeepAlive, {0x00, 0x05, 0x25, 0x00, 0x55, 0x7D, 0xC7}},
    {3, RequestKind::KeepAlive, {0x00, 0x00}},
    {1, RequestKind::SessionOpen, {0x05, 0x22, 0x12, 0x34, 0x0A, 0x8F}},
    {2, RequestKind::SessionOpen, {0x00, 0x05, 0x22, 0x12, 0x34, 0x0A, 0x8F}},
    {4, RequestKind::SessionOpen, {0x00, 0x06, 0x00, 0x22, 0x12, 0x34, 0x3E, 0x47}},
    {5, RequestKind::SessionOpen, {0x00, 0x07, 0x25, 0x00, 0x22, 0x12, 0x34, 0x5C, 0x8A}},
    {3, RequestKind::SessionOpen, {0x01, 0x12, 0x34, 0x47}},
    {2, RequestKind::SpeedChange, {0x00, 0x03, 0x56, 0x1B, 0xF6}},
    {3, RequestKind::SpeedChange, {0x00, 0x04, 0x58, 0x02, 0x73, 0x35}},
    {1, RequestKind::Abort, {0x03, 0x77, 0x77, 0x77}},
    {2, RequestKind::Abort, {0x00, 0x03, 0x77, 0x77, 0x77}},
    {3, RequestKind::Abort, {0x11, 0x03, 0x77, 0x77, 0x77}},
    {4, RequestKind::Abort, {0x00, 0x04, 0x77, 0x77, 0x77, 0x77}},
    {5, RequestKind::Abort, {0x00, 0x05, 0x77, 0x77, 0x77, 0x77, 0x77}},
    {2, RequestKind::DialFrame, {0x41, 0x54, 0x44, 0x54, 0x05, 0x31, 0x32, 0x33, 0x1E, 0xD4}},
    {1,
     RequestKind::IdentBlock,
     {0x04, 0x04, 0x04, 0x00, 0x0E, 0x0E, 0x02, 0x00, 0x11, 0x22, 0x33, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0xF2,
      0x72}},
};

TEST(PanelsimFramesTest, EncodesTheWorkedControlFramesOfEveryMode)
{
    const Bytes linkRequest{0x00, 0x14, 0x00};
    const Bytes openCode{0x12, 0x34};
    for (const WorkedFrame& worked : kWorkedFrames) {
        SCOPED_TRACE("mode " + std::to_string(worked.mode));
        const bool shortMode = worked.mode == 3;
        switch (worked.kind) {
        case RequestKind::LinkRequest:
            EXPECT_EQ(shortMode ? EncodeShortFrame(0x07, {}) : EncodeLongFrame(worked.mode, {}, 0xF2, linkRequest),
                      worked.bytes);
            break;
        case RequestKind::HangUp:
            EXPECT_EQ(shortMode ? EncodeShortFrame(0x02, {}) : EncodeLongFrame(worked.mode, {}, 0x54, {}),
                      worked.bytes);
            break;
        case RequestKind::KeepAlive:
            EXPECT_EQ(shortMode ? EncodeShortFrame(0x00, {}) : EncodeLongFrame(worked.mode, {}, 0x55, {}),
                      worked.bytes);
            break;
        case RequestKind::SessionOpen:
            EXPECT_EQ(shortMode ? EncodeShortFrame(0x01, openCode) : EncodeLongFrame(worked.mode, {}, 0x22, openCode),
                      worked.bytes);
            break;
        case RequestKind::Abort: EXPECT_EQ(AbortPattern(worked.mode), worked.bytes); break;
        case RequestKind::DialFrame: EXPECT_EQ(DialLinkFrame("123"), worked.bytes); break;
        default: break;
        }
    }
}

TEST(PanelsimFramesTest, ReceiverDecodesTheWorkedFramesOfEveryMode)
{
    for (const WorkedFrame& worked : kWorkedFrames) {
        SCOPED_TRACE("mode " + std::to_string(worked.mode) + ", frame " + HexText(worked.bytes));
        FrameReader reader = ReaderFor(worked.mode);
        const std::vector<Request> found = ReadAll(reader, worked.bytes);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].kind, worked.kind);
        EXPECT_EQ(found[0].bytes, worked.bytes);
        EXPECT_FALSE(reader.Holding());
    }
}

TEST(PanelsimFramesTest, ShortCodeRepliesHaveTheLengthsTheHostWaitsFor)
{
    struct Case {
        uint8_t code;
        bool threeByteCode50;
        int payload;
    };
    const Case cases[] = {{0x80, false, 1}, {0x90, false, 2}, {0xA0, false, 4}, {0xB0, false, 8},
                          {0xC0, false, 1}, {0xF0, false, 8}, {0x0B, false, 8}, {0x04, false, 2},
                          {0x40, false, 2}, {0x50, false, 2}, {0x50, true, 3},  {0x01, false, 2},
                          {0x00, false, 0}, {0x02, false, 0}, {0x45, false, 1}, {0xF5, false, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(ShortReplyPayload(c.code, c.threeByteCode50), c.payload) << "code " << int(c.code);
    EXPECT_EQ(ShortRefusalByte(6), 0x02);
    EXPECT_EQ(ShortRefusalByte(2), 0x03);
    EXPECT_EQ(ShortRefusalByte(7), 0x07);
}

TEST(PanelsimFramesTest, ReceiverSlidesOverNoiseAndDamagedFrames)
{
    FrameReader reader = ReaderFor(2);
    // Noise, then a keep-alive with a bad CRC byte, then a good hang-up.
    const Bytes stream{0x9C, 0x00, 0x03, 0x55, 0x4D, 0xD8, 0x00, 0x03, 0x54, 0xE0, 0x35};
    const std::vector<Request> found = ReadAll(reader, stream);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].kind, RequestKind::HangUp);
}

std::string DescribeDiscards(const std::vector<Discard>& discards)
{
    std::string text;
    for (const Discard& d : discards)
        text += "[" + HexText(d.bytes) + " (" + d.why + ")]";
    return text;
}

TEST(PanelsimFramesTest, WhatTheReceiverThrowsAwayIsToldInRunsWithTheReason)
{
    struct Case {
        const char* name;
        int mode;
        Bytes stream;
        bool giveUp; // the line goes quiet after the stream
        bool lineDown;
        size_t frames;
        const char* discarded;
    };
    const Case cases[] = {
        {"noise, then a damaged frame, then a good one", 2,
         Bytes{0x9C, 0x00, 0x03, 0x55, 0x4D, 0xD8, 0x00, 0x03, 0x54, 0xE0, 0x35}, false, false, 1,
         "[9C (length out of range)][00 03 55 4D D8 (check failed)]"},
        {"good frames only", 2, Bytes{0x00, 0x03, 0x55, 0x4D, 0xD7, 0x00, 0x03, 0x54, 0xE0, 0x35}, false, false, 2, ""},
        {"fillers around mode 3 frames are no loss", 3,
         Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0x10, 0x90, 0xFF, 0xFF, 0xC0, 0x11, 0x55, 0x26}, false, false, 2, ""},
        {"a frame the line cut short", 2, Bytes{0x00, 0x07, 0x52, 0x01}, true, false, 0,
         "[00 07 52 01 (frame cut short)]"},
        {"a frame the line went down in", 2, Bytes{0x00, 0x07, 0x52, 0x01}, false, true, 0,
         "[00 07 52 01 (line went down mid-frame)]"},
        {"a mode 3 read with a wrong sum", 3, Bytes{0x80, 0x10, 0x91}, true, false, 0, "[80 10 91 (check failed)]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameReader reader = ReaderFor(c.mode);
        std::vector<Request> found = ReadAll(reader, c.stream);
        if (c.giveUp)
            for (Request& r : reader.GiveUpPartial())
                found.push_back(std::move(r));
        if (c.lineDown)
            reader.Clear();
        EXPECT_EQ(found.size(), c.frames);
        EXPECT_EQ(DescribeDiscards(reader.TakeDiscarded()), c.discarded);
        EXPECT_TRUE(reader.TakeDiscarded().empty()) << "told once";
    }
}

TEST(PanelsimFramesTest, ShortModeTellsReadsFromWritesAndSkipsFillers)
{
    FrameReader reader = ReaderFor(3);
    // Fillers around a one-byte read at 0x10, then a one-byte write of 0x55 at 0x11.
    const Bytes stream{0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0x10, 0x90, 0xFF, 0xFF, 0xC0, 0x11, 0x55, 0x26};
    const std::vector<Request> found = ReadAll(reader, stream);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].command, 0x80);
    EXPECT_FALSE(found[0].shortWrite);
    EXPECT_EQ(found[0].payload, (Bytes{0x10}));
    EXPECT_EQ(found[1].command, 0xC0);
    EXPECT_TRUE(found[1].shortWrite);
    EXPECT_EQ(found[1].payload, (Bytes{0x11, 0x55}));
}

TEST(PanelsimFramesTest, AHeldShortFrameIsReadOnceNothingMoreComes)
{
    FrameReader reader = ReaderFor(3);
    // A read with a code that usually carries data waits for the data...
    EXPECT_TRUE(ReadAll(reader, Bytes{0xC0, 0x11, 0xD1}).empty());
    EXPECT_TRUE(reader.Holding());
    // ... and is taken as the read it is when the line stays quiet.
    const std::vector<Request> found = reader.GiveUpPartial();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_FALSE(found[0].shortWrite);
    EXPECT_FALSE(reader.Holding());
}

} // namespace
} // namespace panelsim::test
