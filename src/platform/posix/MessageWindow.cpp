// Hidden message windows owned by a thread, with posted and sent messages.
#include "platform/MessageWindow.h"
#include "platform/HandleTable.h"
#include "platform/WindowOwner.h"
#include "vek_host.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace vek {
namespace {

// A message sent from another thread: the sender waits for the result.
struct SentCall {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    LRESULT result = 0;
};

struct QueuedMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::shared_ptr<SentCall> sent; // null for posted messages
};

struct ThreadQueue {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<QueuedMessage> messages;
};

struct Window {
    WNDPROC proc;
    void* context;
    std::thread::id owner;
    std::shared_ptr<ThreadQueue> queue;
};

HandleTable<Window>& Windows()
{
    static HandleTable<Window> table;
    return table;
}

std::shared_ptr<ThreadQueue> QueueOf(std::thread::id thread)
{
    static std::mutex mutex;
    static std::map<std::thread::id, std::shared_ptr<ThreadQueue>> queues;
    std::lock_guard lock(mutex);
    auto& queue = queues[thread];
    if (!queue)
        queue = std::make_shared<ThreadQueue>();
    return queue;
}

void Enqueue(const std::shared_ptr<ThreadQueue>& queue, QueuedMessage msg)
{
    {
        std::lock_guard lock(queue->mutex);
        queue->messages.push_back(std::move(msg));
    }
    queue->arrived.notify_all();
}

void Finish(SentCall& call, LRESULT result)
{
    {
        std::lock_guard lock(call.mutex);
        call.result = result;
        call.finished = true;
    }
    call.done.notify_all();
}

void Dispatch(const QueuedMessage& msg)
{
    const auto window = Windows().Find(msg.hwnd);
    // A window destroyed while its messages waited gets none of them.
    const LRESULT result = window ? window->proc(msg.hwnd, msg.message, msg.wParam, msg.lParam) : 0;
    if (msg.sent)
        Finish(*msg.sent, result);
}

} // namespace

bool IsWindowOwnerThread(HWND hwnd)
{
    const auto window = Windows().Find(hwnd);
    return window && window->owner == std::this_thread::get_id();
}

} // namespace vek

using namespace vek;

extern "C" {

HWND VekCreateWindow(WNDPROC proc, void* context)
{
    if (proc == nullptr)
        return 0;
    const auto owner = std::this_thread::get_id();
    return Windows().Add(std::make_shared<Window>(Window{proc, context, owner, QueueOf(owner)}));
}

void* VekWindowContext(HWND hwnd)
{
    const auto window = Windows().Find(hwnd);
    return window ? window->context : nullptr;
}

int VekDestroyWindow(HWND hwnd) { return Windows().Remove(hwnd) ? 1 : 0; }

int PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto window = Windows().Find(hwnd);
    if (!window)
        return 0;
    Enqueue(window->queue, {hwnd, message, wParam, lParam, nullptr});
    return 1;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto window = Windows().Find(hwnd);
    if (!window)
        return 0;
    if (window->owner == std::this_thread::get_id())
        return window->proc(hwnd, message, wParam, lParam);
    auto call = std::make_shared<SentCall>();
    Enqueue(window->queue, {hwnd, message, wParam, lParam, call});
    std::unique_lock lock(call->mutex);
    call->done.wait(lock, [&] { return call->finished; });
    return call->result;
}

int VekPumpMessages(int timeoutMs)
{
    const auto queue = QueueOf(std::this_thread::get_id());
    size_t ready = 0;
    {
        std::unique_lock lock(queue->mutex);
        const auto hasWork = [&] { return !queue->messages.empty(); };
        // A look without waiting costs no timed wait: the system would let
        // even a wait of nothing sleep for its timer slack.
        if (timeoutMs < 0)
            queue->arrived.wait(lock, hasWork);
        else if (timeoutMs > 0)
            queue->arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), hasWork);
        // Only what is queued now: a handler that posts to its own thread
        // must not keep this call going for ever.
        ready = queue->messages.size();
    }
    int dispatched = 0;
    for (; ready > 0; --ready) {
        QueuedMessage msg;
        {
            std::lock_guard lock(queue->mutex);
            if (queue->messages.empty())
                break;
            msg = std::move(queue->messages.front());
            queue->messages.pop_front();
        }
        Dispatch(msg);
        ++dispatched;
    }
    return dispatched;
}

} // extern "C"

namespace vek {

HWND CreateMessageWindow(HWND, MessageProc proc, void* context) { return VekCreateWindow(proc, context); }

void* MessageWindowContext(HWND hwnd) { return VekWindowContext(hwnd); }

void DestroyMessageWindow(HWND hwnd) { VekDestroyWindow(hwnd); }

int PumpMessages(int timeoutMs) { return VekPumpMessages(timeoutMs); }

} // namespace vek
