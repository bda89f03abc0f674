// Command-line numbers for the tools' parsers: text that is not a number is
// called that, a number out of range says the range.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

namespace panelsim {

inline std::string NumberText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

inline CLI::Validator NumberIn(double low, double high)
{
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            size_t used = 0;
            double value = 0;
            try {
                value = std::stod(text, &used);
            } catch (const std::exception&) {
                used = 0;
            }
            if (used == 0 || used != text.size())
                return "\"" + text + "\" is not a number";
            if (value < low || value > high)
                return text + " is out of range (" + NumberText(low) + " to " + NumberText(high) + ")";
            return {};
        },
        "NUMBER");
}

// "Could not convert: --dial-delay = abc" as people say it.
inline std::string NotANumber(const CLI::ConversionError& error)
{
    const std::string text = error.what();
    const size_t equals = text.find(" = ");
    const size_t colon = text.find(": ");
    if (equals == std::string::npos || colon == std::string::npos || colon > equals)
        return text;
    return text.substr(colon + 2, equals - colon - 2) + ": \"" + text.substr(equals + 3) + "\" is not a number";
}

} // namespace panelsim
