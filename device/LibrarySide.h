// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// For the device libraries built here (the simulated counter and the serial
// adapters), not for the program: the library's environment and the local
// time that stamps a reading.

#include "device/SystemTime.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ostrel {

// The value of an environment variable, if it is set: EnvironmentValue in a
// library, a table of values in a test.
using TEnvironment = std::function<std::optional<std::string>(const char* name)>;

// The variable's value; nothing when it is not set.
inline std::optional<std::string> EnvironmentValue(const char* name) {
#ifdef _WIN32
    // getenv is flagged as unsafe there.
    char* value = nullptr;
    std::size_t length = 0;
    if (_dupenv_s(&value, &length, name) != 0 || value == nullptr) {
        return std::nullopt;
    }
    const std::unique_ptr<char, decltype(&std::free)> owned(value, &std::free);
    return std::string(owned.get());
#else
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
#endif
}

// The local time of a moment given in milliseconds since 1970-01-01 UTC,
// day of the week included (Sunday 0).
inline TSystemTime LocalSystemTime(std::int64_t unixMilliseconds) {
    // Floored, so that a moment before 1970 keeps its milliseconds positive.
    std::int64_t seconds = unixMilliseconds / 1000;
    if (unixMilliseconds % 1000 != 0 && unixMilliseconds < 0) {
        --seconds;
    }
    const auto milliseconds = static_cast<std::uint16_t>(unixMilliseconds - seconds * 1000);
    const auto clock = static_cast<std::time_t>(seconds);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &clock);
#else
    localtime_r(&clock, &local);
#endif
    return TSystemTime{static_cast<std::uint16_t>(local.tm_year + 1900),
                       static_cast<std::uint16_t>(local.tm_mon + 1),
                       static_cast<std::uint16_t>(local.tm_wday),
                       static_cast<std::uint16_t>(local.tm_mday),
                       static_cast<std::uint16_t>(local.tm_hour),
                       static_cast<std::uint16_t>(local.tm_min),
                       static_cast<std::uint16_t>(local.tm_sec),
                       milliseconds};
}

} // namespace ostrel
