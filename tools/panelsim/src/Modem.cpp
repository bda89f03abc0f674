#include "panelsim/Modem.h"

#include "panelsim/ModemCommandLine.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

namespace panelsim {
namespace {

constexpr size_t kLongestLine = 255;
constexpr uint8_t kBackspace = 0x08;

int NumericCode(ModemResult result)
{
    switch (result) {
    case ModemResult::Ok: return 0;
    case ModemResult::Connect: return 1;
    case ModemResult::Ring: return 2;
    case ModemResult::NoCarrier: return 3;
    case ModemResult::Error: return 4;
    case ModemResult::NoDialtone: return 6;
    case ModemResult::Busy: return 7;
    case ModemResult::NoAnswer: return 8;
    }
    return 4;
}

std::string Upper(std::string_view text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    return upper;
}

ModemResult ResultOf(DialOutcome outcome)
{
    switch (outcome) {
    case DialOutcome::Busy: return ModemResult::Busy;
    case DialOutcome::NoCarrier: return ModemResult::NoCarrier;
    case DialOutcome::NoDialtone: return ModemResult::NoDialtone;
    case DialOutcome::NoAnswer: return ModemResult::NoAnswer;
    default: return ModemResult::Connect;
    }
}

} // namespace

const char* ResultWord(ModemResult result)
{
    switch (result) {
    case ModemResult::Ok: return "OK";
    case ModemResult::Connect: return "CONNECT";
    case ModemResult::Ring: return "RING";
    case ModemResult::NoCarrier: return "NO CARRIER";
    case ModemResult::Error: return "ERROR";
    case ModemResult::NoDialtone: return "NO DIALTONE";
    case ModemResult::Busy: return "BUSY";
    case ModemResult::NoAnswer: return "NO ANSWER";
    }
    return "ERROR";
}

Modem::Modem(const ModemOptions& options) : m_options(options) { ResetSettings(); }

void Modem::ResetSettings()
{
    m_registers.fill(0);
    m_registers[2] = '+';
    m_registers[3] = '\r';
    m_registers[4] = '\n';
    m_registers[5] = kBackspace;
    m_registers[6] = 2;
    m_registers[7] = 50;
    m_registers[8] = 2;
    m_registers[10] = 14;
    m_registers[12] = 50;
    m_echo = true;
    m_verbose = true;
    m_quiet = false;
    m_extendedSeen = m_options.extended;
}

int Modem::Register(int n) const { return n >= 0 && n < 256 ? m_registers[static_cast<size_t>(n)] : 0; }

Millis Modem::GuardTime() const { return Millis(m_registers[12] * 20); }

void Modem::Receive(uint8_t byte, Time now)
{
    if (m_phase == ModemPhase::Online) {
        ReceiveDataByte(byte, now);
        return;
    }
    if (m_phase == ModemPhase::Dialling || m_phase == ModemPhase::Answering) {
        // Any key gives up a call attempt, as on a Hayes modem.
        if (byte < 0x20 || byte > 0x7E)
            return;
        m_dialDoneAt.reset();
        m_answerAt.reset();
        m_phase = ModemPhase::Command;
        SendResult(ModemResult::NoCarrier);
        return;
    }
    ReceiveCommandChar(byte, now);
}

void Modem::ReceiveCommandChar(uint8_t byte, Time now)
{
    if (byte == m_registers[3]) {
        if (m_echo)
            m_output += static_cast<char>(byte);
        ExecuteLine(now);
        return;
    }
    if (byte == m_registers[5]) {
        if (!m_line.empty())
            m_line.pop_back();
        if (m_echo)
            m_output += static_cast<char>(byte);
        return;
    }
    // Line feeds, fillers and other controls are not part of a command.
    if (byte < 0x20 || byte > 0x7E)
        return;
    if (m_echo)
        m_output += static_cast<char>(byte);
    if (m_line.size() >= kLongestLine) {
        m_lineOverflow = true;
        return;
    }
    m_line += static_cast<char>(byte);
}

void Modem::ExecuteLine(Time now)
{
    const std::string line = std::exchange(m_line, {});
    const bool overflow = std::exchange(m_lineOverflow, false);
    // A modem skips whatever comes before the attention letters.
    const size_t at = Upper(line).find("AT");
    if (at == std::string::npos)
        return;
    const std::string text = line.substr(at);
    AddEvent(ModemEvent::Kind::CommandLine, text);
    if (overflow) {
        SendResult(ModemResult::Error);
        return;
    }
    const auto commands = ParseCommandLine(std::string_view(text).substr(2));
    if (!commands) {
        SendResult(ModemResult::Error);
        return;
    }
    for (const ModemCommand& command : *commands)
        if (Execute(command, now) == Flow::Stop)
            return;
    SendResult(ModemResult::Ok);
}

Modem::Flow Modem::Execute(const ModemCommand& command, Time now)
{
    switch (command.kind) {
    case ModemCommand::Kind::SetRegister:
        if (command.number > 255 || command.value > 255) {
            SendResult(ModemResult::Error);
            return Flow::Stop;
        }
        m_registers[static_cast<size_t>(command.number)] = command.value;
        return Flow::Continue;
    case ModemCommand::Kind::QueryRegister: {
        char text[16];
        std::snprintf(text, sizeof text, "\r\n%03d\r\n", Register(command.number));
        m_output += text;
        return Flow::Continue;
    }
    case ModemCommand::Kind::Dial: StartDial(command.text, now); return Flow::Stop;
    case ModemCommand::Kind::Extended: return ExecuteExtended(command, now);
    case ModemCommand::Kind::Ampersand:
        if (command.letter == 'F')
            ResetSettings();
        return Flow::Continue;
    case ModemCommand::Kind::Basic: return ExecuteBasic(command, now);
    }
    return Flow::Continue;
}

Modem::Flow Modem::ExecuteBasic(const ModemCommand& command, Time now)
{
    switch (command.letter) {
    case 'E': m_echo = command.number > 0; return Flow::Continue;
    case 'V': m_verbose = command.number > 0; return Flow::Continue;
    case 'Q': m_quiet = command.number > 0; return Flow::Continue;
    case 'Z':
        if (CallUp())
            EndCall(ModemEvent::Kind::CallDown);
        ResetSettings();
        SendResult(ModemResult::Ok);
        return Flow::Stop;
    case 'H':
        if (command.number <= 0 && CallUp())
            EndCall(ModemEvent::Kind::CallDown);
        return Flow::Continue;
    case 'O':
        if (m_phase != ModemPhase::OnlineCommand) {
            SendResult(ModemResult::NoCarrier);
            return Flow::Stop;
        }
        ResumeData(now, ModemResult::Connect);
        return Flow::Stop;
    case 'A':
        if (m_phase != ModemPhase::Ringing) {
            SendResult(ModemResult::NoCarrier);
            return Flow::Stop;
        }
        m_nextRingAt.reset();
        m_phase = ModemPhase::Answering;
        m_answerAt = now + Millis(m_options.answerDelayMs);
        return Flow::Stop;
    default: return Flow::Continue;
    }
}

Modem::Flow Modem::ExecuteExtended(const ModemCommand& command, Time now)
{
    const std::string& name = command.text;
    const bool resumes = name == "$WA" || name == "&CDS" || name == "&CDSA";
    // Only a host that drives an extended modem sends any of these; "$W"
    // alone is sent for some panels only.
    if (name == "$W" || resumes)
        m_extendedSeen = true;
    if (!resumes)
        return Flow::Continue;
    // These pick up the data connection of the call in hand.
    const ModemResult result = name == "&CDS" ? ModemResult::Ok : ModemResult::Connect;
    if (m_phase != ModemPhase::OnlineCommand) {
        SendResult(result == ModemResult::Ok ? ModemResult::Ok : ModemResult::NoCarrier);
        return Flow::Stop;
    }
    ResumeData(now, result);
    return Flow::Stop;
}

void Modem::StartDial(const std::string& dialString, Time now)
{
    if (CallUp()) {
        SendResult(ModemResult::Error);
        return;
    }
    const std::string number = DialledNumber(dialString);
    const auto it = m_options.numbers.find(number);
    m_dial = it != m_options.numbers.end() ? it->second : m_options.unknownNumber;
    if (m_dial.outcome == DialOutcome::Silence) {
        AddEvent(ModemEvent::Kind::Result, "(no result)");
        return;
    }
    const int delay = m_dial.delayMs >= 0 ? m_dial.delayMs : m_options.dialDelayMs;
    m_phase = ModemPhase::Dialling;
    m_dialDoneAt = now + Millis(delay);
}

void Modem::FinishDial(Time now)
{
    m_dialDoneAt.reset();
    if (m_dial.outcome == DialOutcome::Connect) {
        Connect(now, false, m_dial.connectSpeed);
        return;
    }
    m_phase = ModemPhase::Command;
    SendResult(ResultOf(m_dial.outcome));
}

void Modem::Ring(int times, Time now)
{
    if (m_phase != ModemPhase::Command && m_phase != ModemPhase::Ringing)
        return;
    m_phase = ModemPhase::Ringing;
    m_ringsLeft = times;
    m_ringCount = 0;
    RingOnce(now);
}

void Modem::RingOnce(Time now)
{
    m_nextRingAt.reset();
    if (m_ringsLeft <= 0) {
        m_phase = ModemPhase::Command; // the caller gave up
        return;
    }
    --m_ringsLeft;
    ++m_ringCount;
    SendResult(ModemResult::Ring);
    const int answerAfter = m_registers[0];
    if (answerAfter > 0 && m_ringCount >= answerAfter) {
        m_phase = ModemPhase::Answering;
        m_answerAt = now + Millis(m_options.answerDelayMs);
        return;
    }
    m_nextRingAt = now + Millis(m_options.ringIntervalMs);
}

void Modem::Connect(Time now, bool answered, int speed)
{
    m_phase = ModemPhase::Online;
    m_lastDataAt = now;
    m_heldPluses = 0;
    m_escapeAt.reset();
    m_nextRingAt.reset();
    m_answerAt.reset();
    SendResult(ModemResult::Connect, speed);
    AddEvent(ModemEvent::Kind::CallUp, {}, answered);
}

void Modem::ResumeData(Time now, ModemResult result)
{
    m_phase = ModemPhase::Online;
    m_lastDataAt = now;
    SendResult(result);
    AddEvent(ModemEvent::Kind::DataResumed);
}

void Modem::EndCall(ModemEvent::Kind why)
{
    m_phase = ModemPhase::Command;
    m_heldPluses = 0;
    m_escapeAt.reset();
    m_answerAt.reset();
    m_nextRingAt.reset();
    AddEvent(why);
}

void Modem::DropCarrier(Time)
{
    if (m_phase == ModemPhase::Dialling) {
        m_dialDoneAt.reset();
        m_phase = ModemPhase::Command;
        SendResult(ModemResult::NoCarrier);
        return;
    }
    if (!CallUp() && m_phase != ModemPhase::Answering)
        return;
    EndCall(ModemEvent::Kind::CarrierLost);
    SendResult(ModemResult::NoCarrier);
}

void Modem::ReceiveDataByte(uint8_t byte, Time now)
{
    const int escapeChar = m_registers[2];
    const bool quietBefore = now - m_lastDataAt >= GuardTime();
    const bool isEscapeChar = escapeChar <= 127 && byte == escapeChar;
    // The first "+" needs a guard time of silence before it, the next two
    // must follow within it; they are held back until the sequence breaks.
    const bool continues = m_heldPluses == 0 ? quietBefore : !quietBefore;
    if (isEscapeChar && m_heldPluses < 3 && continues) {
        ++m_heldPluses;
        m_lastDataAt = now;
        if (m_heldPluses == 3)
            m_escapeAt = now + GuardTime();
        return;
    }
    ReleaseHeldEscape();
    m_lastDataAt = now;
    m_data.push_back(byte);
}

void Modem::ReleaseHeldEscape()
{
    m_data.insert(m_data.end(), static_cast<size_t>(m_heldPluses), static_cast<uint8_t>(m_registers[2]));
    m_heldPluses = 0;
    m_escapeAt.reset();
}

void Modem::Tick(Time now)
{
    if (m_dialDoneAt && now >= *m_dialDoneAt)
        FinishDial(now);
    if (m_nextRingAt && now >= *m_nextRingAt)
        RingOnce(now);
    if (m_answerAt && now >= *m_answerAt)
        Connect(now, true, m_options.answerConnectSpeed);
    if (m_escapeAt && now >= *m_escapeAt) {
        m_escapeAt.reset();
        m_heldPluses = 0;
        m_phase = ModemPhase::OnlineCommand;
        AddEvent(ModemEvent::Kind::Escaped);
        SendResult(ModemResult::Ok);
        return;
    }
    if (m_heldPluses > 0 && m_heldPluses < 3 && now - m_lastDataAt >= GuardTime())
        ReleaseHeldEscape();
}

std::optional<Time> Modem::NextDeadline() const
{
    std::optional<Time> next = Earliest(m_dialDoneAt, m_nextRingAt);
    next = Earliest(next, m_answerAt);
    next = Earliest(next, m_escapeAt);
    if (m_heldPluses > 0 && m_heldPluses < 3)
        next = Earliest(next, m_lastDataAt + GuardTime());
    return next;
}

void Modem::SendResult(ModemResult result, int connectSpeed)
{
    std::string word = ResultWord(result);
    if (result == ModemResult::Connect && connectSpeed > 0)
        word += " " + std::to_string(connectSpeed);
    AddEvent(ModemEvent::Kind::Result, word);
    if (m_quiet)
        return;
    if (!m_verbose) {
        m_output += std::to_string(NumericCode(result)) + "\r";
        return;
    }
    m_output += "\r\n" + word + "\r\n";
}

void Modem::AddEvent(ModemEvent::Kind kind, std::string text, bool answered)
{
    m_events.push_back(ModemEvent{kind, std::move(text), answered});
}

std::string Modem::TakeOutput() { return std::exchange(m_output, {}); }
std::vector<uint8_t> Modem::TakeData() { return std::exchange(m_data, {}); }
std::vector<ModemEvent> Modem::TakeEvents() { return std::exchange(m_events, {}); }

} // namespace panelsim
