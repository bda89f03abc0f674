// One step of the request queue: the bytes to send and how to wait for and
// report the answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vek {

class CArchive;

using ByteArray = std::vector<uint8_t>;

inline constexpr int32_t STEP_MODEM = 1;
inline constexpr int32_t STEP_PACKET = 2;
inline constexpr int32_t STEP_IDENTIFY = 3;
inline constexpr int32_t STEP_CALL = 4;
inline constexpr int32_t STEP_DEFER_CALL = 5;
inline constexpr int32_t STEP_NOTIFY = 6;
inline constexpr int32_t STEP_PAUSE = 7;
inline constexpr int32_t STEP_SEND_ONLY = 100; // any type not above: send, then pause

inline constexpr uint32_t REQ_REPLY_CMD = 0x04;
inline constexpr uint32_t REQ_EXPECT_ACK = 0x08;
inline constexpr uint32_t REQ_NO_SEND = 0x1000;
inline constexpr uint32_t REQ_SECOND_HALF = 0x2000;

inline constexpr int32_t CODE_NONE = 100; // nothing to report

class CPool {
public:
    // Used by the archive reader before it loads the members.
    CPool() = default;
    CPool(const ByteArray& data, int32_t type, int32_t expect, int32_t code, int32_t clearRx);
    // Stores every value as given; a time-out of 0 stays 0.
    CPool(const ByteArray& data, int32_t type, int32_t expect, int32_t code, int32_t timeout, int32_t command,
          uint32_t flags, uint8_t reply, int32_t clearRx);
    // A time-out of 0 means the default of the type.
    CPool(const std::string& text, int32_t type, int32_t expect, int32_t code, int32_t clearRx, int32_t timeout);
    CPool(const CPool&) = default;
    CPool& operator=(const CPool&) = default;
    virtual ~CPool() = default;

    static int32_t DefaultTimeout(int32_t type, int32_t expect);

    void Serialize(CArchive& ar);

    ByteArray m_data;
    int32_t m_nType = STEP_SEND_ONLY;
    int32_t m_nExpect = 100;
    int32_t m_nCode = CODE_NONE;
    int32_t m_nTimeout = 0;
    int32_t m_nCommand = 0;
    uint32_t m_dwFlags = 0;
    uint8_t m_byReply = 0;
    int32_t m_bClearRx = 0;
    // Kept in memory only: how often the panel asked to re-open the session
    // for this transfer, and whether this step is such a re-open.
    int32_t m_nReopens = 0;
    int32_t m_bReopen = 0;
    int32_t m_nCallSerial = 0; // an end-of-call step's call
    bool m_bKeepAlive = false; // the worker's own, not the host's work
    // Carries a request the host made with AddPool: it must end in exactly
    // one outcome, so nothing may drop it without one.
    bool m_bHostRequest = false;
    // Part of ending a call (escape, on-hook, reset): whatever becomes of
    // it, the call still ends with 8, 9 and the session reset.
    bool m_bTeardown = false;
    // The forced hang-up's abort pattern: the call ends whatever the reply.
    bool m_bAbort = false;
};

} // namespace vek
