// Wires the modem, the panel, the faults and the line together: bytes from
// the host go through the modem (or straight to the panel on a direct link),
// the panel's answers go back through the faults, paced, to the line.
#pragma once

#include "FaultInjector.h"
#include "Line.h"
#include "Panel.h"
#include "Trace.h"
#include "panelsim/Modem.h"
#include "panelsim/Observations.h"
#include "panelsim/Options.h"
#include "panelsim/Time.h"

#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace panelsim {

class Station {
public:
    Station(const Options& options, Line& line, Trace& trace, Observations& observations);

    void Begin(Time now);
    void Advance(Time now);
    std::optional<Time> NextDeadline() const;

    void Ring(int times, Time now);
    void DropLine(Time now);
    Panel& GetPanel() { return m_panel; }
    const Panel& GetPanel() const { return m_panel; }

private:
    struct Pending {
        Time due;
        std::vector<uint8_t> bytes;
        std::string what;
        bool discardStale = false;
        bool isReply = false;
    };

    void Feed(std::span<const uint8_t> bytes, Time now);
    void FeedPanel(std::span<const uint8_t> bytes, Time now);
    // holdData: the modem's data bytes wait in m_heldData for FeedHeldData
    // (unless an event comes first).
    void PumpModem(Time now, bool holdData = false);
    void FeedHeldData(Time now);
    void OnModemEvent(const ModemEvent& event, Time now);
    void LineUp(Time now, bool panelCalled);
    void LineDown(Time now);
    void QueuePanelOutput(Time now);
    void SendDue(Time now);
    void CountReply(Time now);
    void CheckTimers(Time now);
    bool DataPathUp() const;
    int FillersInForce() const;

    Options m_options;
    Line& m_line;
    Trace& m_trace;
    Observations& m_observations;
    std::optional<Modem> m_modem;
    Panel m_panel;
    FaultInjector m_faults;
    // Faults on what the host sends draw from a generator of their own, so
    // each direction's damage follows only its own bytes, not their timing.
    FaultInjector m_faultsReceived;
    std::deque<Pending> m_pending;
    std::vector<uint8_t> m_heldData; // from the modem, not yet fed to the panel
    std::optional<Time> m_callbackAt;
    std::optional<Time> m_dropAt;
    bool m_dropDone = false;
    int m_repliesSent = 0;
};

} // namespace panelsim
