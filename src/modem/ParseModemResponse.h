// Recognising a modem's result text: pure functions of the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vek {

inline constexpr int32_t MODEM_RESULT_OK = 0;
inline constexpr int32_t MODEM_RESULT_CONNECT = 1;
inline constexpr int32_t MODEM_RESULT_RING = 2;
inline constexpr int32_t MODEM_RESULT_NO_CARRIER = 3;
inline constexpr int32_t MODEM_RESULT_ERROR = 4;
inline constexpr int32_t MODEM_RESULT_NO_DIALTONE = 6;
inline constexpr int32_t MODEM_RESULT_BUSY = 7;
inline constexpr int32_t MODEM_RESULT_NO_ANSWER = 8;
inline constexpr int32_t MODEM_RESULT_NONE = 100;

// The modem result of an accumulated text, or -1 when nothing matches.
// Compared in upper case; "OK" at the end wins over "CONNECT" at the start.
int32_t RecogniseModemResponse(std::string_view text);

// Removes leading and trailing white space (space, tab, CR, LF, VT, FF).
std::string_view TrimModemText(std::string_view text);

// Accumulated text above this length loses its middle. Recognition only ever
// looks at the whole of a text of at most 11 characters, its first seven
// and its last two, so keeping the first and the last kModemTextKeep
// characters of a longer text never changes a result, now or after later
// fragments: no result word is ever cut.
inline constexpr size_t kModemTextCap = 256;
inline constexpr size_t kModemTextKeep = 16;

// Appends a trimmed fragment and applies the cap.
void AppendModemText(std::string& accumulated, std::string_view fragment);

} // namespace vek
