// A thread whose end can be waited for with a bound. One that has not ended
// in time is let go (detached) instead of waited for without end: a thread
// stuck in a driver must not take the host's thread with it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <thread>

namespace vek {

class BoundedThread {
public:
    BoundedThread() = default;
    // Joins a thread nobody stopped, without a bound.
    ~BoundedThread();
    BoundedThread(const BoundedThread&) = delete;
    BoundedThread& operator=(const BoundedThread&) = delete;

    // False when the thread could not be made.
    bool Start(std::function<void()> body);
    // Waits at most boundMs for the body to end. True when it did (or no
    // thread runs) and the thread is joined; false when it was let go.
    bool Stop(DWORD boundMs);
    bool Running() const { return m_thread.joinable(); }

private:
    std::thread m_thread;
    // Set by the body as its last act. Shared with the thread, which keeps it
    // open after being let go.
    std::shared_ptr<void> m_ended;
};

} // namespace vek
