// Placing a call, continuing an answered one, and dialling out while in
// answering mode.
#pragma once

#include "host/HostPanelRecord.h"
#include "link/CPool.h"

#include <cstdint>

namespace vek {

class Session;

inline constexpr uint32_t kSessionOpenDelayMs = 8000;
// Virtual keys read when a call starts.
inline constexpr int kVirtualKeyShift = 0x10;
inline constexpr int kVirtualKeyCapsLock = 0x14;

// callMode 0 continues the call answered in answering mode; any other value
// dials the record's panel (or opens a direct PC link to it). 1 on success;
// 0 when the port cannot be opened or there is no modem.
int StartCall(Session& session, HostPanelRecord* record, const ByteArray& openCode, const ByteArray& idCode,
              int32_t callMode);

// Dials the attached record's panel with whichever modem is current, without
// selecting a modem or opening the port. Without a modem or a record (whose
// phone number is dialled) nothing happens.
void AnswerOverrideCall(Session& session);

} // namespace vek
