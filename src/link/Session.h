// The call state the worker and the host's thread share, and what a call
// does with the port: send a step's bytes, open the port for a call, route
// what the port received. The status dialog is a Session; the link code sees
// only this part of it. Each field says who may write it.
#pragma once

#include "host/HostPanelRecord.h"
#include "link/CPool.h"
#include "link/NoCarrierWatch.h"
#include "link/PanelIdentification.h"
#include "modem/CModemSettings.h"
#include "serial/CCommCtrl.h"
#include "vek_comm2.h"

#include <atomic>
#include <cstdint>
#include <span>

namespace vek {

class Session {
public:
    Session() = default;
    virtual ~Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Sends a step's bytes (worker); 0 when they could not be sent (reported).
    int SendString(const CPool& step);
    // Opens the port for a call and queues the modem's start-up lines.
    int CommInit(int completionCode);
    // Exclusive open-and-close of the port's device; notification 20 when
    // it cannot be had.
    bool CheckPortAvailable(int port);
    // Turns the accumulated modem text into a modem result, if it is one.
    void ParseModemResponse();
    // Writes once DSR is held, waiting at most 2000 ms for it.
    bool WriteOutput(std::span<const uint8_t> bytes);
    // One byte straight to the line: no DSR gate, no port lock.
    void WriteDirectByte(uint8_t byte);
    // Where the received characters of one control event go (modem text,
    // packet bytes, or surplus), and the line events that prove an online
    // call's line gone. Dialog thread, one event at a time.
    void RouteCommEvent(int16_t code);

    CModem* CurrentModem() const { return m_pModemSettings ? m_pModemSettings->GetCurrentModem() : nullptr; }

    // The window that hears the worker (1025, 1026, 1028). Set before the
    // worker starts; never changes while it runs.
    HWND m_hWnd = 0;

    // Worker only: what the steps of a read have gathered.
    ByteArray m_readData;
    // Guarded by g_csReceive, like m_ident.
    ByteArray m_lastReply;
    // Atomic: written by either thread (the host's speed changes, the
    // worker's code actions), read by both.
    std::atomic<int32_t> m_nCurrentBaudRate{300};
    // Never written after construction.
    int16_t m_nStopBits = 2;
    // Atomic: written by the host's thread when a call starts, read by the
    // worker.
    std::atomic<int32_t> m_nRequestDelay{100};
    std::atomic<int32_t> m_nByteDelay{0};
    std::atomic<int32_t> m_nLinkMode{0};
    // Guards its own state; PortOpen changes and a whole SendString are
    // under g_csPort.
    CCommCtrl m_commCtrl;
    // Set before the worker starts; the definitions it points to are the
    // host's to change only while no session runs.
    CModemSettings* m_pModemSettings = nullptr;
    // Atomic: the host's thread attaches and releases it; the worker reads.
    std::atomic<HostPanelRecord*> m_pPanelRecord{nullptr};
    // Written by the host's thread before it queues the call's steps
    // (ordered by g_csQueue); the worker only reads them while those run.
    ByteArray m_openCode;
    ByteArray m_idCode;
    // Atomic: written by the host's thread, read by the worker.
    std::atomic<int32_t> m_nCallMode{0};
    // Guarded by g_csReceive: the worker identifies the panel; the host's
    // thread re-reads an answered call's reply and routes received bytes.
    PanelIdentification m_ident{};
    // Atomic: written by the host's thread when a call starts, read by the
    // worker.
    std::atomic<int32_t> m_bLinkRequest{0};
    std::atomic<int32_t> m_bDialFrame{0};
    std::atomic<int32_t> m_bIdBlock{0};
    // The modem's NO CARRIER among an online call's bytes. Dialog thread
    // only (tests reset it between cases).
    NoCarrierWatch m_noCarrierWatch;

private:
    bool WatchesForNoCarrier() const;
    void ReceivePacketBytes(std::span<const uint8_t> bytes);
    void WatchSurplus(std::span<const uint8_t> bytes);
    void WatchLineEvent(int16_t code);
};

} // namespace vek
