// Stand-in for GetAsyncKeyState, answered by the host's hook.
#pragma once

namespace vek {

short GetAsyncKeyState(int virtualKey);

} // namespace vek
