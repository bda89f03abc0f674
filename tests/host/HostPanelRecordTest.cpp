// The host panel record at its fixed offsets.
#include "host/HostPanelRecord.h"
#include "platform/Handles.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vek::test {
namespace {

TEST(HostPanelRecordTest, FieldsAtTheirOffsetsLittleEndian)
{
    PanelRecord r;
    r.Set32(72, 0x00010002);
    r.Set16(4700, 2400);
    r.Set16(4702, 0xC200);
    r.Set16(4704, 9600);
    r.Set16(4706, 0x0112);
    r.Set16(4708, 0x0020);
    r.Set16(4710, 3);
    r.Set16(4788, 0x00C1);
    r.Bytes()[4790] = 0x18;
    r.Set32(13260, 0x01020304);
    std::strcpy(reinterpret_cast<char*>(r.Bytes() + 13172), "0123456789");

    const PanelRecordView v(r.Get());
    EXPECT_EQ(v.HostFlags(), 0x00010002u);
    EXPECT_EQ(v.LineSpeed(), 2400);
    EXPECT_EQ(v.SecondLineSpeed(), 115200); // 0xC200 stands for 115200
    EXPECT_EQ(v.DirectLinkSpeed(), 9600);
    EXPECT_EQ(v.ExpectedType(), 0x0112);
    EXPECT_EQ(v.ExpectedVersion(), 0x20);
    EXPECT_EQ(v.LinkMode(), 3);
    EXPECT_EQ(v.PanelOptions(), 0x00C1);
    EXPECT_EQ(v.LinkOptions(), 0x18);
    EXPECT_EQ(HandleToField(v.RecordWindow()), 0x01020304u);
    EXPECT_EQ(v.PhoneNumber(), "0123456789");
}

TEST(HostPanelRecordTest, SpeedsAreUnsignedSixteenBit)
{
    PanelRecord r;
    r.Set16(4700, 49664 - 1);
    r.Set16(4704, 0xFFFF);
    const PanelRecordView v(r.Get());
    EXPECT_EQ(v.LineSpeed(), 49663);
    EXPECT_EQ(v.DirectLinkSpeed(), 65535);
}

TEST(HostPanelRecordTest, IdleCountdownIsSignedAndTruncated)
{
    PanelRecord r;
    const PanelRecordView v(r.Get());
    r.Set16(4714, 9000);
    r.Set16(4716, 3);
    EXPECT_EQ(v.IdleCountdownTicks(), 3);
    r.Set16(4716, 0);
    EXPECT_EQ(v.IdleCountdownTicks(), 0);
    r.Set16(4714, 17999);
    r.Set16(4716, 1);
    EXPECT_EQ(v.IdleCountdownTicks(), 1);
    r.Set16(4714, static_cast<uint16_t>(-18000));
    EXPECT_EQ(v.IdleCountdownTicks(), -2);
    r.Set16(4714, 0x7FFF);
    r.Set16(4716, 0x7FFF); // the product still fits 32 bits
    EXPECT_EQ(v.IdleCountdownTicks(), (32767 * 32767) / 9000);
}

TEST(HostPanelRecordTest, DelaysFromTheOptionWord)
{
    PanelRecord r;
    const PanelRecordView v(r.Get());
    const std::pair<uint16_t, int> requestDelays[] = {{0x0000, 100}, {0x1000, 200}, {0x2000, 500}, {0x3000, 0}};
    for (const auto& [bits, ms] : requestDelays) {
        r.Set16(4788, bits);
        EXPECT_EQ(v.RequestDelayMs(), ms) << bits;
    }
    const std::pair<uint16_t, int> byteDelays[] = {{0x0000, 0}, {0x4000, 10}, {0x8000, 20}, {0xC000, 40}};
    for (const auto& [bits, ms] : byteDelays) {
        r.Set16(4788, bits);
        EXPECT_EQ(v.ByteDelayMs(), ms) << bits;
    }
}

TEST(HostPanelRecordTest, OrOnlyAddsBitsAndTouchesNothingElse)
{
    PanelRecord r;
    r.Set16(4788, 0x3001);
    r.Bytes()[4787] = 0x5A;
    r.Bytes()[4790] = 0xA5;
    PanelRecordView(r.Get()).OrPanelOptions(0x0018);
    EXPECT_EQ(r.Get16(4788), 0x3019);
    EXPECT_EQ(r.Bytes()[4787], 0x5A);
    EXPECT_EQ(r.Bytes()[4790], 0xA5);
}

TEST(HostPanelRecordTest, PhoneNumberWithoutTerminatorStopsAtItsField)
{
    PanelRecord r;
    std::memset(r.Bytes() + 13172, '7', 13260 - 13172);
    r.Set32(13260, 0x41414141);
    EXPECT_EQ(PanelRecordView(r.Get()).PhoneNumber(), std::string(88, '7'));
}

} // namespace
} // namespace vek::test
