// SPDX-License-Identifier: GPL-3.0-or-later
// The environment as the device libraries read it: in UTF-8 on every
// platform, set or not set, empty or long.

#include "device/LibrarySide.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace ostrel {
namespace {

constexpr const char* Name = "OSTREL_TEST_LIBRARY_ENVIRONMENT";

// value: UTF-8; nothing: the variable is removed.
void Set(const std::optional<std::string>& value) {
#ifdef _WIN32
    std::wstring wide;
    if (value) {
        const int length = MultiByteToWideChar(CP_UTF8, 0, value->data(),
                                               static_cast<int>(value->size()), nullptr, 0);
        wide.resize(static_cast<std::size_t>(length));
        MultiByteToWideChar(CP_UTF8, 0, value->data(), static_cast<int>(value->size()), wide.data(),
                            length);
    }
    SetEnvironmentVariableW(L"OSTREL_TEST_LIBRARY_ENVIRONMENT", value ? wide.c_str() : nullptr);
#else
    if (value) {
        setenv(Name, value->c_str(), 1);
    } else {
        unsetenv(Name);
    }
#endif
}

TEST(LibraryEnvironmentTest, ValuesInUtf8) {
    const std::optional<std::string> cases[] = {
        std::nullopt,
        "",
        "/dev/ttyUSB0",
        "COM3",
        "C:\\Users\\測定者\\Zählrohr.txt", // beyond any one ANSI code page
        std::string(300, 'x'),             // longer than a first guess of the length
    };
    for (const auto& value : cases) {
        Set(value);
        EXPECT_EQ(value, EnvironmentValue(Name)) << value.value_or("(not set)");
    }
    Set(std::nullopt);
}

} // namespace
} // namespace ostrel
