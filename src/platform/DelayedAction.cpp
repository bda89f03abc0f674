#include "platform/DelayedAction.h"

namespace vek {

void DelayedAction::Arm(uint32_t delayMs, std::function<void()> action)
{
    Cancel();
    m_cancel.Reset();
    m_thread.Start(
        [this, delayMs, action = std::move(action)] {
            if (WaitForEvent(m_cancel, delayMs) == WaitResult::Timeout)
                action();
        },
        false);
}

void DelayedAction::Cancel()
{
    m_cancel.Set();
    m_thread.Join();
}

} // namespace vek
