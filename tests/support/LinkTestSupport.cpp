#include "support/LinkTestSupport.h"

#include "host/CComm2App.h"
#include "link/CallPhase.h"
#include "link/LineLoss.h"
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "link/RxSilenceTimer.h"
#include "link/SessionState.h"
#include "platform/Handles.h"
#include "platform/MessageBox.h"
#include "platform/MessageWindow.h"
#include "platform/Paths.h"

#include <utility>

namespace vek::test {

std::atomic<int> g_onlineCalls{0};
std::atomic<void*> g_onlineRecord{nullptr};
std::atomic<int> g_onlineWhat{0};

} // namespace vek::test

namespace vek::test {

int RecordOnlineReqProcess(void* record, int what, int arg)
{
    ++g_onlineCalls;
    g_onlineRecord = record;
    g_onlineWhat = what * 100 + arg;
    if (g_onlineAction)
        g_onlineAction();
    return 0;
}

std::function<void()> g_onlineAction;

CaptureWindow::CaptureWindow() : m_hwnd(CreateMessageWindow(0, &CaptureWindow::Proc, this)) {}

CaptureWindow::~CaptureWindow()
{
    DestroyMessageWindow(m_hwnd);
    PumpMessages(0); // drop what is left for the destroyed window
}

LRESULT CaptureWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A window on its way out has no context left.
    if (auto* window = static_cast<CaptureWindow*>(MessageWindowContext(hwnd)))
        window->m_received.push_back({message, wParam, lParam});
    return 0;
}

std::vector<Message> CaptureWindow::Drain()
{
    while (PumpMessages(0) > 0) {
    }
    return std::exchange(m_received, {});
}

std::vector<Message> CaptureWindow::Drain(UINT message)
{
    std::vector<Message> matching;
    for (const Message& m : Drain())
        if (m.message == message)
            matching.push_back(m);
    return matching;
}

std::vector<Message> CaptureWindow::Take(UINT message)
{
    while (PumpMessages(0) > 0) {
    }
    std::vector<Message> matching;
    std::vector<Message> others;
    for (const Message& m : m_received)
        (m.message == message ? matching : others).push_back(m);
    m_received = std::move(others);
    return matching;
}

void ResetLinkState()
{
    QueueClear();
    for (Event* ev :
         {&g_evQueue, &g_evStop, &g_evModemDone, &g_evPacketComplete, &g_evBytesArrived, &g_evRxSilence, &g_evDsrReady})
        ev->Reset();
    ResetWorkerCounters();
    g_nNoResponses = 0;
    g_nCurrentStepType = 0;
    g_nModemResult = 100;
    for (auto* flag : {&g_bOnline, &g_bIdleDisconnect, &g_bSlowMode, &g_bSlowNoticeSent, &g_bPanelIdentified,
                       &g_bConnectPending, &g_bSessionUp, &g_bAnswerMode, &g_nAnswerRestartArg, &g_bRestartAnswer})
        *flag = 0;
    g_nCallPhase = CALL_CLOSED;
    ClearLineLoss();
    CSingleLock lock(g_csReceive);
    g_rxBuffer.Clear();
    g_bNoCarrierDeferred = false;
    g_strModemResponse.clear();
}

void PanelRecord::Set16(size_t offset, uint16_t v)
{
    m_bytes.at(offset) = static_cast<uint8_t>(v);
    m_bytes.at(offset + 1) = static_cast<uint8_t>(v >> 8);
}

void PanelRecord::Set32(size_t offset, uint32_t v)
{
    Set16(offset, static_cast<uint16_t>(v));
    Set16(offset + 2, static_cast<uint16_t>(v >> 16));
}

uint16_t PanelRecord::Get16(size_t offset) const
{
    return static_cast<uint16_t>(m_bytes.at(offset) | (m_bytes.at(offset + 1) << 8));
}

DialogHarness::DialogHarness() : m_dlg(std::make_unique<CCommStatusDlg>())
{
    ResetLinkState();
    m_savedHost = theApp.m_hWndHost;
    theApp.m_hWndHost = m_hostWindow.Handle();
    m_modems.ResetToDefault();
    m_dlg->m_pModemSettings = &m_modems;
    m_dlg->m_hWnd = m_dialogWindow.Handle();
    auto device = std::make_unique<ScriptedDevice>();
    m_device = device.get();
    m_dlg->m_commCtrl.Create(std::move(device));
}

DialogHarness::~DialogHarness()
{
    m_dlg->m_hWnd = 0;
    theApp.m_hWndHost = m_savedHost;
    ResetLinkState();
}

RunningLibraryScope::RunningLibraryScope() : m_dlg(std::make_unique<CCommStatusDlg>())
{
    theApp.m_pStatusDlg = m_dlg.get();
}

RunningLibraryScope::~RunningLibraryScope() { theApp.m_pStatusDlg = nullptr; }

void DialogHarness::OpenPort()
{
    SetPortDevice(1, "/dev/null-scripted");
    m_dlg->m_commCtrl.SetCommPort(1);
    m_dlg->m_commCtrl.SetPortOpen(true);
}

std::vector<Message> DispatchCommEvents(CCommStatusDlg& dlg, CaptureWindow& window)
{
    std::vector<Message> others;
    // Handling an event may post more (a reply to what the handler wrote).
    for (auto batch = window.Drain(); !batch.empty(); batch = window.Drain()) {
        for (const Message& m : batch) {
            if (m.message != WM_VEK_COMM_EVENT) {
                others.push_back(m);
                continue;
            }
            dlg.m_commCtrl.BeginEvent(static_cast<int16_t>(static_cast<uint16_t>(m.wParam)));
            dlg.OnCommEvent();
        }
    }
    return others;
}

namespace {
std::vector<std::string> g_boxTexts;
} // namespace

MessageBoxCapture::MessageBoxCapture()
{
    g_boxTexts.clear();
    SetMessageBoxHook([](const char*, const char* text) { g_boxTexts.push_back(text); });
}

MessageBoxCapture::~MessageBoxCapture() { SetMessageBoxHook(nullptr); }

const std::vector<std::string>& MessageBoxCapture::Texts() const { return g_boxTexts; }

std::vector<QueuedStep> QueuedSteps()
{
    CSingleLock lock(g_csQueue);
    std::vector<QueuedStep> out;
    for (const auto& s : g_requestQueue)
        out.push_back({s->m_nType, s->m_nExpect, s->m_nCode, s->m_data});
    return out;
}

void PrintTo(const QueuedStep& step, std::ostream* os)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    *os << "{type " << step.type << ", expect " << step.expect << ", code " << step.code << ",";
    for (const uint8_t b : step.data)
        *os << ' ' << kHex[b >> 4] << kHex[b & 0xF];
    *os << "}";
}

std::vector<uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::pair<WPARAM, LPARAM>> Posted(CaptureWindow& window, UINT message)
{
    std::vector<std::pair<WPARAM, LPARAM>> out;
    for (const Message& m : window.Take(message))
        out.emplace_back(m.wParam, m.lParam);
    return out;
}

std::vector<uint8_t> TakeBlock(LPARAM handle)
{
    const auto h = HandleFromParam<HGLOBAL>(handle);
    const size_t size = GlobalSize(h);
    std::vector<uint8_t> out(size);
    if (const auto* p = static_cast<const uint8_t*>(GlobalLock(h)); p != nullptr) {
        out.assign(p, p + size);
        GlobalUnlock(h);
    }
    GlobalFree(h);
    return out;
}

void FeedReply(const CCommStatusDlg& dlg, const std::vector<uint8_t>& bytes)
{
    CSingleLock lock(g_csReceive);
    FeedPacketBytes(bytes, CurrentScanRules(dlg));
}

namespace {
std::vector<uint32_t> g_silenceIntervals;
} // namespace

SilenceScope::SilenceScope(Mode mode)
{
    g_silenceIntervals.clear();
    if (mode == Mode::Immediate)
        SetSilenceTimerStarter([](uint32_t ms) {
            g_silenceIntervals.push_back(ms);
            g_evRxSilence.Set();
        });
    else
        SetSilenceTimerStarter([](uint32_t ms) { g_silenceIntervals.push_back(ms); });
}

SilenceScope::~SilenceScope() { SetSilenceTimerStarter(nullptr); }

const std::vector<uint32_t>& SilenceScope::Intervals() { return g_silenceIntervals; }

ManualClockScope::ManualClockScope(bool autoAdvance)
{
    m_clock.SetAutoAdvance(autoAdvance);
    SetClock(&m_clock);
}

ManualClockScope::~ManualClockScope()
{
    // A silence timer a test started must not wait on a clock that is gone.
    StopRxSilenceTimerThread();
    SetClock(nullptr);
}

} // namespace vek::test
