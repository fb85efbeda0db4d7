// SPDX-License-Identifier: GPL-3.0-or-later
// The log list's compact line storage: exact lines after appends and deletes.
#include "display/LogLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrel {
namespace {

struct TDeleteCase {
    const char* Name;
    std::vector<std::string> Start;
    std::vector<int> Deletes;
    std::vector<std::string> Expected;
};

class LogLinesDelete : public ::testing::TestWithParam<TDeleteCase> {};

TEST_P(LogLinesDelete, LeavesExactlyTheOtherLinesInOrder) {
    const TDeleteCase& c = GetParam();
    TLogLines lines;
    for (const std::string& s : c.Start) {
        lines.Append(s);
    }
    for (const int index : c.Deletes) {
        lines.Delete(index);
    }
    // An append after the deletes must land right after the last remaining line.
    lines.Append("tail");
    std::vector<std::string> expected = c.Expected;
    expected.push_back("tail");
    EXPECT_EQ(lines.All(), expected);
    EXPECT_EQ(lines.At(lines.Count()), "") << "past the end";
}

const std::vector<std::string> Abc = {"11/07/16, 09:05, 123", "11/07/16, 09:06, 45",
                                      "11/07/16, 09:07, 6, 0.0316"};

INSTANTIATE_TEST_SUITE_P(
    Cases, LogLinesDelete,
    ::testing::Values(
        TDeleteCase{"Last", Abc, {2}, {Abc[0], Abc[1]}},
        TDeleteCase{"Middle", Abc, {1}, {Abc[0], Abc[2]}},
        TDeleteCase{"First", Abc, {0}, {Abc[1], Abc[2]}},
        TDeleteCase{"LastTwiceThenFirst", Abc, {2, 1, 0}, {}},
        TDeleteCase{"OnlyLine", {"x"}, {0}, {}},
        TDeleteCase{"NegativeIndexChangesNothing", Abc, {-1}, Abc},
        TDeleteCase{"IndexPastEndChangesNothing", Abc, {3}, Abc},
        TDeleteCase{"DeleteOnEmpty", {}, {0}, {}},
        TDeleteCase{"EmptyLinesKeepTheirPlace", {"", "a", "", "b"}, {1}, {"", "", "b"}},
        TDeleteCase{"JapaneseText", {"ログ一", "ログ二", "ログ三"}, {1}, {"ログ一", "ログ三"}}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace ostrel
