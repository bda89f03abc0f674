#include "link/RequestQueue.h"

#include <algorithm>

namespace vek {

std::deque<std::unique_ptr<CPool>> g_requestQueue;

CriticalSection g_csQueue;
CriticalSection g_csReceive;
CriticalSection g_csPort;

Event g_evQueue(Event::Kind::ManualReset);
Event g_evStop(Event::Kind::AutoReset);
Event g_evModemDone(Event::Kind::ManualReset);
Event g_evPacketComplete(Event::Kind::ManualReset);
Event g_evBytesArrived(Event::Kind::ManualReset);
Event g_evRxSilence(Event::Kind::ManualReset);

std::string g_strModemResponse;

void ResetQueueEvent()
{
    g_evQueue.Reset();
    if (g_evStop.IsSet())
        g_evQueue.Set();
}

void QueueAppend(std::unique_ptr<CPool> step, bool setEvent)
{
    CSingleLock lock(g_csQueue);
    g_requestQueue.push_back(std::move(step));
    if (setEvent)
        g_evQueue.Set();
}

void QueueInsertHead(std::unique_ptr<CPool> step, bool setEvent)
{
    CSingleLock lock(g_csQueue);
    g_requestQueue.push_front(std::move(step));
    if (setEvent)
        g_evQueue.Set();
}

std::unique_ptr<CPool> QueueTakeHead()
{
    CSingleLock lock(g_csQueue);
    if (g_requestQueue.empty()) {
        ResetQueueEvent();
        return nullptr;
    }
    auto step = std::move(g_requestQueue.front());
    g_requestQueue.pop_front();
    return step;
}

size_t QueueCount()
{
    CSingleLock lock(g_csQueue);
    return g_requestQueue.size();
}

void QueueClear()
{
    CSingleLock lock(g_csQueue);
    g_requestQueue.clear();
}

void QueueCutToHead()
{
    CSingleLock lock(g_csQueue);
    if (g_requestQueue.size() <= 1)
        return;
    // A request the host was given 1 for must still end in its outcome.
    std::erase_if(g_requestQueue, [head = g_requestQueue.front().get()](const auto& step) {
        return step.get() != head && !(step && step->m_bHostRequest);
    });
}

bool QueueHoldsHostRequest()
{
    CSingleLock lock(g_csQueue);
    return std::any_of(g_requestQueue.begin(), g_requestQueue.end(),
                       [](const auto& step) { return step && step->m_bHostRequest; });
}

} // namespace vek
