// Session counters and flags shared by the worker, the dialog and the
// exports. Each is one 32-bit value set whole; atomics keep that well defined.
#pragma once

#include <atomic>
#include <cstdint>

namespace vek {

inline std::atomic<int32_t> g_nEfficiency{10};
inline std::atomic<int32_t> g_nRetries{0};
inline std::atomic<int32_t> g_nSlowModeTimeouts{0};
inline std::atomic<int32_t> g_nHostNoResponses{0};
// Failed exchanges in a row that cost no efficiency (no host record, or the
// host's no-idle-calls flag): they end the call as the efficiency would.
inline std::atomic<int32_t> g_nUncountedFailures{0};
inline std::atomic<int32_t> g_nIdleCountdown{9999};
inline std::atomic<uint32_t> g_nKeepAliveCountdown{9999};
inline std::atomic<int32_t> g_nNoResponses{0};
inline std::atomic<int32_t> g_nCurrentStepType{0};
inline std::atomic<int32_t> g_nModemResult{100};
inline std::atomic<int32_t> g_bOnline{0};
inline std::atomic<int32_t> g_bIdleDisconnect{0};
inline std::atomic<int32_t> g_bSlowMode{0};
inline std::atomic<int32_t> g_bSlowNoticeSent{0};
inline std::atomic<int32_t> g_bPanelIdentified{0};
inline std::atomic<int32_t> g_bConnectPending{0};
inline std::atomic<int32_t> g_bSessionUp{0};
inline std::atomic<int32_t> g_bAnswerMode{0};
inline std::atomic<int32_t> g_nAnswerRestartArg{0};
inline std::atomic<int32_t> g_bRestartAnswer{0};
// Moves on whenever the host brings the port into use (CommInit). An end of
// call queued before belongs to the old call and must not undo the new one:
// a host may start its next call as soon as it hears 9.
inline std::atomic<int32_t> g_nCallSerial{1};

// What the worker writes when it starts.
void ResetWorkerCounters();

} // namespace vek
