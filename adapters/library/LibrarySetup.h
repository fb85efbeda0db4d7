// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which adapter a library is: each adapter library defines this once, and the
// exported entry points, shared by all of them, ask it.

#include "adapters/AdapterConfig.h"

namespace ostrel::adapters {

TAdapterSetup LibrarySetup();

} // namespace ostrel::adapters
