// The status dialog: a hidden message window on the host's thread that holds
// the call's state, hosts the communications control, owns the worker and
// relays the worker's messages to the host.
#pragma once

#include "frame/HostPanelRecord.h"
#include "link/CPool.h"
#include "link/NoCarrierWatch.h"
#include "link/PanelIdentification.h"
#include "modem/CModemSettings.h"
#include "platform/Thread.h"
#include "serial/CCommCtrl.h"
#include "vek_comm2.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vek {

inline constexpr int COMM_CONTROL_ID = 100;
inline constexpr int kStatusTemplateId = 6000;

class CCommStatusDlg {
public:
    CCommStatusDlg();
    virtual ~CCommStatusDlg();
    CCommStatusDlg(const CCommStatusDlg&) = delete;
    CCommStatusDlg& operator=(const CCommStatusDlg&) = delete;

    // Creates the hidden window on the calling thread and initialises it.
    // False when no window could be made.
    bool Create(HWND parent);
    // Destroys the window; the object deletes itself afterwards.
    void DestroyWindow();

    // Returns 1 on success, -1 when the control could not be created.
    int OnInitDialog();
    // Message handlers (run on the dialog's thread).
    LRESULT OnWorkerNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnWorkerStatus(WPARAM wParam, LPARAM lParam);
    LRESULT OnKeepAliveDue(WPARAM wParam, LPARAM lParam);
    void ForcedHangUp();

    // Sends a step's bytes; 0 when they could not be sent (reported).
    int SendString(const CPool& step);
    // Opens the port and queues the modem's start-up lines.
    int CommInit(int completionCode);
    // Exclusive open-and-close of the port's device; notification 20 when
    // it cannot be had.
    bool CheckPortAvailable(int port);
    // One event of the communications control (its CommEvent).
    void OnCommEvent();
    // Turns the accumulated modem text into a modem result, if it is one.
    void ParseModemResponse();
    // Writes once DSR is held, waiting at most 2000 ms for it.
    bool WriteOutput(std::span<const uint8_t> bytes);
    // One byte straight to the line: no DSR gate, no port lock.
    void WriteDirectByte(uint8_t byte);

    CModem* CurrentModem() const { return m_pModemSettings ? m_pModemSettings->GetCurrentModem() : nullptr; }
    bool HasControl() const { return m_commCtrl.IsCreated(); }
    bool HasWorker() const { return m_pWorker != nullptr; }

    HWND m_hWnd = 0;
    HWND m_hWndParent = 0;

    // Worker only: what the steps of a read have gathered.
    ByteArray m_readData;
    // Guarded by g_csReceive, like m_ident.
    ByteArray m_lastReply;
    // Written on the host's thread, read by the worker: atomic.
    std::atomic<int32_t> m_nCurrentBaudRate{300};
    int16_t m_nStopBits = 2;
    std::atomic<int32_t> m_nRequestDelay{100};
    std::atomic<int32_t> m_nByteDelay{0};
    std::atomic<int32_t> m_nLinkMode{0};
    CCommCtrl m_commCtrl;
    CModemSettings* m_pModemSettings = nullptr;
    std::atomic<HostPanelRecord*> m_pPanelRecord{nullptr};
    ByteArray m_openCode;
    ByteArray m_idCode;
    std::atomic<int32_t> m_nCallMode{0};
    // Guarded by g_csReceive: the worker identifies the panel; the host's
    // thread re-reads an answered call's reply and routes received bytes.
    PanelIdentification m_ident{};
    std::atomic<int32_t> m_bLinkRequest{0};
    std::atomic<int32_t> m_bDialFrame{0};
    std::atomic<int32_t> m_bIdBlock{0};
    std::unique_ptr<WorkerThread> m_pWorker;
    std::string m_strStatus;
    // The modem's NO CARRIER among an online call's bytes. Dialog thread
    // only (tests reset it between cases).
    NoCarrierWatch m_noCarrierWatch;

private:
    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCommand(WPARAM wParam);
    void ResetCall();
    // Received bytes and line events that prove an online call's line gone.
    bool WatchesForNoCarrier() const;
    void ReceivePacketBytes(std::span<const uint8_t> bytes);
    void WatchSurplus(std::span<const uint8_t> bytes);
    void WatchLineEvent(int16_t code);
    void StopWorker();
};

} // namespace vek
