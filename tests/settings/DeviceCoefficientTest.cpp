// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/DeviceCoefficient.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using namespace ostrel;

namespace {

TFormatSettings WithDecimal(const char* separator) {
    TFormatSettings fs;
    fs.DecimalSeparator = separator;
    return fs;
}

TEST(DeviceCoefficientTextTest, ShowsTheExactDecimal) {
    const std::vector<std::pair<std::uint16_t, const char*>> cases = {
        {158, "0.00158"}, {1, "1E-5"},     {0, "0"},       {65535, "0.65535"}, {9, "9E-5"},
        {10, "0.0001"},   {13, "0.00013"}, {100, "0.001"}, {50000, "0.5"},     {12345, "0.12345"},
    };
    const auto dot = WithDecimal(".");
    for (const auto& [coefficient, text] : cases) {
        EXPECT_EQ(DeviceCoefficientText(coefficient, dot), text) << coefficient;
    }
    EXPECT_EQ(DeviceCoefficientText(158, WithDecimal(",")), "0,00158");
}

TEST(TryDeviceCoefficientTest, TruncatesThenTakesTheLow16Bits) {
    struct TCase {
        const char* Text;
        const char* Separator;
        std::optional<std::uint16_t> Expected;
    };
    const std::vector<TCase> cases = {
        {"0.00158", ".", 158},
        {"0.00158999", ".", 158},
        {" 1E-5 ", ".", 1},
        {"-1E-5", ".", 65535},
        {"-0.00002", ".", 65534},
        {"-0.000001", ".", 0},
        {"-0.65536", ".", 0},
        {"0.65536", ".", 0},
        {"0.65537", ".", 1},
        {"1e3", ".", 57600},                            // 100000000 - 1525 * 65536
        {"1E11", ".", 0},                               // 10^16 is a multiple of 65536
        {"123456789012345678901234567890", ".", 44864}, // the whole product, mod 65536
        {"0.0000099", ".", 0},
        {"0.00013", ".", 13}, // extended-precision arithmetic would give 12
        {"0.001", ".", 100},  // and 99 here
        {"1.5E-4", ".", 15},
        {"0E999999", ".", 0},
        {"0,00158", ",", 158},
        {"0,00158", ".", std::nullopt},
        {"", ".", std::nullopt},
        {"abc", ".", std::nullopt},
        {"1e5000", ".", std::nullopt}, // StrToFloat overflows
        {"1 2", ".", std::nullopt},
        {"0x10", ".", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TryDeviceCoefficient(c.Text, WithDecimal(c.Separator)), c.Expected) << c.Text;
    }
}

TEST(TryDeviceCoefficientTest, EveryShownValueComesBackUnderACommaLocale) {
    const auto comma = WithDecimal(",");
    int wrong = 0;
    for (std::uint32_t n = 0; n <= 65535; ++n) {
        const auto coefficient = static_cast<std::uint16_t>(n);
        if (TryDeviceCoefficient(DeviceCoefficientText(coefficient, comma), comma) != coefficient) {
            ++wrong;
            ADD_FAILURE() << n;
        }
        if (wrong > 10) {
            break;
        }
    }
}

} // namespace
