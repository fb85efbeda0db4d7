// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicehost/EntryPointBinding.h"

namespace ostrel {

namespace {

template <typename TFunction>
bool Bind(const TSymbolLookup& lookup, const char* plainName, const char* stdcallName,
          TFunction& slot) {
    TProcAddress address = lookup(plainName);
    if (address == nullptr) {
        address = lookup(stdcallName);
    }
    slot = reinterpret_cast<TFunction>(address);
    return address != nullptr;
}

} // namespace

bool BindCounterEntryPoints(const TSymbolLookup& lookup, TCounterEntryPoints& entries) {
    // The stdcall names carry the bytes of arguments; a 16-bit value takes a
    // whole 32-bit slot.
    bool complete = Bind(lookup, "Find", "_Find@0", entries.Find);
    complete = Bind(lookup, "GetInfo", "_GetInfo@4", entries.GetInfo) && complete;
    complete = Bind(lookup, "Connect", "_Connect@4", entries.Connect) && complete;
    complete = Bind(lookup, "Disconnect", "_Disconnect@4", entries.Disconnect) && complete;
    complete = Bind(lookup, "GetData", "_GetData@4", entries.GetData) && complete;
    complete =
        Bind(lookup, "GetCoefficient", "_GetCoefficient@12", entries.GetCoefficient) && complete;
    complete =
        Bind(lookup, "SetCoefficient", "_SetCoefficient@12", entries.SetCoefficient) && complete;
    complete = Bind(lookup, "Clear", "_Clear@0", entries.Clear) && complete;
    return complete;
}

} // namespace ostrel
