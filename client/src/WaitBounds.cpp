#include "WaitBounds.h"

namespace vek::internal {
namespace {

using namespace std::chrono_literals;

// The link is declared lost after the efficiency counter falls from 10 to
// 0, one point per failed exchange.
constexpr int kFailuresToLinkLost = 10;
// A failed exchange costs at most the first-byte wait, the step's own
// time-out (10 s plus 70 ms a byte) and the pause between requests.
constexpr auto kFirstByteWait = 8000ms;
constexpr auto kStepBase = 10000ms;
constexpr auto kStepPerByte = 70ms;
constexpr auto kRequestPause = 500ms;
// Some panels ask for 8 s before the session-open frame.
constexpr auto kOpenPause = 8000ms;
constexpr auto kMargin = 15000ms;
// Modem commands answer within 3 s; the escape is tried four times.
constexpr auto kModemSequence = 60000ms;
// A modem gives up on a call after its S7 wait (commonly 50 to 60 s); the
// identification step waits 20 s more.
constexpr auto kDialAndIdentify = 90000ms;

std::chrono::milliseconds LinkLost(uint32_t bytes)
{
    const auto perFailure = kFirstByteWait + kStepBase + kStepPerByte * bytes + kRequestPause;
    return perFailure * kFailuresToLinkLost;
}

} // namespace

std::optional<std::chrono::milliseconds> LibraryBound(WaitKind kind, uint32_t chunk)
{
    switch (kind) {
    case WaitKind::ModemReady: return kModemSequence;
    case WaitKind::Identification: return kDialAndIdentify + kMargin;
    case WaitKind::SessionOpen: return kOpenPause + LinkLost(3) + kMargin;
    case WaitKind::Transfer: return LinkLost(chunk) + kMargin;
    case WaitKind::HangUp: return kModemSequence;
    case WaitKind::IncomingCall: return std::nullopt;
    }
    return std::nullopt;
}

} // namespace vek::internal
