// SPDX-License-Identifier: GPL-3.0-or-later
// A device library that lacks one entry point, named at build time by
// PEXLAR_WITHOUT_<name>. The others only note that they were called, so a
// test can see what the loader calls before it gives such a library up.

#include "device/EntryPoints.h"

#include <cstdint>
#include <string>
#include <utility>

namespace {

std::string& Calls() {
    static std::string calls;
    return calls;
}

std::int32_t Record(const char* name) {
    Calls() += Calls().empty() ? "" : " ";
    Calls() += name;
    return 1;
}

} // namespace

using ostrel::TCounterSample;
using ostrel::TDeviceInfo;

#ifndef PEXLAR_WITHOUT_Find
PEXLAR_EXPORT std::int32_t PEXLAR_CALL Find() {
    return Record("Find");
}
#endif

#ifndef PEXLAR_WITHOUT_GetInfo
PEXLAR_EXPORT std::int32_t PEXLAR_CALL GetInfo(TDeviceInfo*) {
    return Record("GetInfo");
}
#endif

#ifndef PEXLAR_WITHOUT_Connect
PEXLAR_EXPORT std::int32_t PEXLAR_CALL Connect(std::uint32_t) {
    return Record("Connect");
}
#endif

#ifndef PEXLAR_WITHOUT_Disconnect
PEXLAR_EXPORT std::int32_t PEXLAR_CALL Disconnect(std::uint32_t) {
    return Record("Disconnect");
}
#endif

#ifndef PEXLAR_WITHOUT_GetData
PEXLAR_EXPORT std::int32_t PEXLAR_CALL GetData(TCounterSample*) {
    Record("GetData");
    return 0;
}
#endif

#ifndef PEXLAR_WITHOUT_GetCoefficient
PEXLAR_EXPORT std::int32_t PEXLAR_CALL GetCoefficient(std::uint32_t, std::uint16_t*,
                                                      std::uint16_t*) {
    return Record("GetCoefficient");
}
#endif

#ifndef PEXLAR_WITHOUT_SetCoefficient
PEXLAR_EXPORT std::int32_t PEXLAR_CALL SetCoefficient(std::uint32_t, std::uint16_t, std::uint16_t) {
    return Record("SetCoefficient");
}
#endif

#ifndef PEXLAR_WITHOUT_Clear
PEXLAR_EXPORT std::int32_t PEXLAR_CALL Clear() {
    return Record("Clear");
}
#endif

// The calls since the previous call of this one, separated by blanks.
PEXLAR_EXPORT const char* PEXLAR_CALL OstrelSimCallLog() {
    static std::string taken;
    taken = std::move(Calls());
    Calls().clear();
    return taken.c_str();
}
