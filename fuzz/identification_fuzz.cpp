// Arbitrary identification replies: the parser must stay inside the bytes it
// was given and leave a consistent record.
#include "FuzzCheck.h"
#include "link/ParseIdentification.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using vekfuzz::Check;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Kept between runs: a 13 KB record built per run costs more than the parse.
    static std::vector<uint8_t> record(VEK_PANEL_RECORD_MIN_SIZE, 0);
    static const std::vector<uint8_t> recordBefore = [] {
        std::vector<uint8_t> r(VEK_PANEL_RECORD_MIN_SIZE, 0);
        r[VEK_PANEL_OPTIONS] = 0x21;
        return r;
    }();
    record[VEK_PANEL_OPTIONS] = recordBefore[VEK_PANEL_OPTIONS];

    std::vector<uint8_t> reply(data, data + size);
    vek::PanelIdentification ident;
    ident.panelType = 0xFFFF; // cleared by every parse of three bytes or more
    std::vector<uint8_t> lastReply = {1, 2, 3};
    const int result = vek::ParseIdentification(reply, ident, lastReply, vek::PanelRecordView(record.data()));

    Check(result >= 0 && result <= 3);
    // A stray byte or two leaves everything as it was.
    if (size < 3) {
        Check(result == vek::kIdentNotRecognised && ident.panelType == 0xFFFF);
        Check(lastReply == std::vector<uint8_t>{1, 2, 3} && record == recordBefore);
        return 0;
    }
    Check(reply.size() <= size + 1);
    Check(lastReply.size() <= size + 1);
    const auto bytes = ident.ToBytes();
    for (size_t i = 14; i < 20; ++i) {
        Check(bytes[i] == 0);
    }
    if (result == vek::kIdentNotRecognised) {
        for (uint8_t b : bytes) {
            Check(b == 0);
        }
        Check(lastReply == std::vector<uint8_t>(data, data + size));
    }
    // Only bits 0x0008 and 0x0010 of the options word may change, and only to 1.
    constexpr size_t kOpt = VEK_PANEL_OPTIONS;
    Check(std::equal(record.begin(), record.begin() + kOpt, recordBefore.begin()));
    Check(std::equal(record.begin() + kOpt + 1, record.end(), recordBefore.begin() + kOpt + 1));
    Check((record[kOpt] & ~0x18) == recordBefore[kOpt] && (record[kOpt] & recordBefore[kOpt]) == recordBefore[kOpt]);
    if (result != vek::kIdentBlock02) {
        Check(record == recordBefore);
    }

    // The kept block parses to the same record (a 04 04 04 block shorter than
    // 16 bytes reads some fields from bytes after it, which are not kept).
    if (result == vek::kIdentBlock02 || (result == vek::kIdentBlock04 && lastReply.size() >= 16)) {
        std::vector<uint8_t> again = lastReply;
        vek::PanelIdentification second;
        std::vector<uint8_t> secondLast;
        Check(vek::ParseIdentification(again, second, secondLast) == result);
        Check(second.ToBytes() == bytes || result == vek::kIdentBlock04);
        Check(second.panelType == ident.panelType && second.panelVersion == ident.panelVersion);
    }
    return 0;
}
