#include "platform/Thread.h"

namespace vek {

void WorkerThread::Start(std::function<void()> body, bool timeCritical)
{
    m_thread = std::thread([body = std::move(body), timeCritical] {
        if (timeCritical)
            SetTimeCriticalPriority();
        body();
    });
}

void WorkerThread::Join()
{
    if (m_thread.joinable() && !IsCurrent())
        m_thread.join();
}

} // namespace vek
