// Everything a simulator run can be told: the modem, the panel behind it,
// the faults on the line, and where the trace goes.
#pragma once

#include "panelsim/Identification.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace panelsim {

enum class DialOutcome { Connect, Busy, NoCarrier, NoDialtone, NoAnswer, Silence };

std::optional<DialOutcome> DialOutcomeFromName(std::string_view name);

struct DialScript {
    DialOutcome outcome = DialOutcome::Connect;
    int connectSpeed = 0; // 0: a bare CONNECT
    int delayMs = -1;     // -1: the modem's dial delay
};

struct ModemOptions {
    std::map<std::string, DialScript> numbers; // dialled number -> outcome
    DialScript unknownNumber;
    int dialDelayMs = 500;
    int ringIntervalMs = 1000;
    int answerDelayMs = 500; // from the answering ring to CONNECT
    int answerConnectSpeed = 0;
    bool extended = false; // the host drives it as an extended modem
};

// Which filler bytes the host puts between the bytes of a frame.
enum class FillerRule {
    Auto, // follow the host's rules from speed, modem and identification
    None,
    OneBetween,    // one 0xFF between bytes (1200 bit/s, extended modem)
    FourteenAfter, // fourteen 0xFF after each byte but the last (direct link)
};

struct CommandReply {
    uint8_t replyCommand = 0x50;
    std::vector<uint8_t> payload;
    bool acknowledgeFirst = false; // P at once, this reply after delayMs
    int delayMs = 300;
};

struct RefusalRule {
    int reason = 7;
    int remaining = -1; // -1: every matching request
    bool ranged = false;
    uint16_t first = 0;
    uint16_t last = 0xFFFF;
};

struct PanelOptions {
    int linkMode = 2;
    Identification ident;
    std::vector<uint8_t> openCode{0x12, 0x34}; // 2 or 3 bytes
    int openRefusalReason = 4;
    int identDelayMs = 500;      // after the line comes up
    int identRepeatMs = 8000;    // quiet time before identifying again
    int pcLinkPeriodMs = 1500;   // unprompted identification on a direct link
    int callbackDelayMs = 2000;  // answer-mode panel calls back after the hang-up
    int callbackRings = 10;      // rings offered before the call back gives up
    int replyDelayMs = 20;       // the panel's think time
    int frameGapMs = 1000;       // a partial frame this old is given up
    bool requireSession = true;  // data before the session-open frame is refused with 2
    bool twoByteAddress = false; // mode 3: high byte then low byte
    uint8_t shortAddressHigh = 0;
    std::set<uint8_t> readCommands{0x52, 0x75};
    std::set<uint8_t> writeCommands{0x57, 0x2D};
    std::set<uint8_t> shortWriteCodes{0xC0, 0xD0, 0xE0, 0xF0, 0x0C, 0x0D, 0x0E, 0x0F};
    std::map<uint8_t, uint8_t> readReplyCommands; // read command -> reply command
    std::map<uint8_t, CommandReply> commandReplies;
    std::vector<RefusalRule> refusals;
    FillerRule fillers = FillerRule::Auto;
    std::string memoryFile; // loaded at start when set
};

struct FaultOptions {
    double corruptRate = 0; // per byte sent: flip one random bit
    double dropRate = 0;    // per byte sent: lose it
    double noiseRate = 0;   // per byte sent: a burst of random bytes in front
    int noiseBurstMax = 4;
    double delayRate = 0; // per reply: hold it back delayMs more
    int delayMs = 2000;
    double missRate = 0;      // per reply: never send it
    int dropAfterReplies = 0; // line drop after this many replies (once)
    int dropAfterMs = 0;      // line drop this long after the call came up (once)
    bool onReceived = false;  // byte faults also hit what the host sends
};

struct Options {
    ModemOptions modem;
    PanelOptions panel;
    FaultOptions faults;
    bool pcLink = false;   // no modem: bytes go straight to the panel
    bool lineRate = false; // pace both directions at the port's speed
    int lineSpeed = 9600;  // used when the descriptor has no speed of its own
    std::string tracePath; // "-" for stderr
    uint32_t seed = 1;
};

} // namespace panelsim
