// The lock and condition shared by every event and the manual clock.
#pragma once

#include <condition_variable>
#include <mutex>

namespace vek {

std::mutex& EventHubMutex();
std::condition_variable& EventHubCondition();

} // namespace vek
