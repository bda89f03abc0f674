// The thread that runs a host's callbacks (events, trace lines, progress,
// completions), one at a time and in the order they were posted, so that a
// slow callback never holds up the thread the library itself runs on.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace vek::internal {

class Dispatcher {
public:
    Dispatcher() = default;
    ~Dispatcher() { StopAndJoin(); }
    Dispatcher(const Dispatcher&) = delete;
    Dispatcher& operator=(const Dispatcher&) = delete;

    void Start();
    // Queues the work; after the stop it runs nothing.
    void Post(std::function<void()> work);
    // Runs what is queued, then ends the thread and joins it. Not from the
    // thread itself.
    void StopAndJoin();
    bool OnThread() const { return std::this_thread::get_id() == m_id.load(); }

private:
    void Run();

    std::mutex m_mutex; // guards m_queue and m_stop
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    bool m_stop = false;
    std::atomic<std::thread::id> m_id{}; // written by Start, read by any thread
    std::thread m_thread;                // Start and StopAndJoin only, on the owner's thread
};

} // namespace vek::internal
