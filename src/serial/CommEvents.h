// What a WaitCommEvent mask and ClearCommError's error bits mean for the
// communications control: its event codes, in the order they are reported.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace vek {

// Line changes first (CTS, DSR, carrier detect from EV_RLSD, ring), then line
// errors (break, framing, overrun, receive overflow, parity). EV_RXCHAR,
// EV_ERR and EV_TXEMPTY are not line events and give nothing here.
std::vector<int16_t> LineEventCodes(DWORD events, DWORD errors);

} // namespace vek
