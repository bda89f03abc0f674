#include "Interrupts.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <pthread.h>

namespace vekhost {
namespace {

// Ends the watcher when the run is over.
constexpr int kStopSignal = SIGUSR2;

sigset_t WatchedSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, kStopSignal);
    return set;
}

} // namespace

void BlockInterrupts()
{
    const sigset_t set = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

Interrupts::Interrupts()
{
    BlockInterrupts();
    m_watcher = std::thread([this] { Watch(); });
}

Interrupts::~Interrupts()
{
    pthread_kill(m_watcher.native_handle(), kStopSignal);
    m_watcher.join();
}

void Interrupts::SetCancel(std::function<void()> cancel)
{
    std::lock_guard lock(m_mutex);
    m_cancel = std::move(cancel);
}

ExitCode Interrupts::Exit() const { return m_first.load() == SIGTERM ? ExitCode::Terminated : ExitCode::Interrupted; }

void Interrupts::Cancel()
{
    std::lock_guard lock(m_mutex);
    if (m_cancel)
        m_cancel();
}

void Interrupts::Watch()
{
    const sigset_t set = WatchedSignals();
    int count = 0;
    for (;;) {
        int signal = 0;
        if (count == 1) {
            // The hang-up after the first signal is bounded: a dead line would
            // keep a service manager waiting.
            const long long ms = m_graceMs.load();
            const timespec grace{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
            signal = sigtimedwait(&set, nullptr, &grace);
            if (signal < 0) {
                ++count;
                Cancel();
                continue;
            }
        } else if (sigwait(&set, &signal) != 0) {
            continue;
        }
        if (signal == kStopSignal)
            return;
        if (m_first.load() == 0)
            m_first = signal;
        ++count;
        if (count >= 3)
            std::_Exit(128 + m_first.load());
        Cancel();
    }
}

} // namespace vekhost
