#include "platform/Thread.h"

#include "platform/ModuleLifetime.h"

namespace vek {

void WorkerThread::Start(std::function<void()> body, bool timeCritical)
{
    m_thread = std::thread([body = std::move(body), timeCritical] {
        if (timeCritical)
            SetTimeCriticalPriority();
        body();
    });
}

WorkerThread::~WorkerThread()
{
    // At process end the system has already ended the thread: waiting for it
    // could hang, and a joinable std::thread may not be destroyed, so its
    // handle is left behind unreleased.
    if (ProcessIsEnding() && m_thread.joinable()) {
        new std::thread(std::move(m_thread));
        return;
    }
    Join();
}

void WorkerThread::Join()
{
    if (m_thread.joinable() && !IsCurrent())
        m_thread.join();
}

} // namespace vek
