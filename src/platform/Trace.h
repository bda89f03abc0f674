// Optional trace for people debugging a panel link: with VEK_TRACE=<file>
// every byte sent and received and every step begun and ended is appended to
// the file with a timestamp. Off by default; when off a call costs one load.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vek {

bool TraceEnabled();
// "TX" or "RX" with the bytes in hexadecimal.
void TraceBytes(std::string_view direction, std::span<const uint8_t> bytes);
// A free-form line ("step begin type 2 code 5").
void TraceLine(std::string_view text);
// Redirects the trace (null: off). For tests; the environment sets it otherwise.
void SetTracePath(const char* path);
using TraceHook = void (*)(const char* line, void* context);
// Every trace line also goes to hook, with context (null: none).
void SetTraceHook(TraceHook hook, void* context);

} // namespace vek
