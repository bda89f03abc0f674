// Arbitrary host texts for the open code and the identification code: each
// group of two characters gives one byte, whatever the characters are.
#include "FuzzCheck.h"
#include "link/HexCodes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using vekfuzz::Check;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The host hands a C string: the text ends at the first NUL.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t length = std::string(text.c_str()).size();

    const vek::ByteArray id = vek::ParseIdentificationCode(text.c_str());
    Check(id.size() == (length + 1) / 2);
    Check(vek::ParseOpenCode(text.c_str(), false).size() == 2);
    const vek::ByteArray open3 = vek::ParseOpenCode(text.c_str(), true);
    Check(open3.size() == 3);
    // Both read the same groups from the start of the text.
    for (size_t i = 0; i < 3 && i < id.size(); ++i) {
        Check(open3[i] == id[i]);
    }
    for (size_t i = id.size(); i < 3; ++i) {
        Check(open3[i] == 0);
    }
    Check(vek::ParseIdentificationCode(nullptr).empty());
    Check(vek::ParseOpenCode(nullptr, true) == vek::ByteArray(3, 0));
    return 0;
}
