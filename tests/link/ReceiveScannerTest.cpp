#include "link/ReceiveScanner.h"
#include "link/Crc16.h"
#include "link/FramesControl.h"

#include <gtest/gtest.h>

#include <vector>

namespace vek {
namespace {

using Bytes = std::vector<uint8_t>;

ScanRules Mode(int linkMode, bool wide = false) { return ScanRules{linkMode, false, wide}; }

Bytes Contents(const ReceiveBuffer& b) { return {b.Bytes().begin(), b.Bytes().end()}; }

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bool NoVerdict(const ScanVerdict& v) { return v.bytesArrived && !v.packetComplete && !v.packetGood && !v.resynced; }

class ScannerTest : public ::testing::Test {
protected:
    ScanVerdict Feed(const Bytes& bytes, const ScanRules& rules) { return buffer.Receive(bytes, rules); }
    ReceiveBuffer buffer;
};

// --- Long-frame modes ---

TEST_F(ScannerTest, ModeOneWaitsForTheWholeFrame)
{
    EXPECT_TRUE(NoVerdict(Feed({0x06, 0xF2, 0x00, 0x14, 0x00}, Mode(1))));
    EXPECT_EQ(buffer.Size(), 5U);
    const ScanVerdict v = Feed({0x26, 0x3A}, Mode(1));
    EXPECT_TRUE(v.packetComplete);
    EXPECT_TRUE(v.packetGood);
    EXPECT_FALSE(v.resynced);
    EXPECT_EQ(Contents(buffer), (Bytes{0x06, 0xF2, 0x00, 0x14, 0x00, 0x26, 0x3A}));
}

TEST_F(ScannerTest, ModeTwoLengthBelowTwoDropsAByteAndResyncs)
{
    const ScanVerdict v = Feed({0x00, 0x01, 0x00}, Mode(2));
    EXPECT_TRUE(v.resynced);
    EXPECT_FALSE(v.packetComplete);
    EXPECT_EQ(Contents(buffer), (Bytes{0x01, 0x00}));
}

TEST_F(ScannerTest, ModeTwoShortLengthAloneWaits)
{
    EXPECT_TRUE(NoVerdict(Feed({0x00, 0x01}, Mode(2))));
    EXPECT_EQ(buffer.Size(), 2U);
}

TEST_F(ScannerTest, ModeOneLengthZeroResyncsUntilTwoBytesAreLeft)
{
    const ScanVerdict v = Feed({0x00, 0x01, 0x00, 0x01}, Mode(1));
    EXPECT_TRUE(v.resynced);
    // 00, then 01 (needs 2 bytes, has 3: length below 2), then 00 dropped; 01 alone remains.
    EXPECT_EQ(Contents(buffer), (Bytes{0x01}));
}

TEST_F(ScannerTest, WorkedFramesAreFoundInEveryLongMode)
{
    for (int mode : {1, 2, 4, 5, 6}) {
        for (const Bytes& frame : {BuildHangUpFrame(mode), BuildKeepAliveFrame(mode), BuildLinkRequestFrame(mode)}) {
            ReceiveBuffer b;
            const ScanVerdict v = b.Receive(frame, Mode(mode));
            EXPECT_TRUE(v.packetComplete && v.packetGood) << "mode " << mode;
            EXPECT_EQ(Contents(b), frame);
        }
    }
}

TEST_F(ScannerTest, FrameSplitAcrossManyEventsCompletesOnTheLastByte)
{
    for (int mode : {1, 2, 4, 5}) {
        const Bytes frame = BuildLinkRequestFrame(mode);
        ReceiveBuffer b;
        for (size_t i = 0; i + 1 < frame.size(); ++i) {
            EXPECT_TRUE(NoVerdict(b.Receive(Bytes{frame[i]}, Mode(mode)))) << "mode " << mode << " byte " << i;
        }
        const ScanVerdict v = b.Receive(Bytes{frame.back()}, Mode(mode));
        EXPECT_TRUE(v.packetComplete && v.packetGood) << "mode " << mode;
        EXPECT_EQ(Contents(b), frame);
    }
}

TEST_F(ScannerTest, BytesAfterAFrameAreDiscarded)
{
    for (int mode : {1, 2, 4, 5}) {
        const Bytes frame = BuildHangUpFrame(mode);
        ReceiveBuffer b;
        const ScanVerdict v = b.Receive(Concat(frame, {0x99, 0x00, 0x03, 0x54}), Mode(mode));
        EXPECT_TRUE(v.packetGood);
        EXPECT_EQ(Contents(b), frame);
    }
}

TEST_F(ScannerTest, BadCrcSlidesForwardWithoutAVerdict)
{
    Bytes frame = BuildHangUpFrame(1); // 03 54 E0 35
    frame[3] ^= 0x01;
    const ScanVerdict v = Feed(frame, Mode(1));
    EXPECT_FALSE(v.packetComplete);
    EXPECT_FALSE(v.packetGood);
    // 03 dropped; 54 asks for 84 bytes, so the scan waits.
    EXPECT_EQ(Contents(buffer), (Bytes{0x54, 0xE0, 0x34}));
}

TEST_F(ScannerTest, GarbageBeforeAGoodFrameIsSkipped)
{
    // 01 is a length below 2; each 02 asks for two bytes that fail its check.
    const Bytes frame = BuildKeepAliveFrame(1);
    const ScanVerdict v = Feed(Concat({0x01, 0x02, 0x02, 0x02}, frame), Mode(1));
    EXPECT_TRUE(v.packetComplete && v.packetGood);
    EXPECT_TRUE(v.resynced);
    EXPECT_EQ(Contents(buffer), frame);
}

TEST_F(ScannerTest, GarbageBeforeAGoodFrameIsSkippedInModeFive)
{
    // Line idle zeros read as lengths of 0 and are skipped one by one.
    const Bytes frame = BuildKeepAliveFrame(5);
    const ScanVerdict v = Feed(Concat({0x00, 0x00, 0x00, 0x00, 0x00}, frame), Mode(5));
    EXPECT_TRUE(v.packetComplete && v.packetGood);
    EXPECT_TRUE(v.resynced);
    EXPECT_EQ(Contents(buffer), frame);
}

TEST_F(ScannerTest, GarbageWithALargeLengthHoldsTheScanUntilThatLengthArrives)
{
    const Bytes frame = BuildHangUpFrame(1);
    EXPECT_TRUE(NoVerdict(Feed(Concat({0xFF}, frame), Mode(1))));
    EXPECT_EQ(buffer.Size(), 5U);
    // Once 256 bytes are there, FF fails its check and the scan slides on.
    Bytes filler(251, 0x77);
    const ScanVerdict v = Feed(filler, Mode(1));
    EXPECT_TRUE(v.packetGood);
    EXPECT_EQ(Contents(buffer), frame);
}

TEST_F(ScannerTest, MismatchFollowedByALengthBelowTwoStopsWithoutResync)
{
    // 02 asks for two more bytes; its check fails; the next length is 0.
    ScanVerdict v = Feed({0x02, 0x00, 0xAA, 0xBB}, Mode(1));
    EXPECT_FALSE(v.resynced);
    EXPECT_EQ(Contents(buffer), (Bytes{0x00, 0xAA, 0xBB}));
    // The next scan meets the length below 2 first and resyncs.
    v = buffer.Scan(Mode(1));
    EXPECT_TRUE(v.resynced);
}

TEST_F(ScannerTest, ModesAboveFiveScanLikeFive)
{
    const Bytes frame = BuildLinkRequestFrame(5);
    EXPECT_TRUE(Feed(frame, Mode(9)).packetGood);
}

TEST_F(ScannerTest, LongFrameOfMaximumLengthIsFound)
{
    Bytes frame = {0xFF, 0xFF, 0x41};
    frame.resize(2 + 0xFFFF - 2, 0x5A);
    const uint16_t crc = Crc16(frame);
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    frame.push_back(static_cast<uint8_t>(crc));
    ASSERT_EQ(frame.size(), 2U + 0xFFFF);
    ReceiveBuffer b;
    for (size_t at = 0; at < frame.size(); at += 4096) {
        const size_t n = std::min<size_t>(4096, frame.size() - at);
        const ScanVerdict v = b.Receive({frame.data() + at, n}, Mode(2));
        EXPECT_EQ(v.packetGood, at + n == frame.size());
    }
    EXPECT_EQ(b.Size(), frame.size());
}

// --- Short-code mode ---

TEST_F(ScannerTest, ModeThreeDropsUnknownCodesAndKeepsOneFrame)
{
    const ScanVerdict v = Feed({0xF5, 0xF6, 0x80, 0x07, 0x87, 0x42}, Mode(3));
    EXPECT_TRUE(v.packetComplete && v.packetGood);
    EXPECT_EQ(Contents(buffer), (Bytes{0x80, 0x07, 0x87}));
}

TEST_F(ScannerTest, ModeThreeBadSumIsReportedAndKept)
{
    const ScanVerdict v = Feed({0x80, 0x07, 0x88}, Mode(3));
    EXPECT_TRUE(v.packetComplete);
    EXPECT_FALSE(v.packetGood);
    EXPECT_EQ(Contents(buffer), (Bytes{0x80, 0x07, 0x88}));
}

TEST_F(ScannerTest, ModeThreeReplyToCode40IsFourBytes)
{
    EXPECT_TRUE(NoVerdict(Feed({0x40, 0x01, 0x02}, Mode(3))));
    const ScanVerdict v = Feed({0x43}, Mode(3));
    EXPECT_TRUE(v.packetGood);
    EXPECT_EQ(buffer.Size(), 4U);
}

TEST_F(ScannerTest, ModeThreeReplyToCode50DependsOnThePanel)
{
    const Bytes four = {0x50, 0x01, 0x02, 0x53};
    EXPECT_TRUE(buffer.Receive(four, Mode(3, false)).packetGood);
    EXPECT_EQ(buffer.Size(), 4U);

    ReceiveBuffer wide;
    EXPECT_TRUE(NoVerdict(wide.Receive(four, Mode(3, true))));
    const ScanVerdict v = wide.Receive(Bytes{0xA6}, Mode(3, true)); // 50+01+02+53 = A6
    EXPECT_TRUE(v.packetGood);
    EXPECT_EQ(wide.Size(), 5U);
}

TEST_F(ScannerTest, ModeThreeFrameSplitAcrossEvents)
{
    const Bytes frame = {0xB0, 1, 2, 3, 4, 5, 6, 7, 8, 0xD4};
    for (size_t i = 0; i + 1 < frame.size(); ++i) {
        EXPECT_TRUE(NoVerdict(Feed({frame[i]}, Mode(3))));
    }
    EXPECT_TRUE(Feed({frame.back()}, Mode(3)).packetGood);
    EXPECT_EQ(Contents(buffer), frame);
}

TEST_F(ScannerTest, ModeThreeAllUnknownEmptiesTheBuffer)
{
    EXPECT_TRUE(NoVerdict(Feed({0xF1, 0xFF, 0x11}, Mode(3))));
    EXPECT_TRUE(buffer.Empty());
}

TEST_F(ScannerTest, ModeThreeOneKnownByteLeftWaits)
{
    EXPECT_TRUE(NoVerdict(Feed({0xF5, 0x80}, Mode(3))));
    EXPECT_EQ(Contents(buffer), (Bytes{0x80}));
}

// --- Common rules ---

TEST_F(ScannerTest, IdentifyStepOnlyReportsBytesArrived)
{
    const Bytes frame = BuildHangUpFrame(1);
    const ScanVerdict v = buffer.Receive(Concat({0x00}, frame), ScanRules{1, true, false});
    EXPECT_TRUE(NoVerdict(v));
    EXPECT_EQ(buffer.Size(), frame.size() + 1);
}

TEST_F(ScannerTest, FewerThanTwoBytesOnlyReportBytesArrived)
{
    EXPECT_TRUE(NoVerdict(Feed({0x00}, Mode(1))));
    EXPECT_TRUE(NoVerdict(Feed({}, Mode(3))));
    EXPECT_EQ(buffer.Size(), 1U);
}

TEST_F(ScannerTest, NoLinkModeLeavesTheBufferAlone)
{
    const ScanVerdict v = Feed({0x00, 0x00, 0x01}, Mode(0));
    EXPECT_TRUE(NoVerdict(v));
    EXPECT_EQ(buffer.Size(), 3U);
}

TEST_F(ScannerTest, ClearingTheParityBitOfTheFirstByteRevealsTheFrame)
{
    Bytes frame = BuildHangUpFrame(1);
    frame[0] |= 0x80; // 83 asks for 131 bytes
    EXPECT_TRUE(NoVerdict(Feed(frame, Mode(1))));
    buffer.ClearFrontBit7();
    const ScanVerdict v = buffer.Scan(Mode(1));
    EXPECT_TRUE(v.packetGood);
    EXPECT_EQ(Contents(buffer), BuildHangUpFrame(1));
}

TEST_F(ScannerTest, DropFrontThenScanFindsTheNextFrame)
{
    const Bytes frame = BuildHangUpFrame(2);
    Feed(Concat({0x7F}, frame), ScanRules{2, true, false});
    buffer.DropFront(1);
    EXPECT_TRUE(buffer.Scan(Mode(2)).packetGood);
    buffer.DropFront(100);
    EXPECT_TRUE(buffer.Empty());
}

TEST_F(ScannerTest, ClearSetsTheSizeToZero)
{
    Feed({1, 2, 3}, ScanRules{2, true, false});
    buffer.Clear();
    EXPECT_TRUE(buffer.Empty());
    EXPECT_TRUE(Feed(BuildKeepAliveFrame(2), Mode(2)).packetGood);
}

TEST_F(ScannerTest, BytesBeyondTheCapacityAreDropped)
{
    const Bytes chunk(40000, 0xEE);
    size_t kept = 0;
    for (int i = 0; i < 5; ++i) {
        kept += buffer.Append(chunk);
    }
    EXPECT_EQ(kept, ReceiveBuffer::kCapacity);
    EXPECT_EQ(buffer.Size(), ReceiveBuffer::kCapacity);
    EXPECT_EQ(buffer.Append(chunk), 0U);
    // Room made at the front is usable again, and windows still check.
    buffer.Clear();
    EXPECT_TRUE(Feed(BuildHangUpFrame(4), Mode(4)).packetGood);
}

} // namespace
} // namespace vek
