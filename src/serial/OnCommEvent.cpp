// The control's events: status texts, and where received characters go.
#include "dialog/CCommStatusDlg.h"
#include "link/LineLoss.h"
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "modem/ParseModemResponse.h"
#include "platform/Clock.h"
#include "serial/SerialDevice.h"

namespace vek {
namespace {

const char* StatusText(int16_t code)
{
    switch (code) {
    case COMM_EV_SEND: return "Sent All Charaters"; // the wording users know
    case COMM_EV_RECEIVE: return "Receiving";
    case COMM_EV_CTS: return "Change in CTS Detected";
    case COMM_EV_DSR: return "Change in DSR Detected";
    case COMM_EV_CD: return "Change in CD Detected";
    case COMM_EV_RING: return "Phone is Ringing";
    case COMM_EV_EOF: return "End of File Detected";
    default: return nullptr; // line errors leave the status line alone
    }
}

} // namespace

void CCommStatusDlg::WatchReceived(const std::string& bytes, bool atBoundary)
{
    if (!g_bOnline) {
        m_noCarrierWatch.Reset();
        return;
    }
    if (bytes.empty())
        return;
    const std::span<const uint8_t> view(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (m_noCarrierWatch.Feed(view, atBoundary, NowMs()))
        SignalLineLost();
}

void CCommStatusDlg::WatchLineEvent(int16_t code)
{
    if (!g_bOnline)
        return;
    const bool carrierDropped = code == COMM_EV_CD && !m_commCtrl.GetCDHolding();
    // A vanished device reports one last DSR change.
    const bool deviceGone = code == COMM_EV_DSR && m_commCtrl.IsDeviceGone();
    if (carrierDropped || deviceGone)
        SignalLineLost();
}

void CCommStatusDlg::OnCommEvent()
{
    const int16_t code = m_commCtrl.GetCommEvent();
    if (code == COMM_EV_RECEIVE) {
        m_commCtrl.SetInputLen(0);
        // Sampled once, without waiting: this event's characters follow the
        // route chosen now even if the worker changes the events just after.
        const bool packetComplete = g_evPacketComplete.IsSet();
        const bool modemDone = g_evModemDone.IsSet();
        if (!modemDone) {
            CSingleLock lock(g_csReceive);
            AppendModemText(g_strModemResponse, m_commCtrl.GetInput());
            ParseModemResponse();
        } else if (!packetComplete) {
            CSingleLock lock(g_csReceive);
            m_commCtrl.SetInputLen(m_commCtrl.GetInBufferCount());
            const std::string bytes = m_commCtrl.GetInput();
            const size_t before = g_rxBuffer.Size();
            WatchReceived(bytes, before == 0);
            const ScanVerdict verdict = FeedPacketBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
                                                        CurrentScanRules(*this));
            // A good frame is cut to its own length: what came behind it in
            // the same arrival starts at a frame boundary.
            const size_t frameEnd = g_rxBuffer.Size();
            if (verdict.packetComplete && verdict.packetGood && !verdict.resynced && frameEnd >= before &&
                frameEnd - before < bytes.size())
                WatchReceived(bytes.substr(frameEnd - before), true);
        } else {
            // A complete packet still waits for the worker: surplus, though
            // it may still tell that the line has gone.
            m_commCtrl.SetInputLen(m_commCtrl.GetInBufferCount());
            WatchReceived(m_commCtrl.GetInput(), true);
        }
    }
    WatchLineEvent(code);
    if (const char* text = StatusText(code))
        m_strStatus = text;
}

} // namespace vek
