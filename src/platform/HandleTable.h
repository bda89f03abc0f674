// 32-bit handles issued from a table, never pointers. Handles are not reused
// until the counter wraps, so a stale handle finds nothing.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace vek {

template <typename T> class HandleTable {
public:
    // Stores the object and returns its handle (never 0).
    uint32_t Add(std::shared_ptr<T> object)
    {
        std::lock_guard lock(m_mutex);
        do {
            ++m_next;
        } while (m_next == 0 || m_entries.count(m_next) != 0);
        m_entries.emplace(m_next, std::move(object));
        return m_next;
    }

    std::shared_ptr<T> Find(uint32_t handle) const
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_entries.find(handle);
        return it == m_entries.end() ? nullptr : it->second;
    }

    std::shared_ptr<T> Remove(uint32_t handle)
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_entries.find(handle);
        if (it == m_entries.end())
            return nullptr;
        auto object = std::move(it->second);
        m_entries.erase(it);
        return object;
    }

    size_t Size() const
    {
        std::lock_guard lock(m_mutex);
        return m_entries.size();
    }

private:
    mutable std::mutex m_mutex;
    uint32_t m_next = 0;
    std::map<uint32_t, std::shared_ptr<T>> m_entries;
};

} // namespace vek
