#include "support/Environment.h"

#include <windows.h>

#include <cstdlib>

namespace vek::test {

void SetEnvironment(const char* name, const char* value)
{
    // An empty value removes the variable on Windows.
    _putenv_s(name, value != nullptr ? value : "");
}

long ProcessId() { return static_cast<long>(GetCurrentProcessId()); }

} // namespace vek::test
