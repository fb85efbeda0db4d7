// SPDX-License-Identifier: GPL-3.0-or-later
// StrToFloat on any text, as the settings file and the settings dialog read
// numbers. The first byte picks the locale (its decimal separator).

#include "FuzzSupport.h"

#include "platform/Exceptions.h"
#include "platform/TextServices.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace ostrel;
using fuzz::Require;

// Whether the throwing form agrees with the optional one.
bool ThrowingFormAgrees(std::string_view text, const TFormatSettings& fs,
                        const std::optional<double>& value) {
    try {
        const double thrown = StrToFloat(text, fs);
        return value && (thrown == *value || (std::isnan(thrown) && std::isnan(*value)));
    } catch (const EConvertError&) {
        return !value;
    }
}

// FloatToStr keeps 15 significant digits, so its text must read back to a
// value that it writes the same way. Only the largest doubles round up past
// the double range and fail to read back.
void CheckRoundTrip(double value, const TFormatSettings& fs) {
    const std::string text = FloatToStr(value, fs);
    const auto back = TryStrToFloat(text, fs);
    if (!back) {
        Require(std::fabs(value) > 1.797693134862315e308, "FloatToStr text reads back");
        return;
    }
    Require(FloatToStr(*back, fs) == text, "FloatToStr text is stable after one reading");
}

// The decimal as the C library reads it: correctly rounded to the 64-bit
// significand of long double, then to double, which is what StrToFloat
// promises. Only where long double is that extended format.
std::optional<double> Reference(const TDecimalText& decimal) {
    if (std::numeric_limits<long double>::digits != 64) {
        return std::nullopt;
    }
    const std::string text = (decimal.Negative ? "-" : "") +
                             (decimal.Digits.empty() ? "0" : decimal.Digits) + "e" +
                             std::to_string(decimal.Exponent);
    return static_cast<double>(std::strtold(text.c_str(), nullptr));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const TFormatSettings& fs = fuzz::LocaleFor(data[0]);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    const auto decimal = TryParseDecimal(text, fs);
    const auto value = TryStrToFloat(text, fs);
    Require(ThrowingFormAgrees(text, fs, value), "StrToFloat throws exactly when it fails");
    if (!value) {
        const auto reference = decimal ? Reference(*decimal) : std::nullopt;
        Require(!reference || std::isinf(*reference), "only a value beyond the doubles fails");
        return 0;
    }
    Require(decimal.has_value(), "a number that reads has a decimal form");
    Require(std::isfinite(*value), "an overflowing value fails");
    Require(std::signbit(*value) == decimal->Negative, "the sign is kept, also on zero");
    Require(!decimal->Digits.empty() || *value == 0, "no significant digit gives zero");
    const auto reference = Reference(*decimal);
    Require(!reference || *reference == *value, "the value is the decimal's, rounded twice");
    CheckRoundTrip(*value, fs);
    return 0;
}
