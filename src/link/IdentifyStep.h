// The identification step: collect the panel's identification reply once a
// line is up, check it against the host record and hand it to the host.
#pragma once

#include "link/CPool.h"

#include <cstdint>
#include <memory>

namespace vek {

class Session;

// Silence after the last byte that ends a reply on a modem line.
inline constexpr uint32_t kIdentifySilenceMs = 2500;
// A direct PC link waits for a whole block; a modem line for a short reply.
inline constexpr size_t kPcLinkIdentifyMinBytes = 13;
inline constexpr size_t kModemIdentifyMinBytes = 3;
// Short replies followed by silence are waited for again this many times.
inline constexpr int32_t kIdentifyShortRetries = 2;

// Runs one STEP_IDENTIFY step whose link frame, if any, has been sent.
void RunIdentifyStep(Session& session, std::unique_ptr<CPool> step);

} // namespace vek
