// What a Library is inside: the host thread that calls VEKComm2_Init, pumps
// its messages and runs every export, the session it drives, and the
// callback thread. Any thread may post work; the host thread runs it.
#pragma once

#include "Dispatcher.h"
#include "Session.h"

#include "vek/client.hpp"
#include "vek_host.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vek::internal {

class Core {
public:
    // Starts both threads and the library; throws Error when it cannot.
    explicit Core(LibraryOptions options);
    ~Core();
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    // Hangs up, stops the library and joins the threads; once.
    void Stop();
    // Runs work on the host thread with the session; false once stopped
    // (the work is not run).
    bool Post(std::function<void(Session&)> work);
    // Runs work on the callback thread, in order with the events.
    void Deliver(std::function<void()> work) { m_callbacks.Post(std::move(work)); }
    // A blocking member called where it would wait for itself.
    void CheckMayBlock() const;
    bool OnCallbackThread() const { return m_callbacks.OnThread(); }

private:
    void HostMain(std::promise<std::string>& started);
    bool StartLibrary(std::string& error);
    void Loop();
    void StopLibrary();
    void RunTasks();
    void DrainTrace();
    void OnNotification(int code, LPARAM lParam);
    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Runs on library threads: only queues the line for the host thread.
    static void OnTraceLine(const char* line, void* context);

    LibraryOptions m_options;
    std::chrono::steady_clock::time_point m_start;
    Dispatcher m_callbacks;
    std::thread m_host;                      // started and joined by the owner
    std::atomic<std::thread::id> m_hostId{}; // written by the host thread at its start
    std::atomic<bool> m_stopRequested{false};
    std::once_flag m_stopOnce;

    std::mutex m_taskMutex; // guards m_tasks and m_accepting
    std::vector<std::function<void(Session&)>> m_tasks;
    bool m_accepting = false;
    std::atomic<HWND> m_window{0}; // set by the host thread before it accepts work

    std::mutex m_traceMutex; // guards m_traceLines
    std::vector<std::string> m_traceLines;

    std::unique_ptr<Session> m_session; // host thread only
};

} // namespace vek::internal
