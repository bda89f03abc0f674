// Many whole calls in a row in one process, in turn through link modes 1, 2,
// 4 and 5, with byte faults on. Every call ends exactly once (its 8 and 9),
// and afterwards descriptors, threads and heap are where they were after the
// first call. CI runs a few calls; by hand as many as wanted:
//   VEK_SOAK_CALLS=500 ./build/tests/vek_tests --gtest_filter='SoakE2ETest.*'
#include "e2e/CallHarness.h"
#include "host/CComm2App.h"

#include <dirent.h>
#include <malloc.h>

#include <cstdlib>
#include <iostream>

namespace vek::test {
namespace {

size_t Entries(const char* folder)
{
    size_t n = 0;
    if (DIR* dir = ::opendir(folder)) {
        while (::readdir(dir) != nullptr)
            ++n;
        ::closedir(dir);
    }
    return n;
}

struct Usage {
    size_t descriptors;
    size_t threads;
    size_t heap;
};

Usage Now()
{
    const struct mallinfo2 heap = ::mallinfo2();
    return {Entries("/proc/self/fd"), Entries("/proc/self/task"), heap.uordblks};
}

class SoakE2ETest : public CallHarness {
protected:
    // One call on a fresh line: true when it ended with its 8 and 9.
    bool OneCall(int mode, uint32_t seed, int& sessions)
    {
        panelsim::Options options;
        options.panel.linkMode = mode;
        options.faults.corruptRate = 0.002;
        options.faults.onReceived = true;
        options.seed = seed;
        sim = std::make_unique<panelsim::Simulator>(options);
        if (!sim->Start())
            return false;
        sim->WriteMemory(kPatternAddress, memory);
        VekSetPortDevice(kCallPort, sim->SlavePath().c_str());
        record.Set16(VEK_PANEL_LINK_MODE, static_cast<uint16_t>(mode));
        // Only this call's notifications are kept, so the heap can be compared.
        Collect();
        notes.clear();
        m_cursor = 0;
        const size_t before = 0;
        if (VEKComm2_CommInit() != 1 || !WaitFor(9))
            return false;
        VEKComm2_PanelInit(record.Get(), "1234", "", 1);
        // The session opens (3), or a damaged identification ends the call.
        if (!PumpUntil([&] { return HeardSince(before, 3) || HeardSince(before, 8); }, 30000ms))
            return false;
        if (HeardSince(before, 3)) {
            ++sessions;
            AddPool('u', 0x52, kPatternAddress, {}, 16);
            PumpUntil([&] { return HeardSince(before, 6) || HeardSince(before, 27); }, 120000ms);
            VEKComm2_HangUp(0, 0);
        }
        // Exactly one end: the on-hook and the reset, once each.
        const bool ended = PumpUntil([&] { return CountSince(before, 8) >= 1 && CountSince(before, 9) >= 2; }, 60000ms);
        PumpUntil([] { return !theApp.m_pStatusDlg.load()->m_commCtrl.GetPortOpen(); }, 5000ms);
        PumpUntil([] { return false; }, 100ms);
        sim->Stop();
        // The 9 of CommInit, then the one of the end of the call.
        return ended && CountSince(before, 8) == 1 && CountSince(before, 9) == 2;
    }

    size_t CountSince(size_t from, WPARAM code)
    {
        Collect();
        size_t n = 0;
        for (size_t i = from; i < notes.size(); ++i)
            n += notes[i].code == code;
        return n;
    }
    bool HeardSince(size_t from, WPARAM code) { return CountSince(from, code) > 0; }
};

TEST_F(SoakE2ETest, ManyCallsEndOnceEachAndLeaveNothingBehind)
{
    const char* wanted = std::getenv("VEK_SOAK_CALLS");
    const int calls = wanted != nullptr ? std::atoi(wanted) : 6;
    constexpr int kModes[] = {2, 4, 5, 1};
    StartPanel({}); // only for the library's start; each call gets its own line
    sim->Stop();
    SetupModem();
    int sessions = 0;
    ASSERT_TRUE(OneCall(2, 1, sessions)) << CodesText();
    const Usage first = Now();
    for (int i = 1; i < calls; ++i)
        ASSERT_TRUE(OneCall(kModes[i % 4], static_cast<uint32_t>(i + 1), sessions)) << "call " << i << CodesText();
    const Usage last = Now();
    std::cout << calls << " calls, " << sessions << " sessions; descriptors " << first.descriptors << " -> "
              << last.descriptors << ", threads " << first.threads << " -> " << last.threads << ", heap " << first.heap
              << " -> " << last.heap << " bytes\n";
    EXPECT_EQ(last.descriptors, first.descriptors);
    EXPECT_EQ(last.threads, first.threads);
    // A little slack for the allocator: some hundred bytes a call so far.
    EXPECT_LT(last.heap, first.heap + 64 * 1024 + static_cast<size_t>(calls) * 512);
    EXPECT_GT(sessions, 0);
}

} // namespace
} // namespace vek::test
