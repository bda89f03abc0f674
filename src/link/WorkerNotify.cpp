#include "link/WorkerNotify.h"

#include "link/Session.h"
#include "vek_comm2.h"

namespace vek {

void PostStepDone(const Session& session, int32_t code, LPARAM lParam)
{
    PostMessageA(session.m_hWnd, VEK_WM_COMM_STEP_DONE, static_cast<WPARAM>(code), lParam);
}

void PostNotice(const Session& session, int32_t code, LPARAM lParam)
{
    PostMessageA(session.m_hWnd, VEK_WM_COMM_NOTICE, static_cast<WPARAM>(code), lParam);
}

} // namespace vek
