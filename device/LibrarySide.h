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
#include <optional>
#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace ostrel {

// The value of an environment variable, if it is set: EnvironmentValue in a
// library, a table of values in a test.
using TEnvironment = std::function<std::optional<std::string>(const char* name)>;

// The variable's value; nothing when it is not set.
inline std::optional<std::string> EnvironmentValue(const char* name) {
#ifdef _WIN32
    // The wide environment, in UTF-8: getenv would give the ANSI code page's
    // bytes (a port or a file path with other letters garbled), and
    // _dupenv_s is not in every C runtime (MinGW's msvcrt lacks it).
    std::wstring wideName; // the libraries' own names, all ASCII
    for (const char* c = name; *c != '\0'; ++c) {
        wideName += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    }
    std::wstring value(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(),
                                                     static_cast<DWORD>(value.size()));
        if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
            return std::nullopt;
        }
        if (length < value.size()) {
            value.resize(length);
            break;
        }
        value.resize(length); // too small: length is the size needed
    }
    const int wideLength = static_cast<int>(value.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, value.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, value.data(), wideLength, text.data(), size, nullptr,
                            nullptr);
    }
    return text;
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
