// Pacing accuracy of the send path on a pseudo-terminal, as the peer sees
// it: how much longer than the rule's pause each gap between bytes is.
//   T1: modem command text on an extended modem, 40 ms per character.
//   P4: link mode 3 with panel type 0, 80 ms per byte.
#include "dialog/CCommStatusDlg.h"
#include "modem/CModemSettings.h"
#include "platform/Thread.h"
#include "serial/TermiosDevice.h"

#include <benchmark/benchmark.h>

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include "BenchStats.h"

#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

using vek::bench::Percentile;

// Sends one step through SendString and returns the peer's gaps, in ms,
// minus the expected pause.
std::vector<double> MeasureOvershoot(const vek::CPool& step, double pauseMs, int32_t linkMode)
{
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return {};
    vek::CModemSettings modems;
    modems.ResetToDefault();
    modems.GetCurrentModem()->m_dwFlags = vek::MODEM_EXTENDED;
    auto dlg = std::make_unique<vek::CCommStatusDlg>();
    dlg->m_pModemSettings = &modems;
    dlg->m_nCurrentBaudRate = 9600;
    dlg->m_nLinkMode = linkMode;
    dlg->m_commCtrl.Create(std::make_unique<vek::TermiosDevice>());
    VekSetPortDevice(30, name);
    dlg->m_commCtrl.SetCommPort(30);
    dlg->m_commCtrl.SetSettings("9600,N,8,2");
    dlg->m_commCtrl.SetPortOpen(true);

    std::vector<Clock::time_point> arrivals;
    std::atomic<bool> stop{false};
    std::thread peer([&] {
        vek::SetTimeCriticalPriority();
        while (!stop) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 20) != 1)
                continue;
            uint8_t buf[64];
            const ssize_t n = ::read(master, buf, sizeof(buf));
            const auto now = Clock::now();
            for (ssize_t i = 0; i < n; ++i)
                arrivals.push_back(now);
        }
    });
    // The worker asks for time-critical priority too.
    std::thread sender([&] {
        vek::SetTimeCriticalPriority();
        dlg->SendString(step);
    });
    sender.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop = true;
    peer.join();
    dlg.reset();
    VekSetPortDevice(30, nullptr);
    ::close(slave);
    ::close(master);

    std::vector<double> overshoot;
    for (size_t i = 1; i < arrivals.size(); ++i)
        overshoot.push_back(std::chrono::duration<double, std::milli>(arrivals[i] - arrivals[i - 1]).count() - pauseMs);
    return overshoot;
}

void Report(benchmark::State& state, const std::vector<double>& all)
{
    state.counters["gaps"] = static_cast<double>(all.size());
    state.counters["median_overshoot_ms"] = Percentile(all, 0.5);
    state.counters["p99_overshoot_ms"] = Percentile(all, 0.99);
    state.counters["max_overshoot_ms"] = Percentile(all, 1.0);
}

void BM_PacingT1ModemText40ms(benchmark::State& state)
{
    std::vector<double> all;
    const std::string text(50, 'A');
    for (auto _ : state) {
        const vek::CPool step(text, vek::STEP_MODEM, 0, vek::CODE_NONE, 0, 0);
        const auto o = MeasureOvershoot(step, 40.0, 0);
        all.insert(all.end(), o.begin(), o.end());
    }
    Report(state, all);
}
BENCHMARK(BM_PacingT1ModemText40ms)->Iterations(8)->Unit(benchmark::kMillisecond);

void BM_PacingP4LinkMode3_80ms(benchmark::State& state)
{
    std::vector<double> all;
    const vek::ByteArray frame(25, 0x5A);
    for (auto _ : state) {
        const vek::CPool step(frame, vek::STEP_PACKET, 0, vek::CODE_NONE, 0);
        const auto o = MeasureOvershoot(step, 80.0, 3);
        all.insert(all.end(), o.begin(), o.end());
    }
    Report(state, all);
}
BENCHMARK(BM_PacingP4LinkMode3_80ms)->Iterations(8)->Unit(benchmark::kMillisecond);

} // namespace
