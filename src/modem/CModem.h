// One modem definition of the modem database.
#pragma once

#include <cstdint>
#include <string>

namespace vek {

class CArchive;

inline constexpr uint32_t MODEM_PCLINK = 0x1;
inline constexpr uint32_t MODEM_EXTENDED = 0x2;
inline constexpr uint32_t MODEM_ATTENTION = 0x4;

inline constexpr const char* MODEM_CLASS_NAME = "CModem";
inline constexpr uint16_t MODEM_SCHEMA = 1;

class CModem {
public:
    CModem() = default; // the built-in definition
    virtual ~CModem() = default;
    CModem(const CModem&) = default;
    CModem& operator=(const CModem&) = default;

    // Loads or stores the body, by the archive's mode.
    void Serialize(CArchive& ar);
    void Load(CArchive& ar);
    void Store(CArchive& ar) const;

    bool operator==(const CModem&) const = default;

    bool IsPCLink() const { return (m_dwFlags & MODEM_PCLINK) != 0; }
    bool HasSpeedOption() const
    {
        return (m_dwFlags & MODEM_EXTENDED) && !(m_dwFlags & MODEM_PCLINK) && (m_nOptions & 3) != 0;
    }
    bool LacksFirstOption() const
    {
        return (m_dwFlags & MODEM_EXTENDED) && !(m_dwFlags & MODEM_PCLINK) && (m_nOptions & 1) == 0;
    }

    std::string m_strName = "Quarnel QN48 v1.1.mod";
    std::string m_strInit = "ATS7=250S10=255S9=1S12=10F1Q0C1V1E0";
    std::string m_strInit2 = "ATM0";
    std::string m_strReset = "ATZ";
    std::string m_strReset2 = "ATZ";
    std::string m_strResultCodes = "X%d";
    std::string m_strPulseDial = "DP";
    std::string m_strToneDial = "DT";
    std::string m_strEscape = "+++";
    std::string m_strHangUp = "ATH";
    std::string m_strOnHook = "ATH0";
    std::string m_strOffHook = "ATH1";
    std::string m_strAutoAnswer = "ATS0=%d";
    std::string m_strSpeakerMode = "M%d";
    std::string m_strSpeakerVolume = "L%d";
    uint32_t m_dwFlags = MODEM_EXTENDED;
    int32_t m_nExtra1 = 110;
    int32_t m_nCommandDelay = 0;
    int32_t m_nCharDelay = 0;
    std::string m_strInit3;
    std::string m_strExtra;
    int32_t m_nBaudRate = 110;
    int32_t m_nLineBaudRate = 1200;
    int32_t m_nExtra3 = 0;
    int32_t m_nExtra4 = 7;
    int32_t m_nComPort = 1;
    int32_t m_nAnswerRings = 1;
    int32_t m_nExtra5 = 0;
    int32_t m_nExtra6 = 0;
    int32_t m_nExtra7 = 7;
    int32_t m_nExtra8 = 3;
    int32_t m_nOptions = 2;
};

} // namespace vek
