// Whole calls on the manual clock, from random seeds: the worker's steps run
// on the test's thread against panelsim's modem and panel; while a step
// waits, the rest of the world moves on (the dialog's messages, the far end,
// the host, the faults). Whatever happens, every request the host was given
// 1 for ends in exactly one outcome, in order; every call that came up ends
// with 8 and 9 and a reset session; a line without faults is never lost.
//   VEK_CALL_SEEDS=1-5000 ./build/tests/vek_tests --gtest_filter='CallProperty.*'
#include "link/AddPool.h"
#include "link/CallPhase.h"
#include "link/CarrierWatch.h"
#include "link/CommThreadProc.h"
#include "link/QueueHangUp.h"
#include "link/RequestQueue.h"
#include "link/RestartAnswering.h"
#include "link/RxSilenceTimer.h"
#include "link/SessionState.h"
#include "link/StartCall.h"
#include "platform/Handles.h"
#include "platform/Paths.h"
#include "support/LinkTestSupport.h"

#include "Panel.h"
#include "panelsim/Modem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <random>

namespace vek::test {
namespace {

using Bytes = std::vector<uint8_t>;
// No call, however it goes, takes longer than this on the library's clock.
constexpr uint64_t kLimitMs = 10 * 60 * 1000;
// The modem's NO CARRIER (or the carrier's drop) ends the call within the
// reply silence (2.5 s at most) and a little more: 27, or 8 for a call
// already being ended.
constexpr uint64_t kLossNoticedMs = 3000;
panelsim::Time At(uint64_t ms) { return panelsim::Time{} + std::chrono::milliseconds(ms); }
uint64_t Ms(panelsim::Time t) { return static_cast<uint64_t>((t - panelsim::Time{}) / std::chrono::milliseconds(1)); }

enum class Link { Placed, Answered, Direct };
enum class Fault { None, Drop, Dips, Pauses, Silence };

struct Scenario {
    int mode = 2;
    Link link = Link::Placed;
    Fault fault = Fault::None;
    bool force = false;         // the call ends with a forced hang-up
    bool wordsInMemory = false; // the panel's memory spells the modem's words
    bool carrierWired = true;   // the port sees the modem's carrier detect line
    bool eager = false;         // the host adds work as soon as it has 90 or 13
    int requests = 3;
};

struct Request {
    bool refused; // more than a frame can carry: 97 in its turn
    bool read;
    uint16_t address;
    Bytes data; // written, or expected back
};

// The silence and carrier timers, kept by the world instead of their threads.
struct Timers {
    std::optional<uint64_t> silenceAt;
    uint32_t silenceMs = 0;
    std::optional<uint64_t> carrierAt;
};
Timers* g_timers = nullptr;

class World {
public:
    World(uint32_t seed, const Scenario& s)
        : m_rng(seed), m_s(s), m_clock(true), m_panel(PanelOptions(s), s.link == Link::Direct, m_seen, m_trace)
    {
        g_timers = &m_timers;
        SetSilenceTimerStarter([](uint32_t ms) {
            g_evBytesArrived.Reset();
            g_timers->silenceMs = ms;
            g_timers->silenceAt = NowMs() + ms;
        });
        SetSilenceTimerCanceller([] { g_timers->silenceAt.reset(); });
        SetCarrierTimerStarter([](uint32_t ms) { g_timers->carrierAt = NowMs() + ms; });
        if (s.link != Link::Direct)
            m_modem.emplace(panelsim::ModemOptions{});
        else
            m_panel.LineUp(At(0), false);
        m_panel.SetFillersAfterByte(0);
        if (const char* t = std::getenv("VEK_CALL_PANEL_TRACE"))
            m_trace.Open(t);
        Bytes fill;
        for (size_t i = 0; fill.size() < 0x1000; ++i)
            fill.push_back(s.wordsInMemory ? static_cast<uint8_t>("\r\nNO CARRIER\r\n"[i % 14])
                                           : static_cast<uint8_t>(i * 7));
        // Reads come from memory that is never written; each write has its
        // own. Frame bytes at or above 0x40 keep panelsim's search for a
        // repeated frame in its first 64 bytes from finding one by chance.
        m_panel.Memory().Write(0, fill);
        m_panel.Memory().Write(0x4000, fill);
        m_nextWrite = s.mode == 3 ? 0x80 : 0x8080;
        CModem& modem = *h.Modems().GetCurrentModem();
        modem.m_dwFlags = s.link == Link::Direct ? MODEM_PCLINK : 0;
        modem.m_nBaudRate = 9600;
        modem.m_nLineBaudRate = 9600;
        modem.m_strInit = "ATE0S12=10";
        modem.m_nAnswerRings = 1;
        record.Set16(VEK_PANEL_LINK_MODE, static_cast<uint16_t>(s.mode));
        record.Set16(VEK_PANEL_EXPECTED_TYPE, 19);
        record.Set16(VEK_PANEL_EXPECTED_VERSION, 2);
        record.Set16(VEK_PANEL_SECOND_SPEED, 9600);
        record.Set16(VEK_PANEL_DIRECT_SPEED, 9600);
        std::memcpy(record.Bytes() + VEK_PANEL_PHONE_NUMBER, "5551234", 8);
        h.Dlg().m_commCtrl.SetRThreshold(1);
        h.Dlg().m_commCtrl.SetEventWindow(h.DialogWindow().Handle());
        SetPortDevice(1, "/dev/null-scripted");
        m_clock.Clock().SetIdleHook([this](uint64_t deadline) { return Step(deadline); });
    }
    ~World()
    {
        m_clock.Clock().SetIdleHook(nullptr);
        SetSilenceTimerStarter(nullptr);
        SetSilenceTimerCanceller(nullptr);
        SetCarrierTimerStarter(nullptr);
        g_timers = nullptr;
        g_nEfficiency = 10;
    }

    // Runs the call to its end; false (with a reason) when a rule broke.
    ::testing::AssertionResult Run()
    {
        Begin();
        int idle = 0;
        for (int pass = 0; pass < 20000 && !m_done && m_failure.empty(); ++pass) {
            const uint64_t before = NowMs();
            const uint64_t events = m_events;
            WorkerPass(h.Dlg());
            Settle();
            idle = NowMs() == before && m_events == events ? idle + 1 : 0;
            if (idle > 3 && !Step(UINT64_MAX))
                Fail("stuck: nothing left to happen");
        }
        if (!m_done && m_failure.empty())
            Fail("the call did not end");
        if (!m_boxes.Texts().empty())
            Fail("a message box: " + m_boxes.Texts().front());
        if (NowMs() > kLimitMs)
            Fail("took " + std::to_string(NowMs() / 1000) + " s");
        if (!m_failure.empty())
            return ::testing::AssertionFailure() << m_failure << "; heard " << ::testing::PrintToString(m_codes);
        return ::testing::AssertionSuccess()
               << "heard " << ::testing::PrintToString(m_codes) << " in " << NowMs() << " ms";
    }

private:
    struct Action {
        enum Kind { LateRequest, Request, HangUp, ForceHangUp, Drop, Dip, CarrierBack, Silence };
        uint64_t at;
        Kind kind;
    };
    enum class Phase { ModemReady, Dialling, Open, Ended };

    static panelsim::PanelOptions PanelOptions(const Scenario& s)
    {
        panelsim::PanelOptions o;
        o.linkMode = s.mode;
        o.readCommands = {0x52, 0x01};
        o.writeCommands = {0x57, 0x02};
        return o;
    }

    void Fail(const std::string& why)
    {
        if (m_failure.empty())
            m_failure = why + " (at " + std::to_string(NowMs()) + " ms)";
    }

    void Begin()
    {
        if (m_s.link != Link::Placed)
            m_phase = Phase::Dialling;
        if (m_s.link == Link::Answered) {
            h.OpenPort();
            RestartAnswering(h.Dlg(), 0);
        } else if (m_s.link == Link::Direct) {
            StartCall(h.Dlg(), record.Get(), {0x12, 0x34}, {}, 1);
        } else {
            h.OpenPort();
            h.Dlg().CommInit(VEK_NOTIFY_MODEM_READY);
        }
        // A host may try to add work before the session opens: refused, or
        // carried to an outcome.
        for (int i = 0; i < 2; ++i)
            Later(m_rng() % 3000, Action::LateRequest);
    }

    // --- the far end ------------------------------------------------------
    void FromHost()
    {
        const auto written = h.Device().Written();
        for (; m_fed < written.size(); ++m_fed) {
            const WrittenByte& b = written[m_fed];
            if (m_modem) {
                m_modem->Receive(b.value, At(b.timeMs));
                PumpModem(b.timeMs);
            } else if (m_panel.LineIsUp()) {
                m_panel.Receive(std::span(&b.value, 1), At(b.timeMs));
            }
        }
    }

    void PumpModem(uint64_t now)
    {
        const std::string text = m_modem->TakeOutput();
        ToHost(Bytes(text.begin(), text.end()), now);
        const Bytes data = m_modem->TakeData();
        if (!data.empty() && m_panel.LineIsUp())
            m_panel.Receive(data, At(now));
        for (const auto& e : m_modem->TakeEvents()) {
            using K = panelsim::ModemEvent::Kind;
            // Told to answer: the panel calls in a moment later.
            if (e.kind == K::CommandLine && e.text.find("S0=") != std::string::npos && !m_connected)
                m_ringAt = now + 200 + m_rng() % 2000;
            if (e.kind == K::CallUp) {
                m_panel.LineUp(At(now), e.answered);
                SetCarrier(true);
            } else if (e.kind == K::CallDown || e.kind == K::CarrierLost) {
                m_panel.LineDown(At(now));
                SetCarrier(false);
            }
        }
    }

    void SetCarrier(bool up)
    {
        if (m_s.carrierWired)
            h.Device().SetCd(up);
    }

    // Bytes for the host in pieces, as a modem delivers them at line rate;
    // with pauses (shorter than any silence the library waits out).
    void ToHost(const Bytes& bytes, uint64_t now)
    {
        uint64_t t = std::max(now, m_toHost.empty() ? now : m_toHost.back().first);
        for (size_t i = 0; i < bytes.size();) {
            const size_t n = std::min<size_t>(bytes.size() - i, 1 + m_rng() % 6);
            t += n + (m_s.fault == Fault::Pauses && m_rng() % 8 == 0 ? m_rng() % 700 : 0);
            m_toHost.emplace_back(t, Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                                           bytes.begin() + static_cast<std::ptrdiff_t>(i + n)));
            i += n;
        }
    }

    void FarEndAt(uint64_t now)
    {
        if (m_modem) {
            m_modem->Tick(At(now));
            PumpModem(now);
        }
        m_panel.Tick(At(now));
        for (auto& out : m_panel.TakeOutgoing()) {
            const uint64_t due = now + (out.kind == panelsim::Outgoing::Kind::Reply ? 20 + out.extraDelayMs : 0);
            m_panelOut.emplace_back(std::max(due, m_panelOut.empty() ? due : m_panelOut.back().first), out.bytes);
        }
        while (!m_panelOut.empty() && m_panelOut.front().first <= now) {
            if ((!m_modem || m_modem->InDataMode()) && !m_panelSilent)
                ToHost(m_panelOut.front().second, now);
            m_panelOut.pop_front();
        }
        while (!m_toHost.empty() && m_toHost.front().first <= now) {
            h.Device().Inject(std::span(m_toHost.front().second));
            m_toHost.pop_front();
            ++m_events;
        }
    }

    std::optional<uint64_t> Next() const
    {
        std::optional<uint64_t> next;
        auto take = [&next](std::optional<uint64_t> t) {
            if (t && (!next || *t < *next))
                next = t;
        };
        if (m_modem)
            if (auto t = m_modem->NextDeadline())
                take(Ms(*t));
        if (auto t = m_panel.NextDeadline())
            take(Ms(*t));
        if (!m_panelOut.empty())
            take(m_panelOut.front().first);
        if (!m_toHost.empty())
            take(m_toHost.front().first);
        take(m_timers.silenceAt);
        take(m_timers.carrierAt);
        if (m_lossDeadline)
            take(*m_lossDeadline + 1);
        take(m_ringAt);
        for (const auto& a : m_actions)
            take(a.at);
        return next;
    }

    // --- the host's thread ------------------------------------------------
    void Dispatch()
    {
        for (const Message& m : h.DialogWindow().Drain()) {
            ++m_events;
            switch (m.message) {
            case VEK_WM_COMM_NOTICE: h.Dlg().OnWorkerNotify(m.wParam, m.lParam); break;
            case VEK_WM_COMM_STEP_DONE: h.Dlg().OnWorkerStatus(m.wParam, m.lParam); break;
            case VEK_WM_COMM_KEEPALIVE: h.Dlg().OnKeepAliveDue(m.wParam, m.lParam); break;
            case WM_VEK_COMM_EVENT:
                h.Dlg().m_commCtrl.BeginEvent(static_cast<int16_t>(static_cast<uint16_t>(m.wParam)));
                h.Dlg().OnCommEvent();
                break;
            default: break;
            }
        }
        for (const Message& m : h.HostWindow().Drain(VEK_WM_COMM_HOST_NOTIFY))
            Heard(static_cast<int>(m.wParam), m.lParam);
    }

    void Heard(int code, LPARAM block)
    {
        ++m_events;
        m_codes.push_back(code);
        const Bytes bytes = block != 0 ? TakeBlock(block) : Bytes{};
        if (code == 27 && std::count(m_codes.begin(), m_codes.end(), 27) > 1)
            Fail("a second 27");
        if (code == 28 && std::count(m_codes.begin(), m_codes.end(), 27) > 0)
            Fail("28 after the line was lost");
        // ... and just after the call is lost, or has ended.
        if (code == 27 || code == 8 || code == 9)
            Later(m_rng() % 300, Action::LateRequest);
        if (code == 27 && m_rng() % 2 == 0)
            Later(m_rng() % 300, Action::ForceHangUp); // while the call is being ended
        if (code == 27 || code == 8)
            m_lossDeadline.reset();
        if (code == 27) {
            m_waiting.clear(); // a 27 ends all that still wait
            if (m_s.fault != Fault::Drop && m_s.fault != Fault::Silence && !m_s.force)
                Fail("27 on a line without faults");
        }
        if (code == 6 || code == 5 || code == 97 || code == 16)
            Outcome(code, bytes);
        if (code == 9 && m_phase == Phase::ModemReady) {
            m_phase = Phase::Dialling;
            StartCall(h.Dlg(), record.Get(), {0x12, 0x34}, {}, 1);
        } else if (code == 13) {
            StartCall(h.Dlg(), record.Get(), {0x12, 0x34}, {}, 0);
        } else if (code == 3 && m_phase != Phase::Open) {
            Opened();
        } else if ((code == 90 || code == 13) && m_s.eager) {
            // Before the session-open frame is answered: refused, or carried.
            for (int i = 0; i < 2; ++i)
                Later(m_rng() % 100, Action::LateRequest);
        } else if (code == 32) {
            m_connected = true;
        } else if (code == 8) {
            m_onHook = true;
        } else if (code == 9 && m_onHook) {
            m_phase = Phase::Ended;
        }
    }

    void Outcome(int code, const Bytes& bytes)
    {
        if (m_waiting.empty())
            return Fail("outcome " + std::to_string(code) + " for no request");
        const Request r = m_waiting.front();
        m_waiting.pop_front();
        if (code == 6 && (!r.read || bytes != r.data))
            Fail("read at " + std::to_string(r.address) + " gave " + std::to_string(bytes.size()) + " bytes, not the " +
                 std::to_string(r.data.size()) + " in memory");
        if (code == 5 && (r.read || m_panel.Memory().Read(r.address, r.data.size()) != r.data))
            Fail("write of " + std::to_string(r.data.size()) + " at " + std::to_string(r.address) +
                 " reported but not in memory: " +
                 ::testing::PrintToString(m_panel.Memory().Read(r.address, r.data.size())) + " frame op " +
                 std::to_string(static_cast<int>(m_seen.frames.back().operation)) + " cmd " +
                 std::to_string(m_seen.frames.back().command) + " kind " +
                 std::to_string(static_cast<int>(m_seen.frames.back().kind)));
        if ((code == 97) != r.refused)
            Fail(std::string(r.refused ? "a request no frame can carry ended in " : "a request ended in ") +
                 std::to_string(code));
    }

    void Opened()
    {
        m_phase = Phase::Open;
        const uint64_t now = NowMs();
        for (int i = 0; i < m_s.requests; ++i)
            m_actions.push_back({now + (i == 0 ? 0 : m_rng() % 6000), Action::Request});
        m_actions.push_back({now + 2000 + m_rng() % 8000, m_s.force ? Action::ForceHangUp : Action::HangUp});
        if (m_s.fault == Fault::Drop)
            m_actions.push_back({now + m_rng() % 8000, Action::Drop});
        if (m_s.fault == Fault::Silence)
            Later(m_rng() % 8000, Action::Silence);
        if (m_s.fault == Fault::Dips)
            for (int i = 0; i < 3; ++i)
                m_actions.push_back({now + m_rng() % 8000, Action::Dip});
    }

    void Later(uint64_t ms, Action::Kind kind) { m_actions.push_back({NowMs() + ms, kind}); }

    // mayBeRefused: made before the session opened, or as it ends.
    void AddRequest(bool mayBeRefused)
    {
        const bool read = m_rng() % 2 == 0;
        const uint32_t most = m_s.mode == 3 ? 40 : (m_s.mode == 1 ? 200 : 600);
        auto count = static_cast<uint16_t>(1 + m_rng() % most);
        Request r{m_rng() % 10 == 0, read, 0, {}};
        if (r.refused) {
            // Nothing, or more than one frame can move.
            if (m_s.mode == 3)
                count = m_rng() % 2 == 0 ? 0 : static_cast<uint16_t>(256 + m_rng() % 100);
            else if (read)
                count = m_s.mode == 1 ? 253 : 0xFFFF;
            else if (m_s.mode == 1)
                count = 251;
            else
                r.refused = false;
        }
        if (r.refused) {
            r.data = Bytes(count, 0x55);
        } else if (read) {
            r.address = m_s.mode == 3 ? static_cast<uint16_t>(m_rng() % (0x80 - count))
                                      : static_cast<uint16_t>(0x4040 + (m_rng() % 8) * 0x100 + m_rng() % 0xC0);
            r.data = m_panel.Memory().Read(r.address, count);
        } else {
            // Each write has memory of its own, so what it left can be read back.
            r.address = m_nextWrite;
            if (r.address + count > (m_s.mode == 3 ? 0x100 : 0xC000))
                return;
            m_nextWrite = static_cast<uint16_t>(m_nextWrite + count);
            if ((m_nextWrite & 0xFF) < 0x40 && m_s.mode != 3)
                m_nextWrite = static_cast<uint16_t>(m_nextWrite | 0x40);
            for (uint16_t i = 0; i < count; ++i)
                r.data.push_back(static_cast<uint8_t>(0x40 + m_rng() % 0xC0));
        }
        const HGLOBAL data = Block(read ? Bytes(1) : r.data);
        Bytes rec(48);
        auto put32 = [&rec](size_t at, uint32_t v) { std::memcpy(rec.data() + at, &v, 4); };
        rec[VEK_POOL_ADDRESS] = static_cast<uint8_t>(r.address);
        rec[VEK_POOL_ADDRESS + 1] = static_cast<uint8_t>(r.address >> 8);
        put32(VEK_POOL_COUNT, count);
        rec[VEK_POOL_COMMAND] = m_s.mode == 3 ? (read ? 1 : 2) : (read ? 0x52 : 0x57);
        put32(VEK_POOL_DATA, HandleToField(data));
        put32(VEK_POOL_OPERATION, read ? 'u' : '-');
        const HGLOBAL request = Block(rec);
        if (AddPool(h.Dlg(), request) == 1) {
            m_waiting.push_back(std::move(r));
            return;
        }
        if (!mayBeRefused && m_phase == Phase::Open && !CallIsEnding())
            Fail("a request refused while the session was open");
        GlobalFree(request); // refused: the blocks are still the host's
        GlobalFree(data);
    }

    static HGLOBAL Block(const Bytes& bytes)
    {
        const HGLOBAL b = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        if (void* p = GlobalLock(b); p != nullptr && !bytes.empty()) // a block of nothing has no memory
            std::memcpy(p, bytes.data(), bytes.size());
        GlobalUnlock(b);
        return b;
    }

    void ActionsAt(uint64_t now)
    {
        if (m_ringAt && *m_ringAt <= now) {
            m_ringAt.reset();
            m_modem->Ring(2, At(now));
            PumpModem(now);
        }
        for (size_t i = 0; i < m_actions.size();) {
            if (m_actions[i].at > now) {
                ++i;
                continue;
            }
            const Action::Kind kind = m_actions[i].kind;
            m_actions.erase(m_actions.begin() + static_cast<std::ptrdiff_t>(i));
            ++m_events;
            switch (kind) {
            case Action::LateRequest: AddRequest(true); break;
            case Action::Request: AddRequest(false); break;
            case Action::HangUp:
                QueueHangUp(h.Dlg(), 0, 0);
                Later(m_rng() % 200, Action::LateRequest);
                break;
            case Action::ForceHangUp:
                h.Dlg().ForcedHangUp();
                Later(m_rng() % 200, Action::LateRequest);
                break;
            case Action::Drop:
                if (m_modem && m_modem->CallUp() && std::count(m_codes.begin(), m_codes.end(), 8) == 0)
                    m_lossDeadline = now + kLossNoticedMs;
                if (m_modem) {
                    m_modem->DropCarrier(At(now));
                    PumpModem(now);
                }
                break;
            case Action::Dip:
                if (m_modem && m_modem->CallUp()) {
                    h.Device().SetCd(false);
                    m_actions.push_back({now + 50 + m_rng() % 300, Action::CarrierBack});
                }
                break;
            case Action::Silence: m_panelSilent = true; break; // the carrier stays up
            case Action::CarrierBack:
                if (m_modem && m_modem->CallUp())
                    h.Device().SetCd(true);
                break;
            }
        }
    }

    void TimersAt(uint64_t now)
    {
        if (m_timers.silenceAt) {
            if (g_evPacketComplete.IsSet()) {
                m_timers.silenceAt.reset();
            } else if (g_evBytesArrived.IsSet()) {
                g_evBytesArrived.Reset(); // more bytes: the silence starts again
                m_timers.silenceAt = now + m_timers.silenceMs;
            } else if (*m_timers.silenceAt <= now) {
                m_timers.silenceAt.reset();
                g_evRxSilence.Set();
                ++m_events;
            }
        }
        if (m_lossDeadline && now > *m_lossDeadline)
            Fail("the lost line was not noticed");
        if (m_timers.carrierAt && *m_timers.carrierAt <= now) {
            m_timers.carrierAt.reset();
            ConfirmCarrierDrop();
        }
    }

    // Everything due now, until nothing changes.
    void Settle()
    {
        for (int round = 0; round < 1000; ++round) {
            const uint64_t events = m_events;
            const uint64_t now = NowMs();
            FromHost();
            FarEndAt(now);
            // The host's thread may act before or after what is queued for it.
            if (m_rng() % 2 == 0) {
                Dispatch();
                ActionsAt(now);
            } else {
                ActionsAt(now);
                Dispatch();
            }
            TimersAt(now);
            if (m_events == events)
                break;
        }
        CheckEnd();
    }

    // While a step waits: what happens before its deadline, if anything.
    bool Step(uint64_t deadline)
    {
        if (NowMs() > kLimitMs)
            Fail("no end within " + std::to_string(kLimitMs / 1000) + " s");
        if (!m_failure.empty())
            return false; // the worker runs out of its step; the run stops
        const uint64_t events = m_events;
        Settle();
        if (m_events != events || m_done)
            return m_events != events;
        const auto next = Next();
        if (!next || *next > deadline)
            return false;
        m_clock.Clock().Advance(*next - std::min(*next, NowMs()));
        Settle();
        return true;
    }

    void CheckEnd()
    {
        if (m_phase != Phase::Ended || m_done)
            return;
        // An answered call goes back to answering; any other closes the port.
        const bool answering = m_s.link == Link::Answered;
        if ((!answering && h.Dlg().m_commCtrl.GetPortOpen()) || g_nCallPhase != CALL_CLOSED || g_bOnline)
            return; // the end of call (89) is still on its way
        m_done = true;
        if (!m_waiting.empty())
            Fail(std::to_string(m_waiting.size()) + " request(s) without an outcome");
        if (h.Dlg().m_pPanelRecord.load() != nullptr || (!answering && QueueCount() != 0))
            Fail("the session was not reset: " + ::testing::PrintToString(QueuedSteps()));
    }

    std::mt19937 m_rng;
    Scenario m_s;
    ManualClockScope m_clock;
    MessageBoxCapture m_boxes;
    DialogHarness h;
    PanelRecord record;
    panelsim::Observations m_seen;
    panelsim::Trace m_trace;
    std::optional<panelsim::Modem> m_modem;
    panelsim::Panel m_panel;
    Timers m_timers;
    size_t m_fed = 0;
    std::deque<std::pair<uint64_t, Bytes>> m_toHost;
    std::deque<std::pair<uint64_t, Bytes>> m_panelOut;
    std::vector<Action> m_actions;
    std::optional<uint64_t> m_ringAt;
    std::deque<Request> m_waiting;
    std::vector<int> m_codes;
    Phase m_phase = Phase::ModemReady;
    uint16_t m_nextWrite = 0x80;
    bool m_connected = false;
    std::optional<uint64_t> m_lossDeadline; // a dropped line must be noticed by then
    bool m_panelSilent = false;
    bool m_onHook = false;
    bool m_done = false;
    uint64_t m_events = 0; // anything that happened: the world moved on
    std::string m_failure;
};

Scenario ScenarioFor(uint32_t seed)
{
    std::mt19937 rng(seed ^ 0xC0FFEEu);
    Scenario s;
    s.mode = 1 + static_cast<int>(rng() % 5);
    s.link = static_cast<Link>(rng() % 3);
    s.fault = static_cast<Fault>(rng() % 5);
    if (s.link == Link::Direct && (s.fault == Fault::Drop || s.fault == Fault::Dips))
        s.fault = Fault::Pauses; // a cable has no carrier
    s.force = rng() % 5 == 0;
    s.wordsInMemory = rng() % 2 == 0;
    s.carrierWired = rng() % 2 == 0;
    s.eager = rng() % 3 == 0;
    s.requests = static_cast<int>(rng() % 6);
    return s;
}

void RunSeeds(uint32_t first, uint32_t last)
{
    for (uint32_t seed = first; seed <= last; ++seed) {
        const Scenario s = ScenarioFor(seed);
        World world(seed, s);
        const ::testing::AssertionResult result = world.Run();
        if (std::getenv("VEK_CALL_VERBOSE") != nullptr) {
            std::printf("seed %u mode %d link %d fault %d force %d: %s\n", seed, s.mode, static_cast<int>(s.link),
                        static_cast<int>(s.fault), s.force ? 1 : 0, result.message());
            std::fflush(stdout);
        }
        ASSERT_TRUE(result) << "seed " << seed << " (mode " << s.mode << ", link " << static_cast<int>(s.link)
                            << ", fault " << static_cast<int>(s.fault) << "); replay: VEK_CALL_SEEDS=" << seed
                            << " ./build/tests/vek_tests --gtest_filter='CallProperty.*'";
    }
}

TEST(CallProperty, EveryRequestEndsOnceAndEveryCallEndsReset)
{
    // "N" or "N-M" from the environment; a fixed range otherwise.
    uint32_t first = 1;
    uint32_t last = 1500;
    if (const char* seeds = std::getenv("VEK_CALL_SEEDS")) {
        char* end = nullptr;
        first = last = static_cast<uint32_t>(std::strtoul(seeds, &end, 10));
        if (*end == '-')
            last = static_cast<uint32_t>(std::strtoul(end + 1, nullptr, 10));
    }
    RunSeeds(first, last);
}

} // namespace
} // namespace vek::test
