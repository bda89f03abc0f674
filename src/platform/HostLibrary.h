// Calls into the host library, looked up at call time as a DLL import would be.
#pragma once

namespace vek {

// Calls VEKOnlineReqProcess(record, what, arg) when the host process defines
// it; returns false when no such function exists (nothing is called).
bool CallOnlineReqProcess(void* record, int what, int arg);

} // namespace vek
