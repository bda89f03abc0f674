// Runs an action once, a delay after it was armed, on a thread of its own.
// The delay is measured on the library's clock. Arming again or cancelling
// forgets the action still pending.
#pragma once

#include "platform/Event.h"
#include "platform/Thread.h"

#include <cstdint>
#include <functional>

namespace vek {

class DelayedAction {
public:
    DelayedAction() = default;
    ~DelayedAction();
    DelayedAction(const DelayedAction&) = delete;
    DelayedAction& operator=(const DelayedAction&) = delete;

    void Arm(uint32_t delayMs, std::function<void()> action);
    // When this returns, no action armed before it is running or will run.
    void Cancel();

private:
    Event m_cancel{Event::Kind::ManualReset};
    WorkerThread m_thread;
};

} // namespace vek
