#include "serial/win/BoundedThread.h"

namespace vek {

BoundedThread::~BoundedThread() { Stop(INFINITE); }

bool BoundedThread::Start(std::function<void()> body)
{
    if (Running())
        return false;
    HANDLE ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (ended == nullptr)
        return false;
    m_ended = std::shared_ptr<void>(ended, [](HANDLE h) { CloseHandle(h); });
    m_thread = std::thread([body = std::move(body), ended = m_ended] {
        body();
        SetEvent(ended.get());
    });
    return true;
}

bool BoundedThread::Stop(DWORD boundMs)
{
    if (!Running())
        return true;
    const bool ended = WaitForSingleObject(m_ended.get(), boundMs) == WAIT_OBJECT_0;
    if (ended)
        m_thread.join();
    else
        m_thread.detach();
    m_ended.reset();
    return ended;
}

} // namespace vek
