#include "panelsim/FrameReader.h"

#include "panelsim/Checksums.h"
#include "panelsim/Frames.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace panelsim {
namespace {

// Writes of a few KiB are the most a host sends in one frame; anything held
// beyond this is noise.
constexpr size_t kLongestFrame = 8192;
constexpr size_t kMostHeld = 2 * kLongestFrame;
constexpr size_t kLongestTailSearch = 64;

// A whole frame that failed its check starts a run of its own in what the
// reader threw away, apart from the noise before it.
constexpr const char* kCheckFailed = "check failed";
constexpr const char* kCutShort = "frame cut short";

const std::vector<uint8_t> kDialPrefix{0x41, 0x54, 0x44, 0x54}; // "ATDT"
const std::vector<uint8_t> kIdBlockPrefix{0x04, 0x04, 0x04};

void ClassifyLong(Request& request)
{
    const size_t n = request.payload.size();
    switch (request.command) {
    case command::kSessionOpen:
        if (n > 0)
            request.kind = RequestKind::SessionOpen;
        return;
    case command::kLinkRequest:
        if (request.payload == std::vector<uint8_t>{0x00, 0x14, 0x00})
            request.kind = RequestKind::LinkRequest;
        return;
    case command::kHangUp:
        if (n == 0)
            request.kind = RequestKind::HangUp;
        return;
    case command::kKeepAlive:
        if (n == 0)
            request.kind = RequestKind::KeepAlive;
        return;
    case command::kSpeedUp1200:
    case command::kSpeed300:
        if (n == 0)
            request.kind = RequestKind::SpeedChange;
        return;
    case command::kSpeedLong:
        if (n == 1)
            request.kind = RequestKind::SpeedChange;
        return;
    default: return;
    }
}

} // namespace

std::vector<Request> FrameReader::Push(uint8_t byte)
{
    if (m_buffer.size() >= kMostHeld)
        m_buffer.erase(m_buffer.begin());
    m_buffer.push_back(byte);
    return Scan(false);
}

std::vector<Request> FrameReader::GiveUpPartial() { return Scan(true); }

void FrameReader::Clear()
{
    for (const uint8_t byte : m_buffer)
        NoteSkipped(byte, "line went down mid-frame");
    m_buffer.clear();
    m_runOpen = false;
}

void FrameReader::NoteSkipped(uint8_t byte, const char* why)
{
    if (why == kCheckFailed)
        m_runOpen = false;
    if (!m_runOpen) {
        // Fillers between frames are expected, not lost.
        if (byte == 0xFF)
            return;
        m_discarded.push_back(Discard{{}, why});
        m_runOpen = true;
    }
    m_discarded.back().bytes.push_back(byte);
}

std::vector<Discard> FrameReader::TakeDiscarded()
{
    m_runOpen = false;
    return std::exchange(m_discarded, {});
}

std::vector<Request> FrameReader::Scan(bool final)
{
    std::vector<Request> found;
    while (!m_buffer.empty()) {
        Attempt attempt = TryFront(m_buffer, final);
        if (attempt.verdict == Verdict::Wait && !TryTail(attempt))
            break;
        if (attempt.verdict != Verdict::Frame) {
            NoteSkipped(m_buffer.front(), attempt.why);
            m_buffer.erase(m_buffer.begin());
            continue;
        }
        // Bytes a tail frame was found behind are thrown away with it.
        for (size_t i = 0; i < attempt.offset; ++i)
            NoteSkipped(m_buffer[i], "a repeated frame followed");
        m_runOpen = false;
        m_buffer.erase(m_buffer.begin(),
                       m_buffer.begin() + static_cast<std::ptrdiff_t>(attempt.offset + attempt.length));
        found.push_back(std::move(attempt.request));
    }
    return found;
}

bool FrameReader::TryTail(Attempt& attempt) const
{
    // Damage can leave a length that promises far more than will come; a
    // repeated frame that checks out at the end of what is held wins. Only
    // CRC frames: an 8-bit sum would too often match by chance.
    if (NormalLinkMode(m_settings.mode) == kShortCodeMode || m_buffer.size() > kLongestTailSearch)
        return false;
    const Span all(m_buffer);
    for (size_t offset = 1; offset + 1 < all.size(); ++offset) {
        Attempt tail = TryFront(all.subspan(offset), false);
        if (tail.verdict == Verdict::Frame && offset + tail.length == all.size()) {
            attempt = std::move(tail);
            attempt.offset = offset;
            return true;
        }
    }
    return false;
}

FrameReader::Attempt FrameReader::TryFront(Span b, bool final) const
{
    if (m_settings.linkFramesExpected) {
        Attempt link = TryLinkFrames(b, final);
        if (link.verdict != Verdict::Skip)
            return link;
    }
    Attempt abort = TryAbort(b, final);
    if (abort.verdict != Verdict::Skip)
        return abort;
    return NormalLinkMode(m_settings.mode) == kShortCodeMode ? TryShort(b, final) : TryLong(b, final);
}

bool FrameReader::StartsWith(Span b, const std::vector<uint8_t>& pattern, bool& partial)
{
    const size_t n = std::min(pattern.size(), b.size());
    if (!std::equal(pattern.begin(), pattern.begin() + static_cast<std::ptrdiff_t>(n), b.begin()))
        return false;
    partial = b.size() < pattern.size();
    return true;
}

std::vector<uint8_t> FrameReader::Front(Span b, size_t length)
{
    return {b.begin(), b.begin() + static_cast<std::ptrdiff_t>(length)};
}

FrameReader::Attempt FrameReader::Incomplete(bool final)
{
    Attempt attempt;
    attempt.verdict = final ? Verdict::Skip : Verdict::Wait;
    attempt.why = kCutShort;
    return attempt;
}

FrameReader::Attempt FrameReader::Rejected(const char* why)
{
    Attempt attempt;
    attempt.why = why;
    return attempt;
}

FrameReader::Attempt FrameReader::Found(RequestKind kind, std::vector<uint8_t> bytes, size_t payloadFrom,
                                        size_t payloadTo)
{
    Attempt attempt;
    attempt.verdict = Verdict::Frame;
    attempt.length = bytes.size();
    attempt.request.kind = kind;
    attempt.request.payload.assign(bytes.begin() + static_cast<std::ptrdiff_t>(payloadFrom),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(payloadTo));
    attempt.request.bytes = std::move(bytes);
    return attempt;
}

FrameReader::Attempt FrameReader::TryLinkFrames(Span b, bool final) const
{
    bool partial = false;
    if (StartsWith(b, kDialPrefix, partial)) {
        if (partial || b.size() < 5)
            return Incomplete(final);
        const size_t numberLength = b[4] >= 2 ? b[4] - 2u : 0u;
        const size_t total = 5 + numberLength + 2;
        if (b.size() < total)
            return Incomplete(final);
        std::vector<uint8_t> bytes = Front(b, total);
        if (b[4] >= 2 && Crc16Matches(bytes))
            return Found(RequestKind::DialFrame, std::move(bytes), 5, total - 2);
        return Rejected(kCheckFailed);
    }
    if (StartsWith(b, kIdBlockPrefix, partial)) {
        if (partial || b.size() < 5)
            return Incomplete(final);
        const size_t length = static_cast<size_t>(b[3] << 8 | b[4]);
        if (length < 2 || length > 256)
            return Rejected("length out of range");
        const size_t total = 5 + length;
        if (b.size() < total)
            return Incomplete(final);
        std::vector<uint8_t> bytes = Front(b, total);
        if (Crc16Matches(bytes))
            return Found(RequestKind::IdentBlock, std::move(bytes), 5, total - 2);
        return Rejected(kCheckFailed);
    }
    return {};
}

FrameReader::Attempt FrameReader::TryAbort(Span b, bool final) const
{
    const std::vector<uint8_t> pattern = AbortPattern(m_settings.mode);
    bool partial = false;
    if (!StartsWith(b, pattern, partial))
        return {};
    if (partial)
        return Incomplete(final);
    return Found(RequestKind::Abort, pattern, 0, 0);
}

size_t FrameReader::LongFrameMinimum() const
{
    // Command byte and CRC, plus the sub-address (mode 4) and route (mode 5).
    const int mode = NormalLinkMode(m_settings.mode);
    return mode == 5 ? 5 : (mode == 4 ? 4 : 3);
}

FrameReader::Attempt FrameReader::TryLong(Span b, bool final) const
{
    const int mode = NormalLinkMode(m_settings.mode);
    const size_t header = static_cast<size_t>(LengthFieldSize(mode));
    if (b.size() < header)
        return Incomplete(final);
    const size_t length = header == 1 ? b[0] : static_cast<size_t>(b[0] << 8 | b[1]);
    if (length < LongFrameMinimum() || length > kLongestFrame)
        return Rejected("length out of range");
    const size_t total = header + length;
    if (b.size() < total)
        return Incomplete(final);
    std::vector<uint8_t> bytes = Front(b, total);
    if (!Crc16Matches(bytes))
        return Rejected(kCheckFailed);
    size_t index = header;
    const uint8_t route = mode == 5 ? bytes[index++] : 0;
    const uint8_t subAddress = mode >= 4 ? bytes[index++] : 0;
    const uint8_t commandByte = bytes[index++];
    Attempt attempt = Found(RequestKind::Data, std::move(bytes), index, total - 2);
    attempt.request.route = route;
    attempt.request.subAddress = subAddress;
    attempt.request.command = commandByte;
    ClassifyLong(attempt.request);
    return attempt;
}

FrameReader::Attempt FrameReader::TryShort(Span b, bool final) const
{
    const uint8_t code = b[0];
    if (code == shortcode::kSessionOpen)
        return TryShortSessionOpen(b, final);
    if (code == shortcode::kKeepAlive)
        return TryShortZero(b, final);
    if (code == shortcode::kLinkRequest || code == shortcode::kHangUp) {
        if (b.size() < 2)
            return Incomplete(final);
        if (b[1] != code)
            return Rejected("code not repeated");
        const RequestKind kind = code == shortcode::kHangUp ? RequestKind::HangUp : RequestKind::LinkRequest;
        Attempt attempt = Found(kind, Front(b, 2), 1, 1);
        attempt.request.command = code;
        return attempt;
    }
    // Fillers (0xFF) and stray bytes between frames carry no code.
    if (ShortReplyLength(code, m_settings.threeByteCode50) == 255)
        return Rejected("no such code");
    return TryShortData(b, final);
}

FrameReader::Attempt FrameReader::TrySummedForms(Span b, std::initializer_list<size_t> totals, bool final) const
{
    // The preferred length is waited for before a shorter one is believed.
    bool checked = false;
    for (const size_t total : totals) {
        if (b.size() < total) {
            if (!final)
                return Incomplete(false);
            continue;
        }
        checked = true;
        std::vector<uint8_t> bytes = Front(b, total);
        if (Sum8Matches(bytes)) {
            Attempt attempt = Found(RequestKind::Data, std::move(bytes), 1, total - 1);
            attempt.request.command = attempt.request.bytes[0];
            return attempt;
        }
    }
    return checked ? Rejected(kCheckFailed) : Incomplete(true);
}

FrameReader::Attempt FrameReader::TryShortSessionOpen(Span b, bool final) const
{
    const size_t preferred = m_settings.openCodeLength == 3 ? 3 : 2;
    const size_t other = preferred == 3 ? 2 : 3;
    Attempt attempt = TrySummedForms(b, {preferred + 2, other + 2}, final);
    if (attempt.verdict == Verdict::Frame)
        attempt.request.kind = RequestKind::SessionOpen;
    return attempt;
}

FrameReader::Attempt FrameReader::TryShortZero(Span b, bool final) const
{
    if (b.size() < 2)
        return Incomplete(final);
    if (b[1] == 0x00) {
        Attempt attempt = Found(RequestKind::KeepAlive, Front(b, 2), 1, 1);
        attempt.request.command = shortcode::kKeepAlive;
        return attempt;
    }
    // Speed-change requests keep their two-byte length and CRC in mode 3.
    if (b[1] == 0x03 || b[1] == 0x04) {
        const size_t total = b[1] + 2u;
        if (b.size() < total)
            return Incomplete(final);
        std::vector<uint8_t> bytes = Front(b, total);
        if (Crc16Matches(bytes)) {
            Attempt attempt = Found(RequestKind::SpeedChange, std::move(bytes), 3, total - 2);
            attempt.request.command = attempt.request.bytes[2];
            return attempt;
        }
    }
    return TryShortData(b, final);
}

FrameReader::Attempt FrameReader::TryShortData(Span b, bool final) const
{
    const uint8_t code = b[0];
    const size_t addressLength = m_settings.twoByteAddress ? 2 : 1;
    const size_t readTotal = 1 + addressLength + 1;
    const size_t writeTotal = readTotal + static_cast<size_t>(ShortChunk(code, m_settings.threeByteCode50));
    const bool writeFirst = m_settings.shortWriteCodes.count(code) > 0;
    Attempt attempt = writeFirst ? TrySummedForms(b, {writeTotal, readTotal}, final)
                                 : TrySummedForms(b, {readTotal, writeTotal}, final);
    if (attempt.verdict == Verdict::Frame)
        attempt.request.shortWrite = attempt.length > readTotal;
    return attempt;
}

} // namespace panelsim
