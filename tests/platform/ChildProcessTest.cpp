// SPDX-License-Identifier: GPL-3.0-or-later
// The command line that starts a program on Windows, which splits it back
// into its arguments by rules of its own.

#include "platform/ChildProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrel {
namespace {

TEST(ChildProcessTest, WindowsCommandLineQuotesEachArgument) {
    const struct {
        std::vector<std::string> Arguments;
        std::string Line;
    } cases[] = {
        {{"host.exe"}, R"("host.exe")"},
        {{R"(C:\Program Files\Ostrel\x86\host.exe)", R"(D:\Zähler\Pexlar.dll)"},
         R"("C:\Program Files\Ostrel\x86\host.exe" "D:\Zähler\Pexlar.dll")"},
        {{""}, R"("")"},
        {{R"(D:\dir\)"}, R"("D:\dir\\")"},
        {{R"(say "hi")"}, R"("say \"hi\"")"},
        {{R"(a\"b)"}, R"("a\\\"b")"},
        {{R"(\\server\share)"}, R"("\\server\share")"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WindowsCommandLine(c.Arguments), c.Line) << c.Line;
    }
}

} // namespace
} // namespace ostrel
