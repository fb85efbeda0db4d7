// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TextServices.h"

#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace ostrel {
namespace {

TFormatSettings Usual() {
    return TFormatSettings{}; // "/", ":", ".", AM/PM, 2011
}

// A comma decimal separator and "." as date (and time) separator.
TFormatSettings Continental() {
    TFormatSettings fs;
    fs.DateSeparator = ".";
    fs.TimeSeparator = ".";
    fs.DecimalSeparator = ",";
    return fs;
}

TFormatSettings Japanese() {
    TFormatSettings fs;
    fs.TimeAMString = "午前";
    fs.TimePMString = "午後";
    return fs;
}

double At(int y, int mo, int d, int h, int mi, int s = 0, int ms = 0) {
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, ms);
}

// ---------------------------------------------------------------- FormatDateTime

struct TFormatCase {
    const char* Pattern;
    double Value;
    TFormatSettings Fs;
    const char* Expected;
};

TEST(FormatDateTimeTest, Patterns) {
    const TFormatCase cases[] = {
        {"yy/mm/dd hh:nn", At(2011, 7, 16, 9, 5, 59, 999), Usual(), "11/07/16 09:05"},
        {"yy/mm/dd, hh:nn", At(2011, 7, 16, 9, 5), Usual(), "11/07/16, 09:05"},
        {"yy/mm/dd, hh:nn", At(2011, 7, 16, 9, 5), Continental(), "11.07.16, 09.05"},
        {"yy/mm/dd hh:nn", At(2000, 1, 1, 0, 0), Usual(), "00/01/01 00:00"},
        {"yy/mm/dd, hh:nn", 0.0, Usual(), "99/12/30, 00:00"},
        {"yy/mm/dd hh:nn", -1.25, Usual(), "99/12/29 06:00"},
        {"yy/mm/dd hh:nn", At(1911, 12, 31, 23, 59), Usual(), "11/12/31 23:59"},
        {"n", At(2011, 7, 16, 9, 5), Usual(), "5"},
        {"n", At(2011, 7, 16, 9, 0), Usual(), "0"},
        {"n", At(2011, 7, 16, 9, 59), Usual(), "59"},
        {"yyyy-mm-dd h:n:s", At(2011, 7, 6, 9, 5, 7), Usual(), "2011-07-06 9:5:7"},
        {"YY/MM/DD HH:NN:SS", At(2011, 7, 6, 19, 45, 30), Usual(), "11/07/06 19:45:30"},
        {"[yy], x", At(2011, 7, 6, 0, 0), Usual(), "[11], x"},
        // Longer than any log line: built on the heap.
        {"yyyy/mm/dd hh:nn:ss, yyyy/mm/dd hh:nn:ss, yyyy/mm/dd hh:nn:ss", At(2011, 7, 6, 9, 5, 7),
         Usual(), "2011/07/06 09:05:07, 2011/07/06 09:05:07, 2011/07/06 09:05:07"},
        {"yy/mm/dd", At(2011, 7, 6, 0, 0),
         [] {
             TFormatSettings fs;
             fs.DateSeparator = "年";
             return fs;
         }(),
         "11年07年06"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.Expected, FormatDateTime(c.Pattern, c.Value, c.Fs)) << c.Pattern;
    }
}

// ---------------------------------------------------------------- integers

// The log's writer of minute texts agrees with the general pattern engine,
// invalid values (written as zeros) and the rounding to milliseconds that
// moves 23:59:59.9999 to the next day included.
TEST(AppendMinuteTextTest, EqualsFormatDateTime) {
    std::vector<TDateTime> values = {0,           -1.25,       45'000.999999999, 45'000.9999999999,
                                     2'958'465.5, 2'958'467.0, -693'594.0,       1e300,
                                     -0.0};
    std::mt19937_64 random(2024);
    std::uniform_real_distribution<double> days(-700'000, 3'000'000);
    for (int k = 0; k < 20'000; ++k) {
        values.push_back(days(random));
    }
    TFormatSettings wide = Usual(); // separators of more than one byte
    wide.DateSeparator = "年";
    wide.TimeSeparator = "::";
    for (const TFormatSettings& fs : {Usual(), Continental(), wide}) {
        for (const TDateTime t : values) {
            for (const auto& [between, pattern] :
                 {std::pair{" ", "yy/mm/dd hh:nn"}, std::pair{", ", "yy/mm/dd, hh:nn"}}) {
                std::string out = "x";
                AppendMinuteText(out, DecodeDateTime(t), between, fs);
                ASSERT_EQ("x" + FormatDateTime(pattern, t, fs), out) << std::hexfloat << t;
            }
        }
    }
}

TEST(FormatIntTest, Forms) {
    EXPECT_EQ("0", FormatInt(0));
    EXPECT_EQ("-5", FormatInt(-5));
    EXPECT_EQ("2147483647", FormatInt(2147483647));
    EXPECT_EQ("-2147483648", FormatInt(std::numeric_limits<std::int32_t>::min()));
    EXPECT_EQ("0", FormatUInt16(0));
    EXPECT_EQ("158", FormatUInt16(158));
    EXPECT_EQ("65535", FormatUInt16(65535));
}

TEST(StrToIntTest, Forms) {
    struct TCase {
        const char* Text;
        std::optional<std::int32_t> Expected;
    };
    const TCase cases[] = {
        {"0", 0},
        {"25", 25},
        {"+25", 25},
        {"-25", -25},
        {"007", 7},
        {" 12", 12},
        {"   -12", -12},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"00000000002147483647", 2147483647},
        {"$7FFFFFFF", 2147483647},
        {"$ff", 255},
        {"x1F", 31},
        {"X1f", 31},
        {"0x10", 16},
        {"0X10", 16},
        {"-$10", -16},
        {"+0x10", 16},
        {"-$80000000", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"0x80000000", std::nullopt},
        {"$FFFFFFFF", std::nullopt},
        {"12 ", std::nullopt},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"-", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"- 5", std::nullopt},
        {"--5", std::nullopt},
        {"$-10", std::nullopt},
        {"1A", std::nullopt},
        {"$1G", std::nullopt},
        {"1.0", std::nullopt},
        {"1e3", std::nullopt},
        {"00x10", std::nullopt},
        {"\t5", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.Expected, TryStrToInt(c.Text)) << "'" << c.Text << "'";
        if (c.Expected) {
            EXPECT_EQ(*c.Expected, StrToInt(c.Text));
        } else {
            EXPECT_THROW(StrToInt(c.Text), EConvertError) << "'" << c.Text << "'";
        }
    }
}

// ---------------------------------------------------------------- FloatToStr

struct TFloatTextCase {
    double Value;
    const char* Expected;
};

TEST(FloatToStrTest, GeneralFormat) {
    const double inf = std::numeric_limits<double>::infinity();
    const TFloatTextCase cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {1.0, "1"},
        {100.0, "100"},
        {-12.5, "-12.5"},
        {0.0316, "0.0316"},
        {0.00158, "0.00158"},
        {0.001, "0.001"},
        {0.0001, "0.0001"},
        {0.00012345, "0.00012345"},
        {0.00009999999999999999, "0.0001"},
        {0.00005, "5E-5"},
        {0.000099999999999999, "9.9999999999999E-5"},
        {1.5e-5, "1.5E-5"},
        {-1.5e-5, "-1.5E-5"},
        {1e-5, "1E-5"},
        {999999999999999.0, "999999999999999"},
        {999999999999999.5, "1E15"},
        {1e15, "1E15"},
        {123456789012345.0, "123456789012345"},
        {-1e20, "-1E20"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {123456789012345678.0, "1.23456789012346E17"},
        // Exact halfway cases at the 15th digit go away from zero.
        {1234567890123.125, "1234567890123.13"},
        {-1234567890123.125, "-1234567890123.13"},
        {1000000000000005.0, "1.00000000000001E15"},
        {0x1.fffffffffffffp+1023, "1.79769313486232E308"},
        {0x0.0000000000001p-1022, "4.94065645841247E-324"},
        {1e100, "1E100"},
        {inf, "INF"},
        {-inf, "-INF"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.Expected, FloatToStr(c.Value, Usual())) << std::hexfloat << c.Value;
    }
}

// The 15 digits of the exact decimal expansion, halfway rounded up, as
// digits without trailing zeros and the exponent of the last one.
TDecimalText ExactFifteen(double x) {
    std::array<char, 832> buffer{};
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(x),
                                   std::chars_format::scientific, 780)
                         .ptr;
    const std::string text(buffer.data(), end);
    std::string digits = text.substr(0, 1) + text.substr(2, 14);
    int exponent = std::stoi(text.substr(text.find('e') + 1)) - 14;
    if (text[16] >= '5') {
        int k = 14;
        for (; k >= 0 && digits[static_cast<std::size_t>(k)] == '9'; --k) {
            digits[static_cast<std::size_t>(k)] = '0';
        }
        if (k < 0) {
            digits.insert(digits.begin(), '1');
            digits.pop_back();
            ++exponent;
        } else {
            ++digits[static_cast<std::size_t>(k)];
        }
    }
    while (digits.back() == '0') {
        digits.pop_back();
        ++exponent;
    }
    return {x < 0, digits, exponent};
}

TEST(FloatToStrTest, AgreesWithExactRoundingOnRandomValues) {
    std::mt19937_64 random(31600);
    for (int i = 0; i < 30'000; ++i) {
        const std::uint64_t bits = random();
        double x = std::bit_cast<double>(bits);
        if (i % 4 == 1) {
            x = static_cast<double>(bits % 100'000'000) / 1000.0; // short decimals
        } else if (i % 4 == 2) {
            x = static_cast<double>(bits >> 11) * 0x1p-53 * 1e-3; // 17-digit values
        } else if (i % 4 == 3) {
            // Nearest to a 16-digit decimal ending in 5: halfway between two
            // 15-digit ones, give or take the last place.
            const std::string decimal =
                std::to_string(bits % 900'000'000'000'000 + 100'000'000'000'000) + "5e" +
                std::to_string(static_cast<int>(bits >> 58) - 40);
            x = std::strtod(decimal.c_str(), nullptr);
        }
        if (!std::isfinite(x) || x == 0) {
            continue;
        }
        const std::string text = FloatToStr(x, Usual());
        const auto parsed = TryParseDecimal(text, Usual());
        ASSERT_TRUE(parsed.has_value()) << text;
        const TDecimalText expected = ExactFifteen(x);
        ASSERT_EQ(expected.Digits, parsed->Digits) << std::hexfloat << x << " -> " << text;
        ASSERT_EQ(expected.Exponent, parsed->Exponent) << std::hexfloat << x << " -> " << text;
        ASSERT_EQ(expected.Negative, parsed->Negative) << text;
        std::string appended = "x";
        AppendFloatText(appended, x, Usual());
        ASSERT_EQ("x" + text, appended);
    }
}

TEST(FloatToStrTest, LocaleDecimalSeparator) {
    EXPECT_EQ("0,0316", FloatToStr(0.0316, Continental()));
    EXPECT_EQ("1,5E-5", FloatToStr(1.5e-5, Continental()));
    EXPECT_EQ("-12,5", FloatToStr(-12.5, Continental()));
    EXPECT_EQ("100", FloatToStr(100.0, Continental()));
}

// ---------------------------------------------------------------- StrToFloat

struct TFloatCase {
    const char* Text;
    std::optional<double> Expected;
};

TEST(StrToFloatTest, FormsWithPointSeparator) {
    const TFloatCase cases[] = {
        {" 1E-3 ", 0.001},
        {"1.", 1.0},
        {".5", 0.5},
        {"-2.5e-3", -0.0025},
        {"+7", 7.0},
        {"1e+2", 100.0},
        {"00012", 12.0},
        {"0.00158", 0.00158},
        {"0.1", 0.1},
        {"12.9", 12.9},
        {"1e23", 1e23},
        {"-0", -0.0},
        {"1e-400", 0.0},
        {"1.7976931348623158e308", 0x1.fffffffffffffp+1023},
        {"2.2250738585072011e-308", 0x0.fffffffffffffp-1022},
        {"2.4703282292062328e-324", 0x0.0000000000001p-1022},
        {"2.4703282292062327e-324", 0.0},
        {"123456789012345678901234567890", 0x1.8ee90ff6c373ep+96},
        {"3.14159265358979323846264338327950288", 0x1.921fb54442d18p+1},
        // Halfway between 1+2^-52 and 1+2^-51, and just below it: the 64-bit
        // step reaches the tie, which goes to the even double.
        {"1.00000000000000033306690738754696212708950042724609375", 0x1.0000000000002p+0},
        {"1.00000000000000033306690738754696212708950042724609374999999999999999999999999999999",
         0x1.0000000000002p+0},
        {"1180591620717411696639", 0x1.0000000000002p+70},
        {"1180591620717411696575", 0x1.0000000000001p+70},
        {"1e", std::nullopt},
        {"1e+", std::nullopt},
        {"e5", std::nullopt},
        {"1,5", std::nullopt},
        {"1,000", std::nullopt},
        {"1e400", std::nullopt},
        {"1.7976931348623159e308", std::nullopt},
        {"", std::nullopt},
        {" ", std::nullopt},
        {".", std::nullopt},
        {"-", std::nullopt},
        {"- 1", std::nullopt},
        {"1 .5", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1e2.5", std::nullopt},
        {"0x10", std::nullopt},
        {"1.5x", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto value = TryStrToFloat(c.Text, Usual());
        ASSERT_EQ(c.Expected.has_value(), value.has_value()) << "'" << c.Text << "'";
        if (c.Expected) {
            EXPECT_EQ(*c.Expected, *value) << "'" << c.Text << "' gave " << std::hexfloat << *value;
            EXPECT_EQ(std::signbit(*c.Expected), std::signbit(*value)) << c.Text;
            EXPECT_EQ(*c.Expected, StrToFloat(c.Text, Usual()));
        } else {
            EXPECT_THROW(StrToFloat(c.Text, Usual()), EConvertError) << "'" << c.Text << "'";
        }
    }
}

TEST(StrToFloatTest, CommaSeparator) {
    EXPECT_EQ(std::optional<double>(1.5), TryStrToFloat("1,5", Continental()));
    EXPECT_EQ(std::optional<double>(-0.00158), TryStrToFloat(" -0,00158 ", Continental()));
    EXPECT_EQ(std::nullopt, TryStrToFloat("1.5", Continental()));
}

TEST(StrToFloatTest, VeryLongMantissas) {
    const std::string one = "1" + std::string(899, '0') + "e-899";
    EXPECT_EQ(std::optional<double>(1.0), TryStrToFloat(one, Usual()));
    const std::string tiny = "0." + std::string(400, '0') + "1e400";
    EXPECT_EQ(std::optional<double>(0.1), TryStrToFloat(tiny, Usual()));
    const std::string digits = "0." + std::string(2000, '3');
    EXPECT_EQ(std::optional<double>(1.0 / 3.0), TryStrToFloat(digits, Usual()));
    EXPECT_EQ(std::nullopt, TryStrToFloat("1e99999999999999999999e", Usual()));
    // 1 + 2^-53 + 2^-64 is an extended tie that goes down to 1 + 2^-53, a
    // double tie that goes down to 1. A last digit far beyond the first
    // 850 still decides the first tie.
    const std::string tie = "1.0000000000000001110765125711399292640635394491255283355712890625";
    EXPECT_EQ(std::optional<double>(1.0), TryStrToFloat(tie, Usual()));
    EXPECT_EQ(std::optional<double>(0x1.0000000000001p0),
              TryStrToFloat(tie + std::string(900, '0') + "1", Usual()));
    const std::string belowTie = tie.substr(0, tie.size() - 1) + "4" + std::string(900, '9');
    EXPECT_EQ(std::optional<double>(1.0), TryStrToFloat(belowTie, Usual()));
    EXPECT_EQ(std::nullopt, TryStrToFloat("1e99999999999999999999", Usual()));
    EXPECT_EQ(std::optional<double>(0.0), TryStrToFloat("1e-99999999999999999999", Usual()));
}

TEST(ParseDecimalTest, Normalised) {
    struct TCase {
        const char* Text;
        bool Negative;
        const char* Digits;
        int Exponent;
    };
    const TCase cases[] = {
        {" -0012.3400e+2 ", true, "1234", 0},
        {"0.000", false, "", 0},
        {"100", false, "1", 2},
        {"1.5", false, "15", -1},
        {"0.05", false, "5", -2},
        {"10.5", false, "105", -1},
        {"1e-5", false, "1", -5},
    };
    for (const auto& c : cases) {
        const auto d = TryParseDecimal(c.Text, Usual());
        ASSERT_TRUE(d.has_value()) << c.Text;
        EXPECT_EQ(c.Negative, d->Negative) << c.Text;
        EXPECT_EQ(c.Digits, d->Digits) << c.Text;
        EXPECT_EQ(c.Exponent, d->Exponent) << c.Text;
    }
}

// ---------------------------------------------------------------- StrToTime

struct TTimeCase {
    const char* Text;
    TFormatSettings Fs;
    std::optional<double> Expected;
};

TEST(StrToTimeTest, Forms) {
    const auto t = [](int h, int m, int s = 0, int ms = 0) {
        return std::optional<double>(EncodeTime(h, m, s, ms));
    };
    const TTimeCase cases[] = {
        {"12:34", Usual(), t(12, 34)},
        {"9", Usual(), t(9, 0)},
        {"9:5", Usual(), t(9, 5)},
        {"09:05:30", Usual(), t(9, 5, 30)},
        {"09:05:30.250", Usual(), t(9, 5, 30, 250)},
        {"9:05:30.5", Usual(), t(9, 5, 30, 5)},
        {" 9 : 05 : 30 . 7 ", Usual(), t(9, 5, 30, 7)},
        {"0009:0005", Usual(), t(9, 5)},
        {"23:59:59.999", Usual(), t(23, 59, 59, 999)},
        {"12 AM", Usual(), t(0, 0)},
        {"12:30 am", Usual(), t(0, 30)},
        {"12 PM", Usual(), t(12, 0)},
        {"1:15 pm", Usual(), t(13, 15)},
        {"pm 1:15", Usual(), t(13, 15)},
        {"PM1:15", Usual(), t(13, 15)},
        {"11:59:59 Pm", Usual(), t(23, 59, 59)},
        {"9:05 午後", Japanese(), t(21, 5)},
        {"午前 12:05", Japanese(), t(0, 5)},
        {"9:05 PM", Japanese(), t(21, 5)},
        {"09.05", Continental(), t(9, 5)},
        {"09.05.30,250", Continental(), t(9, 5, 30, 250)},
        {"09.05", Usual(), std::nullopt},
        {"13 PM", Usual(), std::nullopt},
        {"0 AM", Usual(), std::nullopt},
        {"24:00", Usual(), std::nullopt},
        {"23:60", Usual(), std::nullopt},
        {"23:59:60", Usual(), std::nullopt},
        {"1:2:3.1000", Usual(), std::nullopt},
        {"10000", Usual(), std::nullopt},
        {"9:05 x", Usual(), std::nullopt},
        {"9:", Usual(), std::nullopt},
        {"9:05:", Usual(), std::nullopt},
        {"9:05:30.", Usual(), std::nullopt},
        {"", Usual(), std::nullopt},
        {"AM", Usual(), std::nullopt},
        {"9:05 AM PM", Usual(), std::nullopt},
        {"AM 9 PM", Usual(), std::nullopt},
        {"-1", Usual(), std::nullopt},
        {"9:05 午後", Usual(), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.Expected, TryStrToTime(c.Text, c.Fs)) << "'" << c.Text << "'";
        if (!c.Expected) {
            EXPECT_THROW(StrToTime(c.Text, c.Fs), EConvertError) << "'" << c.Text << "'";
        }
    }
}

// ---------------------------------------------------------------- date items

struct TDateItemCase {
    const char* Text;
    int CurrentYear;
    std::optional<TDate> Expected;
};

TEST(ReadDateItemTest, YearMonthDay) {
    const TDateItemCase cases[] = {
        {"11/07/16", 2011, TDate{2011, 7, 16}},
        {"2011/7/16", 2011, TDate{2011, 7, 16}},
        {"7/16", 2011, TDate{2011, 7, 16}},
        {"7/16", 1999, TDate{1999, 7, 16}},
        {"00/01/01", 2011, TDate{2000, 1, 1}},
        {"61/1/1", 2011, TDate{1961, 1, 1}},
        {"60/1/1", 2011, TDate{2060, 1, 1}},
        {"11/07/16", 2070, TDate{2111, 7, 16}},
        {"99/12/30", 2011, TDate{1999, 12, 30}},
        {"1/2/3", 2011, TDate{2001, 2, 3}},
        {"011/7/16", 2011, TDate{11, 7, 16}},
        {"00011/7/16", 2011, TDate{11, 7, 16}},
        {"0099/1/1", 2011, TDate{99, 1, 1}},
        {"9999/12/31", 2011, TDate{9999, 12, 31}},
        {"2000/2/29", 2011, TDate{2000, 2, 29}},
        {"11/07/16/", 2011, TDate{2011, 7, 16}},
        {" 11 / 07 / 16 / ", 2011, TDate{2011, 7, 16}},
        {"11/13/16", 2011, std::nullopt},
        {"11/07/16 x", 2011, std::nullopt},
        {"11/07/16//", 2011, std::nullopt},
        {"10000/1/1", 2011, std::nullopt},
        {"12345/1/1", 2011, std::nullopt},
        {"1999/2/29", 2011, std::nullopt},
        {"0/1/1", 2011, TDate{2000, 1, 1}},
        {"000/1/1", 2011, std::nullopt},
        {"7/16/", 2011, std::nullopt},
        {"11/", 2011, std::nullopt},
        {"11", 2011, std::nullopt},
        {"", 2011, std::nullopt},
        {"/7/16", 2011, std::nullopt},
        {"+11/7/16", 2011, std::nullopt},
        {"11-07-16", 2011, std::nullopt},
        {"11/0/16", 2011, std::nullopt},
    };
    for (const auto& c : cases) {
        TFormatSettings fs;
        fs.CurrentYear = c.CurrentYear;
        const auto value = TryReadDateItem(c.Text, fs);
        ASSERT_EQ(c.Expected.has_value(), value.has_value()) << "'" << c.Text << "'";
        if (c.Expected) {
            EXPECT_EQ(EncodeDate(c.Expected->Year, c.Expected->Month, c.Expected->Day), *value)
                << "'" << c.Text << "'";
        }
    }
}

TEST(ReadDateItemTest, LocaleDateSeparator) {
    EXPECT_EQ(std::optional<double>(EncodeDate(2011, 7, 16)),
              TryReadDateItem("11.07.16", Continental()));
    EXPECT_EQ(std::nullopt, TryReadDateItem("11/07/16", Continental()));
    TFormatSettings dash;
    dash.DateSeparator = "-";
    EXPECT_EQ(std::optional<double>(EncodeDate(2011, 7, 16)), TryReadDateItem("11-07-16-", dash));
}

} // namespace
} // namespace ostrel
