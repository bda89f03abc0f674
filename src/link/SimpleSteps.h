// Step types that need no answer from the line.
#pragma once

#include "link/CPool.h"

#include <memory>

namespace vek {

class Session;

// Appends the call script step that follows a deferred call's bytes.
void RunDeferCallStep(const CPool& step);
// Reports the step's code to the dialog.
// The step that reports the end of the current call (89) to the dialog.
std::unique_ptr<CPool> EndOfCallStep();
void RunNotifyStep(Session& session, const CPool& step);
// Empties the receive buffer (caller holds g_csReceive).
void ClearReceiveBuffer();

} // namespace vek
