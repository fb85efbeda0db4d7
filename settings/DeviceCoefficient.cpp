// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/DeviceCoefficient.h"

#include "platform/TextServices.h"

#include <cstddef>

namespace ostrel {

namespace {

constexpr std::uint32_t Modulus = 65536;
constexpr int UnitDigits = 5;   // one unit is 10^-5
constexpr int CyclicPower = 16; // 10^16 = 2^16 * 5^16 is 0 modulo 65536

// The integer digits * 10^scale (scale may be negative: digits dropped)
// modulo 65536, without ever forming the whole number.
std::uint32_t ScaledModulo(std::string_view digits, std::int64_t scale) {
    if (scale < 0) {
        const auto dropped = static_cast<std::uint64_t>(-scale);
        if (dropped >= digits.size()) {
            return 0;
        }
        digits.remove_suffix(static_cast<std::size_t>(dropped));
        scale = 0;
    }
    if (scale >= CyclicPower) {
        return 0;
    }
    std::uint32_t remainder = 0;
    for (const char digit : digits) {
        remainder = (remainder * 10 + static_cast<std::uint32_t>(digit - '0')) % Modulus;
    }
    for (std::int64_t i = 0; i < scale; ++i) {
        remainder = remainder * 10 % Modulus;
    }
    return remainder;
}

} // namespace

std::string DeviceCoefficientText(std::uint16_t coefficient, const TFormatSettings& fs) {
    // The double nearest the exact value; at 15 significant digits FloatToStr
    // gives back its five decimals exactly.
    return FloatToStr(static_cast<double>(coefficient) / 100000.0, fs);
}

std::optional<std::uint16_t> TryDeviceCoefficient(std::string_view text,
                                                  const TFormatSettings& fs) {
    if (!TryStrToFloat(text, fs)) {
        return std::nullopt;
    }
    const auto decimal = TryParseDecimal(text, fs);
    if (!decimal) {
        return std::nullopt;
    }
    const auto remainder =
        ScaledModulo(decimal->Digits, std::int64_t{decimal->Exponent} + UnitDigits);
    const auto value = decimal->Negative ? (Modulus - remainder) % Modulus : remainder;
    return static_cast<std::uint16_t>(value);
}

} // namespace ostrel
