#include "link/ReceiveState.h"

#include "link/RequestQueue.h"

namespace vek {

ReceiveBuffer g_rxBuffer;

void FeedPacketBytes(std::span<const uint8_t> bytes, const ScanRules& rules)
{
    if (bytes.empty())
        return;
    const ScanVerdict verdict = g_rxBuffer.Receive(bytes, rules);
    // Verdicts are stored before the events that make the worker read them.
    g_bPacketGood = verdict.packetGood ? 1 : 0;
    g_bResynced = verdict.resynced ? 1 : 0;
    if (verdict.packetComplete)
        g_evPacketComplete.Set();
    if (verdict.bytesArrived)
        g_evBytesArrived.Set();
}

} // namespace vek
