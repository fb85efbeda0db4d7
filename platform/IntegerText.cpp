// SPDX-License-Identifier: GPL-3.0-or-later
// Integer text: "%i", "%hu" and StrToInt.
#include "platform/TextServices.h"

#include "platform/Exceptions.h"
#include "platform/TextChars.h"
#include "platform/Translation.h"

namespace ostrel {

using namespace textchars;

std::string FormatInt(std::int32_t value) {
    std::string out;
    AppendInteger(out, value);
    return out;
}

std::string FormatUInt16(std::uint16_t value) {
    std::string out;
    AppendInteger(out, value);
    return out;
}

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    const std::uint64_t limit = negative ? 0x8000'0000ull : 0x7FFF'FFFFull;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = LowerAscii(text[i]);
        int digit = 0;
        if (IsDigit(c)) {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > limit) {
            return std::nullopt;
        }
    }
    return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value))
                    : static_cast<std::int32_t>(value);
}

std::int32_t StrToInt(std::string_view text) {
    const auto value = TryStrToInt(text);
    if (!value) {
        throw EConvertError(
            Translate(OSTREL_TR("Ostrel", "'%s' は有効な整数値ではありません"), text));
    }
    return *value;
}

} // namespace ostrel
