// The modem database: the definitions and which of them is in use.
#pragma once

#include "modem/CArchive.h"
#include "modem/CModem.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace vek {

inline constexpr const char* MODEM_SETTINGS_CLASS_NAME = "CModemSettings";
inline constexpr uint16_t MODEM_SETTINGS_SCHEMA = 1;

// The classes a database file may name, with the schemas they are read with.
std::span<const ArchiveClass> RegisteredArchiveClasses();

class CModemSettings {
public:
    CModemSettings() = default;
    virtual ~CModemSettings() = default;
    CModemSettings(const CModemSettings&) = delete;
    CModemSettings& operator=(const CModemSettings&) = delete;

    // Loads or stores the database, by the archive's mode. Loading replaces
    // the list; on a format error what was read so far stays and the indices
    // keep their earlier values.
    void Serialize(CArchive& ar);
    void Load(CArchive& ar);
    void Store(CArchive& ar) const;

    // Null when there is no current modem; callers treat that as "no modem".
    CModem* GetCurrentModem() const;
    void SelectOutgoing() { m_nCurrent = m_nOutgoing; }
    void SelectIncoming() { m_nCurrent = m_nIncoming; }
    void ResetToDefault();
    // The element at index, or null when the index names no element.
    CModem* ModemAt(int32_t index) const;

    int32_t m_nOutgoing = -1;
    int32_t m_nIncoming = -1;
    std::atomic<int32_t> m_nCurrent{-1}; // chosen on the host's thread, read by the worker
    std::vector<std::unique_ptr<CModem>> m_modems; // null elements allowed
};

} // namespace vek
