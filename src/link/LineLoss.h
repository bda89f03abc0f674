// A line that is certainly gone ends the call at once instead of after the
// no-answer counting: the carrier dropped on a device with modem lines, the
// modem said "NO CARRIER" between frames, or the device itself went away.
// The receive handler signals it; the worker acts on it in one place.
#pragma once

#include "link/CPool.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace vek {

class Session;

// Set by the receive handler (and the carrier watch) during an online call;
// taken by the worker.
inline std::atomic<int32_t> g_bLineLost{0};
// The modem went back to command mode by itself: no escape before on-hook.
// Written by the worker.
inline std::atomic<int32_t> g_bModemInCommandMode{0};
// This call has been reported lost (27): its teardown reports no 28.
// Written by the worker; cleared with the call.
inline std::atomic<int32_t> g_bCallLost{0};

// Marks the line lost and wakes whatever the worker waits for.
void SignalLineLost();
// The flags back to a fresh call.
void ClearLineLoss();

// Worker: the link is lost (27). Everything queued is dropped (the 27 ends
// the host's requests that were waiting) and the end of the call queued,
// with the code of a hang-up the host had asked for.
void EndLostLink(Session& session);

// Worker: when the line was signalled lost during an online call, reports
// 27 (18 before the panel identified itself), drops the step in hand and
// everything queued, and queues the end of the call without an escape.
// Returns true when it ended the call; then the step is gone. A call already
// being ended only learns that the modem is back in command mode.
bool EndCallIfLineLost(Session& session, std::unique_ptr<CPool>& step);

// Worker: a device that went away outside an online call (the modem being
// set up, a call being dialled) while work is queued. Nothing queued can
// reach it and a CONNECT wait would poll it for ever: the queue is dropped,
// the host hears 20 and the port is closed. A call being ended hears 8 and 9
// instead. With a step in hand that waited in vain, it ends even when nothing
// else is queued. True when it did so.
bool EndUseOfVanishedDevice(Session& session, bool stepInHand = false);

} // namespace vek
