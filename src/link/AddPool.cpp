#include "link/AddPool.h"

#include "link/CallPhase.h"
#include "link/FramesTransfer.h"
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "link/Session.h"
#include "link/ShortCodes.h"
#include "platform/Handles.h"
#include "vek_comm2.h"

#include <algorithm>
#include <cstring>

namespace vek {
namespace {

uint32_t Read32(const uint8_t* p, size_t offset)
{
    uint32_t v;
    std::memcpy(&v, p + offset, sizeof v); // records are little-endian, as is the host
    return v;
}

// A locked host block that is unlocked and freed when it goes out of scope.
class OwnedBlock {
public:
    explicit OwnedBlock(HGLOBAL h) : m_h(h), m_p(static_cast<const uint8_t*>(GlobalLock(h))) {}
    ~OwnedBlock()
    {
        if (m_p == nullptr)
            return;
        GlobalUnlock(m_h);
        GlobalFree(m_h);
    }
    OwnedBlock(const OwnedBlock&) = delete;
    OwnedBlock& operator=(const OwnedBlock&) = delete;

    const uint8_t* Data() const { return m_p; }
    size_t Size() const { return m_p ? GlobalSize(m_h) : 0; }

private:
    HGLOBAL m_h;
    const uint8_t* m_p;
};

TransferRequest ReadRequest(const uint8_t* record, const OwnedBlock& data)
{
    TransferRequest request;
    request.address = static_cast<uint16_t>(record[VEK_POOL_ADDRESS] | (record[VEK_POOL_ADDRESS + 1] << 8));
    request.count = Read32(record, VEK_POOL_COUNT);
    request.command = record[VEK_POOL_COMMAND];
    request.subAddress = record[VEK_POOL_SUB_ADDRESS];
    request.operation = Read32(record, VEK_POOL_OPERATION);
    // The builders never read past the host's block: they refuse a request
    // whose count the block cannot cover.
    request.data = {data.Data(), data.Size()};
    return request;
}

int32_t CompletionCode(uint32_t operation) { return operation == kOperationRead ? 6 : 5; }

// The caller holds g_csQueue for everything below: what is appended for one
// request goes in whole, behind every earlier request.
void Append(std::unique_ptr<CPool> step)
{
    step->m_bHostRequest = true;
    QueueAppend(std::move(step), true);
}

// A request that cannot be framed unchanged is dropped; the host hears that
// the transfer was refused instead of waiting for a completion. The refusal
// waits its turn in the queue: hosts match outcomes to requests by order.
void QueueRefused() { Append(std::make_unique<CPool>(ByteArray{}, STEP_NOTIFY, 0, VEK_NOTIFY_TRANSFER_REFUSED, 1)); }

void QueueShortTransfer(const Session& session, const TransferRequest& request, int32_t timeout, bool wide)
{
    const PanelRecordView record(session.m_pPanelRecord);
    const bool twoByteAddress = record.IsAttached() && (record.PanelOptions() & VEK_PANEL_OPT_ADDRESS);
    const auto frames = BuildShortTransferFrames(request, twoByteAddress, wide);
    if (!frames) {
        QueueRefused();
        return;
    }
    for (size_t i = 0; i < frames->size(); ++i) {
        const ShortTransferFrame& frame = (*frames)[i];
        const bool last = i + 1 == frames->size();
        const int32_t code = last ? CompletionCode(request.operation) : CODE_NONE;
        Append(std::make_unique<CPool>(frame.bytes, STEP_PACKET, frame.offset == 0 ? 5 : 0, code, timeout,
                                       static_cast<int32_t>(request.operation), 0, 0, 1));
    }
}

void QueueLongTransfer(const Session& session, const uint8_t* record, const TransferRequest& request, int32_t timeout)
{
    const auto frame = BuildLongTransferFrame(session.m_nLinkMode, request);
    if (!frame) {
        QueueRefused();
        return;
    }
    uint32_t flags = Read32(record, VEK_POOL_FLAGS);
    const uint32_t commandValue = Read32(record, VEK_POOL_COMMAND);
    if (Read32(record, VEK_POOL_CLASS) == VEK_POOL_ACK_CLASS && (commandValue == 8 || commandValue == 9))
        flags |= REQ_EXPECT_ACK;
    int32_t code = CompletionCode(request.operation);
    uint8_t reply = 0;
    if (!(flags & 0x02) && (flags & REQ_REPLY_CMD)) {
        code = 6;
        reply = record[VEK_POOL_REPLY];
    }
    Append(std::make_unique<CPool>(*frame, STEP_PACKET, 5, code, timeout, static_cast<int32_t>(request.operation),
                                   flags, reply, 1));
}

void QueueTransfer(const Session& session, const OwnedBlock& record, bool wide)
{
    // A record too short to hold its fields, or one whose data block cannot
    // be locked, is refused like an unframeable one.
    if (record.Size() < VEK_POOL_RECORD_MIN_SIZE) {
        QueueRefused();
        return;
    }
    OwnedBlock data(HandleFromField<HGLOBAL>(Read32(record.Data(), VEK_POOL_DATA)));
    if (data.Data() == nullptr) {
        QueueRefused();
        return;
    }
    const TransferRequest request = ReadRequest(record.Data(), data);
    // 70 ms per byte on top of 10 s; computed wide so a huge count cannot wrap.
    const int64_t wideTimeout = int64_t{70} * request.count + 10000;
    const int32_t timeout = static_cast<int32_t>(std::min<int64_t>(wideTimeout, INT32_MAX));
    if (session.m_nLinkMode == 3)
        QueueShortTransfer(session, request, timeout, wide);
    else
        QueueLongTransfer(session, record.Data(), request, timeout);
}

} // namespace

int AddPool(Session& session, HGLOBAL requestHandle)
{
    // Nothing could carry it: not taken, and the host is told so at once.
    if (session.CurrentModem() == nullptr || !session.m_commCtrl.GetPortOpen())
        return 0;
    const bool wide = IdentifiesWideCode50Panel(session);
    // The phase and the queue change together under this lock: a request is
    // either in the queue before the call's end is decided, and ended with
    // it, or refused.
    CSingleLock lock(g_csQueue);
    if (!CallTakesRequests())
        return 0;
    // Handle 0, freed or never issued: there is nothing to take.
    OwnedBlock record(requestHandle);
    if (record.Data() == nullptr)
        return 0;
    QueueTransfer(session, record, wide);
    return 1;
}

} // namespace vek
