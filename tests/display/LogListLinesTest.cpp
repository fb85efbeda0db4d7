// SPDX-License-Identifier: GPL-3.0-or-later
// The log list's compact line storage: exact lines after appends and deletes,
// and the bytes written for saving.
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

struct TWriteCase {
    const char* Name;
    std::vector<std::string> Lines;
    std::string Bytes;
};

class LogLinesWrite : public ::testing::TestWithParam<TWriteCase> {};

TEST_P(LogLinesWrite, EachLineFollowedByCrLf) {
    const TWriteCase& c = GetParam();
    TLogLines lines;
    for (const std::string& s : c.Lines) {
        lines.Append(s);
    }
    std::string written;
    int calls = 0;
    lines.WriteTo([&](std::string_view bytes) {
        written.append(bytes);
        ++calls;
    });
    EXPECT_EQ(written, c.Bytes);
    EXPECT_EQ(calls, c.Lines.empty() ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogLinesWrite,
    ::testing::Values(TWriteCase{"Empty", {}, ""}, TWriteCase{"OneEmptyLine", {""}, "\r\n"},
                      TWriteCase{"Two",
                                 {"11/07/16, 09:05, 123", "11/07/16, 09:06, 4, 1E-5"},
                                 "11/07/16, 09:05, 123\r\n11/07/16, 09:06, 4, 1E-5\r\n"},
                      TWriteCase{"Utf8Unchanged", {"時刻"}, "\xE6\x99\x82\xE5\x88\xBB\r\n"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(LogLinesWrite, LargeLogComesInChunksOfWholeLines) {
    TLogLines lines;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        const std::string line = "11/07/16, 09:05, " + std::to_string(i) + ", 0.0316";
        lines.Append(line);
        expected += line + "\r\n";
    }
    std::string written;
    std::vector<std::size_t> sizes;
    lines.WriteTo([&](std::string_view bytes) {
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
        written.append(bytes);
        sizes.push_back(bytes.size());
    });
    EXPECT_EQ(written, expected);
    ASSERT_GT(sizes.size(), 1u);
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i) {
        EXPECT_GE(sizes[i], TLogLines::ChunkBytes);
        EXPECT_LT(sizes[i], TLogLines::ChunkBytes + 64);
    }
}

} // namespace
} // namespace ostrel
