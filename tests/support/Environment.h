// The test process's environment, the same on every platform: variables and
// the process id (for names of temporary files).
#pragma once

namespace vek::test {

// Null removes the variable.
void SetEnvironment(const char* name, const char* value);
long ProcessId();

} // namespace vek::test
