// A shared object's threads are stopped by its exit guard, which runs while
// they still exist: nothing to do here.
#include "platform/ModuleLifetime.h"

namespace vek {

void HoldModuleWhileRunning() {}

bool ProcessIsEnding() { return false; }

} // namespace vek
