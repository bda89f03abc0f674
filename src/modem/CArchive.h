// A serialisation archive over a byte buffer: little-endian integers, counts,
// length-prefixed strings and tagged object references. Loading treats the
// bytes as untrusted: every read is checked against what is left and fails
// with CArchiveException.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vek {

class CArchiveException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A class the archive may create objects of, found by its name in the file.
struct ArchiveClass {
    std::string_view name;
    uint16_t schema;
};

// What an object reference in the archive turned out to be.
struct ObjectTag {
    enum class Kind { null, newObject, oldObject };
    Kind kind = Kind::null;
    std::string className; // newObject: the registered class to create
    uint32_t number = 0;   // newObject: number given to it; oldObject: number read
};

class CArchive {
public:
    enum class Mode { load, store };

    // Loading archive over bytes that must outlive it.
    explicit CArchive(std::span<const uint8_t> bytes) : m_mode(Mode::load), m_in(bytes) {}
    // Storing archive; the bytes are collected in Buffer().
    CArchive() : m_mode(Mode::store) {}

    bool IsLoading() const { return m_mode == Mode::load; }
    bool IsStoring() const { return m_mode == Mode::store; }

    void WriteU8(uint8_t v);
    void WriteU16(uint16_t v);
    void WriteU32(uint32_t v);
    void WriteI32(int32_t v) { WriteU32(static_cast<uint32_t>(v)); }
    void WriteBytes(std::span<const uint8_t> bytes);
    void WriteCount(uint32_t count);
    void WriteString(const std::string& s);
    void WriteNullObject() { WriteU16(0); }
    // Tag of a new object of the named class: the class description the first
    // time, a class reference after that. Returns the object's number.
    uint32_t WriteNewObjectTag(std::string_view className, uint16_t schema);

    uint8_t ReadU8();
    uint16_t ReadU16();
    uint32_t ReadU32();
    int32_t ReadI32() { return static_cast<int32_t>(ReadU32()); }
    std::vector<uint8_t> ReadBytes(size_t count);
    uint32_t ReadCount();
    // Single-byte and wide strings; wide characters above 0xFF become '?'.
    std::string ReadString();
    // Reads one object reference, checking class names and schemas against
    // the registered classes and every number against those assigned so far.
    ObjectTag ReadObjectTag(std::span<const ArchiveClass> registered);

    size_t Remaining() const { return m_in.size() - m_pos; }
    const std::vector<uint8_t>& Buffer() const { return m_out; }

private:
    void Need(size_t bytes) const;
    uint32_t ReadStringLength(bool& wide);
    uint32_t NextNumber();

    // Numbers shared by classes and objects; entry 0 stands for null.
    struct MapEntry {
        bool isClass = false;
        std::string className; // the class itself, or the object's class
    };

    Mode m_mode;
    std::span<const uint8_t> m_in;
    size_t m_pos = 0;
    std::vector<uint8_t> m_out;
    std::vector<MapEntry> m_map{MapEntry{}};
};

} // namespace vek
