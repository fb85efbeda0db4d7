// SPDX-License-Identifier: GPL-3.0-or-later
// The log list's compact line storage: exact lines after appends and deletes.
#include "views/LogLines.h"

#include <gtest/gtest.h>

#include <memory>
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
    EXPECT_EQ(lines.Line(lines.Count()), "") << "past the end";
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

// Lines made on demand, as a rebuild's are.
class TListSource : public TLineSource {
public:
    explicit TListSource(std::vector<std::string> lines) : Lines(std::move(lines)) {}
    std::size_t Count() const override { return Lines.size(); }
    void AppendLine(std::string& out, std::size_t k) const override { out += Lines.at(k); }

private:
    std::vector<std::string> Lines;
};

struct TSourceCase {
    const char* Name;
    std::vector<std::string> Before; // stored before the source's lines
    std::vector<std::string> Made;
    std::vector<std::string> After; // stored after them
    std::vector<int> Deletes;
};

class LogLinesSource : public ::testing::TestWithParam<TSourceCase> {};

// The lines a source makes behave as stored lines do, whatever is deleted.
TEST_P(LogLinesSource, ReadsAndDeletesAsStoredLines) {
    const TSourceCase& c = GetParam();
    TLogLines lines;
    std::vector<std::string> expected;
    for (const std::string& s : c.Before) {
        lines.Append(s);
        expected.push_back(s);
    }
    lines.Append(std::make_shared<TListSource>(c.Made));
    expected.insert(expected.end(), c.Made.begin(), c.Made.end());
    for (const std::string& s : c.After) {
        lines.Append(s);
        expected.push_back(s);
    }
    for (const int index : c.Deletes) {
        lines.Delete(index);
        expected.erase(expected.begin() + index);
    }
    lines.Append("tail");
    expected.push_back("tail");
    EXPECT_EQ(lines.All(), expected);
    std::string out = "x";
    lines.AppendTo(out, 0);
    EXPECT_EQ(out, "x" + expected.front());
    lines.Clear();
    EXPECT_TRUE(lines.Empty());
}

const std::vector<std::string> Made = {"m0", "m1", "m2", "m3"};

INSTANTIATE_TEST_SUITE_P(
    Cases, LogLinesSource,
    ::testing::Values(TSourceCase{"AloneNothingDeleted", {}, Made, {}, {}},
                      TSourceCase{"StoredAfterDeleteLastStored", {}, Made, {"s0", "s1"}, {5}},
                      TSourceCase{"DeleteLastMade", {}, Made, {}, {3}},
                      TSourceCase{"DeleteMiddleMadeKeepsStored", {}, Made, {"s0"}, {1, 1}},
                      TSourceCase{"DeleteFirstMadeTillNoneLeft", {}, Made, {"s0"}, {0, 0, 0, 0}},
                      TSourceCase{"AfterStoredLinesIsCopied", {"b0"}, Made, {"s0"}, {2, 0}},
                      TSourceCase{"EmptySourceAddsNothing", {"b0"}, {}, {}, {}}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace ostrel
