// How long the library's code stays in the process. On Windows a DLL whose
// threads run must not be unloaded under them, and at process exit its
// threads are already gone (killed wherever they were) before its statics
// are destroyed; elsewhere neither applies.
#pragma once

namespace vek {

// Keeps the library loaded for the rest of the process once it has started
// threads (Windows: the module is pinned; elsewhere nothing).
void HoldModuleWhileRunning();
// True while the process ends with the library still running: its threads
// have been killed, so nothing may wait for them or take their locks.
bool ProcessIsEnding();

} // namespace vek
