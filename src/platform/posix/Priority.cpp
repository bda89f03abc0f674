#include "platform/Thread.h"

#include <pthread.h>
#include <sched.h>

#include <cstdlib>

namespace vek {

void SetTimeCriticalPriority()
{
    if (std::getenv("VEK_NO_RT") != nullptr)
        return;
    // A modest real-time priority: enough to hold short time-outs on a loaded
    // machine. Nothing in the library spins, so it cannot starve the system.
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_RR) + 10;
    (void)pthread_setschedparam(pthread_self(), SCHED_RR, &param);
}

} // namespace vek
