// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/StateFolder.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <string>
#include <utility>
#include <vector>

namespace ostrel {
namespace {

struct TFolderCase {
    std::optional<std::string> StateHome;
    std::optional<std::string> Home;
    const char* Expected;
};

// The variables of the XDG base directories; Windows has a folder of its own.
#ifndef _WIN32
TEST(StateFolderTest, FromTheStateHomeElseFromHome) {
    const std::vector<TFolderCase> cases = {
        {"/st", "/home/ann", "/st/ostrel"},
        {std::nullopt, "/home/ann", "/home/ann/.local/state/ostrel"},
        {"", "/home/ann", "/home/ann/.local/state/ostrel"},
        {"relative/state", "/home/ann", "/home/ann/.local/state/ostrel"},
        {std::nullopt, std::nullopt, ""},
        {std::nullopt, "", ""},
    };
    for (const TFolderCase& c : cases) {
        EXPECT_EQ(StateFolderFrom(c.StateHome, c.Home).string(), c.Expected)
            << c.StateHome.value_or("(unset)") << " " << c.Home.value_or("(unset)");
    }
}
#else
// %LOCALAPPDATA%\Ostrel, a user name beyond ASCII included; no folder
// without the variable or with an empty one.
TEST(StateFolderTest, FromLocalAppData) {
    std::wstring saved(32768, L'\0');
    saved.resize(GetEnvironmentVariableW(L"LOCALAPPDATA", saved.data(), 32768));
    const std::vector<std::pair<const wchar_t*, const wchar_t*>> cases = {
        {L"C:\\Users\\Ann\\AppData\\Local", L"C:\\Users\\Ann\\AppData\\Local\\Ostrel"},
        {L"C:\\Users\\\u00c5sa \u6797\\AppData\\Local",
         L"C:\\Users\\\u00c5sa \u6797\\AppData\\Local\\Ostrel"},
        {L"", L""},
        {nullptr, L""},
    };
    for (const auto& [value, expected] : cases) {
        ASSERT_TRUE(SetEnvironmentVariableW(L"LOCALAPPDATA", value));
        EXPECT_EQ(DefaultStateFolder().wstring(), expected) << (value ? value : L"(unset)");
    }
    SetEnvironmentVariableW(L"LOCALAPPDATA", saved.empty() ? nullptr : saved.c_str());
}
#endif

} // namespace
} // namespace ostrel
