#include "Core.h"

#include "Notifications.h"
#include "TraceLine.h"

#include "vek_comm2.h"

#include <algorithm>
#include <future>

namespace vek::internal {
namespace {

using namespace std::chrono_literals;

constexpr UINT kWakeMessage = WM_USER + 77;
constexpr int kPumpSliceMs = 50;
// The worker's last modem step is judged on the host thread: let it finish
// before the library stops, or the stop waits out the step's time-out.
constexpr int kQuietMs = 250;
constexpr auto kSettleLimit = 6s;

// The library behind the client is one per process.
std::atomic<bool> g_running{false};

Bytes TakeBlock(LPARAM lParam)
{
    const auto handle = static_cast<HGLOBAL>(lParam);
    Bytes bytes;
    if (const void* p = GlobalLock(handle)) {
        const auto* first = static_cast<const uint8_t*>(p);
        bytes.assign(first, first + GlobalSize(handle));
        GlobalUnlock(handle);
    }
    GlobalFree(handle);
    return bytes;
}

} // namespace

Core::Core(LibraryOptions options) : m_options(std::move(options)), m_start(std::chrono::steady_clock::now())
{
    if (g_running.exchange(true))
        throw UsageError(Cause::WrongState,
                         "a vek::Library already runs in this process (the library behind it is one per process)");
    m_callbacks.Start();
    std::promise<std::string> started;
    std::future<std::string> result = started.get_future();
    m_host = std::thread([this, &started] { HostMain(started); });
    const std::string error = result.get();
    if (error.empty())
        return;
    m_host.join();
    m_callbacks.StopAndJoin();
    g_running = false;
    throw CallError(Cause::LibraryStart, error);
}

Core::~Core() { Stop(); }

void Core::Stop()
{
    std::call_once(m_stopOnce, [this] {
        m_stopRequested = true;
        if (const HWND window = m_window.load(); window != 0)
            PostMessageA(window, kWakeMessage, 0, 0);
        if (m_host.joinable())
            m_host.join();
        // Completions posted by the stop run before the thread ends.
        m_callbacks.StopAndJoin();
        g_running = false;
    });
}

bool Core::Post(std::function<void(Session&)> work)
{
    {
        std::lock_guard lock(m_taskMutex);
        if (!m_accepting)
            return false;
        m_tasks.push_back(std::move(work));
    }
    PostMessageA(m_window.load(), kWakeMessage, 0, 0);
    return true;
}

void Core::CheckMayBlock() const
{
    if (m_callbacks.OnThread())
        throw UsageError(Cause::WrongState,
                         "a blocking call inside a callback would wait for itself; use the asynchronous form");
    if (std::this_thread::get_id() == m_hostId.load())
        throw UsageError(Cause::WrongState, "a blocking call on the library's own thread would wait for itself");
}

void Core::HostMain(std::promise<std::string>& started)
{
    m_hostId = std::this_thread::get_id();
    std::string error;
    if (!StartLibrary(error)) {
        started.set_value(error);
        return;
    }
    started.set_value({});
    Loop();
    StopLibrary();
}

bool Core::StartLibrary(std::string& error)
{
    const HWND window = VekCreateWindow(&Core::WindowProc, this);
    if (window == 0) {
        error = "the host window could not be made";
        return false;
    }
    if (!m_options.dataFolder.empty())
        VekSetDataFolder(m_options.dataFolder.c_str());
    VekSetTraceHook(&Core::OnTraceLine, this);
    if (VEKComm2_Init(window) != 1) {
        VekSetTraceHook(nullptr, nullptr);
        VekDestroyWindow(window);
        error = "the library did not start (VEKComm2_Init failed; a damaged Trv3.mdm in the data folder?)";
        return false;
    }
    m_session = std::make_unique<Session>(window, m_options, [this](std::function<void()> work) {
        m_callbacks.Post(std::move(work));
    });
    m_window = window;
    std::lock_guard lock(m_taskMutex);
    m_accepting = true;
    return true;
}

void Core::Loop()
{
    bool stopping = false;
    std::optional<std::chrono::steady_clock::time_point> stopDeadline;
    for (;;) {
        int wait = kPumpSliceMs;
        if (const auto next = m_session->NextDeadline()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*next - Clock::now()).count();
            wait = static_cast<int>(std::clamp<long long>(left, 0, kPumpSliceMs));
        }
        VekPumpMessages(wait);
        RunTasks();
        DrainTrace();
        m_session->Tick(Clock::now());
        if (m_stopRequested && !stopping) {
            stopping = true;
            {
                std::lock_guard lock(m_taskMutex);
                m_accepting = false;
            }
            RunTasks(); // what was posted before the stop fails with it
            m_session->BeginStop();
            stopDeadline = Clock::now() + m_options.hangUpTimeout.value_or(60s) + 5s;
        }
        if (stopping && (m_session->Quiet() || Clock::now() >= *stopDeadline))
            return;
    }
}

void Core::StopLibrary()
{
    const auto limit = Clock::now() + kSettleLimit;
    while (VekPumpMessages(kQuietMs) > 0 && Clock::now() < limit)
        DrainTrace();
    VEKComm2_Uninit();
    // The library's threads have ended: no line can arrive any more.
    VekSetTraceHook(nullptr, nullptr);
    // Blocks posted before the library stopped are still ours to free.
    while (VekPumpMessages(0) > 0) {
    }
    DrainTrace();
    m_session.reset();
    const HWND window = m_window.exchange(0);
    VekDestroyWindow(window);
    if (!m_options.dataFolder.empty())
        VekSetDataFolder(nullptr);
}

void Core::RunTasks()
{
    std::vector<std::function<void(Session&)>> tasks;
    {
        std::lock_guard lock(m_taskMutex);
        tasks.swap(m_tasks);
    }
    for (auto& task : tasks)
        task(*m_session);
}

void Core::DrainTrace()
{
    std::vector<std::string> lines;
    {
        std::lock_guard lock(m_traceMutex);
        lines.swap(m_traceLines);
    }
    for (const std::string& line : lines) {
        std::optional<TraceEntry> entry = ParseTraceLine(line);
        if (!entry)
            continue;
        if (m_session)
            m_session->OnTrace(*entry);
        if (m_options.onTrace)
            m_callbacks.Post([this, entry = std::move(*entry)] { m_options.onTrace(entry); });
    }
}

void Core::OnTraceLine(const char* line, void* context)
{
    auto* self = static_cast<Core*>(context);
    std::lock_guard lock(self->m_traceMutex);
    self->m_traceLines.emplace_back(line);
}

LRESULT Core::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<Core*>(VekWindowContext(hwnd));
    if (self == nullptr)
        return 0;
    if (message == VEK_WM_COMM_HOST_NOTIFY) {
        self->OnNotification(static_cast<int>(wParam), lParam);
    } else if (message == WM_COMMAND && wParam == VEK_CMD_IDLE_DISCONNECT) {
        if (self->m_options.onEvent) {
            Notification event;
            event.kind = Notification::Kind::IdleDisconnect;
            event.name = "idle disconnect";
            event.at = std::chrono::duration_cast<Milliseconds>(Clock::now() - self->m_start);
            self->m_callbacks.Post([self, event = std::move(event)] { self->m_options.onEvent(event); });
        }
        if (self->m_session)
            self->m_session->OnIdleDisconnect();
    } else if (message == kWakeMessage) {
        self->RunTasks();
    }
    return 0;
}

void Core::OnNotification(int code, LPARAM lParam)
{
    Bytes block;
    if (lParam != 0 && CarriesBlock(code))
        block = TakeBlock(lParam);
    // The bytes that explain a failure were traced before it was posted.
    DrainTrace();
    if (m_options.onEvent) {
        Notification event;
        event.code = code;
        event.name = NotificationName(code);
        event.at = std::chrono::duration_cast<Milliseconds>(Clock::now() - m_start);
        event.block = block;
        m_callbacks.Post([this, event = std::move(event)] { m_options.onEvent(event); });
    }
    if (m_session)
        m_session->OnNotification(code, block);
}

} // namespace vek::internal
