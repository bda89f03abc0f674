// Opening the port for a call and starting the modem.
#include "host/HostPanelRecord.h"
#include "host/PostToHost.h"
#include "link/CallPhase.h"
#include "link/RequestQueue.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "modem/ModemCommands.h"
#include "platform/Paths.h"
#include "serial/LineSettings.h"
#include "vek_comm2.h"

#include <vector>

namespace vek {
namespace {

void QueueModemCommands(const CModem& modem, const PanelRecordView& record, int completionCode)
{
    std::vector<std::unique_ptr<CPool>> steps;
    if (modem.m_dwFlags & MODEM_ATTENTION)
        steps.push_back(std::make_unique<CPool>(std::string(MODEM_ATTENTION_LINE), STEP_PAUSE, 0, CODE_NONE, 1, 0));
    steps.push_back(std::make_unique<CPool>(ResetLine(modem), STEP_MODEM, 0, 84, 1, 0));

    PanelTraits traits;
    if (record.IsAttached()) {
        traits.expectedType = record.ExpectedType();
        traits.options = record.PanelOptions();
    }
    // The last of the initialisation lines carries the completion code.
    std::vector<std::string> init{FirstInitLine(modem, record.IsAttached() ? &traits : nullptr)};
    if (const auto line = SecondInitLine(modem))
        init.push_back(*line);
    if (const auto line = ThirdInitLine(modem))
        init.push_back(*line);
    for (size_t i = 0; i < init.size(); ++i) {
        const int code = i + 1 == init.size() ? completionCode : CODE_NONE;
        steps.push_back(std::make_unique<CPool>(init[i], STEP_MODEM, 0, code, 1, 0));
    }
    {
        CSingleLock lock(g_csQueue);
        for (auto& step : steps)
            QueueAppend(std::move(step), false);
    }
    g_evQueue.Set();
}

} // namespace

bool Session::CheckPortAvailable(int port)
{
    const std::string path = PortDevicePath(port);
    SerialDevice* device = m_commCtrl.Device();
    if (path.empty() || device == nullptr || !device->Probe(path)) {
        PostToHost(VEK_NOTIFY_PORT_UNAVAILABLE);
        return false;
    }
    return true;
}

int Session::CommInit(int completionCode)
{
    ++g_nCallSerial; // what an earlier call's end still queued leaves alone
    CloseCall();
    CModem* modem = CurrentModem();
    if (modem == nullptr)
        return 0;
    const PanelRecordView record(m_pPanelRecord);
    const int32_t speed = (modem->IsPCLink() && record.IsAttached()) ? record.DirectLinkSpeed() : modem->m_nBaudRate;
    // The stored speed is the line's: one that cannot be set is not kept.
    if (speed == 0)
        return 0;
    const std::string settings = FormatLineSettings(speed, m_nStopBits);
    const auto wantedPort = static_cast<int16_t>(modem->m_nComPort);

    // A device that vanished while open is closed here, so that the probe
    // below tells the host whether it has come back.
    if (m_commCtrl.GetPortOpen() && (m_commCtrl.GetCommPort() != wantedPort || m_commCtrl.IsDeviceGone())) {
        CSingleLock lock(g_csPort);
        m_commCtrl.SetPortOpen(false);
    }
    if (m_commCtrl.GetPortOpen()) {
        // An open port takes the new speed at once, or keeps its old one.
        if (!m_commCtrl.SetSettings(settings)) {
            PostToHost(VEK_NOTIFY_PORT_UNAVAILABLE);
            return 0;
        }
    } else {
        const std::string previous = m_commCtrl.GetSettings();
        m_commCtrl.SetSettings(settings);
        m_commCtrl.SetCommPort(wantedPort);
        if (!CheckPortAvailable(modem->m_nComPort)) {
            m_commCtrl.SetSettings(previous);
            return 0;
        }
        bool opened = false;
        {
            CSingleLock lock(g_csPort);
            opened = m_commCtrl.SetPortOpen(true);
        }
        // The probe passed but the open did not (a speed the device refuses,
        // or the device taken in between): the port cannot be had.
        if (!opened) {
            m_commCtrl.SetSettings(previous);
            PostToHost(VEK_NOTIFY_PORT_UNAVAILABLE);
            return 0;
        }
    }
    m_nCurrentBaudRate = speed;
    if (modem->IsPCLink())
        return 1;
    QueueModemCommands(*modem, record, completionCode);
    return 1;
}

} // namespace vek
