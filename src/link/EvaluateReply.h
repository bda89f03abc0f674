// Judging a panel's reply to a packet step: accepted, not recognised, or the
// panel's reason for refusing.
#pragma once

#include "link/CPool.h"
#include "vek_comm2.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace vek {

class Session;

inline constexpr int32_t kReplyAccepted = 0;
inline constexpr int32_t kReplyNotRecognised = 100;
// Reasons the worker acts on.
inline constexpr int32_t kReasonReopenSession = 2;
inline constexpr int32_t kReasonRefusedAck = 4;
inline constexpr int32_t kReasonPanelEndsCall = 6;
inline constexpr int32_t kReasonRefused = 7;
inline constexpr int32_t kReasonBusy = 8;

inline constexpr uint8_t kReplyAck = 'P';
inline constexpr uint8_t kReplyRefusal = 'Q';
inline constexpr uint8_t kReplyRefusalShort = 'E';

// Data read in one transfer is gathered up to this size; a panel that keeps
// answering cannot make it grow further.
inline constexpr size_t kMaxReadData = 65536;

// Where the command and the sub-address stand in a frame of a link mode.
struct ReplyLayout {
    size_t command = 1;
    bool hasSubAddress = false;
    size_t subAddress = 0;
};
ReplyLayout LayoutOf(int linkMode);

// What follows the header, without the check bytes; empty when the reply
// is too short to hold any.
std::span<const uint8_t> ReplyPayload(std::span<const uint8_t> reply, int linkMode);

// reply is a copy of the receive buffer with a complete frame whose check
// has passed. extra becomes a block for the host (or stays 0).
int32_t EvaluateReply(Session& session, const CPool& step, std::span<const uint8_t> reply, HGLOBAL& extra);

} // namespace vek
