// Request records: default time-outs, constructors and the archive layout.
#include "link/CPool.h"
#include "modem/CArchive.h"

#include <gtest/gtest.h>

namespace vek {
namespace {

TEST(CPoolTest, DefaultTimeoutsByTypeAndExpect)
{
    EXPECT_EQ(CPool("ATZ\r", STEP_MODEM, 0, 100, 1, 0).m_nTimeout, 3000);
    EXPECT_EQ(CPool("ATD\r", STEP_MODEM, 1, 100, 1, 0).m_nTimeout, 500);
    EXPECT_EQ(CPool("", STEP_MODEM, 2, 100, 1, 0).m_nTimeout, 500);
    EXPECT_EQ(CPool("", STEP_MODEM, 99, 100, 1, 0).m_nTimeout, 5000);
    EXPECT_EQ(CPool("", STEP_MODEM, -1, 100, 1, 0).m_nTimeout, 5000); // unsigned: large
    EXPECT_EQ(CPool("", STEP_PACKET, 0, 100, 1, 0).m_nTimeout, 3000);
    EXPECT_EQ(CPool("", STEP_IDENTIFY, 0, 100, 1, 0).m_nTimeout, 20000);
    EXPECT_EQ(CPool("", STEP_CALL, 0, 100, 1, 0).m_nTimeout, 1000);
    EXPECT_EQ(CPool("", STEP_DEFER_CALL, 0, 100, 1, 0).m_nTimeout, 3000);
    EXPECT_EQ(CPool("", 100, 0, 100, 1, 0).m_nTimeout, 3000);
}

TEST(CPoolTest, ExplicitTimeoutsAreKept)
{
    EXPECT_EQ(CPool("AT\r", STEP_MODEM, 0, 100, 1, 1234).m_nTimeout, 1234);
    const CPool full(ByteArray{1, 2}, STEP_PACKET, 4, 5, 0, 'u', REQ_EXPECT_ACK, 0x44, 1);
    EXPECT_EQ(full.m_nTimeout, 0); // the nine-value form keeps 0
    EXPECT_EQ(full.m_nCommand, 'u');
    EXPECT_EQ(full.m_dwFlags, REQ_EXPECT_ACK);
    EXPECT_EQ(full.m_byReply, 0x44);
}

TEST(CPoolTest, DefaultConstructedRecordIsEmptySendOnly)
{
    const CPool p;
    EXPECT_TRUE(p.m_data.empty());
    EXPECT_EQ(p.m_nType, 100);
    EXPECT_EQ(p.m_nExpect, 100);
    EXPECT_EQ(p.m_nCode, 100);
    EXPECT_EQ(p.m_nTimeout, 0);
    EXPECT_EQ(p.m_dwFlags, 0u);
}

TEST(CPoolTest, TextConstructorTakesTheCharactersWithoutTerminator)
{
    const CPool p("AT\r", STEP_PAUSE, 0, 100, 1, 0);
    EXPECT_EQ(p.m_data, (ByteArray{'A', 'T', '\r'}));
}

TEST(CPoolTest, SerializeLayoutAndRoundTrip)
{
    CPool p(ByteArray{0xAA, 0xBB}, STEP_PACKET, 4, 92, 3000, '-', REQ_REPLY_CMD | 0x100, 0x51, 1);
    CArchive out;
    p.Serialize(out);
    const ByteArray expected = {
        0x02, 0x00, 0xAA, 0xBB, // count, bytes
        '-',  0x00, 0x00, 0x00, // command
        0x02, 0x00, 0x00, 0x00, // type
        0x04, 0x00, 0x00, 0x00, // expect
        92,   0x00, 0x00, 0x00, // code
        0x04, 0x01, 0x00, 0x00, // flags
        0x51,                   // reply byte
        0xB8, 0x0B, 0x00, 0x00, // time-out
        0x01, 0x00, 0x00, 0x00, // clear-receive
    };
    EXPECT_EQ(out.Buffer(), expected);

    CArchive in(out.Buffer());
    CPool back;
    back.Serialize(in);
    EXPECT_EQ(back.m_data, p.m_data);
    EXPECT_EQ(back.m_nCommand, p.m_nCommand);
    EXPECT_EQ(back.m_nType, p.m_nType);
    EXPECT_EQ(back.m_nExpect, p.m_nExpect);
    EXPECT_EQ(back.m_nCode, p.m_nCode);
    EXPECT_EQ(back.m_dwFlags, p.m_dwFlags);
    EXPECT_EQ(back.m_byReply, p.m_byReply);
    EXPECT_EQ(back.m_nTimeout, p.m_nTimeout);
    EXPECT_EQ(back.m_bClearRx, p.m_bClearRx);
}

TEST(CPoolTest, LoadingACountLargerThanTheBytesFails)
{
    const ByteArray bytes = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x01};
    CArchive in(bytes);
    CPool p;
    EXPECT_THROW(p.Serialize(in), CArchiveException);
}

} // namespace
} // namespace vek
