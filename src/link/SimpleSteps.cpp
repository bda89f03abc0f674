#include "link/SimpleSteps.h"

#include "link/LineLoss.h"
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "vek_comm2.h"

#include <utility>

namespace vek {

void RunDeferCallStep(const CPool& step)
{
    // No event: the worker looks at the queue again before it waits.
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_CALL, 0, step.m_nCode, 1), false);
}

std::unique_ptr<CPool> EndOfCallStep()
{
    auto step = std::make_unique<CPool>(ByteArray{}, STEP_NOTIFY, 0, VEK_NOTIFY_END_OF_CALL, 1);
    step->m_nCallSerial = g_nCallSerial;
    return step;
}

void RunNotifyStep(Session& session, const CPool& step)
{
    PostMessageA(session.m_hWnd, VEK_WM_COMM_STEP_DONE, static_cast<WPARAM>(step.m_nCode), step.m_nCallSerial);
}

void ClearReceiveBuffer()
{
    g_rxBuffer.Clear();
    // The frame in progress is given up: a NO CARRIER line it claimed was
    // the modem's.
    if (std::exchange(g_bNoCarrierDeferred, false))
        SignalLineLost();
}

} // namespace vek
