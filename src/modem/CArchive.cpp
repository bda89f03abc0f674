#include "modem/CArchive.h"

#include <cstdint>

namespace vek {

void CArchive::Need(size_t bytes) const
{
    if (bytes > Remaining())
        throw CArchiveException("unexpected end of archive");
}

void CArchive::WriteU8(uint8_t v) { m_out.push_back(v); }

void CArchive::WriteU16(uint16_t v)
{
    m_out.push_back(static_cast<uint8_t>(v));
    m_out.push_back(static_cast<uint8_t>(v >> 8));
}

void CArchive::WriteU32(uint32_t v)
{
    WriteU16(static_cast<uint16_t>(v));
    WriteU16(static_cast<uint16_t>(v >> 16));
}

void CArchive::WriteBytes(std::span<const uint8_t> bytes) { m_out.insert(m_out.end(), bytes.begin(), bytes.end()); }

void CArchive::WriteCount(uint32_t count)
{
    if (count < 0xFFFF) {
        WriteU16(static_cast<uint16_t>(count));
        return;
    }
    WriteU16(0xFFFF);
    WriteU32(count);
}

void CArchive::WriteString(const std::string& s)
{
    const size_t n = s.size();
    if (n > 0xFFFFFFFFu)
        throw CArchiveException("string too long for archive");
    if (n < 0xFF) {
        WriteU8(static_cast<uint8_t>(n));
    } else if (n < 0xFFFE) {
        WriteU8(0xFF);
        WriteU16(static_cast<uint16_t>(n));
    } else {
        WriteU8(0xFF);
        WriteU16(0xFFFF);
        WriteU32(static_cast<uint32_t>(n));
    }
    WriteBytes({reinterpret_cast<const uint8_t*>(s.data()), n});
}

uint8_t CArchive::ReadU8()
{
    Need(1);
    return m_in[m_pos++];
}

uint16_t CArchive::ReadU16()
{
    Need(2);
    const uint16_t v = static_cast<uint16_t>(m_in[m_pos] | (m_in[m_pos + 1] << 8));
    m_pos += 2;
    return v;
}

uint32_t CArchive::ReadU32()
{
    const uint32_t lo = ReadU16();
    const uint32_t hi = ReadU16();
    return lo | (hi << 16);
}

std::vector<uint8_t> CArchive::ReadBytes(size_t count)
{
    Need(count); // checked before any allocation of that size
    std::vector<uint8_t> bytes(m_in.begin() + static_cast<std::ptrdiff_t>(m_pos),
                               m_in.begin() + static_cast<std::ptrdiff_t>(m_pos + count));
    m_pos += count;
    return bytes;
}

uint32_t CArchive::ReadCount()
{
    const uint16_t small = ReadU16();
    if (small != 0xFFFF)
        return small;
    return ReadU32();
}

uint32_t CArchive::ReadStringLength(bool& wide)
{
    wide = false;
    const uint8_t small = ReadU8();
    if (small != 0xFF)
        return small;
    uint16_t medium = ReadU16();
    if (medium == 0xFFFE) {
        // A wide string: the real length follows. A second 0xFFFE is taken
        // as a plain length, so markers cannot nest.
        wide = true;
        const uint8_t again = ReadU8();
        if (again != 0xFF)
            return again;
        medium = ReadU16();
    }
    if (medium != 0xFFFF)
        return medium;
    return ReadU32();
}

std::string CArchive::ReadString()
{
    bool wide = false;
    const uint32_t n = ReadStringLength(wide);
    if (!wide) {
        Need(n); // checked before the string is sized
        std::string s(reinterpret_cast<const char*>(m_in.data() + m_pos), n);
        m_pos += n;
        return s;
    }
    if (n > Remaining() / 2) // checked before the string is sized
        throw CArchiveException("unexpected end of archive");
    std::string s;
    s.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint16_t c = ReadU16();
        // Stands in for the system code page: Latin-1 maps one to one.
        s.push_back(c > 0xFF ? '?' : static_cast<char>(static_cast<uint8_t>(c)));
    }
    return s;
}

uint32_t CArchive::NextNumber()
{
    // Tags can address at most 0x7FFFFFFF entries; more cannot be written.
    if (m_map.size() > 0x7FFFFFFE)
        throw CArchiveException("too many objects in archive");
    return static_cast<uint32_t>(m_map.size());
}

namespace {

constexpr uint16_t kNullTag = 0x0000;
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassTag = 0x8000;
constexpr uint16_t kBigObjectTag = 0x7FFF;
constexpr uint32_t kBigClassTag = 0x80000000;
// Longest class name the reader accepts; registered names are far shorter.
constexpr uint16_t kMaxClassName = 64;

} // namespace

ObjectTag CArchive::ReadObjectTag(std::span<const ArchiveClass> registered)
{
    const uint16_t tag = ReadU16();
    uint32_t number = 0;
    if (tag == kBigObjectTag)
        number = ReadU32();
    else
        number = (static_cast<uint32_t>(tag & kClassTag) << 16) | (tag & ~kClassTag);

    ObjectTag result;
    if (!(number & kBigClassTag)) {
        if (number == kNullTag)
            return result;
        if (number >= m_map.size() || m_map[number].isClass)
            throw CArchiveException("invalid object reference");
        result.kind = ObjectTag::Kind::oldObject;
        result.number = number;
        return result;
    }

    std::string className;
    if (tag == kNewClassTag) {
        const uint16_t schema = ReadU16();
        const uint16_t length = ReadU16();
        if (length >= kMaxClassName)
            throw CArchiveException("class name too long");
        Need(length);
        className.assign(reinterpret_cast<const char*>(m_in.data() + m_pos), length);
        m_pos += length;
        const ArchiveClass* known = nullptr;
        for (const ArchiveClass& c : registered)
            if (c.name == className)
                known = &c;
        if (!known)
            throw CArchiveException("unregistered class " + className);
        if (known->schema != schema)
            throw CArchiveException("schema mismatch for class " + className);
        NextNumber();
        m_map.push_back(MapEntry{true, className});
    } else {
        const uint32_t index = number & ~kBigClassTag;
        if (index == 0 || index >= m_map.size() || !m_map[index].isClass)
            throw CArchiveException("invalid class reference");
        className = m_map[index].className;
    }

    result.kind = ObjectTag::Kind::newObject;
    result.number = NextNumber();
    m_map.push_back(MapEntry{false, className});
    result.className = std::move(className);
    return result;
}

uint32_t CArchive::WriteNewObjectTag(std::string_view className, uint16_t schema)
{
    uint32_t classNumber = 0;
    for (size_t i = 1; i < m_map.size(); ++i)
        if (m_map[i].isClass && m_map[i].className == className)
            classNumber = static_cast<uint32_t>(i);

    if (classNumber == 0) {
        if (className.size() >= kMaxClassName)
            throw CArchiveException("class name too long");
        WriteU16(kNewClassTag);
        WriteU16(schema);
        WriteU16(static_cast<uint16_t>(className.size()));
        WriteBytes({reinterpret_cast<const uint8_t*>(className.data()), className.size()});
        NextNumber();
        m_map.push_back(MapEntry{true, std::string(className)});
    } else if (classNumber < kBigObjectTag) {
        WriteU16(static_cast<uint16_t>(kClassTag | classNumber));
    } else {
        WriteU16(kBigObjectTag);
        WriteU32(kBigClassTag | classNumber);
    }
    const uint32_t objectNumber = NextNumber();
    m_map.push_back(MapEntry{false, std::string(className)});
    return objectNumber;
}

} // namespace vek
