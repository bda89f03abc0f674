// Arbitrary replies judged against arbitrary packet steps in every link mode:
// the judge reads only the bytes it has and gathers no more than its limit.
#include "FuzzCheck.h"
#include "dialog/CCommStatusDlg.h"
#include "link/EvaluateReply.h"
#include "link/FramesTransfer.h"
#include "link/RequestQueue.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

using vekfuzz::Check;

constexpr int32_t kExpects[] = {5, 0, 100, 1};
constexpr int32_t kCodes[] = {6, 5, vek::CODE_NONE, 0};
constexpr uint32_t kFlagBits[] = {vek::REQ_REPLY_CMD, vek::REQ_EXPECT_ACK, 0x02, vek::REQ_NO_SEND,
                                  vek::REQ_SECOND_HALF};

} // namespace

// Header: link mode (bits 0-2), 1200 bit/s (0x08), read data nearly full
// (0x10); step flags (one bit each of kFlagBits); expect and code (2 bits
// each); operation ('u', '-' or the byte itself); reply command; length of
// the sent frame. Then the sent frame, then the reply.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static vek::CCommStatusDlg dlg;
    constexpr size_t kHeader = 6;
    if (size < kHeader) {
        return 0;
    }
    dlg.m_nLinkMode = data[0] & 0x07;
    dlg.m_nCurrentBaudRate = (data[0] & 0x08) ? 1200 : 9600;
    dlg.m_readData.assign((data[0] & 0x10) ? vek::kMaxReadData - 4 : 0, 0xA5);

    uint32_t flags = 0;
    for (size_t i = 0; i < std::size(kFlagBits); ++i) {
        if (data[1] & (1U << i)) {
            flags |= kFlagBits[i];
        }
    }
    int32_t operation = data[3];
    if ((data[2] & 0x30) == 0x10) {
        operation = static_cast<int32_t>(vek::kOperationRead);
    } else if ((data[2] & 0x30) == 0x20) {
        operation = '-';
    }
    const size_t sentSize = std::min<size_t>(data[5] & 0x3F, size - kHeader);
    const vek::ByteArray sent(data + kHeader, data + kHeader + sentSize);
    const vek::CPool step(sent, vek::STEP_PACKET, kExpects[data[2] & 0x03], kCodes[(data[2] >> 2) & 0x03], 1000,
                          operation, flags, data[4], 1);
    const std::span<const uint8_t> reply(data + kHeader + sentSize, size - kHeader - sentSize);

    HGLOBAL extra = 1234;
    const int32_t result = vek::EvaluateReply(dlg, step, reply, extra);
    Check(result >= 0 && (result <= 255 || result == vek::kReplyNotRecognised));
    Check(dlg.m_readData.size() <= vek::kMaxReadData);
    if (extra != 0) {
        Check(result == vek::kReplyAccepted);
        Check(GlobalSize(extra) == dlg.m_readData.size() || dlg.m_readData.empty());
        GlobalFree(extra);
    }
    vek::QueueClear();
    return 0;
}
