// Splits one AT command line into the single commands a Hayes modem runs in
// order, e.g. "ATS7=250S10=255E0$W" into S7=250, S10=255, E0 and $W.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace panelsim {

struct ModemCommand {
    enum class Kind {
        Basic,         // a letter with an optional number: E0, H, Z, M0
        SetRegister,   // Sn=v
        QueryRegister, // Sn?
        Dial,          // D and the rest of the line
        Extended,      // $W, $WA, &CDS, &CDSA, +...
        Ampersand,     // &C1, &D2, &F
    };
    Kind kind = Kind::Basic;
    char letter = 0;
    int number = -1;  // the letter's number or the register; -1 when absent
    int value = -1;   // SetRegister only
    std::string text; // Dial: the dial string; Extended: the command's name
};

// The text after "AT" (upper or lower case); nullopt for a malformed line.
std::optional<std::vector<ModemCommand>> ParseCommandLine(std::string_view afterAt);

// The number a dial string calls: without the T/P prefix, pause characters,
// a trailing R (reverse mode) or a trailing semicolon.
std::string DialledNumber(std::string_view dialString);

} // namespace panelsim
