#include "platform/DelayedAction.h"

#include "platform/ModuleLifetime.h"

namespace vek {

DelayedAction::~DelayedAction()
{
    // At process end the thread is gone and may have died holding the
    // event's lock: touch nothing (the thread's own destructor lets it go).
    if (!ProcessIsEnding())
        Cancel();
}

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
