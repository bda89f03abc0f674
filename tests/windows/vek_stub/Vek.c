/* Stands in for the host library Vek.dll: VEKOnlineReqProcess hands each
 * call to the handler the test program sets. */
#include <stddef.h>

typedef int (*OnlineHandler)(void* record, int what, int arg);

static OnlineHandler g_handler = NULL;

__declspec(dllexport) void VekStubSetHandler(OnlineHandler handler) { g_handler = handler; }

__declspec(dllexport) int VEKOnlineReqProcess(void* record, int what, int arg)
{
    return g_handler != NULL ? g_handler(record, what, arg) : 0;
}
