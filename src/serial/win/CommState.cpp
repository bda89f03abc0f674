#include "serial/CommState.h"

namespace vek {
namespace {

BYTE ParityOf(char parity)
{
    switch (parity) {
    case 'E': return EVENPARITY;
    case 'O': return ODDPARITY;
    default: return NOPARITY;
    }
}

BYTE StopBitsOf(int stopBits) { return stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT; }

} // namespace

void FillCommState(DCB& dcb, const LineSettings& settings, bool dtr)
{
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = static_cast<DWORD>(settings.speed);
    dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
    dcb.Parity = ParityOf(settings.parity);
    dcb.StopBits = StopBitsOf(settings.stopBits);
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parity != 'N' ? TRUE : FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE; // a NUL byte is data on the panel link
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    // Line errors are reported, never allowed to stop reads and writes.
    dcb.fAbortOnError = FALSE;
}

} // namespace vek
