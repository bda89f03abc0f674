// Recursive lock: a step builder called with the queue lock held may take it
// again on the same thread.
#pragma once

#include <mutex>

namespace vek {

class CriticalSection {
public:
    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }
    std::recursive_mutex& Native() { return m_mutex; }

private:
    std::recursive_mutex m_mutex;
};

// Scoped holder of a CriticalSection.
class CSingleLock {
public:
    explicit CSingleLock(CriticalSection& cs) : m_cs(cs) { m_cs.Lock(); }
    ~CSingleLock() { m_cs.Unlock(); }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

private:
    CriticalSection& m_cs;
};

} // namespace vek
