#include "modem/CModem.h"

#include "modem/CArchive.h"

namespace vek {

void CModem::Serialize(CArchive& ar)
{
    if (ar.IsLoading())
        Load(ar);
    else
        Store(ar);
}

// The file's order differs from the declaration order; both directions must
// keep to it.
void CModem::Load(CArchive& ar)
{
    for (int32_t* n : {&m_nOptions, &m_nExtra7, &m_nBaudRate, &m_nLineBaudRate, &m_nExtra3, &m_nExtra4, &m_nExtra1,
                       &m_nCharDelay, &m_nCommandDelay})
        *n = ar.ReadI32();
    m_dwFlags = ar.ReadU32();
    for (int32_t* n : {&m_nComPort, &m_nAnswerRings, &m_nExtra5, &m_nExtra6, &m_nExtra8})
        *n = ar.ReadI32();
    for (std::string* s : {&m_strInit, &m_strInit2, &m_strInit3, &m_strPulseDial, &m_strToneDial, &m_strEscape,
                           &m_strHangUp, &m_strOnHook, &m_strOffHook, &m_strName, &m_strExtra, &m_strReset,
                           &m_strReset2, &m_strSpeakerMode, &m_strSpeakerVolume, &m_strResultCodes, &m_strAutoAnswer})
        *s = ar.ReadString();
}

void CModem::Store(CArchive& ar) const
{
    for (int32_t n : {m_nOptions, m_nExtra7, m_nBaudRate, m_nLineBaudRate, m_nExtra3, m_nExtra4, m_nExtra1,
                      m_nCharDelay, m_nCommandDelay})
        ar.WriteI32(n);
    ar.WriteU32(m_dwFlags);
    for (int32_t n : {m_nComPort, m_nAnswerRings, m_nExtra5, m_nExtra6, m_nExtra8})
        ar.WriteI32(n);
    for (const std::string* s :
         {&m_strInit, &m_strInit2, &m_strInit3, &m_strPulseDial, &m_strToneDial, &m_strEscape, &m_strHangUp,
          &m_strOnHook, &m_strOffHook, &m_strName, &m_strExtra, &m_strReset, &m_strReset2, &m_strSpeakerMode,
          &m_strSpeakerVolume, &m_strResultCodes, &m_strAutoAnswer})
        ar.WriteString(*s);
}

} // namespace vek
