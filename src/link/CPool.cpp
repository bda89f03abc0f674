#include "link/CPool.h"

#include "modem/CArchive.h"

namespace vek {

CPool::CPool(const ByteArray& data, int32_t type, int32_t expect, int32_t code, int32_t clearRx)
    : m_data(data), m_nType(type), m_nExpect(expect), m_nCode(code), m_nTimeout(DefaultTimeout(type, expect)),
      m_bClearRx(clearRx)
{
}

CPool::CPool(const ByteArray& data, int32_t type, int32_t expect, int32_t code, int32_t timeout, int32_t command,
             uint32_t flags, uint8_t reply, int32_t clearRx)
    : m_data(data), m_nType(type), m_nExpect(expect), m_nCode(code), m_nTimeout(timeout), m_nCommand(command),
      m_dwFlags(flags), m_byReply(reply), m_bClearRx(clearRx)
{
}

CPool::CPool(const std::string& text, int32_t type, int32_t expect, int32_t code, int32_t clearRx, int32_t timeout)
    : m_data(text.begin(), text.end()), m_nType(type), m_nExpect(expect), m_nCode(code),
      m_nTimeout(timeout != 0 ? timeout : DefaultTimeout(type, expect)), m_bClearRx(clearRx)
{
}

int32_t CPool::DefaultTimeout(int32_t type, int32_t expect)
{
    switch (type) {
    case STEP_MODEM:
        if (expect == 0)
            return 3000;
        // Compared unsigned: a negative expect counts as large.
        if (static_cast<uint32_t>(expect) - 1u < 2u)
            return 500;
        return 5000;
    case STEP_PACKET: return 3000;
    case STEP_IDENTIFY: return 20000;
    case STEP_CALL: return 1000;
    default: return 3000;
    }
}

void CPool::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<uint32_t>(m_data.size()));
        ar.WriteBytes(m_data);
        ar.WriteI32(m_nCommand);
        ar.WriteI32(m_nType);
        ar.WriteI32(m_nExpect);
        ar.WriteI32(m_nCode);
        ar.WriteU32(m_dwFlags);
        ar.WriteU8(m_byReply);
        ar.WriteI32(m_nTimeout);
        ar.WriteI32(m_bClearRx);
        return;
    }
    m_data = ar.ReadBytes(ar.ReadCount());
    m_nCommand = ar.ReadI32();
    m_nType = ar.ReadI32();
    m_nExpect = ar.ReadI32();
    m_nCode = ar.ReadI32();
    m_dwFlags = ar.ReadU32();
    m_byReply = ar.ReadU8();
    m_nTimeout = ar.ReadI32();
    m_bClearRx = ar.ReadI32();
}

} // namespace vek
