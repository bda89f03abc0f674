// The request queue, its lock and the events that steer the worker and the
// receive routes. Shared by the exports, the dialog and the worker.
#pragma once

#include "link/CPool.h"
#include "platform/CriticalSection.h"
#include "platform/Event.h"
#include "serial/DsrGatedWrite.h" // g_evDsrReady, the send path's

#include <deque>
#include <memory>
#include <string>

namespace vek {

// Guarded by g_csQueue. A null entry (failed allocation) counts as nothing.
extern std::deque<std::unique_ptr<CPool>> g_requestQueue;

extern CriticalSection g_csQueue;   // the request queue
extern CriticalSection g_csReceive; // receive buffer and modem response text
extern CriticalSection g_csPort;    // PortOpen writes and a whole SendString

// Events guard their own state. Who sets and resets each:
// manual: the queue may hold a step. Set by every producer; reset by the
// worker when it finds the queue empty.
extern Event g_evQueue;
// auto: stop the worker. Set by the dialog's teardown; taken by the worker.
extern Event g_evStop;
// manual: a modem result has arrived. Set by the receive route and by the
// worker before packet steps; reset by the worker before a modem step.
extern Event g_evModemDone;
// manual: a whole frame is in the buffer. Set by the scan and by the worker
// before a modem step; reset by the worker before packet steps.
extern Event g_evPacketComplete;
// manual: bytes were received. Set by the scan; reset by the worker and the
// silence timer.
extern Event g_evBytesArrived;
// manual: no byte for the silence interval. Set by the silence timer; reset
// by the worker before each timing.
extern Event g_evRxSilence;

// Received text while a modem result is awaited (guarded by g_csReceive).
extern std::string g_strModemResponse;

// The worker's reset of g_evQueue. Teardown sets the stop event before the
// queue event; a plain reset landing between the two would leave the worker
// asleep for ever, so a pending stop keeps the queue event set.
void ResetQueueEvent();

// Small locked helpers; setEvent wakes the worker.
void QueueAppend(std::unique_ptr<CPool> step, bool setEvent);
void QueueInsertHead(std::unique_ptr<CPool> step, bool setEvent);
// Removes the head; when the queue is empty resets g_evQueue and returns null.
std::unique_ptr<CPool> QueueTakeHead();
size_t QueueCount();
void QueueClear();
// Deletes everything but the head (the step in hand stays) and the host's
// requests.
void QueueCutToHead();
// Whether a step carrying a host request is queued.
bool QueueHoldsHostRequest();

} // namespace vek
