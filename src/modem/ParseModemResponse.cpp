#include "modem/ParseModemResponse.h"

namespace vek {
namespace {

bool IsModemSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// ASCII only: bytes from the line are not text in any locale.
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

struct ExactWord {
    std::string_view text;
    int32_t result;
};

constexpr ExactWord kExactWords[] = {
    {"RING", MODEM_RESULT_RING},   {"NO CARRIER", MODEM_RESULT_NO_CARRIER},   {"NOCARRIER", MODEM_RESULT_NO_CARRIER},
    {"ERROR", MODEM_RESULT_ERROR}, {"NO DIALTONE", MODEM_RESULT_NO_DIALTONE}, {"NODIALTONE", MODEM_RESULT_NO_DIALTONE},
    {"BUSY", MODEM_RESULT_BUSY},   {"NO ANSWER", MODEM_RESULT_NO_ANSWER},     {"NOANSWER", MODEM_RESULT_NO_ANSWER},
};

} // namespace

int32_t RecogniseModemResponse(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        c = Upper(c);
    const std::string_view t = upper;
    if (t == "OK" || (t.size() >= 2 && t.substr(t.size() - 2) == "OK"))
        return MODEM_RESULT_OK;
    if (t == "CONNECT" || t.substr(0, 7) == "CONNECT")
        return MODEM_RESULT_CONNECT;
    for (const ExactWord& w : kExactWords)
        if (t == w.text)
            return w.result;
    return -1;
}

std::string_view TrimModemText(std::string_view text)
{
    while (!text.empty() && IsModemSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsModemSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

void AppendModemText(std::string& accumulated, std::string_view fragment)
{
    accumulated += TrimModemText(fragment);
    if (accumulated.size() > kModemTextCap)
        accumulated.erase(kModemTextKeep, accumulated.size() - 2 * kModemTextKeep);
}

} // namespace vek
