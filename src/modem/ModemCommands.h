// The AT command lines sent to a modem, composed from its definition. Callers
// pass what they know of the call as plain values; nothing here reads the
// dialog or the host record.
#pragma once

#include "modem/CModem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vek {

inline constexpr char MODEM_TERMINATOR = '\r';
inline constexpr const char* MODEM_ATTENTION_LINE = "AT\r";
inline constexpr const char* MODEM_EXTENDED_ANSWER_LINE = "AT$WA\r";
inline constexpr const char* MODEM_CARRIER_DETECT_LINE = "AT&CDS\r";
inline constexpr const char* MODEM_CARRIER_DETECT_ANSWER_LINE = "AT&CDSA\r";
inline constexpr const char* MODEM_EXTENDED_SUFFIX = "$W";
// Panel type and option bit that ask for the extended "$W" handling.
inline constexpr uint16_t PANEL_TYPE_EXTENDED_W = 15;
inline constexpr uint16_t PANEL_OPTION_EXTENDED_W = 0x0020;
// Link mode whose dial line ends in "R".
inline constexpr int LINK_MODE_REVERSE_DIAL = 3;
// Largest number of RING waits queued for one answer.
inline constexpr int MAX_ANSWER_RING_WAITS = 255;

// What the call's host panel record says about the panel, when there is one.
struct PanelTraits {
    uint16_t expectedType = 0;
    uint16_t options = 0;
};

// True when a panel of this kind wants the extended "$W" handling.
bool PanelWantsExtendedW(const PanelTraits& panel);
// True when the third initialisation string already carries "$W".
bool Init3HasExtendedW(const CModem& modem);

std::string ResetLine(const CModem& modem);
// panel is null when no host panel record belongs to the call.
std::string FirstInitLine(const CModem& modem, const PanelTraits* panel);
// Empty optional: the line is not sent at all.
std::optional<std::string> SecondInitLine(const CModem& modem);
std::optional<std::string> ThirdInitLine(const CModem& modem);
std::string AutoAnswerLine(const CModem& modem);
std::string DialLine(const CModem& modem, std::string_view phoneNumber, int linkMode);
// Sent exactly as stored, without terminator; may be empty (a step without data).
std::string EscapeLine(const CModem& modem);
std::string HangUpLine(const CModem& modem);

// How many RING results to wait for before CONNECT. The ring count may come
// from a signed 16-bit host field: a negative count waits for none, and the
// count is capped at the largest value a modem's ring register holds.
int AnswerRingWaits(const CModem& modem);

// Formats a definition's printf-style text with one integer. The text comes
// from a file, so only integer conversions take the value (each of them, as
// there is only one); "%%" is a percent sign; any other conversion is copied
// as it stands, and widths and precisions are capped.
std::string FormatWithInteger(std::string_view format, int32_t value);

} // namespace vek
