#include "Panel.h"

#include "panelsim/Frames.h"
#include "panelsim/Identification.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace panelsim {
namespace {

// A mode 1 length byte cannot describe more than this after the command.
constexpr size_t kLongestMode1Payload = 255 - 3;
constexpr size_t kLongestPayload = 8192;
// An identification due while the host is still sending waits this long.
constexpr Millis kIdentPostpone{100};

// The panel that identifies as type 0xE2 version 0x96 answers code 0x50
// with three data bytes.
bool ThreeByteCode50(const Identification& ident)
{
    return ReportedType(ident) == 0xE2 && ReportedVersion(ident) == 0x96;
}

ReaderSettings SettingsFor(const PanelOptions& options)
{
    ReaderSettings settings;
    settings.mode = NormalLinkMode(options.linkMode);
    settings.openCodeLength = options.openCode.size() == 3 ? 3 : 2;
    settings.twoByteAddress = options.twoByteAddress;
    settings.threeByteCode50 = ThreeByteCode50(options.ident);
    settings.shortWriteCodes = options.shortWriteCodes;
    return settings;
}

std::string Describe(const char* what, uint16_t address, size_t count)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s 0x%04X count %zu", what, address, count);
    return text;
}

const char* KindName(RequestKind kind)
{
    switch (kind) {
    case RequestKind::LinkRequest: return "link request";
    case RequestKind::DialFrame: return "dial link frame";
    case RequestKind::IdentBlock: return "identification block";
    case RequestKind::SessionOpen: return "session open";
    case RequestKind::HangUp: return "hang-up";
    case RequestKind::KeepAlive: return "keep-alive";
    case RequestKind::SpeedChange: return "speed change";
    case RequestKind::Abort: return "abort";
    case RequestKind::Data: return "data";
    }
    return "frame";
}

} // namespace

Panel::Panel(const PanelOptions& options, bool pcLink, Observations& observations, Trace& trace)
    : m_options(options), m_pcLink(pcLink), m_observations(observations), m_trace(trace), m_reader(SettingsFor(options))
{
    m_options.linkMode = NormalLinkMode(options.linkMode);
    for (const RefusalRule& rule : options.refusals)
        m_refusals.Add(rule);
}

bool Panel::ShortMode() const { return m_options.linkMode == kShortCodeMode; }

void Panel::LineUp(Time now, bool panelCalled)
{
    m_lineUp = true;
    m_panelCalled = panelCalled;
    m_answerFlagSent = false;
    CloseSession();
    m_reader.Clear();
    TraceDiscarded();
    m_filter.FrameEnded();
    m_identDueAt = now + Millis(m_options.identDelayMs);
    m_lastIdentAt.reset();
    m_lastRxAt = now;
    m_trace.Line(panelCalled ? "panel line up (panel called)" : "panel line up");
}

void Panel::LineDown(Time)
{
    if (!m_lineUp)
        return;
    m_lineUp = false;
    CloseSession();
    m_identDueAt.reset();
    m_lastIdentAt.reset();
    m_reader.Clear();
    TraceDiscarded();
    // An answer-mode panel calls the host back once the host has hung up.
    if (m_answerFlagSent && !m_pcLink)
        m_callbackWanted = true;
    m_trace.Line("panel line down");
}

bool Panel::TakeCallbackRequest() { return std::exchange(m_callbackWanted, false); }

void Panel::CloseSession()
{
    m_sessionOpen = false;
    m_observations.sessionOpen = false;
    m_reader.Settings().linkFramesExpected = true;
}

void Panel::Receive(std::span<const uint8_t> bytes, Time now)
{
    for (const uint8_t byte : bytes) {
        m_lastRxAt = now;
        const std::optional<uint8_t> real = m_filter.Push(byte);
        if (!real)
            continue;
        const std::vector<Request> requests = m_reader.Push(*real);
        if (!requests.empty())
            m_filter.FrameEnded();
        for (const Request& request : requests)
            Handle(request, now);
    }
    TraceDiscarded();
}

void Panel::TraceDiscarded()
{
    for (const Discard& discard : m_reader.TakeDiscarded()) {
        m_observations.counters.discardedBytes += static_cast<int>(discard.bytes.size());
        m_trace.Line("panel threw away " + std::to_string(discard.bytes.size()) +
                     (discard.bytes.size() == 1 ? " byte (" : " bytes (") + discard.why +
                     "): " + HexBytes(discard.bytes));
    }
}

void Panel::Tick(Time now)
{
    if (!m_lineUp)
        return;
    if (m_reader.Holding() && now - m_lastRxAt >= Millis(m_options.frameGapMs)) {
        m_filter.FrameEnded();
        for (const Request& request : m_reader.GiveUpPartial())
            Handle(request, now);
        TraceDiscarded();
    }
    if (m_identDueAt && now >= *m_identDueAt) {
        // Never talk over a frame the host is still sending.
        if (m_reader.Holding())
            m_identDueAt = now + kIdentPostpone;
        else
            SendIdentification(now, false);
    }
    const std::optional<Time> repeatAt = RepeatIdentAt();
    if (repeatAt && now >= *repeatAt)
        SendIdentification(now, true);
}

std::optional<Time> Panel::RepeatIdentAt() const
{
    if (!m_lineUp || m_sessionOpen || !m_lastIdentAt)
        return std::nullopt;
    if (m_pcLink)
        return *m_lastIdentAt + Millis(m_options.pcLinkPeriodMs);
    // Only after a quiet spell much longer than the host's 2.5 s silence
    // wait, or the host would read two replies as one.
    return std::max(*m_lastIdentAt, m_lastRxAt) + Millis(m_options.identRepeatMs);
}

std::optional<Time> Panel::NextDeadline() const
{
    if (!m_lineUp)
        return std::nullopt;
    std::optional<Time> next = Earliest(m_identDueAt, RepeatIdentAt());
    if (m_reader.Holding())
        next = Earliest(next, m_lastRxAt + Millis(m_options.frameGapMs));
    return next;
}

std::vector<Outgoing> Panel::TakeOutgoing() { return std::exchange(m_outgoing, {}); }

void Panel::SendIdentification(Time now, bool unprompted)
{
    m_identDueAt.reset();
    m_lastIdentAt = now;
    Identification ident = m_options.ident;
    // On a call the panel placed itself there is nothing to call back for.
    if (m_panelCalled)
        ident.flags &= 0xFE;
    if ((ident.flags & 0x01) != 0)
        m_answerFlagSent = true;
    Outgoing out;
    out.kind = Outgoing::Kind::Identification;
    out.bytes = EncodeIdentification(ident);
    out.discardStale = m_pcLink && unprompted;
    out.what = "identification (" + std::string(IdentFormatName(ident.format)) + ")";
    m_outgoing.push_back(std::move(out));
    m_identSent = true;
    ++m_observations.counters.identifications;
}

void Panel::Handle(const Request& request, Time now)
{
    FrameRecord record;
    record.mode = m_options.linkMode;
    record.kind = request.kind;
    record.command = request.command;
    record.subAddress = request.subAddress;
    ++m_observations.counters.frames;
    m_trace.Line(std::string("panel got ") + KindName(request.kind));
    switch (request.kind) {
    case RequestKind::LinkRequest:
    case RequestKind::DialFrame:
    case RequestKind::IdentBlock: SendIdentification(now, false); break;
    case RequestKind::SessionOpen: OnSessionOpen(request, record); break;
    case RequestKind::Data: OnData(request, record); break;
    default: HandleControl(request); break;
    }
    m_observations.frames.push_back(record);
}

void Panel::HandleControl(const Request& request)
{
    switch (request.kind) {
    case RequestKind::Abort:
        // The host gave up on the call: no answer, no session.
        ++m_observations.counters.aborts;
        CloseSession();
        return;
    case RequestKind::HangUp:
        Acknowledge(request);
        CloseSession();
        return;
    case RequestKind::KeepAlive:
    case RequestKind::SpeedChange: Acknowledge(request); return;
    default: return;
    }
}

void Panel::OnSessionOpen(const Request& request, FrameRecord& record)
{
    if (request.payload != m_options.openCode) {
        record.refused = true;
        Refuse(request, m_options.openRefusalReason);
        return;
    }
    m_sessionOpen = true;
    m_observations.sessionOpen = true;
    m_reader.Settings().linkFramesExpected = false;
    // Mode 3 answers with its code and two bytes: the open code's first two.
    std::vector<uint8_t> echo = m_options.openCode;
    echo.resize(static_cast<size_t>(ShortReplyPayload(shortcode::kSessionOpen)), 0);
    Acknowledge(request, echo);
}

bool Panel::RefusedBeforeData(const Request& request, FrameRecord& record)
{
    std::optional<int> reason;
    if (m_options.requireSession && !m_sessionOpen)
        reason = 2; // open the session first
    if (!reason) {
        const bool addressed = record.operation == Operation::Read || record.operation == Operation::Write;
        reason = m_refusals.Check(addressed ? std::optional<uint16_t>(record.address) : std::nullopt, record.count);
    }
    if (!reason)
        return false;
    record.refused = true;
    Refuse(request, *reason);
    // Reasons 2 and 6 end the session: re-open, or the panel ends the call.
    if (*reason == 2 || *reason == 6)
        CloseSession();
    return true;
}

void Panel::OnData(const Request& request, FrameRecord& record)
{
    if (ShortMode())
        OnShortData(request, record);
    else
        OnLongData(request, record);
}

void Panel::DescribeLongData(const Request& request, FrameRecord& record) const
{
    // The frame's shape does not tell a read from a write: the command does.
    const std::vector<uint8_t>& p = request.payload;
    const size_t countBytes = m_options.linkMode == 1 ? 1 : 2;
    if (m_options.readCommands.count(request.command) > 0 && p.size() == 2 + countBytes) {
        record.operation = Operation::Read;
        record.address = static_cast<uint16_t>(p[0] << 8 | p[1]);
        record.count = countBytes == 1 ? p[2] : (p[2] << 8 | p[3]);
        return;
    }
    if (m_options.writeCommands.count(request.command) > 0 && p.size() >= 2) {
        record.operation = Operation::Write;
        record.address = static_cast<uint16_t>(p[0] << 8 | p[1]);
        record.count = static_cast<int>(p.size() - 2);
        return;
    }
    record.operation = Operation::Command;
    record.count = static_cast<int>(p.size());
}

void Panel::OnLongData(const Request& request, FrameRecord& record)
{
    DescribeLongData(request, record);
    if (RefusedBeforeData(request, record))
        return;
    switch (record.operation) {
    case Operation::Read: AnswerRead(request, record); return;
    case Operation::Write:
        m_memory.Write(record.address, std::span(request.payload).subspan(2));
        m_trace.Line(Describe("panel write", record.address, static_cast<size_t>(record.count)));
        Acknowledge(request);
        return;
    default: AnswerCommand(request); return;
    }
}

void Panel::AnswerRead(const Request& request, const FrameRecord& record)
{
    const size_t longest = m_options.linkMode == 1 ? kLongestMode1Payload : kLongestPayload;
    const size_t count = std::min(static_cast<size_t>(record.count), longest);
    const auto mapped = m_options.readReplyCommands.find(request.command);
    const uint8_t replyCommand = mapped != m_options.readReplyCommands.end() ? mapped->second : request.command;
    m_trace.Line(Describe("panel read", record.address, count));
    ++m_observations.counters.dataReplies;
    Reply(EncodeLongFrame(m_options.linkMode, {request.route, request.subAddress}, replyCommand,
                          m_memory.Read(record.address, count)),
          "read reply");
}

void Panel::AnswerCommand(const Request& request)
{
    const auto it = m_options.commandReplies.find(request.command);
    if (it == m_options.commandReplies.end()) {
        Acknowledge(request);
        return;
    }
    const CommandReply& reply = it->second;
    int delay = 0;
    if (reply.acknowledgeFirst) {
        Acknowledge(request);
        delay = reply.delayMs;
    }
    ++m_observations.counters.dataReplies;
    Reply(EncodeLongFrame(m_options.linkMode, {request.route, 0}, reply.replyCommand, reply.payload), "command reply",
          delay);
}

void Panel::OnShortData(const Request& request, FrameRecord& record)
{
    const size_t addressLength = m_options.twoByteAddress ? 2 : 1;
    const std::vector<uint8_t>& p = request.payload;
    if (p.size() < addressLength)
        return;
    const uint8_t high = m_options.twoByteAddress ? p[0] : m_options.shortAddressHigh;
    const uint8_t low = p[addressLength - 1];
    const std::span<const uint8_t> data = std::span(p).subspan(addressLength);
    const size_t replyLength =
        static_cast<size_t>(ShortReplyPayload(request.command, ThreeByteCode50(m_options.ident)));
    record.operation = request.shortWrite ? Operation::Write : Operation::Read;
    record.address = static_cast<uint16_t>(high << 8 | low);
    record.count = static_cast<int>(request.shortWrite ? data.size() : replyLength);
    if (RefusedBeforeData(request, record))
        return;
    if (request.shortWrite) {
        m_memory.Write(record.address, data);
        m_trace.Line(Describe("panel write", record.address, data.size()));
        ++m_observations.counters.acknowledgements;
    } else {
        m_trace.Line(Describe("panel read", record.address, replyLength));
        ++m_observations.counters.dataReplies;
    }
    // Either way the reply carries the code and the memory there now.
    Reply(EncodeShortFrame(request.command, m_memory.Read(record.address, replyLength)), "short reply");
}

void Panel::Acknowledge(const Request& request, std::vector<uint8_t> shortPayload)
{
    ++m_observations.counters.acknowledgements;
    if (!ShortMode()) {
        Reply(EncodeLongFrame(m_options.linkMode, {request.route, 0}, command::kAcknowledge, {}), "acknowledge");
        return;
    }
    // Mode 3 acknowledges with the request's own code; speed changes start
    // with 0x00, so their answer is the two bytes 00 00.
    const uint8_t code = request.kind == RequestKind::SpeedChange ? shortcode::kKeepAlive : request.command;
    Reply(EncodeShortFrame(code, shortPayload), "acknowledge");
}

void Panel::Refuse(const Request& request, int reason)
{
    ++m_observations.counters.refusals;
    m_trace.Line("panel refuses with reason " + std::to_string(reason));
    if (ShortMode()) {
        Reply(EncodeShortFrame(command::kShortRefuse, std::vector<uint8_t>{ShortRefusalByte(reason)}), "refusal");
        return;
    }
    const std::vector<uint8_t> payload{static_cast<uint8_t>(reason)};
    Reply(EncodeLongFrame(m_options.linkMode, {request.route, 0}, command::kRefuse, payload), "refusal");
}

void Panel::Reply(std::vector<uint8_t> bytes, std::string what, int extraDelayMs)
{
    Outgoing out;
    out.kind = Outgoing::Kind::Reply;
    out.bytes = std::move(bytes);
    out.extraDelayMs = extraDelayMs;
    out.what = std::move(what);
    m_outgoing.push_back(std::move(out));
}

} // namespace panelsim
