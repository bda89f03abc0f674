#include "panelsim/ModemCommandLine.h"

#include <cctype>

namespace panelsim {
namespace {

class Cursor {
public:
    explicit Cursor(std::string_view text) : m_text(text) {}
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : Upper(m_text[m_pos]); }
    char Take() { return AtEnd() ? '\0' : Upper(m_text[m_pos++]); }
    bool TakeIf(std::string_view word)
    {
        for (size_t i = 0; i < word.size(); ++i)
            if (m_pos + i >= m_text.size() || Upper(m_text[m_pos + i]) != word[i])
                return false;
        m_pos += word.size();
        return true;
    }
    // A decimal number, -1 when none follows.
    int TakeNumber()
    {
        if (AtEnd() || !std::isdigit(static_cast<unsigned char>(m_text[m_pos])))
            return -1;
        int value = 0;
        while (!AtEnd() && std::isdigit(static_cast<unsigned char>(m_text[m_pos])) && value < 100000)
            value = value * 10 + (m_text[m_pos++] - '0');
        return value;
    }
    std::string TakeRest()
    {
        std::string rest(m_text.substr(m_pos));
        m_pos = m_text.size();
        return rest;
    }
    void SkipSpaces()
    {
        while (!AtEnd() && m_text[m_pos] == ' ')
            ++m_pos;
    }

private:
    static char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
    std::string_view m_text;
    size_t m_pos = 0;
};

std::optional<ModemCommand> TakeRegister(Cursor& cursor)
{
    ModemCommand command;
    command.letter = 'S';
    command.number = cursor.TakeNumber();
    if (command.number < 0)
        command.number = 0;
    if (cursor.TakeIf("?")) {
        command.kind = ModemCommand::Kind::QueryRegister;
        return command;
    }
    if (!cursor.TakeIf("=")) {
        command.kind = ModemCommand::Kind::Basic; // selects a register only
        return command;
    }
    command.kind = ModemCommand::Kind::SetRegister;
    command.value = cursor.TakeNumber();
    if (command.value < 0)
        command.value = 0;
    return command;
}

ModemCommand TakeWord(Cursor& cursor, char lead)
{
    std::string name(1, lead);
    while (std::isalpha(static_cast<unsigned char>(cursor.Peek())))
        name += cursor.Take();
    ModemCommand command;
    command.kind = ModemCommand::Kind::Extended;
    command.text = name;
    return command;
}

ModemCommand TakeAmpersand(Cursor& cursor)
{
    ModemCommand command;
    // The extended modem's speed commands are words, every other & command
    // is a single letter.
    for (const std::string_view word : {"CDSA", "CDS"}) {
        if (cursor.TakeIf(word)) {
            command.kind = ModemCommand::Kind::Extended;
            command.text = "&" + std::string(word);
            return command;
        }
    }
    command.kind = ModemCommand::Kind::Ampersand;
    command.letter = cursor.Take();
    command.number = cursor.TakeNumber();
    return command;
}

std::optional<ModemCommand> TakeCommand(Cursor& cursor)
{
    const char c = cursor.Take();
    if (c == 'S')
        return TakeRegister(cursor);
    if (c == 'D') {
        ModemCommand dial;
        dial.kind = ModemCommand::Kind::Dial;
        dial.letter = 'D';
        dial.text = cursor.TakeRest();
        return dial;
    }
    if (c == '$')
        return TakeWord(cursor, '$');
    if (c == '&')
        return TakeAmpersand(cursor);
    if (c == '+') {
        ModemCommand command;
        command.kind = ModemCommand::Kind::Extended;
        command.text = "+" + cursor.TakeRest();
        return command;
    }
    if (!std::isalpha(static_cast<unsigned char>(c)))
        return std::nullopt;
    ModemCommand command;
    command.letter = c;
    command.number = cursor.TakeNumber();
    return command;
}

} // namespace

std::optional<std::vector<ModemCommand>> ParseCommandLine(std::string_view afterAt)
{
    std::vector<ModemCommand> commands;
    Cursor cursor(afterAt);
    for (cursor.SkipSpaces(); !cursor.AtEnd(); cursor.SkipSpaces()) {
        std::optional<ModemCommand> command = TakeCommand(cursor);
        if (!command)
            return std::nullopt;
        commands.push_back(std::move(*command));
    }
    return commands;
}

std::string DialledNumber(std::string_view dialString)
{
    std::string number;
    for (const char raw : dialString) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(raw)));
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#')
            number += c;
    }
    return number;
}

} // namespace panelsim
