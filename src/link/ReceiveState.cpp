#include "link/ReceiveState.h"

#include "link/RequestQueue.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "link/ShortCodes.h"

#include <utility>

namespace vek {

ReceiveBuffer g_rxBuffer;

namespace {

void Publish(const ScanVerdict& verdict)
{
    // The frame that claimed a NO CARRIER line completed: it was data.
    if (verdict.packetComplete && verdict.packetGood)
        g_bNoCarrierDeferred = false;
    // Verdicts are stored before the events that make the worker read them.
    g_bPacketGood = verdict.packetGood ? 1 : 0;
    g_bResynced = verdict.resynced ? 1 : 0;
    if (verdict.packetComplete)
        g_evPacketComplete.Set();
    if (verdict.bytesArrived)
        g_evBytesArrived.Set();
}

} // namespace

ScanRules CurrentScanRules(const Session& session)
{
    ScanRules rules;
    rules.linkMode = session.m_nLinkMode;
    rules.identifyStep = g_nCurrentStepType == STEP_IDENTIFY;
    rules.wideCode50Panel = IdentifiesWideCode50Panel(session);
    return rules;
}

bool TakeDeferredNoCarrier()
{
    CSingleLock lock(g_csReceive);
    return std::exchange(g_bNoCarrierDeferred, false);
}

bool IdentifiesWideCode50Panel(const Session& session)
{
    CSingleLock lock(g_csReceive);
    return IsWideCode50Panel(session.m_ident.panelType, session.m_ident.panelVersion);
}

PanelIdentification IdentificationOf(const Session& session)
{
    CSingleLock lock(g_csReceive);
    return session.m_ident;
}

ScanVerdict FeedPacketBytes(std::span<const uint8_t> bytes, const ScanRules& rules)
{
    if (bytes.empty())
        return {};
    const ScanVerdict verdict = g_rxBuffer.Receive(bytes, rules);
    Publish(verdict);
    return verdict;
}

ScanVerdict RescanPacketBytes(const ScanRules& rules)
{
    const ScanVerdict verdict = g_rxBuffer.Scan(rules);
    Publish(verdict);
    return verdict;
}

} // namespace vek
