// Opening the port and starting the modem.
#include "dialog/CCommStatusDlg.h"

namespace vek {

int CCommStatusDlg::CommInit(int completionCode)
{
    // Port opening and the modem's start-up lines come with the serial link;
    // until then nothing is opened and the caller is told so.
    (void)completionCode;
    return 0;
}

} // namespace vek
