#include "vekhost/Causes.h"

#include "panelsim/Checksums.h"
#include "panelsim/Frames.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vekhost {
namespace {

constexpr uint8_t kRefuse = 0x51;
constexpr uint8_t kShortRefuse = 0x45;

std::span<const uint8_t> At(std::span<const uint8_t> bytes, size_t offset, size_t length)
{
    return bytes.subspan(offset, length);
}

bool SumMatches(std::span<const uint8_t> bytes, size_t from, size_t to, uint8_t sum)
{
    uint8_t total = 0;
    for (size_t i = from; i < to; ++i)
        total = static_cast<uint8_t>(total + bytes[i]);
    return total == sum;
}

// Short-code panels number two of their reasons differently.
int MapShortReason(int raw) { return raw == 2 ? 6 : raw == 3 ? 2 : raw; }

std::optional<PanelReply> LongReplyAt(int mode, std::span<const uint8_t> b, size_t i)
{
    const size_t header = static_cast<size_t>(panelsim::LengthFieldSize(mode));
    if (i + header > b.size())
        return std::nullopt;
    const size_t length = header == 1 ? b[i] : static_cast<size_t>(b[i] << 8 | b[i + 1]);
    const size_t command = static_cast<size_t>(panelsim::CommandIndex(mode));
    if (length < command - header + 3 || i + header + length > b.size())
        return std::nullopt;
    const std::span<const uint8_t> frame = At(b, i, header + length);
    if (!panelsim::Crc16Matches(frame))
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

} // namespace

std::vector<PanelReply> FindReplies(int linkMode, std::span<const uint8_t> received)
{
    const int mode = panelsim::NormalLinkMode(linkMode);
    std::vector<PanelReply> replies;
    for (size_t i = 0; i < received.size();) {
        const std::optional<PanelReply> reply =
            mode == panelsim::kShortCodeMode ? ShortRefusalAt(received, i) : LongReplyAt(mode, received, i);
        if (!reply) {
            ++i;
            continue;
        }
        replies.push_back(*reply);
        i += mode == panelsim::kShortCodeMode ? 3 : 1;
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

std::string RefusalText(int reason, CallStage stage)
{
    const std::string number = " (panel reason " + std::to_string(reason) + ")";
    switch (reason) {
    case 2: return "the panel says no session is open" + number;
    case 4: return stage == CallStage::SessionOpen ? "open code refused" + number : "request refused" + number;
    case 6: return "the panel ended the call" + number;
    case 7: return "address or command refused" + number;
    case 8: return "the panel is busy" + number;
    default: return std::string(stage == CallStage::SessionOpen ? "session open refused" : "request refused") + number;
    }
}

Cause ExplainFailure(const FailureFacts& f)
{
    Cause cause;
    const std::span<const uint8_t> rx(f.received);
    switch (f.code) {
    case 4:  // NO CARRIER
    case 11: // BUSY
    case 15: // NO DIALTONE
        if (f.stage == CallStage::Dial) {
            const auto result = LastModemResult(rx);
            cause.text = "the modem answered the dial with " + result.value_or(f.code == 11 ? "BUSY" : "a failure");
        }
        return cause;
    case 28: // modem command failed
        if (const auto result = LastModemResult(rx); result && f.stage == CallStage::Dial)
            cause.text = "the modem answered the dial with " + *result +
                         (*result == "NO ANSWER" ? ": nobody picked up at the other end" : "");
        else if (const auto other = LastModemResult(rx))
            cause.text = "the modem answered " + *other;
        else if (rx.empty())
            cause.text = "the modem sent nothing: is it switched on, on this port, at this speed?";
        return cause;
    case 25: // wrong version
    case 26: // wrong type
        if (const auto ident = FindIdentification(rx))
            cause.text = "panel reported type " + std::to_string(ident->type) + " version " +
                         std::to_string(ident->version) + " (" + ident->format + "), expected type " +
                         std::to_string(f.expectedType) + " version " + std::to_string(f.expectedVersion);
        return cause;
    case 18: // no identification
        cause.text = AfterConnect(rx).empty() ? "the panel sent nothing after CONNECT"
                                              : "the panel's reply was not an identification the library knows";
        return cause;
    case 27: // link lost
    case 16: // panel ended the call
    case 97: // transfer refused
    {
        const std::vector<PanelReply> replies = FindReplies(f.linkMode, rx);
        const auto refusal =
            std::find_if(replies.rbegin(), replies.rend(), [](const PanelReply& r) { return r.reason.has_value(); });
        if (refusal != replies.rend()) {
            cause.text = RefusalText(*refusal->reason, f.stage);
            cause.openCodeRefused = f.stage == CallStage::SessionOpen && *refusal->reason == 4;
        } else if (f.code == 27 && rx.empty()) {
            cause.text = "the panel stopped answering";
        } else if (f.code == 27 && replies.empty()) {
            cause.text = "nothing the panel sent passed its check (noise on the line, or another link mode?)";
        }
        return cause;
    }
    default: return cause;
    }
}

} // namespace vekhost
