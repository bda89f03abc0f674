// Keeps exceptions inside the library: an export that fails internally
// returns its failure value instead.
#pragma once

#include <exception>

namespace vek {

template <typename Result, typename Body> Result Guarded(Result failure, Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

} // namespace vek
