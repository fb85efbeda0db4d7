// SPDX-License-Identifier: GPL-3.0-or-later
// Floating-point text: FloatToStr and StrToFloat.
#include "platform/TextServices.h"

#include "platform/BigUInt.h"
#include "platform/Exceptions.h"
#include "platform/Extended.h"
#include "platform/TextChars.h"
#include "platform/Translation.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace ostrel {

using namespace textchars;

namespace {

// Enough significant digits that a value cut after them, with a final 1
// standing for the rest, rounds as the whole value does (an extended
// midpoint in the double range has fewer digits).
constexpr std::size_t MaxSignificantDigits = 850;

// numerator / denominator * 2^exponent, with at least 66 quotient bits.
double RoundQuotient(bool negative, TBigUInt numerator, TBigUInt denominator) {
    const int shift = numerator.BitLength() - denominator.BitLength() - 66;
    if (shift < 0) {
        numerator.ShiftLeft(-shift);
    } else {
        denominator.ShiftLeft(shift);
    }
    // Restoring division; the quotient has 66 or 67 bits.
    int steps = numerator.BitLength() - denominator.BitLength();
    denominator.ShiftLeft(steps);
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    for (; steps >= 0; --steps) {
        high = (high << 1) | (low >> 63);
        low <<= 1;
        if (!numerator.LessThan(denominator)) {
            numerator.Subtract(denominator);
            low |= 1u;
        }
        denominator.ShiftRightOne();
    }
    return portable::RoundViaExtended(negative, high, low, shift, !numerator.IsZero());
}

struct TDecimalDigits {
    std::array<char, 16> Digits; // significant digits, no trailing zeros
    int Count;
    int Exponent; // of the first digit: d.ddd x 10^Exponent
};

// Whether |x| lies exactly halfway between two 15-digit decimals.
bool IsExactTie(double x) {
    std::array<char, 832> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                      std::chars_format::scientific, 780);
    const std::string_view text(buffer.data(),
                                static_cast<std::size_t>(result.ptr - buffer.data()));
    const std::string_view mantissa = text.substr(0, text.find('e'));
    // "d." then the fraction: the 16th significant digit is mantissa[16].
    if (mantissa.size() < 17 || mantissa[16] != '5') {
        return false;
    }
    return mantissa.find_first_not_of('0', 17) == std::string_view::npos;
}

// The digits of a scientific to_chars text ("d.ddde-05"), up to 17 of them.
struct TScientific {
    std::array<char, 17> Digits;
    int Count;
    int Exponent;
};

// Read by hand: this runs for every dose rate of a rebuilt log. The text is
// "d.dddde-XX" (or "de+XX" with one digit): the digits, then 'e', a sign and
// at least two exponent digits.
TScientific ReadScientific(const char* first, const char* last) {
    TScientific s{};
    const char* e = last - 3;
    while (*e != 'e') {
        --e;
    }
    s.Digits[0] = first[0];
    const auto fraction = static_cast<int>(e - first) - 2; // digits after the point
    if (fraction > 0) {
        const int count = std::min(fraction, 16);
        std::copy_n(first + 2, count, s.Digits.begin() + 1);
        s.Count = count + 1;
    } else {
        s.Count = 1;
    }
    for (const char* at = e + 2; at != last; ++at) {
        s.Exponent = s.Exponent * 10 + (*at - '0');
    }
    s.Exponent = e[1] == '-' ? -s.Exponent : s.Exponent;
    return s;
}

TScientific Scientific(double x, int precision) {
    std::array<char, 40> buffer;
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                      std::chars_format::scientific, precision);
    return ReadScientific(buffer.data(), result.ptr);
}

// Keeps the first 15 digits, adding one to them when roundUp.
TDecimalDigits FirstFifteen(const TScientific& s, bool roundUp) {
    TDecimalDigits d{};
    d.Exponent = s.Exponent;
    d.Count = std::min(s.Count, 15);
    std::copy_n(s.Digits.begin(), d.Count, d.Digits.begin());
    if (roundUp) {
        int k = 14;
        for (; k >= 0 && d.Digits[static_cast<std::size_t>(k)] == '9'; --k) {
            d.Digits[static_cast<std::size_t>(k)] = '0';
        }
        if (k < 0) {
            d.Digits[0] = '1';
            ++d.Exponent;
        } else {
            ++d.Digits[static_cast<std::size_t>(k)];
        }
    }
    while (d.Count > 1 && d.Digits[static_cast<std::size_t>(d.Count) - 1] == '0') {
        --d.Count;
    }
    return d;
}

// 15 significant digits of |x| (finite, nonzero), halfway cases rounded
// away from zero as the platform's digit rounding does.
TDecimalDigits FifteenDigits(double x) {
    // The shortest digits that read back as x lie within half a unit in the
    // last place of x, which is less than half a unit in the 15th digit: with
    // 15 digits or fewer they are the rounded digits themselves. With 17, no
    // decimal of 16 digits, the midpoints between 15-digit ones included, is
    // as near, so they round as x does and never lie halfway. With 16, only a
    // 16th digit 5 may be the midpoint itself, which leaves the side of x
    // open. The shortest conversion is much the cheapest of the three. (A
    // subnormal's last place is too coarse for any of this.)
    if (x >= std::numeric_limits<double>::min()) {
        std::array<char, 40> buffer;
        const auto shortest = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                            std::chars_format::scientific);
        const TScientific s = ReadScientific(buffer.data(), shortest.ptr);
        if (s.Count <= 15 || s.Count == 17 || s.Digits[15] != '5') {
            return FirstFifteen(s, s.Count > 15 && s.Digits[15] >= '5');
        }
    }
    // From 17 correctly rounded digits, only "50" after the 15th leaves the
    // rounding open.
    const TScientific seventeen = Scientific(x, 16);
    if (seventeen.Digits[15] != '5' || seventeen.Digits[16] != '0') {
        return FirstFifteen(seventeen, seventeen.Digits[15] >= '5');
    }
    if (IsExactTie(x)) {
        return FirstFifteen(seventeen, true);
    }
    return FirstFifteen(Scientific(x, 14), false);
}

} // namespace

void AppendFloatText(std::string& out, double value, const TFormatSettings& fs) {
    if (std::isnan(value)) {
        out += "NAN";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-INF" : "INF";
        return;
    }
    if (value == 0) {
        out.push_back('0');
        return;
    }
    const TDecimalDigits d = FifteenDigits(std::fabs(value));
    const std::string_view digits(d.Digits.data(), static_cast<std::size_t>(d.Count));
    const int pointAfter = d.Exponent + 1; // digits before the decimal point
    if (value < 0) {
        out.push_back('-');
    }
    if (pointAfter >= -3 && pointAfter <= 15) {
        if (pointAfter <= 0) {
            out.push_back('0');
            out += fs.DecimalSeparator;
            out.append(static_cast<std::size_t>(-pointAfter), '0');
            out += digits;
        } else if (d.Count <= pointAfter) {
            out += digits;
            out.append(static_cast<std::size_t>(pointAfter - d.Count), '0');
        } else {
            out += digits.substr(0, static_cast<std::size_t>(pointAfter));
            out += fs.DecimalSeparator;
            out += digits.substr(static_cast<std::size_t>(pointAfter));
        }
        return;
    }
    out.push_back(digits[0]);
    if (d.Count > 1) {
        out += fs.DecimalSeparator;
        out += digits.substr(1);
    }
    out.push_back('E');
    AppendInteger(out, d.Exponent);
}

std::string FloatToStr(double value, const TFormatSettings& fs) {
    std::string out;
    AppendFloatText(out, value, fs);
    return out;
}

namespace {

std::size_t SkipBlanks(std::string_view text, std::size_t i) {
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    return i;
}

// Digits with at most one separator from text[i] on, into result.Digits
// (without leading or trailing zeros) and the power of ten that goes with
// them. Returns the number of digits read.
std::size_t ReadMantissa(std::string_view text, std::size_t& i, std::string_view separator,
                         std::string& digits, long long& exponent) {
    bool seenSeparator = false;
    std::size_t digitCount = 0;
    std::size_t zerosPending = 0; // zeros not yet known to be significant
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            ++digitCount;
            exponent -= seenSeparator ? 1 : 0;
            if (c == '0') {
                ++zerosPending;
                continue;
            }
            if (!digits.empty()) {
                digits.append(zerosPending, '0');
            }
            zerosPending = 0;
            digits.push_back(c);
        } else if (!seenSeparator && !separator.empty() && text.substr(i).starts_with(separator)) {
            seenSeparator = true;
            i += separator.size() - 1;
        } else {
            break;
        }
    }
    exponent += static_cast<long long>(zerosPending);
    return digitCount;
}

// An optional "E"/"e", sign and digits from text[i] on; 0 without the
// letter, nothing when the letter has no digits after it. Huge exponents
// are held at a size that still over- or underflows.
std::optional<long long> ReadExponent(std::string_view text, std::size_t& i) {
    if (i >= text.size() || (text[i] != 'E' && text[i] != 'e')) {
        return 0;
    }
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size() || !IsDigit(text[i])) {
        return std::nullopt;
    }
    long long written = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        written = std::min<long long>(written * 10 + (text[i] - '0'), 1'000'000'000);
    }
    return negative ? -written : written;
}

} // namespace

std::optional<TDecimalText> TryParseDecimal(std::string_view text, const TFormatSettings& fs) {
    std::size_t i = SkipBlanks(text, 0);
    TDecimalText result;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        result.Negative = text[i] == '-';
        ++i;
    }
    long long exponent = 0;
    if (ReadMantissa(text, i, fs.DecimalSeparator, result.Digits, exponent) == 0) {
        return std::nullopt;
    }
    const auto written = ReadExponent(text, i);
    if (!written || SkipBlanks(text, i) != text.size()) {
        return std::nullopt;
    }
    if (!result.Digits.empty()) {
        result.Exponent = static_cast<int>(
            std::clamp<long long>(exponent + *written, -2'000'000'000, 2'000'000'000));
    }
    return result;
}

std::optional<double> TryStrToFloat(std::string_view text, const TFormatSettings& fs) {
    auto decimal = TryParseDecimal(text, fs);
    if (!decimal) {
        return std::nullopt;
    }
    const bool negative = decimal->Negative;
    if (decimal->Digits.empty()) {
        return negative ? -0.0 : 0.0;
    }
    std::string& digits = decimal->Digits;
    long long exponent = decimal->Exponent;
    // The value lies in [10^(magnitude-1), 10^magnitude).
    const long long magnitude = static_cast<long long>(digits.size()) + exponent;
    if (magnitude > 310) {
        return std::nullopt;
    }
    if (magnitude < -330) {
        return negative ? -0.0 : 0.0;
    }
    if (digits.size() > MaxSignificantDigits) {
        exponent += static_cast<long long>(digits.size() - MaxSignificantDigits) - 1;
        digits.resize(MaxSignificantDigits);
        digits.push_back('1');
    }
    TBigUInt n = TBigUInt::FromDecimal(digits);
    double value = 0;
    if (exponent >= 0) {
        n.MulPow10(static_cast<int>(exponent));
        value = portable::RoundViaExtended(negative, n, 0, false);
    } else {
        TBigUInt scale = TBigUInt::FromDecimal("1");
        scale.MulPow10(static_cast<int>(-exponent));
        value = RoundQuotient(negative, std::move(n), std::move(scale));
    }
    if (std::isinf(value)) {
        return std::nullopt;
    }
    return value;
}

double StrToFloat(std::string_view text, const TFormatSettings& fs) {
    const auto value = TryStrToFloat(text, fs);
    if (!value) {
        throw EConvertError(
            Translate(OSTREL_TR("Ostrel", "'%s' は有効な浮動小数点数値ではありません"), text));
    }
    return *value;
}

} // namespace ostrel
