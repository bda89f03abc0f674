// The raw line settings of a termios device, applied through termios2 so
// that any speed the driver accepts can be set exactly (14400, 28800, 56000
// ...), not only the standard ones. Kept apart from <termios.h>, whose
// definitions clash with the kernel's termios2 header.
#pragma once

#include <cstdint>
#include <string>

namespace vek {

struct RawLine {
    int32_t speed = 0; // bit/s
    int dataBits = 8;  // 5 to 8
    char parity = 'N'; // N, E or O
    int stopBits = 1;  // 1 or 2
};

// Puts the device in raw mode (no flag of the terminal layer may add, drop
// or change a byte, whatever an earlier program left set) with the framing
// and the speed, in one change, and reads it back. False with the reason in
// error when the driver refuses; the line then keeps its earlier settings.
bool ApplyRawLine(int fd, const RawLine& line, std::string& error);

// The output speed the driver reports in bit/s; 0 when it cannot be read.
int32_t ReadLineSpeed(int fd);

} // namespace vek
