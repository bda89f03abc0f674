// The fields of a modem definition by name, as text: what a tool shows and
// changes in a database file.
#pragma once

#include "modem/CModem.h"
#include "modem/CModemSettings.h"

#include <string>
#include <string_view>
#include <vector>

namespace vek {

struct ModemFieldInfo {
    std::string_view name; // the member name, e.g. "m_strInit"
    bool isText;
};

// Every field in declaration order.
const std::vector<ModemFieldInfo>& ModemFields();

// The name a user reads and types: the member name without its prefix
// ("ComPort" for m_nComPort).
std::string_view ModemFieldName(const ModemFieldInfo& field);

// Finds a field by its member name or by the name without prefix ("Init",
// "BaudRate"), ignoring case. Null when there is none.
const ModemFieldInfo* FindModemField(std::string_view name);

// The field's value as text; numbers in decimal, flags in hexadecimal.
std::string GetModemField(const CModem& modem, const ModemFieldInfo& field);
// Sets the field from text. Numbers take decimal or 0x-prefixed hexadecimal
// and must fit 32 bits; false (and no change) when the text is not such a number.
bool SetModemField(CModem& modem, const ModemFieldInfo& field, std::string_view value);

// Shows text with control and non-ASCII bytes escaped, so nothing a file
// holds can disturb a terminal.
std::string QuoteText(std::string_view text);

// A readable listing of the whole database.
std::string DescribeModemDatabase(const CModemSettings& settings);

} // namespace vek
