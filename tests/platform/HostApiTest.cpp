// The host API: message windows and global memory, including misuse.
#include "link/AddPool.h"
#include "platform/HandleTable.h"
#include "platform/Paths.h"
#include "support/LinkTestSupport.h"
#include "vek_host.h"

#include <gtest/gtest.h>

#include <atomic>

#include <cstring>
#include <thread>

namespace vek::test {
namespace {

TEST(GlobalMemoryTest, BlocksAreZeroFilledAndSized)
{
    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 64);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(GlobalSize(h), 64u);
    auto* p = static_cast<uint8_t*>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(p[i], 0);
    std::memset(p, 0xAB, 64);
    EXPECT_EQ(GlobalUnlock(h), 0);
    EXPECT_EQ(static_cast<uint8_t*>(GlobalLock(h))[63], 0xAB); // same memory after unlock
    GlobalUnlock(h);
    EXPECT_EQ(GlobalFree(h), 0u);
}

TEST(GlobalMemoryTest, ZeroStaleAndFreedHandlesAreHarmless)
{
    EXPECT_EQ(GlobalLock(0), nullptr);
    EXPECT_EQ(GlobalSize(0), 0u);
    EXPECT_EQ(GlobalUnlock(0), 0);
    EXPECT_EQ(GlobalFree(0), 0u);

    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 8);
    ASSERT_EQ(GlobalFree(h), 0u);
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GlobalSize(h), 0u);
    EXPECT_EQ(GlobalFree(h), h); // a second free fails and says so
    EXPECT_EQ(GlobalLock(0xDEADBEEF), nullptr);
}

TEST(GlobalMemoryTest, AbsurdSizesAreRefusedNotAttempted)
{
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, SIZE_MAX), 0u);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, size_t{1} << 40), 0u);
}

TEST(GlobalMemoryTest, HandlesAreNotReusedAfterFree)
{
    const HGLOBAL first = GlobalAlloc(GMEM_MOVEABLE, 4);
    GlobalFree(first);
    const HGLOBAL second = GlobalAlloc(GMEM_MOVEABLE, 4);
    EXPECT_NE(first, second);
    GlobalFree(second);
}

TEST(HandleTableTest, NeverIssuesZeroAndForgetsRemovedEntries)
{
    HandleTable<int> table;
    const uint32_t a = table.Add(std::make_shared<int>(1));
    const uint32_t b = table.Add(std::make_shared<int>(2));
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(*table.Find(b), 2);
    EXPECT_EQ(*table.Remove(a), 1);
    EXPECT_EQ(table.Find(a), nullptr);
    EXPECT_EQ(table.Remove(a), nullptr);
    EXPECT_EQ(table.Size(), 1u);
}

TEST(MessageWindowTest, PostedMessagesArriveInOrderOnThePump)
{
    CaptureWindow w;
    for (WPARAM i = 1; i <= 5; ++i)
        EXPECT_EQ(PostMessageA(w.Handle(), 2000, i, static_cast<LPARAM>(i * 10)), 1);
    const auto got = w.Drain();
    ASSERT_EQ(got.size(), 5u);
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].wParam, i + 1);
        EXPECT_EQ(got[i].lParam, static_cast<LPARAM>((i + 1) * 10));
    }
}

TEST(MessageWindowTest, DestroyedOrUnknownWindowsTakeNothing)
{
    EXPECT_EQ(PostMessageA(0, 2000, 0, 0), 0);
    EXPECT_EQ(SendMessageA(0, 2000, 0, 0), 0);
    EXPECT_EQ(VekDestroyWindow(0), 0);
    CaptureWindow w;
    const HWND stale = VekCreateWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 7; }, nullptr);
    EXPECT_EQ(VekDestroyWindow(stale), 1);
    EXPECT_EQ(PostMessageA(stale, 2000, 0, 0), 0);
    EXPECT_EQ(VekWindowContext(stale), nullptr);
    EXPECT_EQ(VekDestroyWindow(stale), 0);
}

TEST(MessageWindowTest, MessagesQueuedForAWindowDestroyedLaterAreDropped)
{
    int calls = 0;
    static int* sink = nullptr;
    sink = &calls;
    const HWND h = VekCreateWindow(
        [](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
            ++*sink;
            return 0;
        },
        nullptr);
    PostMessageA(h, 2000, 0, 0);
    VekDestroyWindow(h);
    VekPumpMessages(0);
    EXPECT_EQ(calls, 0);
}

TEST(MessageWindowTest, SendOnTheOwnerThreadIsADirectCall)
{
    const HWND h =
        VekCreateWindow([](HWND, UINT, WPARAM w, LPARAM) -> LRESULT { return static_cast<LRESULT>(w * 2); }, nullptr);
    EXPECT_EQ(SendMessageA(h, 2000, 21, 0), 42);
    VekDestroyWindow(h);
}

TEST(MessageWindowTest, SendFromAnotherThreadRunsOnTheOwnerAndWaits)
{
    static std::thread::id ranOn;
    const HWND h = VekCreateWindow(
        [](HWND, UINT, WPARAM w, LPARAM) -> LRESULT {
            ranOn = std::this_thread::get_id();
            return static_cast<LRESULT>(w + 1);
        },
        nullptr);
    std::atomic<LRESULT> result{0}; // read here while the sender writes it
    std::thread sender([&] { result = SendMessageA(h, 2000, 41, 0); });
    while (result == 0)
        VekPumpMessages(10);
    sender.join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    VekDestroyWindow(h);
}

TEST(MessageWindowTest, PumpWithTimeoutReturnsZeroWhenNothingCame)
{
    CaptureWindow w; // makes sure this thread has a queue
    EXPECT_EQ(VekPumpMessages(1), 0);
}

TEST(PathsTest, PortDeviceMapAndEnvironmentOverride)
{
    EXPECT_EQ(VekSetPortDevice(0, "/dev/x"), 0);
    ASSERT_EQ(VekSetPortDevice(7, "/dev/ttyUSB3"), 1);
    EXPECT_EQ(PortDevicePath(7), "/dev/ttyUSB3");
    setenv("VEK_COM7", "/dev/pts/99", 1);
    EXPECT_EQ(PortDevicePath(7), "/dev/pts/99");
    unsetenv("VEK_COM7");
    VekSetPortDevice(7, nullptr);
    EXPECT_EQ(PortDevicePath(7), "/dev/ttyS6");
    EXPECT_EQ(PortDevicePath(0), "");
    EXPECT_EQ(PortDevicePath(-1), "");
}

TEST(PathsTest, DataFolderEndsWithASlash)
{
    VekSetDataFolder("/tmp/vekdata");
    EXPECT_EQ(DataFolder(), "/tmp/vekdata/");
    VekSetDataFolder(nullptr);
    EXPECT_EQ(DataFolder().back(), '/');
}

} // namespace
} // namespace vek::test

namespace vek::test {
namespace {

// Handles are issued from a table here, so a request handle the host freed,
// or one it never had, is recognised and left alone.
TEST(HostApiHandles, AddPoolTakesNoRequestFromAFreedOrNeverIssuedHandle)
{
    DialogHarness h;
    h.OpenPort();
    h.Dlg().m_nLinkMode = 2;
    const HGLOBAL stale = GlobalAlloc(GMEM_MOVEABLE, 48);
    GlobalFree(stale);
    EXPECT_EQ(AddPool(h.Dlg(), stale), 0);
    EXPECT_EQ(AddPool(h.Dlg(), 0x7FFFFFF0), 0) << "never issued";
    EXPECT_TRUE(h.DialogWindow().Drain().empty()) << "nothing posted";
}

} // namespace
} // namespace vek::test
