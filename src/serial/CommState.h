// Line settings as a Win32 device control block.
#pragma once

#include "serial/LineSettings.h"

#include <windows.h>

namespace vek {

// Raw binary line: the speed, data bits, parity and stop bits of settings,
// no flow control, no character replacement, DTR as asked, RTS on.
void FillCommState(DCB& dcb, const LineSettings& settings, bool dtr);

} // namespace vek
