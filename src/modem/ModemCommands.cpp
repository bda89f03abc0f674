#include "modem/ModemCommands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vek {

bool PanelWantsExtendedW(const PanelTraits& panel)
{
    return panel.expectedType == PANEL_TYPE_EXTENDED_W || (panel.options & PANEL_OPTION_EXTENDED_W) != 0;
}

bool Init3HasExtendedW(const CModem& modem)
{
    return modem.m_strInit3.find(MODEM_EXTENDED_SUFFIX) != std::string::npos;
}

std::string ResetLine(const CModem& modem) { return modem.m_strReset + MODEM_TERMINATOR; }

std::string FirstInitLine(const CModem& modem, const PanelTraits* panel)
{
    std::string line = modem.m_strInit;
    if ((modem.m_dwFlags & MODEM_EXTENDED) && panel && PanelWantsExtendedW(*panel))
        line += MODEM_EXTENDED_SUFFIX;
    return line + MODEM_TERMINATOR;
}

std::optional<std::string> SecondInitLine(const CModem& modem)
{
    if (modem.m_strInit2.empty())
        return std::nullopt;
    return modem.m_strInit2 + MODEM_TERMINATOR;
}

std::optional<std::string> ThirdInitLine(const CModem& modem)
{
    if (modem.m_strInit3.empty())
        return std::nullopt;
    return modem.m_strInit3 + MODEM_TERMINATOR;
}

std::string AutoAnswerLine(const CModem& modem)
{
    return FormatWithInteger(modem.m_strAutoAnswer, modem.m_nAnswerRings) + MODEM_TERMINATOR;
}

std::string DialLine(const CModem& modem, std::string_view phoneNumber, int linkMode)
{
    std::string line = "AT";
    line += modem.m_strToneDial;
    line += phoneNumber;
    if (linkMode == LINK_MODE_REVERSE_DIAL)
        line += 'R';
    return line + MODEM_TERMINATOR;
}

std::string EscapeLine(const CModem& modem) { return modem.m_strEscape; }

std::string HangUpLine(const CModem& modem) { return modem.m_strOnHook + MODEM_TERMINATOR; }

int AnswerRingWaits(const CModem& modem) { return std::clamp(modem.m_nAnswerRings, 0, MAX_ANSWER_RING_WAITS); }

namespace {

// Wider fields than this are no use in a modem command and are cut down.
constexpr int kMaxFieldWidth = 64;

bool IsFlag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLengthModifier(char c)
{
    return c == 'h' || c == 'l' || c == 'L' || c == 'q' || c == 'j' || c == 'z' || c == 't';
}

// Reads digits at pos, returning their value capped at kMaxFieldWidth.
int ReadCappedNumber(std::string_view text, size_t& pos)
{
    int value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        value = std::min(kMaxFieldWidth, value * 10 + (text[pos] - '0'));
        ++pos;
    }
    return value;
}

} // namespace

std::string FormatWithInteger(std::string_view format, int32_t value)
{
    std::string out;
    size_t pos = 0;
    while (pos < format.size()) {
        const char c = format[pos];
        if (c != '%') {
            out += c;
            ++pos;
            continue;
        }
        const size_t start = pos++;
        if (pos < format.size() && format[pos] == '%') {
            out += '%';
            ++pos;
            continue;
        }
        std::string spec = "%";
        while (pos < format.size() && IsFlag(format[pos]))
            spec += format[pos++];
        if (pos < format.size() && IsDigit(format[pos]))
            spec += std::to_string(ReadCappedNumber(format, pos));
        if (pos < format.size() && format[pos] == '.') {
            ++pos;
            spec += '.';
            spec += std::to_string(ReadCappedNumber(format, pos));
        }
        // Length modifiers would ask for a wider argument than the one int.
        while (pos < format.size() && IsLengthModifier(format[pos]))
            ++pos;
        if (pos >= format.size()) {
            out.append(format.substr(start));
            break;
        }
        const char conversion = format[pos++];
        if (conversion == '\0' || !std::strchr("diouxXc", conversion)) {
            out.append(format.substr(start, pos - start));
            continue;
        }
        spec += conversion;
        char buffer[2 * kMaxFieldWidth + 32];
        int n = 0;
        if (conversion == 'd' || conversion == 'i' || conversion == 'c')
            n = std::snprintf(buffer, sizeof buffer, spec.c_str(), value);
        else
            n = std::snprintf(buffer, sizeof buffer, spec.c_str(), static_cast<unsigned>(value));
        if (n > 0)
            out.append(buffer, std::min(static_cast<size_t>(n), sizeof buffer - 1));
    }
    return out;
}

} // namespace vek
