// Threads with best-effort time-critical priority.
#pragma once

#include <functional>
#include <thread>

namespace vek {

// Asks for real-time round-robin scheduling for the calling thread; quietly
// keeps the normal priority when the system refuses (or VEK_NO_RT is set).
void SetTimeCriticalPriority();

// A joinable thread. Time-critical threads ask for priority as they start.
class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void Start(std::function<void()> body, bool timeCritical);
    void Join();
    bool Joinable() const { return m_thread.joinable(); }
    bool IsCurrent() const { return m_thread.get_id() == std::this_thread::get_id(); }

private:
    std::thread m_thread;
};

} // namespace vek
