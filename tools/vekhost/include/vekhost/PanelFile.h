// A small text file describing a panel: "key = value" lines, # comments.
// The same keys are the panel options of the command line.
#pragma once

#include "vek/client.hpp"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vekhost {

struct PanelKey {
    std::string_view key;
    std::string_view value; // what the value is, for --help
    std::string_view help;
};

std::span<const PanelKey> PanelKeys();

// Sets one field from its text; returns an error text, or empty.
std::string ApplyPanelKey(vek::Panel& settings, std::string_view key, std::string_view value);

struct PanelFileError {
    int line;
    std::string message;
};

// Applies every line of the text on top of settings.
std::optional<PanelFileError> ReadPanelText(std::string_view text, vek::Panel& settings);
// The format, for --help.
std::string PanelFileHelp();

} // namespace vekhost
