// The receive buffer that packet and identification steps read from, and the
// scanner's verdicts about its front.
#pragma once

#include "link/PanelIdentification.h"
#include "link/ReceiveScanner.h"

#include <atomic>
#include <cstdint>
#include <span>

namespace vek {

class Session;

// Guarded by g_csReceive.
extern ReceiveBuffer g_rxBuffer;
// The complete frame at the front passed its check. Atomic: the scan
// (receive route or worker, under g_csReceive) stores it before the events
// that make the worker read it.
inline std::atomic<int32_t> g_bPacketGood{0};
// The scanner skipped a length below 2 to find its footing again. Atomic,
// stored as g_bPacketGood is.
inline std::atomic<int32_t> g_bResynced{0};
// A whole NO CARRIER line arrived inside a frame that may still complete.
// Guarded by g_csReceive: set by the receive route, cleared when a good frame
// completes, taken by the worker when the frame that claimed it fails.
inline bool g_bNoCarrierDeferred = false;

// Worker: whether a NO CARRIER line waited on a frame that has now failed.
bool TakeDeferredNoCarrier();

// What the scanner needs to know of the call in hand.
ScanRules CurrentScanRules(const Session& session);

// The dialog's identification (m_ident, m_lastReply) is guarded by
// g_csReceive: the worker identifies the panel while the host's thread may
// re-read an answered call's reply and routes received bytes.
bool IdentifiesWideCode50Panel(const Session& session);
PanelIdentification IdentificationOf(const Session& session);

// Appends received packet bytes, scans, and raises the scanner's events.
// The caller holds g_csReceive.
ScanVerdict FeedPacketBytes(std::span<const uint8_t> bytes, const ScanRules& rules);
// Scans what is buffered again and raises the scanner's events. The caller
// holds g_csReceive.
ScanVerdict RescanPacketBytes(const ScanRules& rules);

} // namespace vek
