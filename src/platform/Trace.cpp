#include "platform/Trace.h"

#include "platform/Clock.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace vek {
namespace {

struct TraceFile {
    TraceFile()
    {
        const char* path = std::getenv("VEK_TRACE");
        if (path != nullptr && *path != '\0')
            file = std::fopen(path, "a");
    }
    ~TraceFile()
    {
        if (file != nullptr)
            std::fclose(file.load());
    }
    std::mutex mutex;
    std::atomic<std::FILE*> file{nullptr};
};

TraceFile& Trace()
{
    static TraceFile trace;
    return trace;
}

// The host's copy of every line; the hook and its context change together.
struct HostHook {
    TraceHook hook = nullptr;
    void* context = nullptr;
};
std::mutex g_hookMutex;
HostHook g_hook;
std::atomic<bool> g_hookSet{false};

void WriteLine(std::string_view text)
{
    char line[64];
    const int head = std::snprintf(line, sizeof line, "%10llu ", static_cast<unsigned long long>(NowMs()));
    std::string whole(line, static_cast<size_t>(head));
    whole.append(text);
    TraceFile& t = Trace();
    {
        std::lock_guard lock(t.mutex);
        if (t.file != nullptr) {
            std::fprintf(t.file, "%s\n", whole.c_str());
            std::fflush(t.file);
        }
    }
    if (g_hookSet.load(std::memory_order_acquire)) {
        HostHook hook;
        {
            std::lock_guard lock(g_hookMutex);
            hook = g_hook;
        }
        // Outside every lock: the host's code runs as it likes.
        if (hook.hook != nullptr)
            hook.hook(whole.c_str(), hook.context);
    }
}

} // namespace

bool TraceEnabled()
{
    return Trace().file.load(std::memory_order_relaxed) != nullptr || g_hookSet.load(std::memory_order_relaxed);
}

void SetTracePath(const char* path)
{
    TraceFile& t = Trace();
    std::lock_guard lock(t.mutex);
    if (t.file != nullptr)
        std::fclose(t.file);
    t.file = path != nullptr ? std::fopen(path, "a") : nullptr;
}

void TraceBytes(std::string_view direction, std::span<const uint8_t> bytes)
{
    if (!TraceEnabled())
        return;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line(direction);
    for (const uint8_t b : bytes) {
        line += ' ';
        line += kHex[b >> 4];
        line += kHex[b & 0xF];
    }
    WriteLine(line);
}

void TraceLine(std::string_view text)
{
    if (TraceEnabled())
        WriteLine(text);
}

void SetTraceHook(TraceHook hook, void* context)
{
    std::lock_guard lock(g_hookMutex);
    g_hook = {hook, hook != nullptr ? context : nullptr};
    g_hookSet.store(hook != nullptr, std::memory_order_release);
}

} // namespace vek
