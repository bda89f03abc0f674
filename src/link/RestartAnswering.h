// Answering mode: wait for a panel to ring in.
#pragma once

#include "link/CPool.h"

#include <cstdint>
#include <memory>

namespace vek {

class Session;
class CModem;

// Appends the answer script behind what is queued: the auto-answer line, a
// RING wait per ring, the CONNECT wait, then the given identification step.
// Clears g_bConnectPending and g_bSessionUp. The caller holds g_csQueue.
void AppendAnswerScript(const CModem& modem, std::unique_ptr<CPool> identify);

// Clears the call, opens the port, makes the incoming modem current and
// queues the answer script: auto-answer line, a RING wait per ring, the
// CONNECT wait and the identification. answerAgain non-zero: answering is
// restored after the next hang-up too. 1 on success; 0 when the port cannot
// be opened or there is no incoming modem.
int RestartAnswering(Session& session, int32_t answerAgain);

} // namespace vek
