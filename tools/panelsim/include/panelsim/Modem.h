// A Hayes modem as the host's port sees it: command mode with echo and
// verbose result words, S-registers, dialling with scripted outcomes,
// incoming rings with auto-answer, data mode with the "+++" escape, and the
// extended commands $WA, &CDS and &CDSA.
#pragma once

#include "panelsim/ModemCommandLine.h"
#include "panelsim/Observations.h"
#include "panelsim/Options.h"
#include "panelsim/Time.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace panelsim {

enum class ModemResult { Ok, Connect, Ring, NoCarrier, Error, NoDialtone, Busy, NoAnswer };

struct ModemEvent {
    enum class Kind {
        CommandLine, // a whole line was received (text)
        Result,      // a result word went out (text)
        CallUp,      // connected: data mode; answered tells an incoming call
        DataResumed, // back to data mode on the same call
        Escaped,     // "+++" took the modem to command mode, call still up
        CallDown,    // hung up by command
        CarrierLost, // the line dropped
    };
    Kind kind;
    std::string text;
    bool answered = false;
};

class Modem {
public:
    explicit Modem(const ModemOptions& options);

    void Receive(uint8_t byte, Time now);
    void Tick(Time now);
    std::optional<Time> NextDeadline() const;

    void Ring(int times, Time now);
    void DropCarrier(Time now);

    ModemPhase Phase() const { return m_phase; }
    bool InDataMode() const { return m_phase == ModemPhase::Online; }
    bool CallUp() const { return m_phase == ModemPhase::Online || m_phase == ModemPhase::OnlineCommand; }
    bool ExtendedSeen() const { return m_extendedSeen; }
    bool Echo() const { return m_echo; }
    int Register(int n) const;

    std::string TakeOutput();        // echo and results for the host
    std::vector<uint8_t> TakeData(); // data-mode bytes for the panel
    std::vector<ModemEvent> TakeEvents();

private:
    enum class Flow { Continue, Stop };

    void ResetSettings();
    void ReceiveCommandChar(uint8_t byte, Time now);
    void ReceiveDataByte(uint8_t byte, Time now);
    void ExecuteLine(Time now);
    Flow Execute(const ModemCommand& command, Time now);
    Flow ExecuteBasic(const ModemCommand& command, Time now);
    Flow ExecuteExtended(const ModemCommand& command, Time now);
    void StartDial(const std::string& dialString, Time now);
    void FinishDial(Time now);
    void RingOnce(Time now);
    void Connect(Time now, bool answered, int speed);
    void ResumeData(Time now, ModemResult result);
    void EndCall(ModemEvent::Kind why);
    void SendResult(ModemResult result, int connectSpeed = 0);
    void ReleaseHeldEscape();
    Millis GuardTime() const;
    void AddEvent(ModemEvent::Kind kind, std::string text = {}, bool answered = false);

    ModemOptions m_options;
    ModemPhase m_phase = ModemPhase::Command;
    std::array<int, 256> m_registers{};
    bool m_echo = true;
    bool m_verbose = true;
    bool m_quiet = false;
    bool m_extendedSeen = false;
    std::string m_line;
    bool m_lineOverflow = false;

    DialScript m_dial;
    std::optional<Time> m_dialDoneAt;
    int m_ringsLeft = 0;
    int m_ringCount = 0;
    std::optional<Time> m_nextRingAt;
    std::optional<Time> m_answerAt;

    Time m_lastDataAt{};
    int m_heldPluses = 0;
    std::optional<Time> m_escapeAt;

    std::string m_output;
    std::vector<uint8_t> m_data;
    std::vector<ModemEvent> m_events;
};

const char* ResultWord(ModemResult result);

} // namespace panelsim
