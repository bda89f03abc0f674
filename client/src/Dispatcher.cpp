#include "Dispatcher.h"

#include <cstdio>
#include <exception>

namespace vek::internal {

void Dispatcher::Start()
{
    m_thread = std::thread([this] { Run(); });
    m_id = m_thread.get_id();
}

void Dispatcher::Post(std::function<void()> work)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stop)
            return;
        m_queue.push_back(std::move(work));
    }
    m_wake.notify_one();
}

void Dispatcher::StopAndJoin()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void Dispatcher::Run()
{
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_queue.empty())
                return; // stopped, and everything posted before has run
            work = std::move(m_queue.front());
            m_queue.pop_front();
        }
        // A callback that throws must not take the host's other callbacks
        // with it.
        try {
            work();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "vek_client: a callback threw: %s\n", e.what());
        } catch (...) {
            std::fprintf(stderr, "vek_client: a callback threw\n");
        }
    }
}

} // namespace vek::internal
