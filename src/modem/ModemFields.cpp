#include "modem/ModemFields.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>

namespace vek {

namespace {

struct FieldAccess {
    ModemFieldInfo info;
    std::string CModem::*text;
    int32_t CModem::*number;
};

const std::vector<FieldAccess>& Table()
{
    static const std::vector<FieldAccess> table{
        {{"m_strName", true}, &CModem::m_strName, nullptr},
        {{"m_strInit", true}, &CModem::m_strInit, nullptr},
        {{"m_strInit2", true}, &CModem::m_strInit2, nullptr},
        {{"m_strReset", true}, &CModem::m_strReset, nullptr},
        {{"m_strReset2", true}, &CModem::m_strReset2, nullptr},
        {{"m_strResultCodes", true}, &CModem::m_strResultCodes, nullptr},
        {{"m_strPulseDial", true}, &CModem::m_strPulseDial, nullptr},
        {{"m_strToneDial", true}, &CModem::m_strToneDial, nullptr},
        {{"m_strEscape", true}, &CModem::m_strEscape, nullptr},
        {{"m_strHangUp", true}, &CModem::m_strHangUp, nullptr},
        {{"m_strOnHook", true}, &CModem::m_strOnHook, nullptr},
        {{"m_strOffHook", true}, &CModem::m_strOffHook, nullptr},
        {{"m_strAutoAnswer", true}, &CModem::m_strAutoAnswer, nullptr},
        {{"m_strSpeakerMode", true}, &CModem::m_strSpeakerMode, nullptr},
        {{"m_strSpeakerVolume", true}, &CModem::m_strSpeakerVolume, nullptr},
        {{"m_dwFlags", false}, nullptr, nullptr}, // unsigned: handled apart
        {{"m_nExtra1", false}, nullptr, &CModem::m_nExtra1},
        {{"m_nCommandDelay", false}, nullptr, &CModem::m_nCommandDelay},
        {{"m_nCharDelay", false}, nullptr, &CModem::m_nCharDelay},
        {{"m_strInit3", true}, &CModem::m_strInit3, nullptr},
        {{"m_strExtra", true}, &CModem::m_strExtra, nullptr},
        {{"m_nBaudRate", false}, nullptr, &CModem::m_nBaudRate},
        {{"m_nLineBaudRate", false}, nullptr, &CModem::m_nLineBaudRate},
        {{"m_nExtra3", false}, nullptr, &CModem::m_nExtra3},
        {{"m_nExtra4", false}, nullptr, &CModem::m_nExtra4},
        {{"m_nComPort", false}, nullptr, &CModem::m_nComPort},
        {{"m_nAnswerRings", false}, nullptr, &CModem::m_nAnswerRings},
        {{"m_nExtra5", false}, nullptr, &CModem::m_nExtra5},
        {{"m_nExtra6", false}, nullptr, &CModem::m_nExtra6},
        {{"m_nExtra7", false}, nullptr, &CModem::m_nExtra7},
        {{"m_nExtra8", false}, nullptr, &CModem::m_nExtra8},
        {{"m_nOptions", false}, nullptr, &CModem::m_nOptions},
    };
    return table;
}

const FieldAccess& AccessOf(const ModemFieldInfo& field)
{
    for (const FieldAccess& a : Table())
        if (a.info.name == field.name)
            return a;
    return Table().front(); // not reached for fields from ModemFields()
}

std::string_view ShortName(std::string_view member)
{
    for (std::string_view prefix : {"m_str", "m_dw", "m_n"})
        if (member.substr(0, prefix.size()) == prefix)
            return member.substr(prefix.size());
    return member;
}

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Decimal (optionally negative) or 0x hexadecimal, fitting 32 bits.
bool ParseNumber(std::string_view text, int64_t& out)
{
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return false;
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || value > 0xFFFFFFFFu)
        return false;
    out = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
    return out >= INT32_MIN;
}

std::string Hex(uint32_t v)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", v);
    return buffer;
}

std::string DescribeIndex(const CModemSettings& settings, int32_t index)
{
    std::string s = std::to_string(index);
    if (index == -1)
        return s + " (none)";
    if (!settings.ModemAt(index))
        return s + " (names no definition)";
    return s;
}

} // namespace

const std::vector<ModemFieldInfo>& ModemFields()
{
    static const std::vector<ModemFieldInfo> fields = [] {
        std::vector<ModemFieldInfo> v;
        for (const FieldAccess& a : Table())
            v.push_back(a.info);
        return v;
    }();
    return fields;
}

std::string_view ModemFieldName(const ModemFieldInfo& field) { return ShortName(field.name); }

const ModemFieldInfo* FindModemField(std::string_view name)
{
    for (const ModemFieldInfo& f : ModemFields())
        if (SameIgnoringCase(f.name, name) || SameIgnoringCase(ShortName(f.name), name))
            return &f;
    return nullptr;
}

std::string GetModemField(const CModem& modem, const ModemFieldInfo& field)
{
    const FieldAccess& a = AccessOf(field);
    if (a.text)
        return modem.*a.text;
    if (a.number)
        return std::to_string(modem.*a.number);
    return Hex(modem.m_dwFlags);
}

bool SetModemField(CModem& modem, const ModemFieldInfo& field, std::string_view value)
{
    const FieldAccess& a = AccessOf(field);
    if (a.text) {
        modem.*a.text = std::string(value);
        return true;
    }
    int64_t n = 0;
    if (!ParseNumber(value, n))
        return false;
    if (a.number) {
        if (n > INT32_MAX && value.substr(0, 2) != "0x" && value.substr(0, 2) != "0X")
            return false;
        modem.*a.number = static_cast<int32_t>(static_cast<uint32_t>(n));
    } else {
        if (n < 0)
            return false;
        modem.m_dwFlags = static_cast<uint32_t>(n);
    }
    return true;
}

std::string QuoteText(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (b < 0x20 || b >= 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", b);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string DescribeModemDatabase(const CModemSettings& settings)
{
    std::string out;
    out += "definitions: " + std::to_string(settings.m_modems.size()) + "\n";
    out += "outgoing: " + DescribeIndex(settings, settings.m_nOutgoing) + "\n";
    out += "incoming: " + DescribeIndex(settings, settings.m_nIncoming) + "\n";
    for (size_t i = 0; i < settings.m_modems.size(); ++i) {
        const CModem* modem = settings.m_modems[i].get();
        out += "\n[" + std::to_string(i) + "]";
        if (!modem) {
            out += " (null)\n";
            continue;
        }
        out += "\n";
        for (const ModemFieldInfo& f : ModemFields()) {
            std::string value = GetModemField(*modem, f);
            if (f.isText)
                value = QuoteText(value);
            const std::string_view name = ModemFieldName(f);
            out += "  " + std::string(name) + std::string(name.size() < 20 ? 20 - name.size() : 1, ' ') + value + "\n";
        }
        std::string flags;
        if (modem->m_dwFlags & MODEM_PCLINK)
            flags += " PCLINK";
        if (modem->m_dwFlags & MODEM_EXTENDED)
            flags += " EXTENDED";
        if (modem->m_dwFlags & MODEM_ATTENTION)
            flags += " ATTENTION";
        out += "  (flags)            " + (flags.empty() ? std::string(" none") : flags) + "\n";
    }
    return out;
}

} // namespace vek
