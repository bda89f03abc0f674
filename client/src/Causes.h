// Why a call failed, named from what the panel and the modem actually sent:
// the library reports a code; the received bytes say which refusal, which
// modem result or which identification lay behind it.
#pragma once

#include "vek/client.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vek::internal {

// A panel reply frame found in received bytes, with a valid check.
struct PanelReply {
    uint8_t command = 0;
    std::optional<int> reason; // refusals: the reason as the library numbers it
    int rawReason = 0;         // the byte on the line
};

std::vector<PanelReply> FindReplies(int linkMode, std::span<const uint8_t> received);

struct ReportedIdentity {
    int type = 0;
    int version = 0;
    std::string format;
};

// The identification in the bytes received after CONNECT, read the way the
// library reads its seven formats.
std::optional<ReportedIdentity> FindIdentification(std::span<const uint8_t> received);
// The last result word of the modem ("NO ANSWER", "BUSY", ...), if any.
std::optional<std::string> LastModemResult(std::span<const uint8_t> received);
// A whole "NO CARRIER" line among the bytes.
bool HasNoCarrierLine(std::span<const uint8_t> received);

enum class CallStage { ModemReady, Dial, SessionOpen, Transfer, HangUp, Answer };

struct FailureFacts {
    int code = 0; // the library's notification
    CallStage stage = CallStage::Dial;
    int linkMode = 2;
    int expectedType = 0;
    int expectedVersion = 0;
    std::vector<uint8_t> received; // during the stage (the dial: since dialling)
    int tries = 0;                 // frames sent during the stage
    bool connected = false;        // the modem reported CONNECT
    bool deviceGone = false;       // the device cannot be found or opened any more
    bool noCarrier = false;        // the modem said NO CARRIER since the call connected
};

struct Explained {
    Cause cause = Cause::None;
    std::string text; // empty when the bytes say nothing more
    std::optional<int> reason;
    std::string hint;
};

Explained ExplainFailure(const FailureFacts& facts);
std::string RefusalText(int reason, CallStage stage);
// What to try for a cause; empty when nothing helps.
std::string CauseHint(Cause cause, std::optional<int> reason = std::nullopt);

} // namespace vek::internal
