#include "modem/CModemSettings.h"

#include <array>

namespace vek {

namespace {

// "CPool" is a request of the link queue; it is registered because the
// archive knows every serialisable class of the library, but it never
// belongs in the modem list.
constexpr const char* kPoolClassName = "CPool";
constexpr uint16_t kPoolSchema = 1;

constexpr std::array<ArchiveClass, 3> kRegistered{{
    {MODEM_CLASS_NAME, MODEM_SCHEMA},
    {MODEM_SETTINGS_CLASS_NAME, MODEM_SETTINGS_SCHEMA},
    {kPoolClassName, kPoolSchema},
}};

// Smallest encoding of one list element: a null tag.
constexpr size_t kMinElementBytes = 2;

} // namespace

std::span<const ArchiveClass> RegisteredArchiveClasses() { return kRegistered; }

CModem* CModemSettings::ModemAt(int32_t index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_modems.size())
        return nullptr;
    return m_modems[static_cast<size_t>(index)].get();
}

CModem* CModemSettings::GetCurrentModem() const
{
    // An index that names no element is treated like -1: no modem.
    return ModemAt(m_nCurrent);
}

void CModemSettings::ResetToDefault()
{
    m_modems.clear();
    m_modems.push_back(std::make_unique<CModem>());
    m_nOutgoing = 0;
    m_nIncoming = 0;
    m_nCurrent = 0;
}

void CModemSettings::Serialize(CArchive& ar)
{
    if (ar.IsLoading())
        Load(ar);
    else
        Store(ar);
}

void CModemSettings::Load(CArchive& ar)
{
    m_modems.clear();
    const uint32_t count = ar.ReadCount();
    // Every element takes at least a tag, so a larger count cannot be real;
    // refusing it here keeps the list from being sized by a forged count.
    if (count > ar.Remaining() / kMinElementBytes)
        throw CArchiveException("unexpected end of archive");
    m_modems.resize(count);

    for (auto& element : m_modems) {
        const ObjectTag tag = ar.ReadObjectTag(kRegistered);
        switch (tag.kind) {
        case ObjectTag::Kind::null: break;
        case ObjectTag::Kind::oldObject:
            // The list owns its elements: one definition listed twice would
            // be owned (and deleted) twice.
            throw CArchiveException("modem listed twice");
        case ObjectTag::Kind::newObject: {
            if (tag.className != MODEM_CLASS_NAME)
                throw CArchiveException("list element of class " + tag.className + " is not a modem");
            auto modem = std::make_unique<CModem>();
            modem->Load(ar);
            element = std::move(modem);
            break;
        }
        }
    }

    const int32_t incoming = ar.ReadI32();
    const int32_t outgoing = ar.ReadI32();
    m_nIncoming = incoming;
    m_nOutgoing = outgoing;
}

void CModemSettings::Store(CArchive& ar) const
{
    ar.WriteCount(static_cast<uint32_t>(m_modems.size()));
    for (const auto& modem : m_modems) {
        if (!modem) {
            ar.WriteNullObject();
            continue;
        }
        ar.WriteNewObjectTag(MODEM_CLASS_NAME, MODEM_SCHEMA);
        modem->Store(ar);
    }
    ar.WriteI32(m_nIncoming);
    ar.WriteI32(m_nOutgoing);
}

} // namespace vek
