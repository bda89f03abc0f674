#include "platform/Thread.h"

#include <windows.h>

#include <cstdlib>

namespace vek {

void SetTimeCriticalPriority()
{
    if (std::getenv("VEK_NO_RT") != nullptr)
        return;
    // Nothing in the library spins, so the highest priority of the normal
    // class cannot starve the system.
    (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

} // namespace vek
