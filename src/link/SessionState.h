// Session counters and flags shared by the worker, the dialog and the
// exports: the statics of the call's Session. Each is one 32-bit value set
// whole; atomics keep that well defined.
#pragma once

#include <atomic>
#include <cstdint>

namespace vek {

// Each is atomic; the line above it says who writes it ("the dialog" is
// the host's thread running the dialog's relays and the receive route).

// Worker (steps), the dialog at connect, the host (ResetEfficiency, forced
// hang-up).
inline std::atomic<int32_t> g_nEfficiency{10};
// Worker only.
inline std::atomic<int32_t> g_nRetries{0};
// Worker only.
inline std::atomic<int32_t> g_nSlowModeTimeouts{0};
// Worker; the dialog resets it at connect.
inline std::atomic<int32_t> g_nHostNoResponses{0};
// Failed exchanges in a row that cost no efficiency (no host record, or the
// host's no-idle-calls flag): they end the call as the efficiency would.
// Worker; the dialog resets it at connect.
inline std::atomic<int32_t> g_nUncountedFailures{0};
// Worker only (the idle watch).
inline std::atomic<int32_t> g_nIdleCountdown{9999};
// Worker only (the idle watch).
inline std::atomic<uint32_t> g_nKeepAliveCountdown{9999};
// Worker; the dialog resets it at connect. The send path reads it.
inline std::atomic<int32_t> g_nNoResponses{0};
// Worker (each step it begins); the receive route reads it.
inline std::atomic<int32_t> g_nCurrentStepType{0};
// The receive route, under g_csReceive, before it sets g_evModemDone; the
// worker resets it before each step.
inline std::atomic<int32_t> g_nModemResult{100};
// The dialog sets it at connect; the worker clears it when a call ends.
inline std::atomic<int32_t> g_bOnline{0};
// Worker (the idle countdown ran out); the dialog clears it at connect.
inline std::atomic<int32_t> g_bIdleDisconnect{0};
// Worker only.
inline std::atomic<int32_t> g_bSlowMode{0};
// Worker only.
inline std::atomic<int32_t> g_bSlowNoticeSent{0};
// Worker (identification); the dialog clears it at connect.
inline std::atomic<int32_t> g_bPanelIdentified{0};
// The receive route sets it on CONNECT; the worker clears it on
// identification, the host's thread when it dials, answers or resets.
inline std::atomic<int32_t> g_bConnectPending{0};
// Worker (identification); the host's thread clears it when it dials,
// answers or resets.
inline std::atomic<int32_t> g_bSessionUp{0};
// The host's thread (PanelInit, HangUp, the reset) and the worker (answering
// again after a call).
inline std::atomic<int32_t> g_bAnswerMode{0};
inline std::atomic<int32_t> g_nAnswerRestartArg{0};
// Worker (an answered call's CONNECT); the dialog clears it at connect and
// reset, the worker when it answers again.
inline std::atomic<int32_t> g_bRestartAnswer{0};
// Either thread's CommInit (the worker's when it answers again). Moves on
// whenever the host brings the port into use. An end of
// call queued before belongs to the old call and must not undo the new one:
// a host may start its next call as soon as it hears 9.
inline std::atomic<int32_t> g_nCallSerial{1};

// What the worker writes when it starts.
void ResetWorkerCounters();

} // namespace vek
