// Environment variables for tests, the same on every platform.
#pragma once

namespace vek::test {

// Null removes the variable.
void SetEnvironment(const char* name, const char* value);

} // namespace vek::test
