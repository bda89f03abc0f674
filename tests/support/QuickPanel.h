// A panel that answers at once: the number 5551234 connects at 9600 bit/s,
// the modem and the panel take moments, and the panel names itself once a
// minute at most. Whole-call tests change what they are about.
#pragma once

#include "panelsim/Options.h"

namespace vektest {

inline panelsim::Options QuickPanel(int linkMode = 2)
{
    panelsim::Options options;
    options.modem.numbers["5551234"] = panelsim::DialScript{panelsim::DialOutcome::Connect, 9600, -1};
    options.modem.dialDelayMs = 50;
    options.panel.linkMode = linkMode;
    options.panel.identDelayMs = 100;
    options.panel.replyDelayMs = 0;
    options.panel.identRepeatMs = 60000;
    return options;
}

} // namespace vektest
