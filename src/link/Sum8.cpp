#include "link/Sum8.h"

namespace vek {

uint8_t Sum8(std::span<const uint8_t> bytes)
{
    unsigned sum = 0;
    for (uint8_t b : bytes) {
        sum += b;
    }
    return static_cast<uint8_t>(sum);
}

uint8_t Sum8(const uint8_t* array, int count)
{
    if (count <= 0 || array == nullptr) {
        return 0;
    }
    return Sum8({array, static_cast<size_t>(count)});
}

} // namespace vek
