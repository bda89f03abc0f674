#include "link/SplitTransfer.h"

#include "host/HostPanelRecord.h"
#include "link/FramesLong.h"
#include "link/FramesTransfer.h"
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "link/Session.h"
#include "link/ShortCodes.h"
#include "vek_comm2.h"

namespace vek {
namespace {

constexpr int32_t kSplitBaseTimeoutMs = 10000;
constexpr int32_t kSplitPerItemMs = 70;

// The code that moves half as many bytes.
uint8_t SmallerCode(uint8_t code)
{
    if ((code & 0x0F) != 0)
        return static_cast<uint8_t>(code - 1);
    return static_cast<uint8_t>(((code >> 4) - 1) << 4);
}

std::optional<TransferHalves> SplitShort(const Session& session, const CPool& step, bool write)
{
    const ByteArray& f = step.m_data;
    if (f.empty())
        return std::nullopt;
    const bool wide = IdentifiesWideCode50Panel(session);
    const uint8_t length = ShortReplyLength(f[0], wide);
    if (length == kShortCodeUnknown || length < 3)
        return std::nullopt; // unknown codes and single items are not split
    const size_t n = length - 1U;
    const PanelRecordView record(session.m_pPanelRecord);
    const bool twoByteAddress = record.IsAttached() && (record.PanelOptions() & VEK_PANEL_OPT_ADDRESS);
    const size_t addressBytes = twoByteAddress ? 2 : 1;
    if (f.size() != 1 + addressBytes + (write ? n : 0) + 1)
        return std::nullopt;
    const uint16_t address = twoByteAddress ? static_cast<uint16_t>((f[1] << 8) | f[2]) : f[1];
    const size_t h = n / 2;
    const uint8_t code = SmallerCode(f[0]);
    // Both halves use the smaller code, so it must carry exactly half.
    if (n - h != h || ShortReplyLength(code, wide) - 1U != h)
        return std::nullopt;
    auto half = [&](size_t offset) {
        ByteArray body;
        if (twoByteAddress)
            body.push_back(static_cast<uint8_t>(((address + offset) & 0xFFFF) >> 8));
        body.push_back(static_cast<uint8_t>((address & 0xFF) + offset));
        if (write) {
            const auto data = f.begin() + static_cast<std::ptrdiff_t>(1 + addressBytes + offset);
            body.insert(body.end(), data, data + static_cast<std::ptrdiff_t>(h));
        }
        return BuildShortFrame(code, body);
    };
    return TransferHalves{half(0), half(h), kSplitBaseTimeoutMs, kSplitBaseTimeoutMs};
}

std::optional<TransferHalves> SplitLong(const Session& session, const CPool& step, bool write)
{
    const ByteArray& f = step.m_data;
    const int mode = NormalizedLinkMode(session.m_nLinkMode);
    const size_t header = static_cast<size_t>(LongFrameHeaderSize(mode)); // up to and without the command
    const size_t lengthBytes = mode == 1 ? 1 : 2;
    // Command, address high and low, at least one more byte, CRC.
    if (header == 0 || f.size() < header + 1 + 2 + 1 + 2)
        return std::nullopt;
    const uint8_t route = mode == 5 ? f[2] : kRouteData;
    const uint8_t sub = mode >= 4 ? f[header - 1] : 0;
    const uint8_t command = f[header];
    const uint16_t address = static_cast<uint16_t>((f[header + 1] << 8) | f[header + 2]);
    const size_t dataAt = header + 3;
    size_t n = 0;
    if (write) {
        n = f.size() - dataAt - 2; // what the frame really carries
    } else if (mode == 1) {
        n = f[dataAt];
    } else {
        if (f.size() < dataAt + 2 + 2)
            return std::nullopt;
        n = static_cast<size_t>((f[dataAt] << 8) | f[dataAt + 1]);
    }
    // The length field must agree with what is there.
    const size_t length = lengthBytes == 1 ? f[0] : static_cast<size_t>((f[0] << 8) | f[1]);
    if (length + lengthBytes != f.size() || n < 2)
        return std::nullopt;
    const size_t h = n / 2;
    auto half = [&](size_t offset, size_t count) -> std::optional<ByteArray> {
        ByteArray payload = {static_cast<uint8_t>((address + offset) >> 8), static_cast<uint8_t>(address + offset)};
        if (write) {
            payload.insert(payload.end(), f.begin() + static_cast<std::ptrdiff_t>(dataAt + offset),
                           f.begin() + static_cast<std::ptrdiff_t>(dataAt + offset + count));
        } else {
            if (mode != 1)
                payload.push_back(static_cast<uint8_t>(count >> 8));
            payload.push_back(static_cast<uint8_t>(count));
        }
        return BuildLongFrame(mode, route, sub, command, payload);
    };
    auto first = half(0, h);
    auto second = half(h, n - h);
    if (!first || !second)
        return std::nullopt;
    return TransferHalves{*first, *second, kSplitBaseTimeoutMs + kSplitPerItemMs * static_cast<int32_t>(h),
                          kSplitBaseTimeoutMs + kSplitPerItemMs * static_cast<int32_t>(n - h)};
}

} // namespace

std::optional<TransferHalves> SplitFrames(const Session& session, const CPool& step)
{
    const auto operation = static_cast<uint32_t>(step.m_nCommand);
    if (session.CurrentModem() == nullptr || (operation != kOperationRead && operation != kOperationWrite))
        return std::nullopt;
    const bool write = operation == kOperationWrite;
    if (NormalizedLinkMode(session.m_nLinkMode) == 3)
        return SplitShort(session, step, write);
    return SplitLong(session, step, write);
}

bool SplitTransfer(Session& session, std::unique_ptr<CPool>& step)
{
    auto halves = SplitFrames(session, *step);
    if (!halves)
        return false;
    // New frames must go out: a wait-only step is sent again as a whole.
    uint32_t flags = step->m_dwFlags;
    if (flags & REQ_NO_SEND)
        flags = (flags & ~REQ_NO_SEND) | REQ_EXPECT_ACK;
    // The first half starts the gathering only where the failing step did:
    // a later frame of a read must keep what the earlier frames brought.
    auto first = std::make_unique<CPool>(halves->first, STEP_PACKET, step->m_nExpect, CODE_NONE, halves->firstTimeout,
                                         step->m_nCommand, flags, step->m_byReply, 1);
    auto second = std::make_unique<CPool>(halves->second, STEP_PACKET, 0, step->m_nCode, halves->secondTimeout,
                                          step->m_nCommand, flags | REQ_SECOND_HALF, step->m_byReply, 1);
    first->m_nReopens = step->m_nReopens;
    second->m_nReopens = step->m_nReopens;
    CSingleLock lock(g_csQueue);
    QueueInsertHead(std::move(second), false);
    QueueInsertHead(std::move(first), false);
    step.reset();
    return true;
}

} // namespace vek
