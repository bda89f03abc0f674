#include "link/Crc16.h"
#include "link/FramesControl.h"
#include "link/FramesLinkStart.h"
#include "link/FramesLong.h"
#include "link/FramesTransfer.h"
#include "link/Sum8.h"

#include "support/FrameBytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace vek {
namespace {

using test::Bytes;
using test::WithCrc;

Bytes WithSum(Bytes bytes)
{
    bytes.push_back(Sum8(bytes));
    return bytes;
}

// --- Worked control frames, byte for byte, in every mode ---

TEST(FramesControl, LinkRequestInEveryMode)
{
    EXPECT_EQ(BuildLinkRequestFrame(1), (Bytes{0x06, 0xF2, 0x00, 0x14, 0x00, 0x26, 0x3A}));
    EXPECT_EQ(BuildLinkRequestFrame(2), (Bytes{0x00, 0x06, 0xF2, 0x00, 0x14, 0x00, 0x26, 0x3A}));
    EXPECT_EQ(BuildLinkRequestFrame(4), (Bytes{0x00, 0x07, 0x00, 0xF2, 0x00, 0x14, 0x00, 0x46, 0x52}));
    EXPECT_EQ(BuildLinkRequestFrame(5), (Bytes{0x00, 0x08, 0x25, 0x00, 0xF2, 0x00, 0x14, 0x00, 0x1F, 0x27}));
    EXPECT_EQ(BuildLinkRequestFrame(3), (Bytes{0x07, 0x07}));
}

TEST(FramesControl, HangUpInEveryMode)
{
    EXPECT_EQ(BuildHangUpFrame(1), (Bytes{0x03, 0x54, 0xE0, 0x35}));
    EXPECT_EQ(BuildHangUpFrame(2), (Bytes{0x00, 0x03, 0x54, 0xE0, 0x35}));
    EXPECT_EQ(BuildHangUpFrame(4), (Bytes{0x00, 0x04, 0x00, 0x54, 0xCF, 0xBE}));
    EXPECT_EQ(BuildHangUpFrame(5), (Bytes{0x00, 0x05, 0x25, 0x00, 0x54, 0xD0, 0x25}));
    EXPECT_EQ(BuildHangUpFrame(3), (Bytes{0x02, 0x02}));
}

TEST(FramesControl, KeepAliveInEveryMode)
{
    EXPECT_EQ(BuildKeepAliveFrame(1), (Bytes{0x03, 0x55, 0x4D, 0xD7}));
    EXPECT_EQ(BuildKeepAliveFrame(2), (Bytes{0x00, 0x03, 0x55, 0x4D, 0xD7}));
    EXPECT_EQ(BuildKeepAliveFrame(4), (Bytes{0x00, 0x04, 0x00, 0x55, 0x62, 0x5C}));
    EXPECT_EQ(BuildKeepAliveFrame(5), (Bytes{0x00, 0x05, 0x25, 0x00, 0x55, 0x7D, 0xC7}));
    EXPECT_EQ(BuildKeepAliveFrame(3), (Bytes{0x00, 0x00}));
}

TEST(FramesControl, ModesAboveFiveFrameLikeFive)
{
    for (int mode : {6, 7, 100}) {
        EXPECT_EQ(BuildHangUpFrame(mode), BuildHangUpFrame(5));
        EXPECT_EQ(BuildKeepAliveFrame(mode), BuildKeepAliveFrame(5));
        EXPECT_EQ(BuildLinkRequestFrame(mode), BuildLinkRequestFrame(5));
    }
}

TEST(FramesControl, NoLinkModeGivesNoFrame)
{
    for (int mode : {0, -1}) {
        EXPECT_TRUE(BuildHangUpFrame(mode).empty());
        EXPECT_TRUE(BuildKeepAliveFrame(mode).empty());
        EXPECT_TRUE(BuildLinkRequestFrame(mode).empty());
        EXPECT_TRUE(BuildSessionOpenFrame(mode, Bytes{1, 2}, false).empty());
    }
}

TEST(FramesControl, SessionOpenWithTwoOpenCodeBytes)
{
    const Bytes code = {0xAB, 0xCD};
    EXPECT_EQ(BuildSessionOpenFrame(1, code, false), WithCrc({0x05, 0x22, 0xAB, 0xCD}));
    EXPECT_EQ(BuildSessionOpenFrame(2, code, false), WithCrc({0x00, 0x05, 0x22, 0xAB, 0xCD}));
    EXPECT_EQ(BuildSessionOpenFrame(4, code, false), WithCrc({0x00, 0x06, 0x00, 0x22, 0xAB, 0xCD}));
    EXPECT_EQ(BuildSessionOpenFrame(5, code, false), WithCrc({0x00, 0x07, 0x25, 0x00, 0x22, 0xAB, 0xCD}));
    EXPECT_EQ(BuildSessionOpenFrame(3, code, false), (Bytes{0x01, 0xAB, 0xCD, 0x79}));
}

TEST(FramesControl, SessionOpenWithThreeOpenCodeBytesGrowsEveryLength)
{
    const Bytes code = {0x12, 0x34, 0x56};
    EXPECT_EQ(BuildSessionOpenFrame(1, code, true), WithCrc({0x06, 0x22, 0x12, 0x34, 0x56}));
    EXPECT_EQ(BuildSessionOpenFrame(2, code, true), WithCrc({0x00, 0x06, 0x22, 0x12, 0x34, 0x56}));
    EXPECT_EQ(BuildSessionOpenFrame(4, code, true), WithCrc({0x00, 0x07, 0x00, 0x22, 0x12, 0x34, 0x56}));
    EXPECT_EQ(BuildSessionOpenFrame(5, code, true), WithCrc({0x00, 0x08, 0x25, 0x00, 0x22, 0x12, 0x34, 0x56}));
    EXPECT_EQ(BuildSessionOpenFrame(3, code, true), WithSum({0x01, 0x12, 0x34, 0x56}));
}

TEST(FramesControl, SessionOpenTakesOnlyTheBytesItNeedsAndZeroFillsMissingOnes)
{
    EXPECT_EQ(BuildSessionOpenFrame(1, Bytes{0x12, 0x34, 0x56}, false), WithCrc({0x05, 0x22, 0x12, 0x34}));
    EXPECT_EQ(BuildSessionOpenFrame(1, Bytes{0x12}, true), WithCrc({0x06, 0x22, 0x12, 0x00, 0x00}));
}

// --- Link frames that ignore the mode ---

TEST(FramesLinkStart, DialCommandFrameCarriesThePhoneNumber)
{
    const auto frame = BuildDialCommandFrame("0123");
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(*frame, WithCrc({'A', 'T', 'D', 'T', 6, '0', '1', '2', '3'}));
}

TEST(FramesLinkStart, DialCommandFrameWithEmptyNumber)
{
    EXPECT_EQ(BuildDialCommandFrame(""), WithCrc({'A', 'T', 'D', 'T', 2}));
}

TEST(FramesLinkStart, DialCommandFrameRefusesANumberItsLengthByteCannotHold)
{
    EXPECT_TRUE(BuildDialCommandFrame(std::string(253, '5')).has_value());
    EXPECT_FALSE(BuildDialCommandFrame(std::string(254, '5')).has_value());
}

TEST(FramesLinkStart, IdentificationBlockLayout)
{
    const Bytes block = BuildIdentificationBlock(0x12, 0x34, Bytes{0xA1, 0xB2, 0xC3, 0xD4});
    const Bytes expected =
        WithCrc({0x04, 0x04, 0x04, 0x00, 0x0E, 0x12, 0x34, 0x00, 0xA1, 0xB2, 0xC3, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00});
    EXPECT_EQ(block, expected);
    EXPECT_EQ(block.size(), kIdentificationBlockSize);
}

TEST(FramesLinkStart, IdentificationBlockZeroFillsAShortCode)
{
    const Bytes block = BuildIdentificationBlock(1, 2, Bytes{0x55});
    EXPECT_EQ(block[8], 0x55);
    EXPECT_EQ(block[9], 0x00);
    EXPECT_EQ(block[10], 0x00);
    // Its length field says 14 bytes follow it.
    EXPECT_EQ(block.size() - 5, 14U);
}

// --- Long data-transfer frames ---

TransferRequest Request(uint32_t op, uint32_t count, const Bytes& data)
{
    TransferRequest r;
    r.operation = op;
    r.command = 0x31;
    r.subAddress = 0x07;
    r.address = 0x1234;
    r.count = count;
    r.data = data;
    return r;
}

TEST(FramesTransfer, ReadFrameInEveryLongMode)
{
    const Bytes none;
    const auto r = Request(kOperationRead, 0x0120, none);
    auto mode1 = Request(kOperationRead, 0x20, none);
    EXPECT_EQ(BuildLongTransferFrame(1, mode1), WithCrc({0x06, 0x31, 0x12, 0x34, 0x20}));
    EXPECT_EQ(BuildLongTransferFrame(2, r), WithCrc({0x00, 0x07, 0x31, 0x12, 0x34, 0x01, 0x20}));
    EXPECT_EQ(BuildLongTransferFrame(4, r), WithCrc({0x00, 0x08, 0x07, 0x31, 0x12, 0x34, 0x01, 0x20}));
    EXPECT_EQ(BuildLongTransferFrame(5, r), WithCrc({0x00, 0x09, 0x01, 0x07, 0x31, 0x12, 0x34, 0x01, 0x20}));
    EXPECT_EQ(BuildLongTransferFrame(9, r), BuildLongTransferFrame(5, r));
}

TEST(FramesTransfer, WriteFrameCarriesAddressAndData)
{
    const Bytes data = {0xAA, 0xBB, 0xCC, 0xDD};
    const auto r = Request(kOperationWrite, 3, data);
    EXPECT_EQ(BuildLongTransferFrame(1, r), WithCrc({0x08, 0x31, 0x12, 0x34, 0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(BuildLongTransferFrame(2, r), WithCrc({0x00, 0x08, 0x31, 0x12, 0x34, 0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(BuildLongTransferFrame(4, r), WithCrc({0x00, 0x09, 0x07, 0x31, 0x12, 0x34, 0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(BuildLongTransferFrame(5, r), WithCrc({0x00, 0x0A, 0x01, 0x07, 0x31, 0x12, 0x34, 0xAA, 0xBB, 0xCC}));
}

TEST(FramesTransfer, CommandFrameCarriesDataWithoutAddress)
{
    const Bytes data = {0xAA, 0xBB};
    const auto r = Request('x', 2, data);
    EXPECT_EQ(BuildLongTransferFrame(1, r), WithCrc({0x05, 0x31, 0xAA, 0xBB}));
    EXPECT_EQ(BuildLongTransferFrame(2, r), WithCrc({0x00, 0x05, 0x31, 0xAA, 0xBB}));
    EXPECT_EQ(BuildLongTransferFrame(4, r), WithCrc({0x00, 0x06, 0x07, 0x31, 0xAA, 0xBB}));
    EXPECT_EQ(BuildLongTransferFrame(5, r), WithCrc({0x00, 0x07, 0x01, 0x07, 0x31, 0xAA, 0xBB}));
}

TEST(FramesTransfer, OperationIsComparedAsAWholeValue)
{
    // 0x175 has 'u' in its low byte but is not a read.
    const Bytes data = {0xAA};
    const auto r = Request(0x175, 1, data);
    EXPECT_EQ(BuildLongTransferFrame(2, r), WithCrc({0x00, 0x04, 0x31, 0xAA}));
}

TEST(FramesTransfer, ModeOneRefusesFramesItsLengthByteCannotHold)
{
    const Bytes data(300, 0x5A);
    // 250 data bytes: L = 255, the largest a single length byte can say.
    const auto fits = BuildLongTransferFrame(1, Request(kOperationWrite, 250, data));
    ASSERT_TRUE(fits.has_value());
    EXPECT_EQ((*fits)[0], 255);
    EXPECT_EQ(fits->size(), 256U);
    EXPECT_FALSE(BuildLongTransferFrame(1, Request(kOperationWrite, 251, data)).has_value());
    EXPECT_TRUE(BuildLongTransferFrame(1, Request('x', 252, data)).has_value());
    EXPECT_FALSE(BuildLongTransferFrame(1, Request('x', 253, data)).has_value());
    // A mode 1 reply carries at most 252 bytes (length byte 255: command,
    // payload, CRC), so no read asks for more.
    EXPECT_TRUE(BuildLongTransferFrame(1, Request(kOperationRead, 252, {})).has_value());
    EXPECT_FALSE(BuildLongTransferFrame(1, Request(kOperationRead, 253, {})).has_value());
    // The same requests fit mode 2.
    EXPECT_TRUE(BuildLongTransferFrame(2, Request(kOperationWrite, 251, data)).has_value());
    EXPECT_TRUE(BuildLongTransferFrame(2, Request(kOperationRead, 256, {})).has_value());
}

TEST(FramesTransfer, LongModesRefuseLengthsBeyondSixteenBits)
{
    const Bytes data(70000, 1);
    EXPECT_TRUE(BuildLongTransferFrame(2, Request(kOperationWrite, 65530, data)).has_value());
    EXPECT_FALSE(BuildLongTransferFrame(2, Request(kOperationWrite, 65531, data)).has_value());
    EXPECT_FALSE(BuildLongTransferFrame(5, Request(kOperationWrite, 65529, data)).has_value());
    EXPECT_FALSE(BuildLongTransferFrame(2, Request(kOperationRead, 0x10000, {})).has_value());
}

TEST(FramesTransfer, DataShorterThanTheCountIsRefused)
{
    const Bytes data = {1, 2, 3};
    EXPECT_FALSE(BuildLongTransferFrame(2, Request(kOperationWrite, 4, data)).has_value());
    EXPECT_FALSE(BuildLongTransferFrame(2, Request('x', 0xFFFFFFFF, data)).has_value());
    EXPECT_TRUE(BuildLongTransferFrame(2, Request(kOperationWrite, 3, data)).has_value());
}

TEST(FramesTransfer, LongBuilderRefusesShortCodeAndNoMode)
{
    const auto r = Request(kOperationRead, 1, {});
    EXPECT_FALSE(BuildLongTransferFrame(3, r).has_value());
    EXPECT_FALSE(BuildLongTransferFrame(0, r).has_value());
}

// --- Short-code transfers ---

TEST(FramesShortTransfer, ThirteenByteReadIsThreeFrames)
{
    auto r = Request(kOperationRead, 13, {});
    r.command = 1;
    r.address = 0x0140;
    const auto frames = BuildShortTransferFrames(r, false, false);
    ASSERT_TRUE(frames.has_value());
    ASSERT_EQ(frames->size(), 3U);
    EXPECT_EQ((*frames)[0].bytes, WithSum({0xB0, 0x40}));
    EXPECT_EQ((*frames)[1].bytes, WithSum({0xA0, 0x48}));
    EXPECT_EQ((*frames)[2].bytes, WithSum({0x80, 0x4C}));
    EXPECT_EQ((*frames)[0].offset, 0);
    EXPECT_EQ((*frames)[1].offset, 8);
    EXPECT_EQ((*frames)[2].offset, 12);
    EXPECT_EQ((*frames)[2].chunk, 1);
}

TEST(FramesShortTransfer, WriteFramesCarryTheirSliceOfData)
{
    Bytes data(13);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(0xD0 + i);
    }
    auto r = Request(kOperationWrite, 13, data);
    r.command = 2;
    r.address = 0x10;
    const auto frames = BuildShortTransferFrames(r, false, false);
    ASSERT_TRUE(frames.has_value());
    ASSERT_EQ(frames->size(), 3U);
    EXPECT_EQ((*frames)[0].bytes, WithSum({0xF0, 0x10, 0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7}));
    EXPECT_EQ((*frames)[1].bytes, WithSum({0xE0, 0x18, 0xD8, 0xD9, 0xDA, 0xDB}));
    EXPECT_EQ((*frames)[2].bytes, WithSum({0xC0, 0x1C, 0xDC}));
}

TEST(FramesShortTransfer, TwoByteAddressCarriesTheHighByteOfTheSum)
{
    auto r = Request(kOperationRead, 10, {});
    r.command = 3;
    r.address = 0x12FC;
    const auto frames = BuildShortTransferFrames(r, true, false);
    ASSERT_TRUE(frames.has_value());
    ASSERT_EQ(frames->size(), 2U);
    EXPECT_EQ((*frames)[0].bytes, WithSum({0x0B, 0x12, 0xFC}));
    // 0x12FC + 8 carries into the high byte; the low byte wraps.
    EXPECT_EQ((*frames)[1].bytes, WithSum({0x09, 0x13, 0x04}));
}

TEST(FramesShortTransfer, CommandOutsideOneToTenSendsOneCodeZeroFrame)
{
    auto r = Request(kOperationRead, 40, {});
    r.command = 11;
    r.address = 0x22;
    const auto frames = BuildShortTransferFrames(r, false, false);
    ASSERT_TRUE(frames.has_value());
    ASSERT_EQ(frames->size(), 1U);
    EXPECT_EQ((*frames)[0].bytes, WithSum({0x00, 0x22}));
    EXPECT_EQ((*frames)[0].chunk, 0);
}

TEST(FramesShortTransfer, CountsOfNothingOrAbove255BuildNothing)
{
    for (const uint32_t count : {0U, 256U, 257U, 0x10001U}) {
        auto r = Request(kOperationRead, count, {});
        r.command = 1;
        EXPECT_FALSE(BuildShortTransferFrames(r, false, false).has_value()) << count;
    }
    auto r = Request(kOperationRead, 255, {});
    r.command = 1;
    const auto frames = BuildShortTransferFrames(r, false, false);
    ASSERT_TRUE(frames.has_value());
    size_t moved = 0;
    for (const auto& f : *frames)
        moved += f.chunk;
    EXPECT_EQ(moved, 255U);
}

TEST(FramesShortTransfer, FixedCommandsMoveOneByteAFrame)
{
    const Bytes data = {7, 8, 9};
    auto r = Request(kOperationWrite, 3, data);
    r.command = 6;
    r.address = 0;
    const auto frames = BuildShortTransferFrames(r, false, false);
    ASSERT_TRUE(frames.has_value());
    ASSERT_EQ(frames->size(), 3U);
    EXPECT_EQ((*frames)[1].bytes, WithSum({0x50, 0x01, 8}));
}

TEST(FramesShortTransfer, WideCode50PanelMovesThreeBytesAFrame)
{
    const Bytes data = {1, 2, 3, 4, 5, 6};
    auto r = Request(kOperationWrite, 6, data);
    r.command = 6;
    r.address = 0x20;
    const auto frames = BuildShortTransferFrames(r, false, true);
    ASSERT_TRUE(frames.has_value());
    ASSERT_EQ(frames->size(), 2U);
    EXPECT_EQ((*frames)[0].bytes, WithSum({0x50, 0x20, 1, 2, 3}));
    EXPECT_EQ((*frames)[1].bytes, WithSum({0x50, 0x23, 4, 5, 6}));
}

TEST(FramesShortTransfer, WideCode50PanelRefusesACountThreeDoesNotDivide)
{
    // The last frame would move bytes past the count and past the data.
    const Bytes data = {1, 2, 3, 4};
    for (uint32_t count : {1U, 2U, 4U}) {
        auto r = Request(kOperationWrite, count, data);
        r.command = 6;
        EXPECT_FALSE(BuildShortTransferFrames(r, false, true).has_value()) << "count " << count;
        r.operation = kOperationRead;
        EXPECT_FALSE(BuildShortTransferFrames(r, false, true).has_value()) << "count " << count;
    }
}

TEST(FramesShortTransfer, WriteWithShortDataIsRefused)
{
    const Bytes data = {1, 2, 3};
    auto r = Request(kOperationWrite, 4, data);
    r.command = 1;
    EXPECT_FALSE(BuildShortTransferFrames(r, false, false).has_value());
    r.operation = kOperationRead; // a read carries no data
    EXPECT_TRUE(BuildShortTransferFrames(r, false, false).has_value());
}

TEST(FramesShortTransfer, EverySplitCoversTheCountExactly)
{
    for (int command = 1; command <= 4; ++command) {
        for (uint32_t count = 1; count < 256; ++count) {
            auto r = Request(kOperationRead, count, {});
            r.command = static_cast<uint8_t>(command);
            const auto frames = BuildShortTransferFrames(r, false, false);
            ASSERT_TRUE(frames.has_value());
            unsigned moved = 0;
            for (const auto& f : *frames) {
                EXPECT_EQ(f.offset, moved);
                moved += f.chunk;
            }
            EXPECT_EQ(moved, count) << "command " << command;
        }
    }
}

} // namespace
} // namespace vek
