// Receive latency on a pseudo-terminal: from the peer writing the last byte
// of "OK\r\n" to the thread waiting for the modem result waking up. The path
// is the reader thread, the posted event, the dialog's handler on its own
// pumping thread, the recogniser and the event.
#include "dialog/CCommStatusDlg.h"
#include "link/RequestQueue.h"
#include "modem/CModemSettings.h"
#include "platform/Thread.h"
#include "serial/TermiosDevice.h"

#include <benchmark/benchmark.h>

#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include "BenchStats.h"

#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

using vek::bench::Percentile;

LRESULT DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    auto* dlg = static_cast<vek::CCommStatusDlg*>(VekWindowContext(hwnd));
    if (dlg != nullptr && message == vek::WM_VEK_COMM_EVENT) {
        dlg->m_commCtrl.BeginEvent(static_cast<int16_t>(wParam));
        dlg->OnCommEvent();
    }
    return 0;
}

void BM_ReceiveLatencyOkToWorker(benchmark::State& state)
{
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    vek::CModemSettings modems;
    modems.ResetToDefault();
    auto dlg = std::make_unique<vek::CCommStatusDlg>();
    dlg->m_pModemSettings = &modems;
    dlg->m_commCtrl.Create(std::make_unique<vek::TermiosDevice>());
    dlg->m_commCtrl.SetRThreshold(1);
    VekSetPortDevice(31, name);
    dlg->m_commCtrl.SetCommPort(31);
    dlg->m_commCtrl.SetSettings("115200,N,8,2");
    dlg->m_commCtrl.SetPortOpen(true);

    // The dialog's thread: owns the window and pumps.
    std::atomic<bool> stop{false};
    std::promise<void> ready;
    std::thread dialogThread([&] {
        dlg->m_hWnd = VekCreateWindow(&DialogProc, dlg.get());
        dlg->m_commCtrl.SetEventWindow(dlg->m_hWnd);
        ready.set_value();
        while (!stop)
            VekPumpMessages(20);
        VekDestroyWindow(dlg->m_hWnd);
    });
    ready.get_future().wait();
    vek::SetTimeCriticalPriority(); // this thread plays the worker

    std::vector<double> latencies;
    for (auto _ : state) {
        {
            vek::CSingleLock lock(vek::g_csReceive);
            vek::g_strModemResponse.clear();
        }
        vek::g_evModemDone.Reset();
        vek::g_evPacketComplete.Set();
        std::atomic<int64_t> sentAt{0};
        std::thread peer([&] {
            (void)!::write(master, "\r\nO", 3);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            sentAt = Clock::now().time_since_epoch().count();
            (void)!::write(master, "K\r\n", 3);
        });
        const bool woke = vek::WaitForEvent(vek::g_evModemDone, 2000) != vek::WaitResult::Timeout;
        const auto wokeAt = Clock::now().time_since_epoch().count();
        peer.join();
        if (!woke) {
            state.SkipWithError("no modem result");
            break;
        }
        latencies.push_back(static_cast<double>(wokeAt - sentAt.load()) / 1e6);
    }
    stop = true;
    dialogThread.join();
    dlg.reset();
    VekSetPortDevice(31, nullptr);
    ::close(slave);
    ::close(master);
    state.counters["median_latency_ms"] = Percentile(latencies, 0.5);
    state.counters["p99_latency_ms"] = Percentile(latencies, 0.99);
    state.counters["max_latency_ms"] = Percentile(latencies, 1.0);
}
BENCHMARK(BM_ReceiveLatencyOkToWorker)->Iterations(500)->Unit(benchmark::kMillisecond);

} // namespace
