#include "Station.h"

#include "panelsim/Identification.h"

#include <algorithm>
#include <utility>

namespace panelsim {

Station::Station(const Options& options, Line& line, Trace& trace, Observations& observations)
    : m_options(options), m_line(line), m_trace(trace), m_observations(observations),
      m_panel(options.panel, options.pcLink, observations, trace), m_faults(options.faults, options.seed),
      m_faultsReceived(options.faults, options.seed ^ 0x9E3779B9u)
{
    if (!options.pcLink)
        m_modem.emplace(options.modem);
}

void Station::Begin(Time now)
{
    // A direct link is live as soon as the port is there.
    if (!m_modem)
        LineUp(now, false);
}

void Station::Advance(Time now)
{
    Feed(m_line.TakeReceived(now), now);
    if (m_modem) {
        m_modem->Tick(now);
        PumpModem(now);
    }
    CheckTimers(now);
    m_panel.SetFillersAfterByte(FillersInForce());
    m_panel.Tick(now);
    QueuePanelOutput(now);
    SendDue(now);
    m_line.Flush(now);
}

std::optional<Time> Station::NextDeadline() const
{
    std::optional<Time> next = Earliest(m_line.NextDeadline(), m_panel.NextDeadline());
    if (m_modem)
        next = Earliest(next, m_modem->NextDeadline());
    if (!m_pending.empty())
        next = Earliest(next, m_pending.front().due);
    next = Earliest(next, m_callbackAt);
    return Earliest(next, m_dropAt);
}

void Station::Feed(std::span<const uint8_t> bytes, Time now)
{
    if (bytes.empty())
        return;
    m_panel.SetFillersAfterByte(FillersInForce());
    if (!m_modem) {
        FeedPanel(bytes, now);
        QueuePanelOutput(now);
        return;
    }
    // One byte at a time: a byte can switch the modem between modes. The
    // data bytes among them reach the panel together, so that its faults
    // and what it throws away read as one piece in the trace.
    for (const uint8_t byte : bytes) {
        m_modem->Receive(byte, now);
        PumpModem(now, true);
    }
    FeedHeldData(now);
    QueuePanelOutput(now);
}

void Station::FeedPanel(std::span<const uint8_t> bytes, Time now)
{
    if (!m_panel.LineIsUp())
        return;
    if (!m_options.faults.onReceived) {
        m_panel.Receive(bytes, now);
        return;
    }
    std::string what;
    const std::vector<uint8_t> damaged = m_faultsReceived.Damage(bytes, m_observations.counters, &what);
    if (!what.empty())
        m_trace.Line("fault on RX " + HexBytes(bytes) + ": " + what);
    m_panel.Receive(damaged, now);
}

void Station::FeedHeldData(Time now)
{
    if (m_heldData.empty())
        return;
    FeedPanel(std::exchange(m_heldData, {}), now);
}

void Station::PumpModem(Time now, bool holdData)
{
    const std::string text = m_modem->TakeOutput();
    if (!text.empty())
        m_line.Send(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), now);
    const std::vector<uint8_t> data = m_modem->TakeData();
    m_heldData.insert(m_heldData.end(), data.begin(), data.end());
    const std::vector<ModemEvent> events = m_modem->TakeEvents();
    // The data before an event reaches the panel before the event does.
    if (!holdData || !events.empty())
        FeedHeldData(now);
    for (const ModemEvent& event : events)
        OnModemEvent(event, now);
    m_observations.modemPhase = m_modem->Phase();
}

void Station::OnModemEvent(const ModemEvent& event, Time now)
{
    switch (event.kind) {
    case ModemEvent::Kind::CommandLine:
        m_observations.modemCommands.push_back(event.text);
        m_trace.Line("modem command " + event.text);
        return;
    case ModemEvent::Kind::Result:
        if (event.text == "RING")
            ++m_observations.counters.rings;
        m_trace.Line("modem result " + event.text);
        return;
    case ModemEvent::Kind::CallUp:
        ++m_observations.counters.connects;
        // Every incoming call is the panel calling.
        LineUp(now, event.answered);
        return;
    case ModemEvent::Kind::DataResumed: m_trace.Line("modem back in data mode"); return;
    case ModemEvent::Kind::Escaped: m_trace.Line("modem escaped to command mode"); return;
    case ModemEvent::Kind::CallDown:
    case ModemEvent::Kind::CarrierLost: LineDown(now); return;
    }
}

void Station::LineUp(Time now, bool panelCalled)
{
    m_pending.clear();
    m_panel.LineUp(now, panelCalled);
    if (m_options.faults.dropAfterMs > 0 && !m_dropDone)
        m_dropAt = now + Millis(m_options.faults.dropAfterMs);
}

void Station::LineDown(Time now)
{
    m_pending.clear();
    m_dropAt.reset();
    m_panel.LineDown(now);
    if (m_panel.TakeCallbackRequest()) {
        m_callbackAt = now + Millis(m_options.panel.callbackDelayMs);
        m_trace.Line("panel will call back");
    }
}

void Station::Ring(int times, Time now)
{
    if (!m_modem)
        return;
    m_modem->Ring(times, now);
    PumpModem(now);
    m_line.Flush(now);
}

void Station::DropLine(Time now)
{
    ++m_observations.counters.lineDrops;
    m_trace.Line("line drop");
    if (m_modem) {
        m_modem->DropCarrier(now);
        PumpModem(now);
        m_line.Flush(now);
        return;
    }
    // A direct link comes back at once, with a panel that starts over.
    LineDown(now);
    LineUp(now, false);
}

void Station::CheckTimers(Time now)
{
    if (m_callbackAt && now >= *m_callbackAt) {
        m_callbackAt.reset();
        m_trace.Line("panel calls back");
        Ring(m_options.panel.callbackRings, now);
    }
    if (m_dropAt && now >= *m_dropAt) {
        m_dropAt.reset();
        m_dropDone = true;
        DropLine(now);
    }
}

void Station::QueuePanelOutput(Time now)
{
    for (Outgoing& out : m_panel.TakeOutgoing()) {
        const bool isReply = out.kind == Outgoing::Kind::Reply;
        int delayMs = isReply ? m_options.panel.replyDelayMs + out.extraDelayMs : 0;
        if (isReply && m_faults.MissReply()) {
            ++m_observations.counters.missedReplies;
            m_trace.Line("fault: " + out.what + " not sent");
            continue;
        }
        const int extraMs = isReply ? m_faults.ExtraDelayMs() : 0;
        if (extraMs > 0) {
            ++m_observations.counters.delayedReplies;
            delayMs += extraMs;
        }
        Time due = now + Millis(delayMs);
        // Answers leave in the order they were given.
        if (!m_pending.empty())
            due = std::max(due, m_pending.back().due);
        m_pending.push_back(Pending{due, std::move(out.bytes), std::move(out.what), out.discardStale, isReply});
    }
}

void Station::SendDue(Time now)
{
    while (!m_pending.empty() && m_pending.front().due <= now) {
        Pending pending = std::move(m_pending.front());
        m_pending.pop_front();
        if (!DataPathUp()) {
            m_trace.Line("panel " + pending.what + " dropped: no data connection");
            continue;
        }
        if (pending.discardStale)
            m_line.DiscardUnread();
        m_trace.Line("panel sends " + pending.what);
        std::string what;
        m_line.Send(m_faults.Damage(pending.bytes, m_observations.counters, &what), now);
        if (!what.empty())
            m_trace.Line("fault on " + pending.what + " " + HexBytes(pending.bytes) + ": " + what);
        if (pending.isReply)
            CountReply(now);
    }
}

void Station::CountReply(Time now)
{
    ++m_repliesSent;
    const int limit = m_options.faults.dropAfterReplies;
    if (limit <= 0 || m_dropDone || m_repliesSent < limit)
        return;
    m_dropDone = true;
    DropLine(now);
}

bool Station::DataPathUp() const { return !m_modem || m_modem->InDataMode(); }

int Station::FillersInForce() const
{
    switch (m_options.panel.fillers) {
    case FillerRule::None: return 0;
    case FillerRule::OneBetween: return 1;
    case FillerRule::FourteenAfter: return 14;
    case FillerRule::Auto: break;
    }
    const bool extended = m_modem ? m_modem->ExtendedSeen() : m_options.modem.extended;
    if (extended && m_line.Speed() == 1200)
        return 1;
    if (m_modem)
        return 0;
    // The host sets its long-form option only once it has read the block.
    const Identification& ident = m_options.panel.ident;
    const bool longForm = m_panel.IdentificationSent() && AsksForLongCommandForm(ident);
    return longForm && !AsksForPacedDirectLink(ident) ? 14 : 0;
}

} // namespace panelsim
