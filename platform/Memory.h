// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How much more memory the process can take without the system running out.

#include "platform/Translation.h"

#include <cstdint>
#include <string_view>

namespace ostrel {

// Bytes the process can still allocate and use: the memory the system holds
// free or can free (swap included), less what a limit on this process's
// address space leaves. UINT64_MAX when the system does not tell.
std::uint64_t AvailableMemory();

// What the user is told when memory ran out.
inline constexpr std::string_view OutOfMemoryText = OSTREL_TR("Ostrel", "メモリが足りません");

} // namespace ostrel
