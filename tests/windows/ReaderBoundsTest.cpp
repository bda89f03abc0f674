// Waits on the Windows port's I/O and reader thread end within their bounds:
// a cancelled operation the driver keeps is abandoned to it, a thread that
// does not end in time is let go, and everything that does end is collected.
#include "serial/win/BoundedThread.h"
#include "serial/win/IoBlock.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>

namespace vek {
namespace {

using Clock = std::chrono::steady_clock;

// Both ends of an overlapped named pipe, standing in for a port whose
// driver honours cancels.
struct Pipe {
    Pipe()
    {
        const std::string name = "\\\\.\\pipe\\vek-bounds-" + std::to_string(GetCurrentProcessId());
        server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE, 1, 4096,
                                  4096, 0, nullptr);
        client = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~Pipe()
    {
        CloseHandle(client);
        CloseHandle(server);
    }
    bool Valid() const { return server != INVALID_HANDLE_VALUE && client != INVALID_HANDLE_VALUE; }

    HANDLE server = INVALID_HANDLE_VALUE;
    HANDLE client = INVALID_HANDLE_VALUE;
};

// A read left pending on the pipe.
std::unique_ptr<IoBlock> PendingRead(HANDLE port)
{
    auto io = std::make_unique<IoBlock>();
    io->buffer.resize(16);
    io->Arm();
    DWORD got = 0;
    const BOOL done = ReadFile(port, io->buffer.data(), 16, &got, &io->ov);
    EXPECT_FALSE(done);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    return io;
}

TEST(IoBlockTest, ACancelledOperationIsCollectedOrAbandonedWithinTheBound)
{
    Pipe pipe;
    ASSERT_TRUE(pipe.Valid());
    struct Case {
        const char* name;
        bool dataArrives; // the read completes before the cancel
        bool driverKeeps; // the driver never gives the operation back
        Cancelled expected;
        DWORD transferred;
    };
    const Case cases[] = {
        {"honoured cancel", false, false, Cancelled::Aborted, 0},
        {"finished before the cancel", true, false, Cancelled::Completed, 5},
        {"kept by the driver", false, true, Cancelled::Abandoned, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<IoBlock> io;
        if (c.driverKeeps) {
            // What a driver that ignores the cancel leaves: still pending,
            // its event never set.
            io = std::make_unique<IoBlock>();
            io->Arm();
            io->ov.Internal = static_cast<ULONG_PTR>(0x103); // STATUS_PENDING
        } else {
            io = PendingRead(pipe.server);
        }
        if (c.dataArrives) {
            DWORD put = 0;
            ASSERT_TRUE(WriteFile(pipe.client, "hello", 5, &put, nullptr));
            ASSERT_EQ(WaitForSingleObject(io->ov.hEvent, 5000), WAIT_OBJECT_0);
        }
        IoBlock* const block = io.get();
        const auto start = Clock::now();
        DWORD transferred = 99;
        const Cancelled end = CancelAndCollect(pipe.server, io, 50, transferred);
        EXPECT_EQ(end, c.expected);
        EXPECT_EQ(transferred, c.transferred);
        // Kept: the block is handed over, not freed, and the wait took the bound.
        EXPECT_EQ(io == nullptr, c.driverKeeps);
        if (c.driverKeeps) {
            EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(40));
            delete block; // no real driver holds this one
        }
    }
}

// An event the test sets, and one the body sets when it has ended.
struct Gate {
    Gate() : open(CreateEventA(nullptr, TRUE, FALSE, nullptr)), passed(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Gate()
    {
        CloseHandle(open);
        CloseHandle(passed);
    }
    HANDLE open;
    HANDLE passed;
};

TEST(BoundedThreadTest, AThreadThatEndsInTimeIsJoined)
{
    BoundedThread thread;
    EXPECT_TRUE(thread.Stop(0)) << "nothing runs: nothing to wait for";
    std::atomic<int> runs{0};
    ASSERT_TRUE(thread.Start([&runs] { ++runs; }));
    EXPECT_FALSE(thread.Start([&runs] { ++runs; })) << "one thread at a time";
    EXPECT_TRUE(thread.Stop(INFINITE));
    EXPECT_FALSE(thread.Running());
    EXPECT_EQ(runs.load(), 1);
    // Startable again once stopped.
    ASSERT_TRUE(thread.Start([&runs] { ++runs; }));
    EXPECT_TRUE(thread.Stop(5000));
    EXPECT_EQ(runs.load(), 2);
}

TEST(BoundedThreadTest, AThreadStuckPastTheBoundIsLetGoAndEndsOnItsOwn)
{
    Gate gate;
    BoundedThread thread;
    ASSERT_TRUE(thread.Start([&gate] {
        WaitForSingleObject(gate.open, INFINITE);
        SetEvent(gate.passed);
    }));
    const auto start = Clock::now();
    EXPECT_FALSE(thread.Stop(50));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(40));
    EXPECT_FALSE(thread.Running()) << "let go, not still owned";
    // The stuck thread ends later by itself, with what it shares still there.
    EXPECT_EQ(WaitForSingleObject(gate.passed, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(gate.open);
    EXPECT_EQ(WaitForSingleObject(gate.passed, 10000), WAIT_OBJECT_0);
    // And the object can run a new thread.
    std::atomic<bool> ran{false};
    ASSERT_TRUE(thread.Start([&ran] { ran = true; }));
    EXPECT_TRUE(thread.Stop(INFINITE));
    EXPECT_TRUE(ran.load());
}

} // namespace
} // namespace vek
