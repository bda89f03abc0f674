#include "support/Environment.h"

#include <unistd.h>

#include <cstdlib>

namespace vek::test {

void SetEnvironment(const char* name, const char* value)
{
    if (value != nullptr)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

long ProcessId() { return static_cast<long>(::getpid()); }

} // namespace vek::test
