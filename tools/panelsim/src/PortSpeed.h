// The speed the host set on the port, exactly, whatever it is: the host may
// run speeds without a termios constant (14400, 28800, ...).
#pragma once

namespace panelsim {

// In bit/s; 0 when the descriptor has no speed to read.
int ReadPortSpeed(int fd);

} // namespace panelsim
