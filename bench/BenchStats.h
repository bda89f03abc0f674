// Small statistics for the timing benchmarks.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vek::bench {

// The p-quantile (0 to 1) of the samples, nearest rank; 0 when empty.
inline double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
    return v[i];
}

} // namespace vek::bench
