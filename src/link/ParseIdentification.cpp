#include "link/ParseIdentification.h"

#include "link/Crc16.h"
#include "link/RepairParity.h"
#include "link/Sum8.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace vek {

namespace {

constexpr uint8_t kTypeShortReply = 0xE4;
constexpr uint8_t kType07Frame = 0xE2;
constexpr uint8_t kType55Frame = 0xE9;
constexpr uint8_t kType03Frame = 0xEA;

void CopyRaw(PanelIdentification& ident, std::span<const uint8_t> bytes)
{
    const size_t n = std::min(bytes.size(), sizeof ident.raw);
    if (n != 0) {
        std::memcpy(ident.raw, bytes.data(), n);
    }
}

uint16_t BigEndian16(const std::vector<uint8_t>& a, size_t at)
{
    return static_cast<uint16_t>((a[at] << 8) | a[at + 1]);
}

// Blocks naming these types are taken without a CRC check.
bool IsUncheckedType(uint8_t type)
{
    switch (type) {
    case 0:
    case 1:
    case 4:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11: return true;
    default: return false;
    }
}

int Parse02Block(std::vector<uint8_t>& a, PanelIdentification& ident, std::vector<uint8_t>& lastReply,
                 PanelRecordView record)
{
    const bool appended = a.size() == 11;
    if (appended) {
        a.push_back(0x00);
    }
    bool sixteenByteCheck = false;
    if (!IsUncheckedType(a[3]) && a.size() != 12) {
        // At least 13 bytes here: more than 10, and 11 became 12.
        if (Crc16(a.data(), 10) != BigEndian16(a, 11)) {
            if (a.size() >= 16) {
                sixteenByteCheck = true;
                if (Crc16(a.data(), 13) != BigEndian16(a, 14)) {
                    RepairParity(a, 13);
                }
            } else {
                RepairParity(a, 10);
            }
        }
    }
    // The check only decides whether the repair runs: the block is taken anyway.
    const size_t length = appended ? 12 : sixteenByteCheck ? 16 : a.size();
    CopyRaw(ident, {a.data(), length});
    ident.panelType = a[3];
    ident.panelVersion = a[4];
    ident.panelSubVersion = a[5];
    if (length == 16) {
        ident.extraByte3 = a[6];
        ident.extraByte2 = a[7];
        ident.extraByte1 = a[8];
        ident.identificationByte1 = a[9];
        ident.identificationByte2 = a[10];
        ident.identificationFlags = a[11];
    } else {
        ident.identificationByte1 = a[6];
        ident.identificationByte2 = a[7];
        ident.identificationFlags = a[8];
        ident.identificationByte3 = a[9];
    }
    lastReply.assign(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(length));
    if (record.IsAttached()) {
        const uint16_t bits = IdentificationOptionBits(a[3], a[4]);
        if (bits != 0) {
            record.OrPanelOptions(bits);
        }
    }
    return kIdentBlock02;
}

int Parse04Block(std::vector<uint8_t>& a, PanelIdentification& ident, std::vector<uint8_t>& lastReply)
{
    const size_t length = BigEndian16(a, 3);
    if (Crc16(std::span<const uint8_t>(a.data(), length + 3)) != BigEndian16(a, length + 3)) {
        return kIdentNotRecognised;
    }
    CopyRaw(ident, a);
    // A short block may end before some fields; those stay 0.
    auto at = [&a](size_t i) -> uint8_t { return i < a.size() ? a[i] : 0; };
    ident.panelType = at(5);
    ident.panelVersion = at(6);
    ident.panelSubVersion = at(7);
    ident.identificationByte1 = at(8);
    ident.identificationByte2 = at(9);
    ident.identificationByte3 = at(10);
    ident.identificationFlags = at(15);
    lastReply.assign(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(length + 5));
    return kIdentBlock04;
}

// First j where a frame of `size` bytes starts with `lead` and ends with the
// sum of its bytes from `sumFrom` on.
size_t FindSummedFrame(const std::vector<uint8_t>& a, uint8_t lead, size_t size, size_t sumFrom)
{
    for (size_t j = 0; j + size - 1 < a.size(); ++j) {
        if (a[j] == lead && a[j + size - 1] == Sum8({a.data() + j + sumFrom, size - 1 - sumFrom})) {
            return j;
        }
    }
    return a.size();
}

} // namespace

uint16_t IdentificationOptionBits(uint8_t panelType, uint8_t panelVersion)
{
    const int t = panelType;
    const bool longCommands = t == 14 || t == 16 || t == 18 || t == 22 || t == 23 || t == 24 || t == 26 ||
                              (t >= 32 && t <= 47) || (t >= 49 && t <= 54);
    if (!longCommands) {
        return 0;
    }
    uint16_t bits = VEK_PANEL_OPT_LONG_COMMANDS;
    if (t == 18 && panelVersion < 32) {
        bits |= VEK_PANEL_OPT_SLOW_BYTES;
    }
    return bits;
}

int ParseIdentification(std::vector<uint8_t>& reply, PanelIdentification& ident, std::vector<uint8_t>& lastReply,
                        PanelRecordView record)
{
    // A stray byte or two must not wipe the reply a continued call re-reads.
    if (reply.size() < 3) {
        return kIdentNotRecognised;
    }
    ident = PanelIdentification{};
    lastReply = reply;
    auto dropFront = [&reply](size_t k) { reply.erase(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(k)); };

    // Bytes before `start` count as removed; they are erased once, at the end
    // of the scan, so a reply full of near-miss prefixes costs linear time.
    size_t start = 0;
    auto at = [&](size_t i) { return reply[start + i]; };
    for (size_t k = 0; start + k + 2 < reply.size(); ++k) {
        if ((at(k) & 0x7FU) == 0x02 && (at(k + 1) & 0x7FU) == 0x02 && (at(k + 2) & 0x7FU) == 0x02) {
            start += k;
            if (reply.size() - start > 10) {
                dropFront(start);
                return Parse02Block(reply, ident, lastReply, record);
            }
        } else if (at(k) == 0x04 && at(k + 1) == 0x04 && at(k + 2) == 0x04) {
            start += k;
            const size_t left = reply.size() - start;
            if (left > 4 && left >= size_t{BigEndian16(reply, start + 3)} + 5) {
                dropFront(start);
                return Parse04Block(reply, ident, lastReply);
            }
        }
    }
    dropFront(start);

    if (reply.size() >= 5 && reply[0] == 0x0D && reply[1] == 0x0A) {
        dropFront(2);
    }
    if (reply.size() < 3) {
        return kIdentNotRecognised; // cannot happen: a removal always leaves its three prefix bytes
    }
    if (reply.size() < 5) {
        CopyRaw(ident, reply);
        ident.panelType = kTypeShortReply;
        ident.panelVersion = static_cast<uint16_t>(reply[2] & 0xFEU);
        ident.identificationByte1 = reply[0];
        ident.identificationByte2 = reply[1];
        ident.identificationFlags = static_cast<uint16_t>(reply[2] & 0x01U);
        return kIdentShort;
    }

    size_t j = FindSummedFrame(reply, 0x07, 5, 0);
    if (j < reply.size()) {
        dropFront(j);
        CopyRaw(ident, reply);
        ident.panelType = kType07Frame;
        ident.panelVersion = static_cast<uint16_t>(reply[3] & 0xFEU);
        ident.identificationByte1 = reply[1];
        ident.identificationByte2 = reply[2];
        ident.identificationFlags = static_cast<uint16_t>(reply[3] & 0x01U);
        return kIdentShort;
    }
    if (reply.size() < 8) {
        return kIdentNotRecognised; // 5 to 7 bytes are only ever a 07 frame
    }
    j = FindSummedFrame(reply, 0x55, 9, 2);
    if (j < reply.size()) {
        dropFront(j);
        CopyRaw(ident, reply);
        ident.panelType = kType55Frame;
        ident.panelVersion = reply[6];
        ident.identificationByte1 = reply[3];
        ident.identificationByte2 = reply[4];
        ident.identificationFlags = reply[7];
        return kIdentShort;
    }
    j = FindSummedFrame(reply, 0x03, 7, 0);
    if (j < reply.size()) {
        dropFront(j);
        CopyRaw(ident, reply);
        ident.panelType = kType03Frame;
        ident.panelVersion = reply[4];
        ident.identificationByte1 = reply[1];
        ident.identificationByte2 = reply[2];
        ident.identificationFlags = reply[5];
        return kIdentShort;
    }
    return kIdentNotRecognised;
}

} // namespace vek
