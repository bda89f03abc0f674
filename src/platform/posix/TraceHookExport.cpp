// The host API's way to the trace lines.
#include "platform/Trace.h"
#include "vek_host.h"

extern "C" void VekSetTraceHook(void (*hook)(const char* line, void* context), void* context)
{
    vek::SetTraceHook(hook, context);
}
