#include "link/HexCodes.h"

#include <cstdlib>
#include <cstring>

namespace vek {
namespace {

// strtol rules on purpose: hosts have always been able to rely on them
// (leading blanks and a sign are taken, a group without digits gives 0).
uint8_t GroupValue(const char* text, size_t length, size_t start)
{
    if (start >= length)
        return 0;
    char group[3] = {text[start], start + 1 < length ? text[start + 1] : '\0', '\0'};
    return static_cast<uint8_t>(std::strtol(group, nullptr, 16));
}

} // namespace

ByteArray ParseIdentificationCode(const char* text)
{
    ByteArray code;
    if (text == nullptr)
        return code;
    const size_t length = std::strlen(text);
    for (size_t start = 0; start < length; start += 2)
        code.push_back(GroupValue(text, length, start));
    return code;
}

ByteArray ParseOpenCode(const char* text, bool threeBytes)
{
    const size_t length = text == nullptr ? 0 : std::strlen(text);
    ByteArray code;
    for (size_t i = 0; i < (threeBytes ? 3U : 2U); ++i)
        code.push_back(GroupValue(text, length, 2 * i));
    return code;
}

} // namespace vek
