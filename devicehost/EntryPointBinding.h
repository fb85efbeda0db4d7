// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The eight entry points of a device library found by name, in the program
// and in the device host alike.

#include "device/CounterDevice.h"
#include "platform/DynamicLibrary.h"

#include <functional>

namespace ostrel {

// Finds an exported function by name; null when there is none.
using TSymbolLookup = std::function<TProcAddress(const char* name)>;

// Fills entries with all eight entry points, each by its plain name or else
// by its 32-bit stdcall name (_GetData@4). Every name is looked up even after
// one is missing, so that Clear can still be called; false if any is missing.
bool BindCounterEntryPoints(const TSymbolLookup& lookup, TCounterEntryPoints& entries);

} // namespace ostrel
