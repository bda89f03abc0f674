#include "link/QueueSessionOpen.h"

#include "host/HostPanelRecord.h"
#include "link/FramesControl.h"
#include "link/RequestQueue.h"
#include "link/Session.h"
#include "vek_comm2.h"

namespace vek {

void QueueSessionOpen(Session& session, bool atHead)
{
    const PanelRecordView record(session.m_pPanelRecord);
    const bool threeBytes = record.IsAttached() && (record.PanelOptions() & VEK_PANEL_OPT_OPEN_CODE_3);
    // Missing open-code bytes go out as 00; a call without framing gets none.
    ByteArray frame = BuildSessionOpenFrame(session.m_nLinkMode, session.m_openCode, threeBytes);
    if (frame.empty())
        return;
    const int32_t code = atHead ? CODE_NONE : VEK_NOTIFY_SESSION_OPENED;
    auto step = std::make_unique<CPool>(frame, STEP_PACKET, 0, code, 1);
    step->m_bReopen = atHead ? 1 : 0; // at the head only when the panel asked for it
    if (atHead)
        QueueInsertHead(std::move(step), true);
    else
        QueueAppend(std::move(step), true);
}

} // namespace vek
