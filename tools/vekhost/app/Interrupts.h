// Ctrl-C and SIGTERM for a run on vek_client: the signals are taken by a
// thread of their own (sigwait), never by a handler, so that they can cancel
// the library's waits. The first ends the waits and lets the line be put
// back on hook; a second ends that wait too; a third leaves at once.
#pragma once

#include "vekhost/ExitCodes.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

namespace vekhost {

// Blocks the signals in the calling thread and in every thread it starts from
// now on: call it before any thread starts, so that the watcher alone takes
// them.
void BlockInterrupts();

class Interrupts {
public:
    // Blocks the signals in the calling thread (and so in every thread it
    // starts from now on), then starts the watcher.
    Interrupts();
    ~Interrupts();
    Interrupts(const Interrupts&) = delete;
    Interrupts& operator=(const Interrupts&) = delete;

    // What a signal cancels; empty: nothing yet.
    void SetCancel(std::function<void()> cancel);
    // After the first signal the hang-up gets this long before it is
    // cancelled as well.
    void SetHangUpGrace(std::chrono::milliseconds grace) { m_graceMs = grace.count(); }
    bool Interrupted() const { return m_first.load() != 0; }
    // 130 after Ctrl-C, 143 after SIGTERM.
    ExitCode Exit() const;

private:
    void Watch();
    void Cancel();

    std::atomic<int> m_first{0}; // the first signal, 0 before
    std::atomic<long long> m_graceMs{15000};
    std::mutex m_mutex; // guards m_cancel
    std::function<void()> m_cancel;
    std::thread m_watcher;
};

} // namespace vekhost
