// The host library's idle callback, found by the library at call time in
// the host process.
#include "support/LinkTestSupport.h"

extern "C" __attribute__((visibility("default"))) int VEKOnlineReqProcess(void* record, int what, int arg)
{
    return vek::test::RecordOnlineReqProcess(record, what, arg);
}
