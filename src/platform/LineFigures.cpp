#include "platform/LineFigures.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace vek {
namespace {

std::atomic<uint64_t> g_bytesSent{0};
std::atomic<uint64_t> g_bytesReceived{0};
std::atomic<uint64_t> g_writes{0};
std::atomic<uint64_t> g_resends{0};

// The last write, to tell a resent frame; held only while comparing.
std::mutex g_lastWriteMutex;
std::vector<uint8_t> g_lastWrite;

} // namespace

void CountSent(std::span<const uint8_t> bytes)
{
    if (bytes.empty())
        return;
    g_bytesSent.fetch_add(bytes.size(), std::memory_order_relaxed);
    g_writes.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard lock(g_lastWriteMutex);
    // Single bytes are paced frames or fillers, never a whole frame again.
    if (bytes.size() > 1 && std::equal(bytes.begin(), bytes.end(), g_lastWrite.begin(), g_lastWrite.end()))
        g_resends.fetch_add(1, std::memory_order_relaxed);
    g_lastWrite.assign(bytes.begin(), bytes.end());
}

void CountUnsent(std::span<const uint8_t> bytes)
{
    if (bytes.empty())
        return;
    g_bytesSent.fetch_sub(bytes.size(), std::memory_order_relaxed);
    g_writes.fetch_sub(1, std::memory_order_relaxed);
}

void CountReceived(std::span<const uint8_t> bytes)
{
    g_bytesReceived.fetch_add(bytes.size(), std::memory_order_relaxed);
}

LineCounts CurrentLineCounts()
{
    return {g_bytesSent.load(std::memory_order_relaxed), g_bytesReceived.load(std::memory_order_relaxed),
            g_writes.load(std::memory_order_relaxed), g_resends.load(std::memory_order_relaxed)};
}

} // namespace vek
