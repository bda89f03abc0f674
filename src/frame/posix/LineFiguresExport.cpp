// The line's figures for the host, straight from the library's counters, so
// that a host need not read the trace to show them.
#include "dialog/CCommStatusDlg.h"
#include "host/CComm2App.h"
#include "frame/ExportGuard.h"
#include "link/SessionState.h"
#include "platform/LineFigures.h"
#include "vek_host.h"

using namespace vek;

extern "C" {

int VekGetLineFigures(VekLineFigures* figures)
{
    if (figures == nullptr)
        return 0;
    return Guarded(0, [figures] {
        const LineCounts counts = CurrentLineCounts();
        figures->bytesSent = counts.bytesSent;
        figures->bytesReceived = counts.bytesReceived;
        figures->framesSent = counts.writes;
        figures->resends = counts.resends;
        figures->lineSpeed = theApp.m_pStatusDlg != nullptr ? theApp.m_pStatusDlg.load()->m_nCurrentBaudRate.load() : 0;
        figures->efficiency = g_nEfficiency.load();
        return 1;
    });
}

} // extern "C"
