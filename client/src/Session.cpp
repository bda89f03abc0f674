#include "Session.h"

#include "Identification.h"
#include "ModemRecord.h"
#include "Notifications.h"
#include "PanelRecord.h"
#include "PoolRecord.h"
#include "TransferOp.h"
#include "WaitBounds.h"

#include "vek_comm2.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace vek::internal {
namespace {

using namespace std::chrono_literals;

constexpr auto kDefaultHangUpBound = 60s;
// CommInit and PanelInit post 20 before they return 0; it is pumped next.
constexpr auto kRefusalSettle = 150ms;
// A cancelled request may still come back: the time its bytes take on the
// line at the slowest rate, 11 bits each, and a margin.
constexpr auto kCancelMargin = 2s;
constexpr int kBitsPerByte = 11;
constexpr size_t kMaxStageBytes = 64 * 1024;

std::string Hex16(uint32_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
    return text;
}

std::string Seconds(std::chrono::milliseconds bound)
{
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(bound).count());
}

HGLOBAL CopyToBlock(std::span<const uint8_t> bytes, size_t size)
{
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, std::max<size_t>(size, 1));
    if (block == 0)
        return 0;
    if (!bytes.empty()) {
        void* p = GlobalLock(block);
        if (p == nullptr) {
            GlobalFree(block);
            return 0;
        }
        std::memcpy(p, bytes.data(), std::min(bytes.size(), size));
        GlobalUnlock(block);
    }
    return block;
}

bool IsText(const TraceEntry& entry)
{
    return std::all_of(entry.bytes.begin(), entry.bytes.end(),
                       [](uint8_t b) { return b == '\r' || b == '\n' || (b >= 0x20 && b <= 0x7E); });
}

// A device that cannot be found or opened any more: an adapter pulled, the
// other end of a pseudo-terminal closed.
bool DeviceGone(const std::string& device)
{
    if (device.empty())
        return false;
    const int fd = ::open(device.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return errno == ENOENT || errno == ENXIO || errno == EIO || errno == ENODEV;
}

std::exception_ptr Failure(Cause cause, const std::string& text, int code = 0, std::optional<int> reason = {},
                           std::string hint = {})
{
    return std::make_exception_ptr(CallError(cause, text, code, reason, std::move(hint)));
}

CallError AsCallError(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const CallError& e) {
        return e;
    } catch (const Error& e) {
        return CallError(e.cause(), e.what(), e.code(), e.panelReason(), e.hint());
    } catch (const std::exception& e) {
        return CallError(Cause::LinkLost, e.what());
    }
}

std::exception_ptr Misuse(Cause cause, const std::string& text)
{
    return std::make_exception_ptr(UsageError(cause, text));
}

} // namespace

std::string TransferOp::WaitingFor() const
{
    return plan.write ? "the write at " + Hex16(ChunkAddress()) + " to be accepted"
                      : "the data read at " + Hex16(ChunkAddress());
}

Session::Session(HWND window, const LibraryOptions& options, Deliver deliver)
    : m_window(window), m_options(options), m_deliver(std::move(deliver)),
      m_hangUpBound(options.hangUpTimeout.value_or(kDefaultHangUpBound))
{
}

Session::~Session() = default;

// ---- the modem ----------------------------------------------------------

void Session::SetModem(const Modem& modem, Done done)
{
    if (std::string error = CheckModemValues(modem); !error.empty())
        return done(Misuse(Cause::InvalidArgument, "modem: " + error));
    if (m_phase != Phase::Idle)
        return done(Misuse(Cause::WrongState, "the modem cannot change while a call is up"));
    const std::vector<uint8_t> record = BuildModemRecord(modem);
    const HGLOBAL block = CopyToBlock(record, record.size());
    if (block == 0)
        return done(Failure(Cause::LibraryStart, "no memory for the modem setup record"));
    if (VEKComm2_SetupModem(block) != 1) {
        GlobalFree(block); // a refused block stays the host's
        return done(Failure(Cause::LibraryStart, "the library refused the modem settings (VEKComm2_SetupModem failed)"));
    }
    if (!modem.device.empty()) {
        // The device given wins: the library would take the environment first.
        ::unsetenv(("VEK_COM" + std::to_string(modem.port)).c_str());
        VekSetPortDevice(modem.port, modem.device.c_str());
    }
    m_modem = modem;
    done(nullptr);
}

// ---- setting up a call --------------------------------------------------

std::chrono::milliseconds Session::Bound(std::optional<std::chrono::milliseconds> users,
                                         std::optional<std::chrono::milliseconds> library) const
{
    if (users)
        return *users;
    return library.value_or(std::chrono::milliseconds::max());
}

void Session::Dial(const Panel& panel, const CallOptions& options, CallDone done)
{
    if (m_stopping)
        return done(Misuse(Cause::Stopped, "the library has stopped"), nullptr);
    if (std::string error = CheckPanelValues(panel); !error.empty())
        return done(Misuse(Cause::InvalidArgument, "panel: " + error), nullptr);
    if (options.timeout && options.timeout->count() <= 0)
        return done(Misuse(Cause::InvalidArgument, "a timeout must be positive"), nullptr);
    const Modem modem = m_modem.value_or(Modem{});
    if (!modem.pcLink && panel.phone.empty())
        return done(Misuse(Cause::InvalidArgument, "panel: no number to dial (or a direct-link modem)"), nullptr);
    if (m_phase == Phase::Ending) {
        m_afterIdle.push_back({[this, panel, options, done] { Dial(panel, options, done); }, done});
        return;
    }
    if (m_phase != Phase::Idle)
        return done(Misuse(Cause::WrongState, "a call is already up; hang it up first"), nullptr);
    m_call = std::make_shared<CallState>();
    m_call->panel = panel;
    m_call->options = options;
    m_setupDone = std::move(done);
    StartCall(false);
}

void Session::Answer(const Panel& panel, const CallOptions& options, CallDone done)
{
    if (m_stopping)
        return done(Misuse(Cause::Stopped, "the library has stopped"), nullptr);
    if (std::string error = CheckPanelValues(panel); !error.empty())
        return done(Misuse(Cause::InvalidArgument, "panel: " + error), nullptr);
    if (options.timeout && options.timeout->count() <= 0)
        return done(Misuse(Cause::InvalidArgument, "a timeout must be positive"), nullptr);
    if (m_modem.value_or(Modem{}).pcLink)
        return done(Misuse(Cause::InvalidArgument, "a direct PC link cannot answer calls"), nullptr);
    if (m_phase == Phase::Ending) {
        m_afterIdle.push_back({[this, panel, options, done] { Answer(panel, options, done); }, done});
        return;
    }
    if (m_phase != Phase::Idle)
        return done(Misuse(Cause::WrongState, "a call is already up; hang it up first"), nullptr);
    m_call = std::make_shared<CallState>();
    m_call->panel = panel;
    m_call->options = options;
    m_setupDone = std::move(done);
    StartCall(true);
}

std::string Session::DeviceName() const
{
    const int port = m_modem.value_or(Modem{}).port;
    return "COM" + std::to_string(port) + " (" + m_device + ")";
}

void Session::StartCall(bool answer)
{
    const Modem modem = m_modem.value_or(Modem{});
    m_answering = answer;
    m_online = m_sessionOpen = m_lastTimedOut = m_idleHangUp = m_noCarrier = false;
    m_receivedTail.clear();
    m_retries = 0;
    m_device = DeviceForPort(modem.port, modem.device);
    // Another program holds the port by the old convention: leave it be.
    const std::string lockFile = LockFolder(m_options.lockFolder) + "/" + LockFileName(m_device);
    if (const auto pid = LockFileHolder(lockFile)) {
        const std::string text =
            DeviceName() + " cannot be opened: locked by process " + std::to_string(*pid) + " (" + lockFile + ")";
        m_call.reset();
        return std::exchange(m_setupDone, nullptr)(
            Failure(Cause::PortUnavailable, text, 0, std::nullopt, CauseHint(Cause::PortUnavailable)), nullptr);
    }
    m_lock.Take(m_device, m_options.lockFolder);
    m_previousRecord = m_record;
    m_record = std::make_shared<std::vector<uint8_t>>(
        BuildPanelRecord(WithModemSpeed(m_call->panel, modem.speed), static_cast<uint32_t>(m_window)));
    const auto& timeout = m_call->options.timeout;
    if (answer) {
        Expect(Phase::Answering, CallStage::Answer, {VEK_NOTIFY_INCOMING_IDENTIFIED}, "a panel to call in", std::nullopt,
               std::set<int>{VEK_NOTIFY_PORT_UNAVAILABLE, VEK_NOTIFY_MODEM_FAILED});
        if (VEKComm2_PanelInit(nullptr, "", "", 2) != 1)
            return Refused("VEKComm2_PanelInit");
        return;
    }
    if (modem.pcLink) {
        Expect(Phase::Dialling, CallStage::Dial, {VEK_NOTIFY_IDENTIFIED}, "the panel's identification",
               LibraryBound(WaitKind::Identification, 0));
        if (VEKComm2_PanelInit(m_record->data(), m_call->panel.openCode.c_str(), m_call->panel.idCode.c_str(), 1) != 1)
            return Refused("VEKComm2_PanelInit");
        return;
    }
    Expect(Phase::ModemReset, CallStage::ModemReady, {VEK_NOTIFY_MODEM_READY}, "the modem to be ready",
           LibraryBound(WaitKind::ModemReady, 0));
    (void)timeout;
    if (VEKComm2_CommInit() != 1)
        Refused("VEKComm2_CommInit");
}

void Session::Expect(Phase phase, CallStage stage, std::set<int> wanted, std::string what,
                     std::optional<std::chrono::milliseconds> libraryBound, std::optional<std::set<int>> failures,
                     bool keepReceived)
{
    m_phase = phase;
    BeginStage(stage, keepReceived);
    m_wait = SetupWait{};
    m_wait.wanted = std::move(wanted);
    m_wait.failures = std::move(failures);
    m_wait.what = std::move(what);
    m_wait.usersBound = m_call->options.timeout.has_value();
    if (m_wait.usersBound || libraryBound) {
        m_wait.bound = Bound(m_call->options.timeout, libraryBound);
        m_wait.deadline = Clock::now() + m_wait.bound;
    }
}

void Session::Refused(const char* call)
{
    // The port could not be had (20 is on its way), or no modem is set up.
    m_phase = Phase::Refused;
    m_wait.what = call;
    m_wait.wanted = {};
    m_wait.failures = std::set<int>{VEK_NOTIFY_PORT_UNAVAILABLE};
    m_wait.usersBound = false;
    m_wait.deadline = Clock::now() + kRefusalSettle;
}

void Session::OnSetupNotification(int code, const Bytes& block)
{
    if (m_wait.wanted.contains(code))
        return SetupArrived(code, block);
    const bool fails = m_wait.failures ? m_wait.failures->contains(code) : IsFailure(code);
    if (!fails)
        return;
    if (m_phase == Phase::Refused) {
        FailSetup(ExplainCode(code, m_wait.what));
        return FinishEnding(nullptr);
    }
    FailSetup(ExplainCode(code, m_wait.what));
    const NotificationInfo* info = FindNotification(code);
    EndCall(info != nullptr && info->libraryEndsCall ? Why::LibraryEnds : Why::Failed);
}

void Session::SetupArrived(int code, const Bytes& block)
{
    const Panel& panel = m_call->panel;
    switch (code) {
    case VEK_NOTIFY_MODEM_READY:
        Expect(Phase::Dialling, CallStage::Dial, {VEK_NOTIFY_IDENTIFIED}, "the modem's answer to the dial",
               LibraryBound(WaitKind::Identification, 0));
        if (VEKComm2_PanelInit(m_record->data(), panel.openCode.c_str(), panel.idCode.c_str(), 1) != 1)
            return Refused("VEKComm2_PanelInit");
        m_previousRecord.reset();
        return;
    case VEK_NOTIFY_IDENTIFIED:
        m_call->identification = DecodePlaced(block);
        // The refusal of an open code can come before code 90 is pumped.
        Expect(Phase::Opening, CallStage::SessionOpen, {VEK_NOTIFY_SESSION_OPENED}, "the panel session to open",
               LibraryBound(WaitKind::SessionOpen, 0), std::nullopt, true);
        return;
    case VEK_NOTIFY_INCOMING_IDENTIFIED:
        m_call->identification = DecodeIncoming(block);
        Expect(Phase::Opening, CallStage::SessionOpen, {VEK_NOTIFY_SESSION_OPENED}, "the panel session to open",
               LibraryBound(WaitKind::SessionOpen, 0), std::nullopt, true);
        if (VEKComm2_PanelInit(m_record->data(), panel.openCode.c_str(), panel.idCode.c_str(), 0) != 1)
            return Refused("VEKComm2_PanelInit");
        m_previousRecord.reset();
        return;
    case VEK_NOTIFY_SESSION_OPENED:
        m_phase = Phase::Open;
        m_wait = SetupWait{};
        m_call->open = true;
        std::exchange(m_setupDone, nullptr)(nullptr, m_call);
        return;
    default: return;
    }
}

void Session::FailSetup(std::exception_ptr error)
{
    m_wait = SetupWait{};
    if (m_setupDone)
        std::exchange(m_setupDone, nullptr)(std::move(error), nullptr);
}

std::exception_ptr Session::ExplainCode(int code, const std::string& what)
{
    if (code == VEK_NOTIFY_PORT_UNAVAILABLE) {
        const PortCheck check = CheckDevice(m_device, m_options.lockFolder);
        const std::string reason = check.state == PortCheck::State::Free
                                       ? "it can be opened now, but the library could not set it up (its trace "
                                         "shows why)"
                                       : check.detail;
        return PortError(reason);
    }
    const Explained explained = ExplainFailure(Facts(code));
    const std::string library = NotificationName(code) + " (" + std::to_string(code) + ")";
    const std::string text =
        explained.text.empty() ? library + " while waiting for " + what : explained.text + " [library: " + library + "]";
    std::string hint = explained.hint.empty() ? std::string(FailureHint(code)) : explained.hint;
    const Cause cause = explained.cause == Cause::None ? Cause::LinkLost : explained.cause;
    return Failure(cause, text, code, explained.reason, hint);
}

std::exception_ptr Session::PortError(const std::string& reason)
{
    return Failure(Cause::PortUnavailable,
                   DeviceName() + " cannot be opened: " + reason + " [library: port unavailable (20)]",
                   VEK_NOTIFY_PORT_UNAVAILABLE, std::nullopt, CauseHint(Cause::PortUnavailable));
}

std::exception_ptr Session::TimedOut(const std::string& what, bool usersBound, std::chrono::milliseconds bound)
{
    if (!usersBound && m_phase == Phase::Dialling && !m_online && !m_modem.value_or(Modem{}).pcLink)
        return Failure(Cause::DialNoResult,
                       "the modem said nothing after the dial in " + Seconds(bound) +
                           " s (no CONNECT, BUSY or NO CARRIER)",
                       0, std::nullopt, CauseHint(Cause::DialNoResult));
    return Failure(Cause::TimedOut, "timed out after " + Seconds(bound) + " s waiting for " + what +
                                        (usersBound ? "" : " (longer than the library takes to report by itself)"));
}

// ---- ending a call ------------------------------------------------------

void Session::EndCall(Why why)
{
    m_call->open = false;
    if (why != Why::LibraryEnds) {
        // A panel that stopped answering would hold up the hang-up frame.
        const bool panelAnswers = why == Why::Failed || (why == Why::Cancelled && m_sessionOpen);
        if (m_online && !panelAnswers)
            VEKComm2_ForceHangUp();
        else
            VEKComm2_HangUp(0, 0);
    }
    StartEnding(m_hangUpBound);
}

void Session::StartEnding(std::chrono::milliseconds bound)
{
    m_phase = Phase::Ending;
    BeginStage(CallStage::HangUp);
    m_endingDeadline = Clock::now() + bound;
}

void Session::CallIsDown(std::exception_ptr opsError)
{
    if (m_call)
        m_call->open = false;
    FailAllOps(opsError);
}

void Session::FinishEnding(std::exception_ptr waitersError)
{
    m_phase = Phase::Idle;
    m_givenUp = false;
    m_online = m_sessionOpen = false;
    m_endingDeadline.reset();
    m_wait = SetupWait{};
    if (m_call)
        m_call->open = false;
    FailAllOps(Failure(Cause::CallEnded, "the call ended"));
    m_call.reset();
    m_lock.Release();
    for (Done& done : std::exchange(m_hangUpWaiters, {}))
        done(waitersError ? std::make_exception_ptr(AsCallError(waitersError)) : nullptr);
    for (IdleWaiter& waiter : std::exchange(m_idleWaiters, {}))
        waiter.done(waitersError == nullptr);
    for (Deferred& deferred : std::exchange(m_afterIdle, {}))
        if (m_phase == Phase::Idle)
            deferred.start();
        else
            m_afterIdle.push_back(std::move(deferred));
}

void Session::HangUp(const std::shared_ptr<CallState>& call, bool force, Done done)
{
    if (call != m_call || (m_phase != Phase::Open && m_phase != Phase::Ending))
        return done(nullptr); // that call is over already
    m_hangUpWaiters.push_back(std::move(done));
    if (m_phase == Phase::Ending)
        return;
    m_call->open = false;
    if (force || m_lastTimedOut)
        VEKComm2_ForceHangUp();
    else
        VEKComm2_HangUp(0, 0);
    StartEnding(m_hangUpBound);
    Pump(); // what was not sent yet will not be
}

void Session::WaitIdle(std::optional<Clock::time_point> deadline, BoolDone done)
{
    if (m_phase != Phase::Ending)
        return done(true);
    m_idleWaiters.push_back({deadline, std::move(done)});
}

void Session::Cancel()
{
    // Whoever waited for the hang-up gave up: a stop need not wait for it.
    if (m_phase == Phase::Ending)
        m_givenUp = true;
    switch (m_phase) {
    case Phase::ModemReset:
    case Phase::Dialling:
    case Phase::Opening:
    case Phase::Answering:
        FailSetup(Failure(Cause::Cancelled, "interrupted while waiting for " + m_wait.what));
        EndCall(Why::Cancelled);
        break;
    default: break;
    }
    CancelOps(false, Cause::Cancelled, "interrupted");
    for (Done& done : std::exchange(m_hangUpWaiters, {}))
        done(Failure(Cause::Cancelled, "interrupted while waiting for the hang-up: the line may still be up"));
    for (IdleWaiter& waiter : std::exchange(m_idleWaiters, {}))
        waiter.done(false);
    FailDeferred(Cause::Cancelled, "interrupted while waiting for the last call to end");
}

void Session::FailDeferred(Cause cause, const std::string& text)
{
    for (Deferred& deferred : std::exchange(m_afterIdle, {}))
        deferred.done(Failure(cause, text), nullptr);
}

void Session::BeginStop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    const std::string why = "the library stopped";
    switch (m_phase) {
    case Phase::ModemReset:
    case Phase::Dialling:
    case Phase::Opening:
    case Phase::Answering:
        FailSetup(Failure(Cause::Stopped, why + " while waiting for " + m_wait.what));
        EndCall(Why::Stopped);
        break;
    case Phase::Refused: FailSetup(Failure(Cause::Stopped, why)); break;
    case Phase::Open:
        m_call->open = false;
        if (m_lastTimedOut)
            VEKComm2_ForceHangUp();
        else
            VEKComm2_HangUp(0, 0);
        StartEnding(m_hangUpBound);
        break;
    default: break;
    }
    CancelOps(true, Cause::Stopped, why);
    for (Done& done : std::exchange(m_hangUpWaiters, {}))
        done(Failure(Cause::Stopped, why + " while waiting for the hang-up"));
    for (IdleWaiter& waiter : std::exchange(m_idleWaiters, {}))
        waiter.done(false);
    FailDeferred(Cause::Stopped, why + " while waiting for the last call to end");
}

bool Session::Quiet() const
{
    return m_phase == Phase::Idle || m_phase == Phase::Refused || (m_phase == Phase::Ending && m_givenUp);
}

// ---- notifications ------------------------------------------------------

void Session::OnNotification(int code, const Bytes& block)
{
    switch (code) {
    case VEK_NOTIFY_CONNECTED: m_online = true; break;
    case VEK_NOTIFY_SESSION_OPENED: m_sessionOpen = true; break;
    case VEK_NOTIFY_ON_HOOK:
    case VEK_NOTIFY_MODEM_READY: m_online = false; break;
    case VEK_NOTIFY_EXCHANGE_FAILED: ++m_retries; break;
    default: break;
    }
    switch (m_phase) {
    case Phase::Idle: return;
    case Phase::ModemReset:
    case Phase::Refused:
    case Phase::Dialling:
    case Phase::Opening:
    case Phase::Answering: return OnSetupNotification(code, block);
    case Phase::Open:
        if (code == VEK_NOTIFY_READ_DONE || code == VEK_NOTIFY_WRITE_DONE || code == VEK_NOTIFY_TRANSFER_REFUSED)
            return OnOutcome(code, block);
        if (code == VEK_NOTIFY_LINK_LOST || code == VEK_NOTIFY_PANEL_ENDED_CALL) {
            std::string what = "the call";
            if (!m_ops.empty())
                what = m_ops.front()->WaitingFor();
            const std::exception_ptr error = ExplainCode(code, what);
            StartEnding(m_hangUpBound);
            m_inFlight.clear();
            return CallIsDown(error);
        }
        if (code == VEK_NOTIFY_ON_HOOK) {
            StartEnding(m_hangUpBound);
            return CallIsDown(m_idleHangUp ? Failure(Cause::IdleHangUp, "the line was idle too long: the call was hung up")
                                           : Failure(Cause::CallEnded, "the call ended: the line went on hook"));
        }
        return;
    case Phase::Ending:
        if (code == VEK_NOTIFY_READ_DONE || code == VEK_NOTIFY_WRITE_DONE || code == VEK_NOTIFY_TRANSFER_REFUSED)
            return OnOutcome(code, block);
        if (code == VEK_NOTIFY_ON_HOOK)
            return CallIsDown(Failure(Cause::CallEnded, "the call was hung up"));
        if (code == VEK_NOTIFY_MODEM_READY)
            return FinishEnding(nullptr);
        if (code == VEK_NOTIFY_MODEM_FAILED || code == VEK_NOTIFY_PORT_UNAVAILABLE)
            // The modem will not answer again: stop waiting for it.
            return FinishEnding(ExplainCode(code, "the modem reset"));
        return;
    }
}

void Session::OnIdleDisconnect()
{
    if (m_phase != Phase::Open)
        return;
    m_idleHangUp = true;
    VEKComm2_HangUp(0, 0);
}

void Session::BeginStage(CallStage stage, bool keepReceived)
{
    m_stage = stage;
    if (!keepReceived) {
        m_stageReceived.clear();
        m_stageTries = 0;
    }
    // The session is opened by the first frame sent after the dial: only
    // what came after it answers that frame (not CONNECT, not the
    // identification).
    m_counting = stage != CallStage::SessionOpen || m_stageTries > 0;
    if (stage == CallStage::SessionOpen && m_stageTries == 0)
        m_stageReceived.clear();
}

void Session::OnTrace(const TraceEntry& entry)
{
    if (entry.kind == TraceEntry::Kind::Sent && !IsText(entry)) {
        if (m_stage == CallStage::SessionOpen || m_stage == CallStage::Dial) {
            if (m_stageTries == 0)
                m_stageReceived.clear();
            m_counting = true;
        }
        ++m_stageTries;
    }
    // The modem's NO CARRIER counts where a modem is in the path, once the
    // call is up, as a whole line; it may come with the last good reply.
    if (entry.kind == TraceEntry::Kind::Received && m_online && !m_modem.value_or(Modem{}).pcLink) {
        m_receivedTail.insert(m_receivedTail.end(), entry.bytes.begin(), entry.bytes.end());
        if (HasNoCarrierLine(m_receivedTail))
            m_noCarrier = true;
        constexpr size_t kTail = 16;
        if (m_receivedTail.size() > kTail)
            m_receivedTail.erase(m_receivedTail.begin(), m_receivedTail.end() - kTail);
    }
    if (entry.kind == TraceEntry::Kind::Received && (m_counting || m_stage == CallStage::Dial) &&
        m_stageReceived.size() < kMaxStageBytes)
        m_stageReceived.insert(m_stageReceived.end(), entry.bytes.begin(), entry.bytes.end());
}

FailureFacts Session::Facts(int code) const
{
    FailureFacts facts;
    facts.code = code;
    facts.stage = m_stage;
    if (m_call) {
        facts.linkMode = m_call->panel.linkMode;
        facts.expectedType = m_call->panel.type;
        facts.expectedVersion = m_call->panel.version;
    }
    facts.received = m_stageReceived;
    facts.tries = m_stageTries;
    facts.connected = m_online;
    facts.deviceGone = (code == VEK_NOTIFY_LINK_LOST) && DeviceGone(m_device);
    facts.noCarrier = m_noCarrier;
    return facts;
}

// ---- deadlines ----------------------------------------------------------

std::optional<Clock::time_point> Session::NextDeadline() const
{
    std::optional<Clock::time_point> next = m_wait.deadline;
    const auto consider = [&next](const std::optional<Clock::time_point>& t) {
        if (t && (!next || *t < *next))
            next = t;
    };
    for (const auto& op : m_ops)
        consider(op->deadline);
    if (m_phase == Phase::Ending)
        consider(m_endingDeadline);
    for (const IdleWaiter& waiter : m_idleWaiters)
        consider(waiter.deadline);
    return next;
}

void Session::Tick(Clock::time_point now)
{
    if (m_wait.deadline && now >= *m_wait.deadline) {
        if (m_phase == Phase::Refused) {
            FailSetup(Failure(Cause::LibraryStart, m_wait.what + " failed"));
            FinishEnding(nullptr);
        } else if (m_setupDone) {
            FailSetup(TimedOut(m_wait.what, m_wait.usersBound, m_wait.bound));
            EndCall(Why::TimedOut);
        } else {
            m_wait.deadline.reset();
        }
    }
    for (const auto& op : std::vector(m_ops.begin(), m_ops.end())) {
        if (!op->deadline || now < *op->deadline)
            continue;
        if (op->cancelled) {
            Complete(op, OpError(*op, CallError(op->cancelCause, op->cancelText)));
            continue;
        }
        m_lastTimedOut = true;
        const std::string text = "timed out after " + Seconds(op->bound) + " s waiting for " + op->WaitingFor() +
                                 (op->usersBound ? "" : " (longer than the library takes to report by itself)");
        Complete(op, OpError(*op, CallError(Cause::TimedOut, text)));
    }
    if (m_phase == Phase::Ending && m_endingDeadline && now >= *m_endingDeadline)
        FinishEnding(Failure(Cause::TimedOut, "the hang-up did not finish in " + Seconds(m_hangUpBound) +
                                                  " s: the line may still be up"));
    std::vector<IdleWaiter> waiting;
    for (IdleWaiter& waiter : std::exchange(m_idleWaiters, {})) {
        if (waiter.deadline && now >= *waiter.deadline)
            waiter.done(false);
        else
            waiting.push_back(std::move(waiter));
    }
    for (IdleWaiter& waiter : waiting)
        m_idleWaiters.push_back(std::move(waiter));
}

// ---- transfers ----------------------------------------------------------

void Session::Read(const std::shared_ptr<CallState>& call, uint32_t address, uint32_t count,
                   const TransferOptions& options, ReadDone done)
{
    auto op = std::make_shared<TransferOp>();
    op->call = call;
    op->plan = {false, address, count, 0, 0};
    op->progress = options.progress;
    op->readDone = std::move(done);
    if (options.timeout && options.timeout->count() <= 0)
        return op->readDone(Misuse(Cause::InvalidArgument, "a timeout must be positive"), {});
    if (std::string error = PlanTransfer(call->panel, options, op->plan); !error.empty())
        return op->readDone(Misuse(Cause::InvalidArgument, "read: " + error), {});
    op->usersBound = options.timeout.has_value() || call->options.timeout.has_value();
    op->bound = Bound(options.timeout ? options.timeout : call->options.timeout,
                      LibraryBound(WaitKind::Transfer, op->plan.chunk));
    Enqueue(op);
}

void Session::Write(const std::shared_ptr<CallState>& call, uint32_t address, Bytes bytes,
                    const TransferOptions& options, Done done)
{
    auto op = std::make_shared<TransferOp>();
    op->call = call;
    op->plan = {true, address, static_cast<uint32_t>(std::min<size_t>(bytes.size(), UINT32_MAX)), 0, 0};
    op->progress = options.progress;
    op->writeDone = std::move(done);
    if (options.timeout && options.timeout->count() <= 0)
        return op->writeDone(Misuse(Cause::InvalidArgument, "a timeout must be positive"));
    if (bytes.size() > kPanelMemorySize)
        return op->writeDone(Misuse(Cause::InvalidArgument, "write: more than the panel's 64 KiB of data"));
    if (std::string error = PlanTransfer(call->panel, options, op->plan); !error.empty())
        return op->writeDone(Misuse(Cause::InvalidArgument, "write: " + error));
    op->data = std::move(bytes);
    op->usersBound = options.timeout.has_value() || call->options.timeout.has_value();
    op->bound = Bound(options.timeout ? options.timeout : call->options.timeout,
                      LibraryBound(WaitKind::Transfer, op->plan.chunk));
    Enqueue(op);
}

void Session::Enqueue(const std::shared_ptr<TransferOp>& op)
{
    if (m_stopping)
        return Complete(op, Misuse(Cause::Stopped, "the library has stopped"));
    if (op->call != m_call || !op->call->open)
        return Complete(op, Misuse(Cause::WrongState, "the call is no longer open"));
    op->chunks = SplitIntoChunks(op->plan.address, op->plan.count, op->plan.chunk);
    m_ops.push_back(op);
    Pump();
}

// One request in the library at a time: each costs the library's pause
// anyway, and a failure stops its transfer before the next piece goes out.
void Session::Pump()
{
    while (!m_ops.empty()) {
        const std::shared_ptr<TransferOp> op = m_ops.front();
        if (op->inFlight)
            return;
        if (m_phase != Phase::Open) {
            Complete(op, OpError(*op, CallError(Cause::CallEnded, "the call was hung up before " + op->WaitingFor())));
            continue;
        }
        if (Issue(*op))
            return;
    }
}

bool Session::Issue(TransferOp& op)
{
    const Chunk& chunk = op.chunks[op.next];
    BeginStage(CallStage::Transfer);
    // Both blocks belong to the library once it takes the request; one it
    // did not take stays ours to free.
    const std::span<const uint8_t> bytes =
        op.plan.write ? std::span<const uint8_t>(op.data).subspan(chunk.offset, chunk.count) : std::span<const uint8_t>{};
    const HGLOBAL data = CopyToBlock(bytes, chunk.count);
    const std::vector<uint8_t> record = BuildPoolRecord(
        {op.plan.write ? TransferKind::Write : TransferKind::Read, chunk.address, chunk.count, op.plan.command}, data);
    const HGLOBAL block = data == 0 ? 0 : CopyToBlock(record, record.size());
    if (block != 0 && VEKComm2_AddPool(block) == 1) {
        op.inFlight = true;
        op.deadline = Clock::now() + op.bound;
        m_inFlight.push_back(m_ops.front());
        return true;
    }
    GlobalFree(block);
    GlobalFree(data);
    const std::shared_ptr<TransferOp> self = m_ops.front();
    Complete(self, OpError(op, CallError(Cause::CallEnded, "the library did not take the request at " +
                                                               Hex16(chunk.address) + ": no call is up")));
    return false;
}

void Session::OnOutcome(int code, const Bytes& block)
{
    if (m_inFlight.empty())
        return; // not ours: a request the host never made
    const std::shared_ptr<TransferOp> op = m_inFlight.front();
    m_inFlight.pop_front();
    if (!op)
        return; // abandoned: its transfer ended before this came
    op->inFlight = false;
    op->deadline.reset();
    const Chunk chunk = op->chunks[op->next];
    if (code == VEK_NOTIFY_TRANSFER_REFUSED)
        return Complete(op, OpError(*op, AsCallError(ExplainCode(code, op->WaitingFor()))));
    if ((code == VEK_NOTIFY_READ_DONE) == op->plan.write)
        return Complete(op, OpError(*op, CallError(Cause::LinkLost, "the library answered a " +
                                                                        std::string(op->plan.write ? "write" : "read") +
                                                                        " with " + NotificationName(code))));
    if (!op->plan.write) {
        const size_t got = std::min<size_t>(block.size(), chunk.count);
        op->data.insert(op->data.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got));
        // Fewer bytes than asked is no read at all: the rest is not the panel's.
        if (got != chunk.count)
            return Complete(op, OpError(*op, CallError(Cause::ShortRead, "the panel returned " + std::to_string(got) +
                                                                             " of " + std::to_string(chunk.count) +
                                                                             " bytes at " + Hex16(chunk.address))));
    }
    op->done += chunk.count;
    ++op->next;
    if (op->progress)
        m_deliver([progress = op->progress, done = op->done, total = op->plan.count] { progress(done, total); });
    if (op->cancelled)
        return Complete(op, OpError(*op, CallError(op->cancelCause, op->cancelText)));
    if (op->next == op->chunks.size())
        return Complete(op, nullptr);
    Pump();
}

std::exception_ptr Session::OpError(const TransferOp& op, const CallError& error) const
{
    return std::make_exception_ptr(TransferError(error, op.plan.write ? Bytes{} : op.data, op.ChunkAddress()));
}

void Session::Complete(const std::shared_ptr<TransferOp>& op, std::exception_ptr error)
{
    const auto it = std::find(m_ops.begin(), m_ops.end(), op);
    if (it == m_ops.end() && (op->readDone == nullptr && op->writeDone == nullptr))
        return;
    if (it != m_ops.end())
        m_ops.erase(it);
    if (op->inFlight)
        std::replace(m_inFlight.begin(), m_inFlight.end(), op, std::shared_ptr<TransferOp>());
    op->inFlight = false;
    op->deadline.reset();
    // Moved on: the exception must not outlive its hand-over on this thread.
    const bool failed = error != nullptr;
    if (op->readDone)
        std::exchange(op->readDone, nullptr)(std::move(error), failed ? Bytes{} : std::move(op->data));
    else if (op->writeDone)
        std::exchange(op->writeDone, nullptr)(std::move(error));
    if (!m_holdPump)
        Pump();
}

void Session::FailAllOps(std::exception_ptr error)
{
    // Each with the cause that ended the call, not with the next one's.
    m_holdPump = true;
    for (const auto& op : std::vector(m_ops.begin(), m_ops.end()))
        Complete(op, OpError(*op, AsCallError(error)));
    m_holdPump = false;
}

void Session::CancelOps(bool atOnce, Cause cause, const std::string& how)
{
    VekLineFigures figures{};
    VekGetLineFigures(&figures);
    const int speed = figures.lineSpeed > 0 ? figures.lineSpeed : m_modem.value_or(Modem{}).speed;
    // A cancelled transfer must not let the next one start.
    m_holdPump = true;
    for (const auto& op : std::vector(m_ops.begin(), m_ops.end())) {
        const std::string text = how + " while waiting for " + op->WaitingFor();
        if (!op->inFlight || atOnce || op->cancelled) {
            Complete(op, OpError(*op, CallError(cause, text)));
            continue;
        }
        // The request in flight may still bring its bytes: they belong to the
        // transfer, so it ends when they come (or could have come).
        op->cancelled = true;
        op->cancelCause = cause;
        op->cancelText = text;
        const uint64_t count = op->chunks[op->next].count;
        const auto onLine = std::chrono::milliseconds(count * kBitsPerByte * 1000 / static_cast<uint64_t>(std::max(speed, 1)));
        const auto grace = Clock::now() + onLine + kCancelMargin;
        op->deadline = op->deadline ? std::min(*op->deadline, grace) : grace;
    }
    m_holdPump = false;
}

LineStatus Session::Status() const
{
    VekLineFigures figures{};
    LineStatus status;
    if (VekGetLineFigures(&figures) == 1) {
        status.efficiency = figures.efficiency;
        status.lineSpeed = figures.lineSpeed;
        status.bytesSent = figures.bytesSent;
        status.bytesReceived = figures.bytesReceived;
        status.framesSent = figures.framesSent;
        status.resends = figures.resends;
    }
    status.retries = m_retries;
    return status;
}

} // namespace vek::internal
