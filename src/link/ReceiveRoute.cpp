// Where the characters of a control event go: the modem recogniser, the
// packet scanner, or nowhere (surplus); and what proves the line gone.
#include "link/CarrierWatch.h"
#include "link/LineLoss.h"
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "modem/ParseModemResponse.h"
#include "platform/Clock.h"
#include "serial/SerialDevice.h"

namespace vek {

bool Session::WatchesForNoCarrier() const
{
    // Only a modem says NO CARRIER; on a cable those bytes are the panel's.
    const CModem* modem = CurrentModem();
    return g_bOnline && modem != nullptr && !modem->IsPCLink();
}

void Session::ReceivePacketBytes(std::span<const uint8_t> bytes)
{
    const ScanRules rules = CurrentScanRules(*this);
    if (!WatchesForNoCarrier()) {
        m_noCarrierWatch.Reset();
        FeedPacketBytes(bytes, rules);
        return;
    }
    // The bytes go to the scanner up to each result line the watch finds,
    // so that the scanner can say whether a frame still claims it.
    bool complete = false;
    for (size_t pos = 0; pos < bytes.size();) {
        const size_t found = m_noCarrierWatch.Feed(bytes.subspan(pos));
        const size_t end = found == 0 ? bytes.size() : pos + found;
        bool claimed = false;
        bool pending = false;
        if (!complete) {
            const ScanVerdict verdict = FeedPacketBytes(bytes.subspan(pos, end - pos), rules);
            complete = verdict.packetComplete;
            // A good frame that ends with the line holds it as data; a frame
            // still coming holds all that is buffered.
            claimed = verdict.packetComplete ? verdict.packetGood && verdict.cutBehind == 0
                                             : !rules.identifyStep && rules.linkMode > 0 && !g_rxBuffer.Empty();
            pending = claimed && !verdict.packetComplete;
        }
        pos = end;
        if (found == 0)
            break;
        if (pending)
            g_bNoCarrierDeferred = true; // judged when that frame fails
        else if (!claimed)
            SignalLineLost();
    }
}

void Session::WatchSurplus(std::span<const uint8_t> bytes)
{
    if (!WatchesForNoCarrier()) {
        m_noCarrierWatch.Reset();
        return;
    }
    // Behind a complete frame no frame claims anything.
    if (m_noCarrierWatch.Feed(bytes) != 0)
        SignalLineLost();
}

void Session::WatchLineEvent(int16_t code)
{
    if (code == COMM_EV_CD) {
        if (m_commCtrl.GetCDHolding())
            OnCarrierUp();
        else if (g_bOnline)
            OnCarrierDown();
    }
    // A vanished device reports one last DSR change.
    if (g_bOnline && code == COMM_EV_DSR && m_commCtrl.IsDeviceGone())
        SignalLineLost();
}

namespace {

std::span<const uint8_t> AsBytes(const std::string& text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

} // namespace

void Session::RouteCommEvent(int16_t code)
{
    if (code == COMM_EV_RECEIVE) {
        m_commCtrl.SetInputLen(0);
        // Sampled once, without waiting: this event's characters follow the
        // route chosen now even if the worker changes the events just after.
        const bool packetComplete = g_evPacketComplete.IsSet();
        const bool modemDone = g_evModemDone.IsSet();
        if (!modemDone) {
            // A modem command's answer: the recogniser reads it.
            m_noCarrierWatch.Reset();
            CSingleLock lock(g_csReceive);
            AppendModemText(g_strModemResponse, m_commCtrl.GetInput());
            ParseModemResponse();
        } else if (!packetComplete) {
            CSingleLock lock(g_csReceive);
            m_commCtrl.SetInputLen(m_commCtrl.GetInBufferCount());
            const std::string bytes = m_commCtrl.GetInput();
            ReceivePacketBytes(AsBytes(bytes));
        } else {
            // A complete packet still waits for the worker: surplus, though
            // it may still tell that the line has gone.
            m_commCtrl.SetInputLen(m_commCtrl.GetInBufferCount());
            const std::string bytes = m_commCtrl.GetInput();
            WatchSurplus(AsBytes(bytes));
        }
    }
    WatchLineEvent(code);
}

} // namespace vek
