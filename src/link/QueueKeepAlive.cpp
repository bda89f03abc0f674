#include "link/QueueKeepAlive.h"

#include "link/FramesControl.h"
#include "link/RequestQueue.h"
#include "link/Session.h"

namespace vek {

void QueueKeepAlive(Session& session, bool noReply, bool atHead)
{
    const ByteArray frame = BuildKeepAliveFrame(session.m_nLinkMode);
    // No framing (link mode 0 or below): a step without bytes would only
    // wait out its reply and count against a healthy line.
    if (frame.empty())
        return;
    CSingleLock lock(g_csQueue);
    if (!noReply) {
        // Work the host added meanwhile keeps the line busy itself; it is
        // never dropped for a keep-alive.
        if (QueueHoldsHostRequest())
            return;
        g_requestQueue.clear();
    }
    auto step = std::make_unique<CPool>(frame, noReply ? STEP_SEND_ONLY : STEP_PACKET, 4, CODE_NONE, 1);
    step->m_bKeepAlive = true;
    if (atHead)
        g_requestQueue.push_front(std::move(step));
    else
        g_requestQueue.push_back(std::move(step));
    if (noReply || atHead)
        g_evQueue.Set();
}

} // namespace vek
