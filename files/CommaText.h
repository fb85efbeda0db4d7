// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A line split into items by the comma-text rules: comma as delimiter,
// double quote as quote character, and blanks (codes 1 to 32) ending an
// unquoted item as a comma does.

#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// Splits lines one after another without allocating for each: the items are
// views into the line, or into the splitter's own buffer for a quoted item
// that holds a doubled quote. They stay valid until the next Split and as
// long as the line does.
class TCommaTextSplitter {
public:
    const std::vector<std::string_view>& Split(std::string_view line);

private:
    std::size_t QuotedItem(std::string_view line, std::size_t k);

    std::vector<std::string_view> Items;
    std::string Unquoted;
};

// The items of one line as strings of their own.
std::vector<std::string> CommaTextItems(std::string_view line);

} // namespace ostrel
