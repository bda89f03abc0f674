// The alarm panel behind the modem: identifies itself when the line comes
// up, opens a session on the right open code, answers reads, writes,
// commands and control frames in the link mode it was given, and refuses
// what it is told to refuse.
#pragma once

#include "FillerFilter.h"
#include "PanelMemory.h"
#include "RefusalPolicy.h"
#include "Trace.h"
#include "panelsim/FrameReader.h"
#include "panelsim/Observations.h"
#include "panelsim/Options.h"
#include "panelsim/Time.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace panelsim {

// Bytes the panel wants on the line.
struct Outgoing {
    enum class Kind { Identification, Reply };
    Kind kind = Kind::Reply;
    std::vector<uint8_t> bytes;
    int extraDelayMs = 0;      // on top of the panel's think time
    bool discardStale = false; // direct link: what the host never read goes first
    std::string what;
};

class Panel {
public:
    Panel(const PanelOptions& options, bool pcLink, Observations& observations, Trace& trace);

    // The line to the host is up: a call connected, or the direct link live.
    // panelCalled: the panel placed this call itself.
    void LineUp(Time now, bool panelCalled);
    void LineDown(Time now);
    bool LineIsUp() const { return m_lineUp; }

    void Receive(std::span<const uint8_t> bytes, Time now);
    void Tick(Time now);
    std::optional<Time> NextDeadline() const;
    std::vector<Outgoing> TakeOutgoing();

    void SetFillersAfterByte(int count) { m_filter.SetFillersAfterByte(count); }
    bool IdentificationSent() const { return m_identSent; }
    // True once after a call ends on which the panel asked to call back.
    bool TakeCallbackRequest();

    PanelMemory& Memory() { return m_memory; }
    RefusalPolicy& Refusals() { return m_refusals; }

private:
    void Handle(const Request& request, Time now);
    void HandleControl(const Request& request);
    void OnSessionOpen(const Request& request, FrameRecord& record);
    void OnData(const Request& request, FrameRecord& record);
    void DescribeLongData(const Request& request, FrameRecord& record) const;
    void OnLongData(const Request& request, FrameRecord& record);
    void AnswerRead(const Request& request, const FrameRecord& record);
    void OnShortData(const Request& request, FrameRecord& record);
    bool RefusedBeforeData(const Request& request, FrameRecord& record);
    void AnswerCommand(const Request& request);
    void SendIdentification(Time now, bool unprompted);
    std::optional<Time> RepeatIdentAt() const;
    void CloseSession();
    // One trace line per run of bytes the frame reader threw away.
    void TraceDiscarded();

    void Acknowledge(const Request& request, std::vector<uint8_t> shortPayload = {});
    void Refuse(const Request& request, int reason);
    void Reply(std::vector<uint8_t> bytes, std::string what, int extraDelayMs = 0);
    bool ShortMode() const;

    PanelOptions m_options;
    bool m_pcLink;
    Observations& m_observations;
    Trace& m_trace;
    PanelMemory m_memory;
    RefusalPolicy m_refusals;
    FillerFilter m_filter;
    FrameReader m_reader;

    bool m_lineUp = false;
    bool m_panelCalled = false;
    bool m_sessionOpen = false;
    bool m_identSent = false;
    bool m_answerFlagSent = false;
    bool m_callbackWanted = false;
    std::optional<Time> m_identDueAt;
    std::optional<Time> m_lastIdentAt;
    Time m_lastRxAt{};
    std::vector<Outgoing> m_outgoing;
};

} // namespace panelsim
