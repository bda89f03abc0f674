#include "link/LineSpeed.h"

#include "link/Session.h"
#include "link/WorkerNotify.h"
#include "platform/Trace.h"
#include "serial/LineSettings.h"
#include "vek_comm2.h"

#include <string>

namespace vek {

bool SetPortSpeed(Session& session, int32_t speed)
{
    // The stored speed is always the one the line runs at: a refused change
    // leaves both as they were and tells the host the port cannot do it.
    if (!session.m_commCtrl.SetSettings(FormatLineSettings(speed, session.m_nStopBits))) {
        TraceLine("line speed " + std::to_string(speed) + " refused: " + session.m_commCtrl.LastError());
        PostNotice(session, VEK_NOTIFY_PORT_UNAVAILABLE);
        return false;
    }
    session.m_nCurrentBaudRate = speed;
    return true;
}

} // namespace vek
