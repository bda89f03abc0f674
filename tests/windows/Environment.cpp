#include "support/Environment.h"

#include <cstdlib>

namespace vek::test {

void SetEnvironment(const char* name, const char* value)
{
    // An empty value removes the variable on Windows.
    _putenv_s(name, value != nullptr ? value : "");
}

} // namespace vek::test
