#include "link/BuildLinkFrame.h"

#include "dialog/CCommStatusDlg.h"
#include "frame/HostPanelRecord.h"
#include "link/FramesControl.h"
#include "link/FramesLinkStart.h"

namespace vek {

ByteArray BuildLinkFrame(const CCommStatusDlg& dlg)
{
    if (!dlg.m_bLinkRequest && !dlg.m_bDialFrame)
        return {};
    const PanelRecordView record(dlg.m_pPanelRecord);
    if (dlg.m_bIdBlock && record.IsAttached())
        return BuildIdentificationBlock(static_cast<uint8_t>(record.ExpectedType()),
                                        static_cast<uint8_t>(record.ExpectedVersion()), dlg.m_idCode);
    if (dlg.m_bDialFrame && record.IsAttached())
        return BuildDialCommandFrame(record.PhoneNumber()).value_or(ByteArray{});
    return BuildLinkRequestFrame(dlg.m_nLinkMode);
}

} // namespace vek
