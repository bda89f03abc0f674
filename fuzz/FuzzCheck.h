// A property that does not hold stops the run, so the fuzzer keeps the input.
#pragma once

#include <cstdlib>

namespace vekfuzz {

inline void Check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace vekfuzz
