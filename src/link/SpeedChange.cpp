#include "link/SpeedChange.h"

#include "host/HostPanelRecord.h"
#include "link/Crc16.h"
#include "link/RequestQueue.h"
#include "link/Session.h"
#include "vek_comm2.h"

namespace vek {
namespace {

constexpr uint8_t kShort1200 = 0x56; // 'V'
constexpr uint8_t kShort300 = 0x53;  // 'S'
constexpr uint8_t kLongSpeed = 0x58;
constexpr uint8_t kLong1200 = 0x02;
constexpr uint8_t kLong300 = 0x01;
constexpr uint8_t kControlRoute = 0x25;

void QueueSpeedStep(Session& session, bool to1200, int32_t expect, int32_t code)
{
    const PanelRecordView record(session.m_pPanelRecord);
    const bool longForm = record.IsAttached() && (record.PanelOptions() & VEK_PANEL_OPT_LONG_COMMANDS);
    QueueAppend(std::make_unique<CPool>(BuildSpeedChangeFrame(session.m_nLinkMode, longForm, to1200), STEP_PACKET,
                                        expect, code, 1),
                false);
}

} // namespace

ByteArray BuildSpeedChangeFrame(int linkMode, bool longForm, bool to1200)
{
    const uint8_t commandLength = longForm ? 2 : 1;
    ByteArray frame;
    // Every mode, the short-code one included, frames these with a length.
    if (linkMode > 1)
        frame.push_back(0x00);
    if (linkMode >= 5) {
        frame.insert(frame.end(), {static_cast<uint8_t>(4 + commandLength), kControlRoute, 0x00});
    } else if (linkMode == 4) {
        frame.insert(frame.end(), {static_cast<uint8_t>(3 + commandLength), 0x00});
    } else {
        frame.push_back(static_cast<uint8_t>(2 + commandLength));
    }
    if (longForm)
        frame.insert(frame.end(), {kLongSpeed, to1200 ? kLong1200 : kLong300});
    else
        frame.push_back(to1200 ? kShort1200 : kShort300);
    const uint16_t crc = Crc16(frame);
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    frame.push_back(static_cast<uint8_t>(crc));
    return frame;
}

void QueueSpeedUp1200(Session& session) { QueueSpeedStep(session, true, kExpectUp1200, VEK_NOTIFY_SESSION_OPENED); }
void QueueSpeedUp300(Session& session) { QueueSpeedStep(session, false, kExpectUp300, VEK_NOTIFY_SESSION_OPENED); }
void QueueSpeedDown300(Session& session) { QueueSpeedStep(session, false, 0, kCodeFallBack300); }

} // namespace vek
