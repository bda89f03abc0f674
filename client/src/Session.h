// The call as the host thread follows it: setting the modem, placing or
// answering the call, the transfers cut into requests and matched to their
// outcomes in order, the hang-up, the waits and their deadlines. Everything
// here runs on the host thread (the one that called VEKComm2_Init); the
// completions it hands out are run on the callback thread by the caller.
#pragma once

#include "CallState.h"
#include "Causes.h"
#include "LinkRules.h"
#include "PortCheck.h"

#include "vek/client.hpp"
#include "vek_host.h"

#include <chrono>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vek::internal {

using Clock = std::chrono::steady_clock;
using Done = std::function<void(std::exception_ptr)>;
using CallDone = std::function<void(std::exception_ptr, std::shared_ptr<CallState>)>;
using ReadDone = std::function<void(std::exception_ptr, Bytes)>;
using BoolDone = std::function<void(bool)>;
// Posts work to the callback thread, in order with the events.
using Deliver = std::function<void(std::function<void()>)>;

struct TransferOp;

class Session {
public:
    Session(HWND window, const LibraryOptions& options, Deliver deliver);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void SetModem(const Modem& modem, Done done);
    void Dial(const Panel& panel, const CallOptions& options, CallDone done);
    void Answer(const Panel& panel, const CallOptions& options, CallDone done);
    void Read(const std::shared_ptr<CallState>& call, uint32_t address, uint32_t count, const TransferOptions& options,
              ReadDone done);
    void Write(const std::shared_ptr<CallState>& call, uint32_t address, Bytes bytes, const TransferOptions& options,
               Done done);
    void HangUp(const std::shared_ptr<CallState>& call, bool force, Done done);
    void Cancel();
    void WaitIdle(std::optional<Clock::time_point> deadline, BoolDone done);
    LineStatus Status() const;

    // The library stops: every wait ends, a call in progress is hung up.
    void BeginStop();
    // Nothing left to wait for: the stop can go on to VEKComm2_Uninit.
    bool Quiet() const;

    void OnNotification(int code, const Bytes& block);
    void OnIdleDisconnect();
    void OnTrace(const TraceEntry& entry);
    void Tick(Clock::time_point now);
    std::optional<Clock::time_point> NextDeadline() const;

private:
    enum class Phase { Idle, ModemReset, Refused, Dialling, Opening, Answering, Open, Ending };

    struct SetupWait {
        std::set<int> wanted;
        std::optional<std::set<int>> failures; // empty: every failure code
        std::string what;                      // "the panel's identification"
        std::optional<Clock::time_point> deadline;
        bool usersBound = false;
        std::chrono::milliseconds bound{0};
    };

    // Setting up a call.
    void StartCall(bool answer);
    void Expect(Phase phase, CallStage stage, std::set<int> wanted, std::string what,
                std::optional<std::chrono::milliseconds> libraryBound,
                std::optional<std::set<int>> failures = std::nullopt, bool keepReceived = false);
    void OnSetupNotification(int code, const Bytes& block);
    void SetupArrived(int code, const Bytes& block);
    void FailSetup(std::exception_ptr error);
    void Refused(const char* call);
    std::exception_ptr ExplainCode(int code, const std::string& what);
    std::exception_ptr TimedOut(const std::string& what, bool usersBound, std::chrono::milliseconds bound);
    std::exception_ptr PortError(const std::string& reason);
    std::string DeviceName() const;

    // Ending a call.
    enum class Why { Failed, LibraryEnds, TimedOut, Cancelled, Stopped };
    void EndCall(Why why);
    void StartEnding(std::chrono::milliseconds bound);
    void CallIsDown(std::exception_ptr opsError);
    void FinishEnding(std::exception_ptr waitersError);

    // Transfers.
    void Enqueue(const std::shared_ptr<TransferOp>& op);
    void Pump();
    bool Issue(TransferOp& op);
    void OnOutcome(int code, const Bytes& block);
    void Complete(const std::shared_ptr<TransferOp>& op, std::exception_ptr error);
    void FailAllOps(std::exception_ptr error);
    std::exception_ptr OpError(const TransferOp& op, const CallError& error) const;
    void CancelOps(bool atOnce, Cause cause, const std::string& how);

    void BeginStage(CallStage stage, bool keepReceived = false);
    FailureFacts Facts(int code) const;
    std::chrono::milliseconds Bound(std::optional<std::chrono::milliseconds> users,
                                    std::optional<std::chrono::milliseconds> library) const;

    HWND m_window;
    LibraryOptions m_options;
    Deliver m_deliver;
    std::chrono::milliseconds m_hangUpBound;
    std::optional<Modem> m_modem;
    bool m_stopping = false;

    Phase m_phase = Phase::Idle;
    bool m_answering = false;
    std::shared_ptr<CallState> m_call;
    CallDone m_setupDone;
    SetupWait m_wait;
    // Calls asked for while the last one was still being ended: each starts
    // once the line is on hook, or fails with the wait.
    struct Deferred {
        std::function<void()> start;
        CallDone done;
    };
    std::vector<Deferred> m_afterIdle;
    void FailDeferred(Cause cause, const std::string& text);
    std::shared_ptr<std::vector<uint8_t>> m_record;
    std::shared_ptr<std::vector<uint8_t>> m_previousRecord;
    LockFile m_lock;
    std::string m_device;
    bool m_online = false;      // 32 came, 8 not yet
    bool m_sessionOpen = false; // 3 came
    bool m_lastTimedOut = false;
    bool m_idleHangUp = false;
    bool m_givenUp = false; // cancelled while the call was being ended
    bool m_noCarrier = false; // the modem said NO CARRIER since the call connected
    bool m_holdPump = false;  // every transfer is being failed: none may start
    Bytes m_receivedTail;     // the last bytes received, for a line split over two reads
    int m_retries = 0;

    // What the line showed since the stage began, for the words of a failure.
    CallStage m_stage = CallStage::ModemReady;
    bool m_counting = true;
    Bytes m_stageReceived;
    int m_stageTries = 0;

    std::deque<std::shared_ptr<TransferOp>> m_ops;
    // Requests in the library, in request order; null: abandoned (its op
    // ended first), its outcome is still matched and dropped.
    std::deque<std::shared_ptr<TransferOp>> m_inFlight;

    std::vector<Done> m_hangUpWaiters;
    std::optional<Clock::time_point> m_endingDeadline;
    struct IdleWaiter {
        std::optional<Clock::time_point> deadline;
        BoolDone done;
    };
    std::vector<IdleWaiter> m_idleWaiters;
};

} // namespace vek::internal
