// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/CommaText.h"

namespace ostrel {

namespace {

constexpr char Delimiter = ',';
constexpr char Quote = '"';

// Codes 1 to 32; a line holds no NUL (text is cut at the first one).
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::size_t SkipBlanks(std::string_view line, std::size_t k) {
    while (k < line.size() && IsBlank(line[k])) {
        ++k;
    }
    return k;
}

} // namespace

// The item that starts with the quote at k; returns the position after its
// closing quote, or the end of the line when there is none.
std::size_t TCommaTextSplitter::QuotedItem(std::string_view line, std::size_t k) {
    const std::size_t first = k + 1;
    std::size_t end = first;
    bool doubled = false;
    while (end < line.size()) {
        if (line[end] != Quote) {
            ++end;
        } else if (end + 1 < line.size() && line[end + 1] == Quote) {
            doubled = true;
            end += 2;
        } else {
            break;
        }
    }
    const std::string_view inside = line.substr(first, end - first);
    if (!doubled) {
        Items.push_back(inside);
    } else {
        // Reserved in Split for the whole line, so earlier items never move.
        const std::size_t from = Unquoted.size();
        for (std::size_t j = 0; j < inside.size(); ++j) {
            Unquoted.push_back(inside[j]);
            j += (inside[j] == Quote) ? 1 : 0;
        }
        Items.emplace_back(Unquoted.data() + from, Unquoted.size() - from);
    }
    return end < line.size() ? end + 1 : end;
}

const std::vector<std::string_view>& TCommaTextSplitter::Split(std::string_view line) {
    Items.clear();
    Unquoted.clear();
    Unquoted.reserve(line.size());
    std::size_t k = SkipBlanks(line, 0);
    while (k < line.size()) {
        if (line[k] == Quote) {
            k = QuotedItem(line, k);
        } else {
            const std::size_t first = k;
            while (k < line.size() && !IsBlank(line[k]) && line[k] != Delimiter) {
                ++k;
            }
            Items.push_back(line.substr(first, k - first));
        }
        k = SkipBlanks(line, k);
        if (k < line.size() && line[k] == Delimiter) {
            if (k + 1 == line.size()) {
                Items.emplace_back();
            }
            k = SkipBlanks(line, k + 1);
        }
    }
    return Items;
}

std::vector<std::string> CommaTextItems(std::string_view line) {
    TCommaTextSplitter splitter;
    const std::vector<std::string_view>& items = splitter.Split(line);
    return {items.begin(), items.end()};
}

} // namespace ostrel
