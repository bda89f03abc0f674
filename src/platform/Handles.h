// Window and memory handles pass through 32-bit record fields and message
// parameters: plain numbers with the host API's table handles, pointers with
// the system's own.
#pragma once

#include "vek_comm2.h"

#include <cstdint>
#include <type_traits>

namespace vek {

// A handle stored in a 4-byte field of a host record. System handles are
// sign-extended, as 64-bit Windows keeps them interchangeable with 32 bits.
template <typename Handle> Handle HandleFromField(uint32_t value)
{
    if constexpr (std::is_pointer_v<Handle>)
        return reinterpret_cast<Handle>(static_cast<intptr_t>(static_cast<int32_t>(value)));
    else
        return static_cast<Handle>(value);
}

// A handle as a 4-byte field of a host record holds it.
template <typename Handle> uint32_t HandleToField(Handle handle)
{
    if constexpr (std::is_pointer_v<Handle>)
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
    else
        return static_cast<uint32_t>(handle);
}

// A handle carried as a message's lParam.
template <typename Handle> LPARAM HandleToParam(Handle handle)
{
    if constexpr (std::is_pointer_v<Handle>)
        return reinterpret_cast<LPARAM>(handle);
    else
        return static_cast<LPARAM>(handle);
}

// A handle that came as a message's lParam.
template <typename Handle> Handle HandleFromParam(LPARAM param)
{
    if constexpr (std::is_pointer_v<Handle>)
        return reinterpret_cast<Handle>(param);
    else
        return static_cast<Handle>(param);
}

} // namespace vek
