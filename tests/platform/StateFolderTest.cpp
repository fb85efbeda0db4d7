// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/StateFolder.h"

#include <gtest/gtest.h>

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
#endif

} // namespace
} // namespace ostrel
