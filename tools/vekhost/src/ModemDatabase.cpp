#include "vekhost/ModemDatabase.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace vekhost {
namespace {

constexpr uint32_t kFlagPcLink = 0x1;
constexpr uint32_t kFlagExtended = 0x2;
constexpr uint32_t kFlagAttention = 0x4;
constexpr size_t kLargestFile = 1 << 20;
constexpr int kIntegers = 15;
constexpr int kStrings = 17;

// Reads the archive layout; every read is checked against the end.
class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    bool Ok() const { return m_ok; }
    uint32_t U16()
    {
        if (!Need(2))
            return 0;
        const uint32_t v = m_bytes[m_at] | m_bytes[m_at + 1] << 8;
        m_at += 2;
        return v;
    }
    uint32_t U32()
    {
        const uint32_t low = U16();
        return low | U16() << 16;
    }
    uint8_t U8()
    {
        if (!Need(1))
            return 0;
        return m_bytes[m_at++];
    }
    std::string Text()
    {
        uint32_t length = U8();
        if (length == 0xFF) {
            length = U16();
            if (length == 0xFFFE) // a wide string: not written by the library's writer
                return Fail();
            if (length == 0xFFFF)
                length = U32();
        }
        if (!Need(length))
            return {};
        std::string text(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_at),
                         m_bytes.begin() + static_cast<std::ptrdiff_t>(m_at + length));
        m_at += length;
        return text;
    }
    void Skip(size_t n)
    {
        if (Need(n))
            m_at += n;
    }
    std::string Fail()
    {
        m_ok = false;
        return {};
    }

private:
    bool Need(size_t n)
    {
        if (!m_ok || m_bytes.size() - m_at < n) {
            m_ok = false;
            return false;
        }
        return true;
    }
    std::span<const uint8_t> m_bytes;
    size_t m_at = 0;
    bool m_ok = true;
};

struct Definition {
    int32_t integers[kIntegers] = {};
    std::string strings[kStrings];
};

// Field positions in the stored order.
enum Int {
    Options,
    Extra7,
    BaudRate,
    LineBaudRate,
    Extra3,
    Extra4,
    Extra1,
    CharDelay,
    CommandDelay,
    Flags,
    ComPort,
    AnswerRings
};
enum Str { Init, Init2, Init3, PulseDial, ToneDial, Escape, HangUp, OnHook, OffHook, Name, Extra, Reset };

std::optional<Definition> ReadDefinition(Reader& in)
{
    Definition d;
    for (int32_t& value : d.integers)
        value = static_cast<int32_t>(in.U32());
    for (std::string& text : d.strings)
        text = in.Text();
    return in.Ok() ? std::optional(d) : std::nullopt;
}

vek::Modem ToSettings(const Definition& d)
{
    vek::Modem s;
    s.port = d.integers[ComPort];
    s.speed = d.integers[BaudRate];
    s.init = d.strings[Init];
    s.init2 = d.strings[Init2];
    s.init3 = d.strings[Init3];
    s.reset = d.strings[Reset];
    s.escape = d.strings[Escape];
    // The setup record holds the stem; the library appends 0 and 1.
    const std::string& onHook = d.strings[OnHook];
    s.hangUp = !onHook.empty() && onHook.back() == '0' ? onHook.substr(0, onHook.size() - 1) : d.strings[HangUp];
    s.toneDial = d.strings[ToneDial];
    s.pulseDial = d.strings[PulseDial];
    s.answerRings = d.integers[AnswerRings];
    const auto flags = static_cast<uint32_t>(d.integers[Flags]);
    s.pcLink = (flags & kFlagPcLink) != 0;
    s.extended = (flags & kFlagExtended) != 0;
    s.attention = (flags & kFlagAttention) != 0;
    s.line2400 = d.integers[LineBaudRate] == 2400;
    s.options = d.integers[Options];
    s.commandDelayMs = d.integers[CommandDelay];
    s.charDelayMs = d.integers[CharDelay];
    return s;
}

} // namespace

std::variant<vek::Modem, std::string> ReadOutgoingModem(std::span<const uint8_t> file)
{
    Reader in(file);
    uint32_t count = in.U16();
    if (count == 0xFFFF)
        count = in.U32();
    if (!in.Ok() || count > file.size() / 32)
        return std::string("the definition count does not fit the file");
    std::vector<std::optional<Definition>> definitions;
    bool classSeen = false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t tag = in.U16();
        if (tag == 0x0000) {
            definitions.emplace_back();
            continue;
        }
        if (tag == 0xFFFF && !classSeen) {
            const uint32_t schema = in.U16();
            const uint32_t nameLength = in.U16();
            std::string name;
            for (uint32_t c = 0; c < nameLength && in.Ok(); ++c)
                name += static_cast<char>(in.U8());
            if (schema != 1 || name != "CModem")
                return std::string("an object of class \"" + name + "\" where a modem definition belongs");
            classSeen = true;
        } else if (!(tag == 0x8001 && classSeen)) {
            return std::string("an object reference this reader does not follow");
        }
        auto definition = ReadDefinition(in);
        if (!definition)
            return std::string("the file ends inside definition " + std::to_string(i));
        definitions.push_back(std::move(definition));
    }
    in.U32(); // the incoming index
    const auto outgoing = static_cast<int32_t>(in.U32());
    if (!in.Ok())
        return std::string("the file ends before the outgoing index");
    if (outgoing < 0 || static_cast<size_t>(outgoing) >= definitions.size() || !definitions[outgoing])
        return std::string("the outgoing index " + std::to_string(outgoing) + " names no definition");
    return ToSettings(*definitions[static_cast<size_t>(outgoing)]);
}

std::variant<vek::Modem, std::string> LoadDataFolderModem(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return "--data-folder " + folder + ": " + (fs::exists(folder, ec) ? "not a folder" : "no such folder");
    const std::string path = (fs::path(folder) / "Trv3.mdm").string();
    if (!fs::exists(path, ec))
        return path + ": no such file (vekmdm new creates one)";
    if (!fs::is_regular_file(path, ec))
        return path + ": not a regular file";
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return path + ": " + std::strerror(errno);
    std::vector<uint8_t> bytes;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (bytes.size() > kLargestFile)
        return path + ": too large for a modem database";
    auto read = ReadOutgoingModem(bytes);
    if (auto* error = std::get_if<std::string>(&read))
        return path + ": damaged: " + *error;
    return read;
}

} // namespace vekhost
