#include "Causes.h"

#include "FrameLayout.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vek::internal {
namespace {

constexpr uint8_t kRefuse = 0x51;
constexpr uint8_t kShortRefuse = 0x45;

// Short-code panels number two of their reasons differently.
int MapShortReason(int raw) { return raw == 2 ? 6 : raw == 3 ? 2 : raw; }

std::optional<PanelReply> LongReplyAt(int mode, std::span<const uint8_t> b, size_t i)
{
    const size_t header = static_cast<size_t>(LengthFieldSize(mode));
    if (i + header > b.size())
        return std::nullopt;
    const size_t length = header == 1 ? b[i] : static_cast<size_t>(b[i] << 8 | b[i + 1]);
    const size_t command = static_cast<size_t>(CommandIndex(mode));
    if (length < command - header + 3 || i + header + length > b.size())
        return std::nullopt;
    const std::span<const uint8_t> frame = b.subspan(i, header + length);
    if (!Crc16Matches(frame))
        return std::nullopt;
    PanelReply reply;
    reply.command = frame[command];
    if (reply.command == kRefuse && command + 3 < frame.size()) {
        reply.rawReason = frame[command + 1];
        reply.reason = reply.rawReason;
    }
    return reply;
}

std::optional<PanelReply> ShortRefusalAt(std::span<const uint8_t> b, size_t i)
{
    if (i + 3 > b.size() || b[i] != kShortRefuse || !SumMatches(b, i, i + 2, b[i + 2]))
        return std::nullopt;
    PanelReply reply;
    reply.command = kShortRefuse;
    reply.rawReason = b[i + 1];
    reply.reason = MapShortReason(b[i + 1]);
    return reply;
}

// The bytes after the last CONNECT line: what the panel sent.
std::span<const uint8_t> AfterConnect(std::span<const uint8_t> b)
{
    constexpr std::string_view kConnect = "CONNECT";
    const auto it = std::find_end(b.begin(), b.end(), kConnect.begin(), kConnect.end());
    if (it == b.end())
        return b;
    const auto lineEnd = std::find(it, b.end(), uint8_t{'\n'});
    return lineEnd == b.end() ? std::span<const uint8_t>{} : b.subspan(static_cast<size_t>(lineEnd - b.begin()) + 1);
}

std::optional<ReportedIdentity> ShortFormatAt(std::span<const uint8_t> b, size_t j)
{
    if (j + 5 <= b.size() && b[j] == 0x07 && SumMatches(b, j, j + 4, b[j + 4]))
        return ReportedIdentity{0xE2, b[j + 3] & 0xFE, "07 frame"};
    if (b.size() >= 8 && j + 9 <= b.size() && b[j] == 0x55 && SumMatches(b, j + 2, j + 8, b[j + 8]))
        return ReportedIdentity{0xE9, b[j + 6], "55 frame"};
    if (b.size() >= 8 && j + 7 <= b.size() && b[j] == 0x03 && SumMatches(b, j, j + 6, b[j + 6]))
        return ReportedIdentity{0xEA, b[j + 4], "03 frame"};
    return std::nullopt;
}

std::string Tries(int tries) { return std::to_string(tries) + (tries == 1 ? " try" : " tries"); }

Explained Make(Cause cause, std::string text, std::optional<int> reason = std::nullopt)
{
    return {cause, std::move(text), reason, CauseHint(cause, reason)};
}

Explained ExplainDial(const FailureFacts& f)
{
    const std::span<const uint8_t> rx(f.received);
    const auto result = LastModemResult(rx);
    switch (f.code) {
    case 4: return Make(Cause::NoCarrier, "the modem answered the dial with " + result.value_or("NO CARRIER"));
    case 11: return Make(Cause::Busy, "the modem answered the dial with " + result.value_or("BUSY"));
    case 15: return Make(Cause::NoDialTone, "the modem answered the dial with " + result.value_or("NO DIALTONE"));
    default: break;
    }
    if (result == "NO ANSWER")
        return Make(Cause::NoAnswer, "the modem answered the dial with NO ANSWER: nobody picked up at the other end");
    if (result)
        return Make(Cause::ModemFailed, "the modem answered the dial with " + *result);
    return Make(Cause::ModemFailed, "");
}

Explained ExplainRefusal(const FailureFacts& f, int reason)
{
    const std::string text = RefusalText(reason, f.stage);
    if (reason == 4 && f.stage == CallStage::SessionOpen)
        return Make(Cause::OpenCodeRefused, text, reason);
    if (reason == 6)
        return Make(Cause::PanelEndedCall, text, reason);
    if (reason == 7 || (reason == 4 && f.code == 97))
        return Make(Cause::TransferRefused, text, reason);
    return Make(Cause::Refused, text, reason);
}

// The link is gone and no refusal explains it: say what the line showed.
Explained ExplainLoss(const FailureFacts& f, const std::vector<PanelReply>& replies)
{
    const std::span<const uint8_t> rx(f.received);
    if (f.noCarrier || HasNoCarrierLine(rx))
        return Make(Cause::LineDropped, "the line dropped: the modem said NO CARRIER");
    if (f.deviceGone)
        return Make(Cause::DeviceGone, "the serial device went away");
    if (rx.empty())
        return Make(Cause::PanelSilent, "the panel stopped answering: no answer after " + Tries(std::max(f.tries, 1)));
    if (replies.empty())
        return Make(Cause::BadReplies, "nothing the panel sent passed its check in " + Tries(std::max(f.tries, 1)) +
                                           " (noise on the line, or another link mode?)");
    return Make(Cause::LinkLost, "");
}

} // namespace

std::vector<PanelReply> FindReplies(int linkMode, std::span<const uint8_t> received)
{
    const int mode = NormalLinkMode(linkMode);
    std::vector<PanelReply> replies;
    for (size_t i = 0; i < received.size();) {
        const std::optional<PanelReply> reply =
            mode == kShortCodeMode ? ShortRefusalAt(received, i) : LongReplyAt(mode, received, i);
        if (!reply) {
            ++i;
            continue;
        }
        replies.push_back(*reply);
        i += mode == kShortCodeMode ? 3 : 1;
    }
    return replies;
}

std::optional<ReportedIdentity> FindIdentification(std::span<const uint8_t> received)
{
    std::span<const uint8_t> b = AfterConnect(received);
    for (size_t k = 0; k + 2 < b.size(); ++k) {
        if ((b[k] & 0x7F) == 0x02 && (b[k + 1] & 0x7F) == 0x02 && (b[k + 2] & 0x7F) == 0x02 && k + 10 < b.size())
            return ReportedIdentity{b[k + 3] & 0x7F, b[k + 4] & 0x7F, "02 02 02 block"};
        if (b[k] == 0x04 && b[k + 1] == 0x04 && b[k + 2] == 0x04 && k + 6 < b.size())
            return ReportedIdentity{b[k + 5], b[k + 6], "04 04 04 block"};
    }
    if (b.size() >= 5 && b[0] == 0x0D && b[1] == 0x0A)
        b = b.subspan(2);
    if (b.empty())
        return std::nullopt;
    if (b.size() < 5)
        return b.size() >= 3 ? std::optional(ReportedIdentity{0xE4, b[2] & 0xFE, "short reply"}) : std::nullopt;
    for (size_t j = 0; j < b.size(); ++j)
        if (const auto ident = ShortFormatAt(b, j))
            return ident;
    return std::nullopt;
}

std::optional<std::string> LastModemResult(std::span<const uint8_t> received)
{
    constexpr std::array kResults{"NO ANSWER", "NO CARRIER", "NO DIALTONE", "NO DIAL TONE",
                                  "BUSY",      "ERROR",      "DELAYED",     "BLACKLISTED"};
    std::optional<std::string> last;
    size_t lastAt = 0;
    for (const char* word : kResults) {
        const std::string_view w(word);
        const auto it = std::find_end(received.begin(), received.end(), w.begin(), w.end());
        if (it == received.end())
            continue;
        const auto at = static_cast<size_t>(it - received.begin());
        if (!last || at > lastAt) {
            last = std::string(w);
            lastAt = at;
        }
    }
    return last;
}

bool HasNoCarrierLine(std::span<const uint8_t> received)
{
    constexpr std::string_view kLine = "NO CARRIER";
    const auto isEnd = [](uint8_t b) { return b == '\r' || b == '\n'; };
    for (auto it = received.begin();; ++it) {
        it = std::search(it, received.end(), kLine.begin(), kLine.end());
        if (it == received.end())
            return false;
        const bool startsLine = it == received.begin() || isEnd(*(it - 1));
        const auto after = it + static_cast<std::ptrdiff_t>(kLine.size());
        if (startsLine && after != received.end() && isEnd(*after))
            return true;
    }
}

std::string RefusalText(int reason, CallStage stage)
{
    const std::string number = " (panel reason " + std::to_string(reason) + ")";
    switch (reason) {
    case 2: return "the panel says no session is open" + number;
    case 4: return stage == CallStage::SessionOpen ? "open code refused" + number : "request refused" + number;
    case 6: return "the panel ended the call" + number;
    case 7: return "address or command refused" + number;
    case 8: return "the panel is busy" + number;
    default:
        return std::string(stage == CallStage::SessionOpen ? "the panel refused to open the session"
                                                           : "the panel refused the request") +
               number + ", a reason the library does not act on: it retried until it gave the link up";
    }
}

std::string CauseHint(Cause cause, std::optional<int> reason)
{
    switch (cause) {
    case Cause::PortUnavailable: return "the serial port cannot be opened; vekhost ports lists the ports and who holds them";
    case Cause::ModemFailed: return "the modem did not answer OK; check the cable, the port speed and the init string";
    case Cause::NoDialTone: return "is the phone line plugged into the modem?";
    case Cause::Busy: return "the line is busy; try again later";
    case Cause::NoCarrier: return "nobody answered, or the modems did not agree on a connection";
    case Cause::NoAnswer: return "is the number right, and is the panel's modem set to answer?";
    case Cause::DialNoResult: return "is the modem on this port and switched on? some modems say nothing on a dead line";
    case Cause::NoIdentification: return "the panel did not identify itself; check the link mode and the line speed";
    case Cause::WrongType: return "the panel is not of the type the panel record expects";
    case Cause::WrongVersion: return "the panel is not of the version the panel record expects";
    case Cause::OpenCodeRefused: return "check the panel's open code (and option 0x0040 for a three-byte code)";
    case Cause::Refused:
        return reason == 2 ? "the panel lost the session; call again" : "see the panel's documentation for its reasons";
    case Cause::TransferRefused: return "the panel refused the request; check the address and the command byte";
    case Cause::PanelEndedCall: return "the panel hung up";
    case Cause::PanelSilent: return "is the panel still powered and on the line?";
    case Cause::BadReplies: return "check the link mode, the line speed and the line's quality";
    case Cause::LineDropped: return "the connection dropped; call again";
    case Cause::DeviceGone: return "was the serial adapter unplugged? vekhost ports shows what is there";
    default: return {};
    }
}

Explained ExplainFailure(const FailureFacts& f)
{
    const std::span<const uint8_t> rx(f.received);
    switch (f.code) {
    case 4:
    case 11:
    case 15:
        if (f.stage == CallStage::Dial)
            return ExplainDial(f);
        return Make(f.code == 4 ? Cause::NoCarrier : f.code == 11 ? Cause::Busy : Cause::NoDialTone, "");
    case 28:
        if (f.stage == CallStage::Dial && !f.connected)
            return ExplainDial(f);
        if (const auto other = LastModemResult(rx))
            return Make(Cause::ModemFailed, "the modem answered " + *other);
        if (rx.empty())
            return Make(Cause::ModemFailed, "the modem sent nothing: is it switched on, on this port, at this speed?");
        return Make(Cause::ModemFailed, "");
    case 25:
    case 26: {
        const Cause cause = f.code == 25 ? Cause::WrongVersion : Cause::WrongType;
        if (const auto ident = FindIdentification(rx))
            return Make(cause, "panel reported type " + std::to_string(ident->type) + " version " +
                                   std::to_string(ident->version) + " (" + ident->format + "), expected type " +
                                   std::to_string(f.expectedType) + " version " + std::to_string(f.expectedVersion));
        return Make(cause, "");
    }
    case 18:
        return Make(Cause::NoIdentification, AfterConnect(rx).empty()
                                                 ? "the panel sent nothing after CONNECT"
                                                 : "the panel's reply was not an identification the library knows");
    case 20: return Make(Cause::PortUnavailable, "");
    case 27:
    case 16:
    case 97: {
        const std::vector<PanelReply> replies = FindReplies(f.linkMode, rx);
        const auto refusal =
            std::find_if(replies.rbegin(), replies.rend(), [](const PanelReply& r) { return r.reason.has_value(); });
        if (refusal != replies.rend())
            return ExplainRefusal(f, *refusal->reason);
        if (f.code == 16)
            return Make(Cause::PanelEndedCall, "");
        if (f.code == 97)
            return Make(Cause::TransferRefused, "the library refused the request: it cannot be framed in this link mode");
        return ExplainLoss(f, replies);
    }
    default: return Make(Cause::None, "");
    }
}

} // namespace vek::internal
