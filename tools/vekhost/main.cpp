// vekhost: the host program of the vek_comm2 library, for a shell.
#include "app/CommandLine.h"
#include "app/Commands.h"

#include "vek_host.h"

// The library looks this up in the host program when a connected line is
// idle; vekhost has no work of its own to add.
extern "C" VEK_API int VEKOnlineReqProcess(void* record, int what, int arg)
{
    (void)record;
    vekhost::ReportIdleRequest(what, arg);
    return 0;
}

int main(int argc, char** argv) { return vekhost::Main(argc, argv); }
