// Host transfer requests become packet steps.
#include "link/AddPool.h"
#include "link/RequestQueue.h"
#include "platform/Handles.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vek::test {
namespace {

class AddPoolTest : public ::testing::Test {
protected:
    AddPoolTest() { h.OpenPort(); }
    struct Request {
        HGLOBAL record = 0;
        HGLOBAL data = 0;
    };

    // A request with a data block of dataSize bytes (0, 1, 2, ...). A read
    // still needs a lockable block, as with movable memory elsewhere.
    Request Make(uint32_t operation, uint32_t count, size_t dataSize, uint32_t flags = 0, size_t recordSize = 48)
    {
        Request r;
        r.data = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, dataSize);
        if (auto* d = static_cast<uint8_t*>(GlobalLock(r.data))) {
            for (size_t i = 0; i < dataSize; ++i)
                d[i] = static_cast<uint8_t>(i);
            GlobalUnlock(r.data);
        }
        r.record = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, recordSize);
        auto* p = static_cast<uint8_t*>(GlobalLock(r.record));
        Put32(p, VEK_POOL_COUNT, count);
        p[VEK_POOL_ADDRESS] = 0x34;
        p[VEK_POOL_ADDRESS + 1] = 0x12;
        p[VEK_POOL_COMMAND] = 0x01; // a short-code command (1 to 10)
        if (recordSize >= 48) {
            Put32(p, VEK_POOL_FLAGS, flags);
            Put32(p, VEK_POOL_DATA, HandleToField(r.data));
            Put32(p, VEK_POOL_OPERATION, operation);
        }
        GlobalUnlock(r.record);
        return r;
    }

    static void Put32(uint8_t* p, size_t offset, uint32_t v) { std::memcpy(p + offset, &v, 4); }

    void Poke(HGLOBAL h, size_t offset, uint32_t v, size_t width)
    {
        auto* p = static_cast<uint8_t*>(GlobalLock(h));
        std::memcpy(p + offset, &v, width);
        GlobalUnlock(h);
    }

    std::vector<CPool> Queued()
    {
        CSingleLock lock(g_csQueue);
        std::vector<CPool> steps;
        for (const auto& s : g_requestQueue)
            steps.push_back(*s);
        return steps;
    }

    size_t HostNotices(WPARAM code)
    {
        size_t n = 0;
        // Refusals travel as the worker's notices do, through the dialog.
        for (const Message& m : h.DialogWindow().Drain(1025))
            n += m.wParam == code;
        return n;
    }

    DialogHarness h;
};

TEST_F(AddPoolTest, ShortCodeWriteSplitsIntoFramesWithExpectsAndCodes)
{
    h.Dlg().m_nLinkMode = 3;
    const Request r = Make('-', 13, 13);
    AddPool(h.Dlg(), r.record);
    const auto steps = Queued();
    ASSERT_EQ(steps.size(), 3u); // 8 + 4 + 1
    const int expects[] = {5, 0, 0};
    const int codes[] = {100, 100, 5};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(steps[i].m_nType, STEP_PACKET);
        EXPECT_EQ(steps[i].m_nExpect, expects[i]);
        EXPECT_EQ(steps[i].m_nCode, codes[i]);
        EXPECT_EQ(steps[i].m_nTimeout, 10910);
        EXPECT_EQ(steps[i].m_nCommand, '-');
        EXPECT_EQ(steps[i].m_bClearRx, 1);
    }
    EXPECT_TRUE(g_evQueue.IsSet());
    EXPECT_EQ(GlobalSize(r.record), 0u); // both blocks are freed
    EXPECT_EQ(GlobalSize(r.data), 0u);
}

TEST_F(AddPoolTest, ShortCodeReadEndsWithCodeSix)
{
    h.Dlg().m_nLinkMode = 3;
    AddPool(h.Dlg(), Make('u', 4, 1).record);
    const auto steps = Queued();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].m_nCode, 6);
}

TEST_F(AddPoolTest, ShortCodeCountWithLowByteZeroQueuesNothingAndFreesBoth)
{
    h.Dlg().m_nLinkMode = 3;
    const Request r = Make('-', 256, 256);
    AddPool(h.Dlg(), r.record);
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(GlobalSize(r.record), 0u);
    EXPECT_EQ(GlobalSize(r.data), 0u);
}

TEST_F(AddPoolTest, ReadWithReplyCommandWantsThatReply)
{
    h.Dlg().m_nLinkMode = 2;
    const Request r = Make('u', 16, 1, 0x04);
    Poke(r.record, VEK_POOL_REPLY, 0x51, 1);
    AddPool(h.Dlg(), r.record);
    const auto steps = Queued();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].m_nExpect, 5);
    EXPECT_EQ(steps[0].m_nCode, 6);
    EXPECT_EQ(steps[0].m_byReply, 0x51);
    EXPECT_EQ(steps[0].m_dwFlags, 0x04u);
    EXPECT_EQ(steps[0].m_nTimeout, 70 * 16 + 10000);
}

TEST_F(AddPoolTest, ReplyCommandIsIgnoredWhenBitTwoIsAlsoSet)
{
    h.Dlg().m_nLinkMode = 2;
    const Request r = Make('-', 2, 2, 0x06);
    Poke(r.record, VEK_POOL_REPLY, 0x51, 1);
    AddPool(h.Dlg(), r.record);
    const auto steps = Queued();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].m_nCode, 5);
    EXPECT_EQ(steps[0].m_byReply, 0);
}

TEST_F(AddPoolTest, AckClassWithCommandNineAddsExpectAck)
{
    h.Dlg().m_nLinkMode = 2;
    Request r = Make('x', 1, 1);
    Poke(r.record, VEK_POOL_CLASS, 2065, 4);
    Poke(r.record, VEK_POOL_COMMAND, 9, 4);
    AddPool(h.Dlg(), r.record);
    // A sub-address byte makes the 32-bit value at the command no longer 9.
    r = Make('x', 1, 1);
    Poke(r.record, VEK_POOL_CLASS, 2065, 4);
    Poke(r.record, VEK_POOL_COMMAND, 9, 4);
    Poke(r.record, VEK_POOL_SUB_ADDRESS, 1, 1);
    AddPool(h.Dlg(), r.record);
    const auto steps = Queued();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].m_dwFlags, REQ_EXPECT_ACK);
    EXPECT_EQ(steps[1].m_dwFlags, 0u);
}

TEST_F(AddPoolTest, NoModemLeavesBothBlocksToTheHost)
{
    h.Modems().m_nCurrent = -1;
    h.Dlg().m_nLinkMode = 2;
    const Request r = Make('-', 2, 2);
    EXPECT_EQ(AddPool(h.Dlg(), r.record), 0);
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(GlobalSize(r.record), 48u);
    EXPECT_EQ(GlobalSize(r.data), 2u);
}

TEST_F(AddPoolTest, RequestNothingCanCarryOrReadIsNotTakenAndSaysSo)
{
    h.Dlg().m_nLinkMode = 2;
    const Request r = Make('-', 2, 2);
    EXPECT_EQ(AddPool(h.Dlg(), 0), 0);
    h.Dlg().m_commCtrl.SetPortOpen(false);
    EXPECT_EQ(AddPool(h.Dlg(), r.record), 0) << "no port open: no call";
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(HostNotices(97), 0u);
    EXPECT_EQ(GlobalSize(r.record), 48u);
    EXPECT_EQ(GlobalSize(r.data), 2u);
    GlobalFree(r.record);
    GlobalFree(r.data);
}

TEST_F(AddPoolTest, UnlockableDataBlockDropsTheRequestAndFreesTheRecord)
{
    h.Dlg().m_nLinkMode = 2;
    const Request r = Make('-', 2, 2);
    GlobalFree(r.data);
    EXPECT_EQ(AddPool(h.Dlg(), r.record), 1);
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(HostNotices(97), 1u);
    EXPECT_EQ(GlobalSize(r.record), 0u);
}

TEST_F(AddPoolTest, WriteLongerThanItsDataBlockIsRefusedNotReadPastTheBlock)
{
    for (int mode : {2, 3}) {
        h.Dlg().m_nLinkMode = mode;
        const Request r = Make('-', 200, 10);
        AddPool(h.Dlg(), r.record);
        EXPECT_TRUE(Queued().empty()) << mode;
        EXPECT_EQ(HostNotices(VEK_NOTIFY_TRANSFER_REFUSED), 1u) << mode;
        EXPECT_EQ(GlobalSize(r.record), 0u);
        EXPECT_EQ(GlobalSize(r.data), 0u);
    }
}

TEST_F(AddPoolTest, ModeOneFrameThatWouldNotFitIsRefused)
{
    h.Dlg().m_nLinkMode = 1;
    AddPool(h.Dlg(), Make('-', 300, 300).record);
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(HostNotices(VEK_NOTIFY_TRANSFER_REFUSED), 1u);
}

TEST_F(AddPoolTest, TooShortRecordIsDroppedAndFreed)
{
    h.Dlg().m_nLinkMode = 2;
    const Request r = Make('-', 2, 2, 0, 20);
    EXPECT_EQ(AddPool(h.Dlg(), r.record), 1);
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(HostNotices(97), 1u);
    EXPECT_EQ(GlobalSize(r.record), 0u);
    GlobalFree(r.data);
}

TEST_F(AddPoolTest, HugeCountCannotWrapTheTimeout)
{
    h.Dlg().m_nLinkMode = 2;
    AddPool(h.Dlg(), Make('u', 0xFFFF, 1).record);
    const auto steps = Queued();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].m_nTimeout, 70 * 0xFFFF + 10000);
}

} // namespace
} // namespace vek::test
