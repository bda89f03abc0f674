#include "link/BuildLinkFrame.h"

#include "host/HostPanelRecord.h"
#include "link/FramesControl.h"
#include "link/FramesLinkStart.h"
#include "link/Session.h"

namespace vek {

ByteArray BuildLinkFrame(const Session& session)
{
    if (!session.m_bLinkRequest && !session.m_bDialFrame)
        return {};
    const PanelRecordView record(session.m_pPanelRecord);
    if (session.m_bIdBlock && record.IsAttached())
        return BuildIdentificationBlock(static_cast<uint8_t>(record.ExpectedType()),
                                        static_cast<uint8_t>(record.ExpectedVersion()), session.m_idCode);
    if (session.m_bDialFrame && record.IsAttached())
        return BuildDialCommandFrame(record.PhoneNumber()).value_or(ByteArray{});
    return BuildLinkRequestFrame(session.m_nLinkMode);
}

} // namespace vek
