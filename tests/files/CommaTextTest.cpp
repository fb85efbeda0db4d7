// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/CommaText.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace ostrel {
namespace {

using Items = std::vector<std::string>;

struct TCommaCase {
    const char* Name;
    std::string Line;
    Items Expected;
};
void PrintTo(const TCommaCase& c, std::ostream* os) {
    *os << c.Name;
}

const std::vector<TCommaCase> CommaCases = {
    {"ProgramLine", "11/07/16, 12:34, 25, 0.0395", {"11/07/16", "12:34", "25", "0.0395"}},
    {"ThreeItems", "11/07/16, 12:34, 25", {"11/07/16", "12:34", "25"}},
    {"NoBlanks", "a,b,c", {"a", "b", "c"}},
    {"EmptyLine", "", {}},
    {"OnlyBlanks", " \t ", {}},
    {"SingleItem", "abc", {"abc"}},
    {"LeadingBlanksSkipped",
     "  \t\x01"
     "a,b",
     {"a", "b"}},
    {"BlankEndsUnquotedItem", "11/07/16 12:34 25", {"11/07/16", "12:34", "25"}},
    {"TabEndsUnquotedItem", "a\tb", {"a", "b"}},
    {"ControlCharEndsUnquotedItem",
     "a\x1F"
     "b",
     {"a", "b"}},
    {"BlanksAroundComma", "a , b", {"a", "b"}},
    {"TrailingCommaAddsEmptyItem", "a,b,", {"a", "b", ""}},
    {"TrailingCommaThenBlanksAddsNone", "a,b, ", {"a", "b"}},
    {"TrailingCommaThenTabAddsNone", "a,\t", {"a"}},
    {"TwoCommasGiveEmptyItem", "a,,b", {"a", "", "b"}},
    {"CommaBlankCommaGivesEmptyItem", "a, ,b", {"a", "", "b"}},
    {"TwoTrailingCommas", "a,,", {"a", "", ""}},
    {"LeadingComma", ",b", {"", "b"}},
    {"LoneComma", ",", {"", ""}},
    {"BlankThenComma", " ,", {"", ""}},
    {"QuotedItems", "\"11/07/16\",\"12:34\",\"25\"", {"11/07/16", "12:34", "25"}},
    {"QuotedItemKeepsBlanksAndCommas", "\"a b, c\",d", {"a b, c", "d"}},
    {"DoubledQuoteInsideQuotes", "\"a\"\"b\",c", {"a\"b", "c"}},
    {"SeveralDoubledQuotes", "\"\"\"\"\"\",\"x\"\"\"", {"\"\"", "x\""}},
    {"EmptyQuotedItem", "\"\",a", {"", "a"}},
    {"UnclosedQuoteRunsToEnd", "\"11/07/16, 12:34", {"11/07/16, 12:34"}},
    {"UnclosedQuoteWithDoubledQuote", "\"a\"\"b", {"a\"b"}},
    {"LoneQuote", "\"", {""}},
    {"TextAfterClosingQuoteIsNextItem", "\"a\"b,c", {"a", "b", "c"}},
    {"QuoteInsideUnquotedItemIsText", "a\"b,c", {"a\"b", "c"}},
    {"QuotedThenBlanksThenComma", "\"a\" , b", {"a", "b"}},
    {"QuotedItemAndTrailingComma", "\"a\",", {"a", ""}},
    {"NonAsciiIsItemText", "日本,é", {"日本", "é"}},
};

class TCommaText : public testing::TestWithParam<TCommaCase> {};

TEST_P(TCommaText, SplitsIntoItems) {
    EXPECT_EQ(CommaTextItems(GetParam().Line), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Lines, TCommaText, testing::ValuesIn(CommaCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(CommaTextSplitter, ReusedSplitterGivesSameItemsAsFreshOne) {
    // Items of a quoted item with doubled quotes live in the splitter's
    // buffer; a second such item in the same line must not move the first.
    TCommaTextSplitter splitter;
    for (const TCommaCase& c : CommaCases) {
        const std::vector<std::string_view>& items = splitter.Split(c.Line);
        EXPECT_EQ(Items(items.begin(), items.end()), c.Expected) << c.Name;
    }
    const std::string line = "\"a\"\"1\",\"b\"\"2\",\"c\"\"3\"";
    const std::vector<std::string_view>& items = splitter.Split(line);
    EXPECT_EQ(Items(items.begin(), items.end()), (Items{"a\"1", "b\"2", "c\"3"}));
}

} // namespace
} // namespace ostrel
