// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TextServices.h"

#include "platform/Exceptions.h"
#include "platform/Extended.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace ostrel {

namespace {

bool IsBlank(char c) {
    return c == ' ';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

template <typename TOut> void AppendTwoDigits(TOut& out, int value) {
    out.push_back(static_cast<char>('0' + value / 10 % 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

template <typename TOut, typename T> void AppendInteger(TOut& out, T value) {
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), result.ptr);
}

// A left-to-right reader over a text, with the platform's scanning steps:
// blanks are skipped before every number, separator and marker.
class TScanner {
public:
    explicit TScanner(std::string_view text) : Text(text) {}

    bool AtEnd() const { return Pos >= Text.size(); }

    void SkipBlanks() {
        while (Pos < Text.size() && IsBlank(Text[Pos])) {
            ++Pos;
        }
    }

    struct TNumber {
        int Value;
        int Digits; // leading zeros included
    };

    // A run of digits; reading stops once the value has reached 1000.
    std::optional<TNumber> Number() {
        SkipBlanks();
        TNumber number{0, 0};
        while (Pos < Text.size() && IsDigit(Text[Pos]) && number.Value < 1000) {
            number.Value = number.Value * 10 + (Text[Pos] - '0');
            ++number.Digits;
            ++Pos;
        }
        if (number.Digits == 0) {
            return std::nullopt;
        }
        return number;
    }

    // The given text, ASCII letters in any case.
    bool Word(std::string_view word) {
        SkipBlanks();
        if (word.empty() || Text.size() - Pos < word.size()) {
            return false;
        }
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (LowerAscii(Text[Pos + i]) != LowerAscii(word[i])) {
                return false;
            }
        }
        Pos += word.size();
        return true;
    }

private:
    std::string_view Text;
    std::size_t Pos = 0;
};

} // namespace

// ---------------------------------------------------------------- dates

namespace {

// A text short enough for the stack, as log lines and labels are; a longer
// one is only measured, then written again into a string.
class TShortText {
public:
    void push_back(char c) {
        if (Size < Data.size()) {
            Data[Size] = c;
        }
        ++Size;
    }
    void append(const char* first, const char* last) {
        for (; first != last; ++first) {
            push_back(*first);
        }
    }
    TShortText& operator+=(std::string_view text) {
        append(text.data(), text.data() + text.size());
        return *this;
    }
    bool Fits() const { return Size <= Data.size(); }
    std::string Text() const { return std::string(Data.data(), Size); }

private:
    std::array<char, 48> Data{};
    std::size_t Size = 0;
};

std::size_t RunLength(std::string_view pattern, std::size_t i) {
    std::size_t run = 1;
    while (i + run < pattern.size() && LowerAscii(pattern[i + run]) == LowerAscii(pattern[i])) {
        ++run;
    }
    return run;
}

// The value that a pattern letter stands for, or -1 for any other character.
int FieldOf(char letter, const TDateTimeParts& parts) {
    switch (letter) {
    case 'm':
        return parts.Date.Month;
    case 'd':
        return parts.Date.Day;
    case 'h':
        return parts.Time.Hour;
    case 'n':
        return parts.Time.Minute;
    case 's':
        return parts.Time.Second;
    default:
        return -1;
    }
}

template <typename TOut>
void WriteDateTime(TOut& out, std::string_view pattern, const TDateTimeParts& parts,
                   const TFormatSettings& fs) {
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = LowerAscii(pattern[i]);
        const std::size_t run = RunLength(pattern, i);
        const int field = FieldOf(c, parts);
        if (c == 'y') {
            if (run > 2) {
                AppendTwoDigits(out, parts.Date.Year / 100);
            }
            AppendTwoDigits(out, parts.Date.Year % 100);
            i += run;
        } else if (field >= 0) {
            // One letter: no leading zero; two: always two digits.
            if (run == 1) {
                AppendInteger(out, field);
            } else {
                AppendTwoDigits(out, field);
            }
            i += run == 1 ? 1 : 2;
        } else {
            if (c == '/') {
                out += fs.DateSeparator;
            } else if (c == ':') {
                out += fs.TimeSeparator;
            } else {
                out.push_back(pattern[i]);
            }
            ++i;
        }
    }
}

} // namespace

std::string FormatDateTime(std::string_view pattern, TDateTime value, const TFormatSettings& fs) {
    const TDateTimeParts parts = DecodeDateTime(value);
    TShortText shortText;
    WriteDateTime(shortText, pattern, parts, fs);
    if (shortText.Fits()) {
        return shortText.Text();
    }
    std::string text;
    WriteDateTime(text, pattern, parts, fs);
    return text;
}

namespace {

// 0 for an AM marker, 12 for a PM marker, -1 for none.
int ReadMarker(TScanner& scan, const TFormatSettings& fs) {
    if (scan.Word(fs.TimeAMString) || scan.Word("AM")) {
        return 0;
    }
    if (scan.Word(fs.TimePMString) || scan.Word("PM")) {
        return 12;
    }
    return -1;
}

// hour[:minutes[:seconds[.milliseconds]]]; nothing when a separator has no
// number after it.
std::optional<TTimeOfDay> ReadClock(TScanner& scan, const TFormatSettings& fs) {
    TTimeOfDay time{0, 0, 0, 0};
    int* const fields[] = {&time.Hour, &time.Minute, &time.Second, &time.Milliseconds};
    for (std::size_t k = 0; k < 4; ++k) {
        if (k > 0 && !scan.Word(k == 3 ? fs.DecimalSeparator : fs.TimeSeparator)) {
            break;
        }
        const auto number = scan.Number();
        if (!number) {
            return std::nullopt;
        }
        *fields[k] = number->Value;
    }
    return time;
}

} // namespace

std::optional<TDateTime> TryStrToTime(std::string_view text, const TFormatSettings& fs) {
    TScanner scan(text);
    int baseHour = ReadMarker(scan, fs);
    auto time = ReadClock(scan, fs);
    if (!time) {
        return std::nullopt;
    }
    if (baseHour < 0) {
        baseHour = ReadMarker(scan, fs);
    }
    if (baseHour >= 0) {
        // A 12-hour clock runs 12, 1, ..., 11.
        if (time->Hour == 0 || time->Hour > 12) {
            return std::nullopt;
        }
        time->Hour = time->Hour % 12 + baseHour;
    }
    scan.SkipBlanks();
    if (!scan.AtEnd() || time->Hour > 23 || time->Minute > 59 || time->Second > 59 ||
        time->Milliseconds > 999) {
        return std::nullopt;
    }
    return EncodeTime(time->Hour, time->Minute, time->Second, time->Milliseconds);
}

TDateTime StrToTime(std::string_view text, const TFormatSettings& fs) {
    const auto value = TryStrToTime(text, fs);
    if (!value) {
        throw EConvertError("'" + std::string(text) + "' は有効な時刻ではありません");
    }
    return *value;
}

std::optional<TDateTime> TryReadDateItem(std::string_view text, const TFormatSettings& fs) {
    TScanner scan(text);
    const auto first = scan.Number();
    if (!first || !scan.Word(fs.DateSeparator)) {
        return std::nullopt;
    }
    const auto second = scan.Number();
    if (!second) {
        return std::nullopt;
    }
    int year = fs.CurrentYear;
    int month = first->Value;
    int day = second->Value;
    if (scan.Word(fs.DateSeparator)) {
        const auto third = scan.Number();
        if (!third) {
            return std::nullopt;
        }
        year = first->Digits <= 2 ? ExpandTwoDigitYear(first->Value, fs.CurrentYear) : first->Value;
        month = second->Value;
        day = third->Value;
        scan.Word(fs.DateSeparator);
    }
    scan.SkipBlanks();
    if (!scan.AtEnd() || !IsValidDate(year, month, day)) {
        return std::nullopt;
    }
    return EncodeDate(year, month, day);
}

// ---------------------------------------------------------------- integers

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
        throw EConvertError("'" + std::string(text) + "' は有効な整数値ではありません");
    }
    return *value;
}

// ---------------------------------------------------------------- floating point

namespace {

// Enough significant digits that a value cut after them, with a final 1
// standing for the rest, rounds as the whole value does (an extended
// midpoint in the double range has fewer digits).
constexpr std::size_t MaxSignificantDigits = 850;

// Little-endian 32-bit limbs; just what the decimal reader needs.
class TBigUInt {
public:
    static TBigUInt FromDecimal(std::string_view digits) {
        TBigUInt n;
        std::size_t i = 0;
        while (i < digits.size()) {
            const std::size_t chunk = std::min<std::size_t>(9, digits.size() - i);
            std::uint32_t value = 0;
            std::uint32_t scale = 1;
            for (std::size_t k = 0; k < chunk; ++k) {
                value = value * 10 + static_cast<std::uint32_t>(digits[i + k] - '0');
                scale *= 10;
            }
            n.MulAdd(scale, value);
            i += chunk;
        }
        return n;
    }

    void MulAdd(std::uint32_t factor, std::uint32_t addend) {
        std::uint64_t carry = addend;
        for (auto& limb : Limbs) {
            const std::uint64_t product = static_cast<std::uint64_t>(limb) * factor + carry;
            limb = static_cast<std::uint32_t>(product);
            carry = product >> 32;
        }
        if (carry != 0) {
            Limbs.push_back(static_cast<std::uint32_t>(carry));
        }
    }

    void MulPow10(int exponent) {
        for (; exponent >= 9; exponent -= 9) {
            MulAdd(1'000'000'000u, 0);
        }
        static constexpr std::uint32_t Small[] = {
            1, 10, 100, 1000, 10'000, 100'000, 1'000'000, 10'000'000, 100'000'000};
        MulAdd(Small[exponent], 0);
    }

    void ShiftLeft(int bits) {
        const auto limbShift = static_cast<std::size_t>(bits / 32);
        const int bitShift = bits % 32;
        if (bitShift != 0) {
            std::uint32_t carry = 0;
            for (auto& limb : Limbs) {
                const std::uint32_t next = limb >> (32 - bitShift);
                limb = (limb << bitShift) | carry;
                carry = next;
            }
            if (carry != 0) {
                Limbs.push_back(carry);
            }
        }
        Limbs.insert(Limbs.begin(), limbShift, 0u);
    }

    void ShiftRightOne() {
        for (std::size_t k = 0; k < Limbs.size(); ++k) {
            const std::uint32_t high = k + 1 < Limbs.size() ? Limbs[k + 1] << 31 : 0u;
            Limbs[k] = (Limbs[k] >> 1) | high;
        }
        Trim();
    }

    int BitLength() const {
        if (Limbs.empty()) {
            return 0;
        }
        int length = static_cast<int>(Limbs.size() - 1) * 32;
        for (std::uint32_t top = Limbs.back(); top != 0; top >>= 1) {
            ++length;
        }
        return length;
    }

    bool Bit(int position) const {
        const auto limb = static_cast<std::size_t>(position / 32);
        return limb < Limbs.size() && ((Limbs[limb] >> (position % 32)) & 1u) != 0;
    }

    bool IsZero() const { return Limbs.empty(); }

    // Bits [from, from + 64) as an integer.
    std::uint64_t Bits64(int from) const {
        std::uint64_t value = 0;
        for (int k = 63; k >= 0; --k) {
            value = (value << 1) | (Bit(from + k) ? 1u : 0u);
        }
        return value;
    }

    bool AnyBitBelow(int position) const {
        for (int k = 0; k < position; ++k) {
            if (Bit(k)) {
                return true;
            }
        }
        return false;
    }

    bool LessThan(const TBigUInt& other) const {
        if (Limbs.size() != other.Limbs.size()) {
            return Limbs.size() < other.Limbs.size();
        }
        for (std::size_t k = Limbs.size(); k-- > 0;) {
            if (Limbs[k] != other.Limbs[k]) {
                return Limbs[k] < other.Limbs[k];
            }
        }
        return false;
    }

    // *this -= other, where other <= *this.
    void Subtract(const TBigUInt& other) {
        std::int64_t borrow = 0;
        for (std::size_t k = 0; k < Limbs.size(); ++k) {
            std::int64_t difference = static_cast<std::int64_t>(Limbs[k]) - borrow -
                                      (k < other.Limbs.size() ? other.Limbs[k] : 0);
            borrow = difference < 0 ? 1 : 0;
            if (difference < 0) {
                difference += std::int64_t{1} << 32;
            }
            Limbs[k] = static_cast<std::uint32_t>(difference);
        }
        Trim();
    }

private:
    void Trim() {
        while (!Limbs.empty() && Limbs.back() == 0) {
            Limbs.pop_back();
        }
    }

    std::vector<std::uint32_t> Limbs;
};

// The top 128 bits of n (or all of them) with the exponent and the sticky
// flag for what lies below, rounded through the extended format.
double RoundBig(bool negative, const TBigUInt& n, int exponent, bool sticky) {
    const int length = n.BitLength();
    const int drop = std::max(0, length - 128);
    const std::uint64_t high = n.Bits64(drop + 64);
    const std::uint64_t low = n.Bits64(drop);
    return portable::RoundViaExtended(negative, high, low, exponent + drop,
                                      sticky || n.AnyBitBelow(drop));
}

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

TScientific ReadScientific(std::string_view text) {
    TScientific s{};
    const std::size_t e = text.find('e');
    for (std::size_t k = 0; k < e && s.Count < 17; ++k) {
        if (text[k] != '.') {
            s.Digits[static_cast<std::size_t>(s.Count++)] = text[k];
        }
    }
    const char* exponent = text.data() + e + 1;
    if (*exponent == '+') {
        ++exponent;
    }
    std::from_chars(exponent, text.data() + text.size(), s.Exponent);
    return s;
}

TScientific Scientific(double x, std::optional<int> precision) {
    std::array<char, 40> buffer{};
    const auto result = precision ? std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                                  std::chars_format::scientific, *precision)
                                  : std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                                  std::chars_format::scientific);
    return ReadScientific(
        std::string_view(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())));
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
    // A shortest form of at most 15 digits is the nearest 15-digit decimal:
    // those lie more than four units of the last place apart (not so for
    // subnormal doubles, whose units are coarser).
    if (x >= std::numeric_limits<double>::min()) {
        const TScientific shortest = Scientific(x, std::nullopt);
        if (shortest.Count <= 15) {
            return FirstFifteen(shortest, false);
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

std::string FloatToStr(double value, const TFormatSettings& fs) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    if (value == 0) {
        return "0";
    }
    const TDecimalDigits d = FifteenDigits(std::fabs(value));
    const std::string_view digits(d.Digits.data(), static_cast<std::size_t>(d.Count));
    const int pointAfter = d.Exponent + 1; // digits before the decimal point
    std::string out;
    out.reserve(24 + fs.DecimalSeparator.size());
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
        return out;
    }
    out.push_back(digits[0]);
    if (d.Count > 1) {
        out += fs.DecimalSeparator;
        out += digits.substr(1);
    }
    out.push_back('E');
    AppendInteger(out, d.Exponent);
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
        value = RoundBig(negative, n, 0, false);
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
        throw EConvertError("'" + std::string(text) + "' は有効な浮動小数点数値ではありません");
    }
    return *value;
}

} // namespace ostrel
