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

void WriteLine(std::string_view text)
{
    TraceFile& t = Trace();
    std::lock_guard lock(t.mutex);
    if (t.file == nullptr)
        return;
    std::fprintf(t.file, "%10llu %.*s\n", static_cast<unsigned long long>(NowMs()), static_cast<int>(text.size()),
                 text.data());
    std::fflush(t.file);
}

} // namespace

bool TraceEnabled() { return Trace().file.load(std::memory_order_relaxed) != nullptr; }

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

} // namespace vek
