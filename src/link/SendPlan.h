// Which pacing rule a transmission follows, and the bytes and pause it gives.
#pragma once

#include <cstdint>
#include <vector>

namespace vek {

// What the choice of rule looks at.
struct SendContext {
    int32_t stepType = 0;
    uint32_t modemFlags = 0;
    int32_t charDelay = 0;
    int32_t baudRate = 0;
    int32_t linkMode = 0;
    int32_t byteDelay = 0;
    bool dialFrame = false;
    int16_t panelType = 0; // first field of the identification
    bool hasRecord = false;
    uint16_t panelOptions = 0;
    int32_t noResponses = 0;
};

enum class SendRule { T1, T2, T3, P1, P2, P3, P4, P5 };

struct SendPlan {
    SendRule rule = SendRule::P5;
    std::vector<uint8_t> bytes;
    uint32_t pauseMs = 0; // after each byte
};

inline constexpr uint32_t kTextPauseExtendedMs = 40;
inline constexpr uint32_t kTextPauseSlowLineMs = 100; // 110 bit/s and attention modems
inline constexpr uint32_t kDirectSlowBytePauseMs = 20;
inline constexpr int kDirectLongFillers = 14;
inline constexpr int kMode3FramingFillers = 4;
inline constexpr uint32_t kNoResponsePenaltyMs = 10;

SendPlan PlanSend(const std::vector<uint8_t>& data, const SendContext& ctx);

} // namespace vek
