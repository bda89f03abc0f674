// Host transfer requests become packet steps.
#include "link/AddPool.h"
#include "link/CallPhase.h"
#include "link/RequestQueue.h"
#include "platform/Handles.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace vek::test {
namespace {

class AddPoolTest : public ::testing::Test {
protected:
    AddPoolTest()
    {
        h.OpenPort();
        g_nCallPhase = CALL_OPEN; // the session-open frame is queued
    }
    ~AddPoolTest() override { g_nCallPhase = CALL_CLOSED; }
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
        for (const Message& m : h.DialogWindow().Drain(1025))
            n += m.wParam == code;
        return n;
    }

    // A refusal waits in the queue behind the requests made before it.
    static bool IsRefusal(const CPool& step) { return step.m_nType == STEP_NOTIFY && step.m_nCode == 97; }

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

TEST_F(AddPoolTest, RequestThatCannotBeCarriedWholeIsTakenAndRefusedInItsTurn)
{
    struct Row {
        const char* what;
        int mode;
        uint32_t operation;
        uint32_t count;
        size_t dataSize;
        size_t recordSize;
        bool freeData;
        bool refused;
    };
    const Row rows[] = {
        {"data block that cannot be locked", 2, '-', 2, 2, 48, true, true},
        {"record too short for its fields", 2, '-', 2, 2, 20, false, true},
        {"write longer than its data block", 2, '-', 200, 10, 48, false, true},
        {"short write longer than its data block", 3, '-', 200, 10, 48, false, true},
        {"mode 1 write its length byte cannot hold", 1, '-', 300, 300, 48, false, true},
        {"mode 1 read longer than a reply can carry", 1, 'u', 253, 1, 48, false, true},
        {"mode 1 read of the most a reply carries", 1, 'u', 252, 1, 48, false, false},
        {"mode 2 read longer than a reply can carry", 2, 'u', 65533, 1, 48, false, true},
        {"mode 2 read of the most a reply carries", 2, 'u', 65532, 1, 48, false, false},
        {"mode 4 read longer than a reply can carry", 4, 'u', 65532, 1, 48, false, true},
        {"mode 5 read longer than a reply can carry", 5, 'u', 65531, 1, 48, false, true},
        {"short read of nothing", 3, 'u', 0, 1, 48, false, true},
        {"short read of 256 (low byte 0)", 3, 'u', 256, 1, 48, false, true},
        {"short read of 257 (not one byte)", 3, 'u', 257, 1, 48, false, true},
        {"short read of 255", 3, 'u', 255, 1, 48, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QueueClear();
        h.Dlg().m_nLinkMode = row.mode;
        // An earlier request still waits: the refusal must not overtake it.
        AddPool(h.Dlg(), Make('u', 2, 1).record);
        const Request r = Make(row.operation, row.count, row.dataSize, 0, row.recordSize);
        if (row.freeData)
            GlobalFree(r.data);
        EXPECT_EQ(AddPool(h.Dlg(), r.record), 1);
        const auto steps = Queued();
        ASSERT_GE(steps.size(), 2u);
        EXPECT_FALSE(IsRefusal(steps[0]));
        EXPECT_EQ(IsRefusal(steps.back()), row.refused);
        if (row.refused) {
            EXPECT_EQ(steps.size(), 2u);
        }
        EXPECT_TRUE(std::all_of(steps.begin(), steps.end(), [](const CPool& s) { return s.m_bHostRequest; }));
        EXPECT_EQ(HostNotices(97), 0u) << "nothing ahead of its turn";
        EXPECT_EQ(GlobalSize(r.record), 0u); // taken: the library frees both
        if (row.freeData)
            continue;
        if (row.recordSize >= 48) {
            EXPECT_EQ(GlobalSize(r.data), 0u);
        } else {
            GlobalFree(r.data); // a record too short names no data block
        }
    }
}

TEST_F(AddPoolTest, OnlyAnOpenSessionTakesRequests)
{
    struct Row {
        const char* what;
        int32_t phase;
        int taken;
    };
    const Row rows[] = {
        {"call being set up (dialling, identifying)", CALL_CLOSED, 0},
        {"session open", CALL_OPEN, 1},
        {"call being ended", CALL_ENDING, 0},
    };
    h.Dlg().m_nLinkMode = 2;
    for (const Row& row : rows) {
        QueueClear();
        g_nCallPhase = row.phase;
        const Request r = Make('u', 16, 1);
        EXPECT_EQ(AddPool(h.Dlg(), r.record), row.taken) << row.what;
        EXPECT_EQ(Queued().size(), static_cast<size_t>(row.taken)) << row.what;
        if (row.taken == 0) {
            // Not taken: both blocks are still the host's.
            EXPECT_EQ(GlobalSize(r.record), 48u) << row.what;
            EXPECT_EQ(GlobalSize(r.data), 1u) << row.what;
            GlobalFree(r.record);
            GlobalFree(r.data);
        }
    }
}

TEST_F(AddPoolTest, LongestReadKeepsItsFullTimeout)
{
    h.Dlg().m_nLinkMode = 2;
    AddPool(h.Dlg(), Make('u', 65532, 1).record);
    const auto steps = Queued();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].m_nTimeout, 70 * 65532 + 10000);
}

} // namespace
} // namespace vek::test
