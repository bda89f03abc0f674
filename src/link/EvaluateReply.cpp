#include "link/EvaluateReply.h"

#include "host/HostBlock.h"
#include "link/FramesLong.h"
#include "link/FramesTransfer.h"
#include "link/RequestQueue.h"
#include "link/Session.h"

namespace vek {
namespace {

constexpr int32_t kExpectFirstOfRead = 5;
constexpr int32_t kCodeReadDone = 6;
// The panel answers a 0x11 request with 0x01.
constexpr uint8_t kAlternateRequest = 0x11;
constexpr uint8_t kAlternateReply = 0x01;

// Bytes from the line are read only where they are: -1 past the end.
int At(std::span<const uint8_t> bytes, size_t i) { return i < bytes.size() ? bytes[i] : -1; }

class Judge {
public:
    Judge(int linkMode, std::span<const uint8_t> sent, std::span<const uint8_t> reply)
        : m_mode(NormalizedLinkMode(linkMode)), m_layout(LayoutOf(linkMode)), m_sent(sent), m_reply(reply)
    {
    }

    bool LongAddressed() const { return m_mode >= 4; }
    int ReplyCommand() const { return At(m_reply, m_layout.command); }
    int ReplyAfterCommand() const { return At(m_reply, m_layout.command + 1); }
    int ReplySub() const { return LongAddressed() ? At(m_reply, m_layout.subAddress) : 0; }
    int SentCommand() const { return At(m_sent, m_layout.command); }
    int SentSub() const { return LongAddressed() ? At(m_sent, m_layout.subAddress) : 0; }

    // Sub-address 0 (or a mode without one) and the given command.
    bool IsFromMain(int command) const { return ReplySub() == 0 && ReplyCommand() == command; }
    bool EchoesRequest() const
    {
        return SentCommand() >= 0 && SentSub() >= 0 && ReplySub() == SentSub() && ReplyCommand() == SentCommand();
    }
    bool AlternateReply() const
    {
        return SentSub() == 0 && ReplySub() == 0 && SentCommand() == kAlternateRequest &&
               ReplyCommand() == kAlternateReply;
    }

    int32_t Refusal() const
    {
        if (m_mode == 3) {
            if (ReplyCommand() != kReplyRefusalShort || ReplyAfterCommand() < 0)
                return kReplyNotRecognised;
            return MapShortReason(ReplyAfterCommand());
        }
        return LongRefusal();
    }
    int32_t LongRefusal() const
    {
        if (LongAddressed() && ReplySub() != 0)
            return kReplyNotRecognised;
        if (ReplyCommand() != kReplyRefusal || ReplyAfterCommand() < 0)
            return kReplyNotRecognised;
        return ReplyAfterCommand();
    }

private:
    // Short-code panels number two of their reasons differently.
    static int32_t MapShortReason(int reason)
    {
        if (reason == 2)
            return kReasonPanelEndsCall;
        if (reason == 3)
            return kReasonReopenSession;
        return reason;
    }

    int m_mode;
    ReplyLayout m_layout;
    std::span<const uint8_t> m_sent;
    std::span<const uint8_t> m_reply;
};

// An acknowledged step is sent no more: a copy waits for the real reply.
void WaitForReplyAfterAck(Session& session, const CPool& step)
{
    if (session.m_nCurrentBaudRate == 1200)
        session.WriteDirectByte(0x00);
    auto copy = std::make_unique<CPool>(step);
    copy->m_dwFlags = (copy->m_dwFlags & ~REQ_EXPECT_ACK) | REQ_NO_SEND;
    QueueInsertHead(std::move(copy), false);
}

// A long-frame read is answered with exactly the bytes it asked for; a
// shorter or longer reply is not the answer, however good its check.
bool HoldsCountAsked(int linkMode, const CPool& step, std::span<const uint8_t> payload)
{
    if (static_cast<uint32_t>(step.m_nCommand) != kOperationRead || NormalizedLinkMode(linkMode) == 3)
        return true;
    const std::optional<size_t> asked = LongReadCount(linkMode, step.m_data);
    return !asked || *asked == payload.size();
}

bool GatherRead(Session& session, std::span<const uint8_t> payload)
{
    if (session.m_readData.size() + payload.size() > kMaxReadData)
        return false;
    session.m_readData.insert(session.m_readData.end(), payload.begin(), payload.end());
    return true;
}

} // namespace

ReplyLayout LayoutOf(int linkMode)
{
    switch (NormalizedLinkMode(linkMode)) {
    case 3: return {0, false, 0};
    case 2: return {2, false, 0};
    case 4: return {3, true, 2};
    case 5: return {4, true, 3};
    default: return {1, false, 0}; // mode 1, and no mode read as mode 1
    }
}

std::span<const uint8_t> ReplyPayload(std::span<const uint8_t> reply, int linkMode)
{
    const size_t head = NormalizedLinkMode(linkMode) == 3 ? 1 : LayoutOf(linkMode).command + 1;
    const size_t tail = NormalizedLinkMode(linkMode) == 3 ? 1 : 2;
    if (reply.size() < head + tail)
        return {};
    return reply.subspan(head, reply.size() - head - tail);
}

int32_t EvaluateReply(Session& session, const CPool& step, std::span<const uint8_t> reply, HGLOBAL& extra)
{
    extra = 0;
    const int mode = NormalizedLinkMode(session.m_nLinkMode);
    const Judge judge(session.m_nLinkMode, step.m_data, reply);
    const std::span<const uint8_t> payload = ReplyPayload(reply, session.m_nLinkMode);

    if (step.m_dwFlags & REQ_EXPECT_ACK) {
        if (judge.IsFromMain(kReplyAck)) {
            WaitForReplyAfterAck(session, step);
            return kReplyAccepted;
        }
        return judge.LongRefusal();
    }
    if ((step.m_dwFlags & REQ_REPLY_CMD) && step.m_byReply != 0) {
        if (!judge.IsFromMain(step.m_byReply))
            return judge.Refusal();
        // The halves of a split transfer gather their payloads as a split
        // read does; the last one hands the whole to the host.
        if (step.m_nExpect == kExpectFirstOfRead)
            session.m_readData.clear();
        if (!GatherRead(session, payload))
            return kReplyNotRecognised;
        if (step.m_nCode != CODE_NONE)
            extra = NewHostBlock(session.m_readData);
        return kReplyAccepted;
    }
    if (step.m_nExpect == kExpectFirstOfRead)
        session.m_readData.clear();
    if (step.m_nCode == kCodeReadDone) {
        if ((judge.EchoesRequest() || judge.AlternateReply()) && HoldsCountAsked(mode, step, payload) &&
            GatherRead(session, payload)) {
            extra = NewHostBlock(session.m_readData);
            return kReplyAccepted;
        }
        return judge.Refusal();
    }
    if (mode == 3 || static_cast<uint32_t>(step.m_nCommand) == kOperationRead) {
        if (!judge.EchoesRequest())
            return judge.Refusal();
        if (static_cast<uint32_t>(step.m_nCommand) == kOperationRead &&
            (!HoldsCountAsked(mode, step, payload) || !GatherRead(session, payload)))
            return kReplyNotRecognised;
        return kReplyAccepted;
    }
    return judge.IsFromMain(kReplyAck) ? kReplyAccepted : judge.Refusal();
}

} // namespace vek
