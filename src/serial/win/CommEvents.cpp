#include "serial/CommEvents.h"

#include "serial/SerialDevice.h"

namespace vek {
namespace {

struct BitCode {
    DWORD bit;
    int16_t code;
};

constexpr BitCode kLineEvents[] = {
    {EV_CTS, COMM_EV_CTS}, {EV_DSR, COMM_EV_DSR}, {EV_RLSD, COMM_EV_CD}, {EV_RING, COMM_EV_RING}};
constexpr BitCode kLineErrors[] = {{CE_BREAK, COMM_ER_BREAK},
                                   {CE_FRAME, COMM_ER_FRAME},
                                   {CE_OVERRUN, COMM_ER_OVERRUN},
                                   {CE_RXOVER, COMM_ER_RX_OVER},
                                   {CE_RXPARITY, COMM_ER_PARITY}};

} // namespace

std::vector<int16_t> LineEventCodes(DWORD events, DWORD errors)
{
    std::vector<int16_t> codes;
    for (const BitCode& line : kLineEvents)
        if (events & line.bit)
            codes.push_back(line.code);
    for (const BitCode& error : kLineErrors)
        if (errors & error.bit)
            codes.push_back(error.code);
    return codes;
}

} // namespace vek
