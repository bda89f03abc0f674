// Answering mode: wait for a panel to ring in.
#pragma once

#include <cstdint>

namespace vek {

class CCommStatusDlg;

// Clears the call, opens the port, makes the incoming modem current and
// queues the answer script: auto-answer line, a RING wait per ring, the
// CONNECT wait and the identification. answerAgain non-zero: answering is
// restored after the next hang-up too. 1 on success; 0 when the port cannot
// be opened or there is no incoming modem.
int RestartAnswering(CCommStatusDlg& dlg, int32_t answerAgain);

} // namespace vek
