// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Extended.h"

#include <bit>
#include <cmath>
#include <limits>

namespace ostrel {

namespace {

// long double is the x87 format here, so the processor rounds exactly as the
// extended arithmetic does.
constexpr bool HardwareExtended = std::numeric_limits<long double>::digits == 64;

// The extended constant nearest 0.1: 0xCCCCCCCCCCCCCCCD * 2^-67.
constexpr std::uint64_t TenthSignificand = 0xCCCC'CCCC'CCCC'CCCDull;
constexpr int TenthExponent = -67;

struct TUInt128 {
    std::uint64_t High;
    std::uint64_t Low;
};

// 64 x 64 -> 128 bits from 32-bit halves, which every compiler has.
TUInt128 Multiply(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t mask = 0xFFFF'FFFFull;
    const std::uint64_t a0 = a & mask;
    const std::uint64_t a1 = a >> 32;
    const std::uint64_t b0 = b & mask;
    const std::uint64_t b1 = b >> 32;
    const std::uint64_t p00 = a0 * b0;
    const std::uint64_t p01 = a0 * b1;
    const std::uint64_t p10 = a1 * b0;
    const std::uint64_t p11 = a1 * b1;
    const std::uint64_t middle = (p00 >> 32) + (p01 & mask) + (p10 & mask);
    return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & mask)};
}

int BitLength(const TUInt128& v) {
    return static_cast<int>(v.High != 0 ? 64 + std::bit_width(v.High) : std::bit_width(v.Low));
}

bool Bit(const TUInt128& v, int position) {
    return position >= 64 ? ((v.High >> (position - 64)) & 1u) != 0
                          : ((v.Low >> position) & 1u) != 0;
}

// Whether any of the bits below position is set.
bool AnyBitBelow(const TUInt128& v, int position) {
    if (position <= 0) {
        return false;
    }
    if (position >= 64) {
        const int highBits = position - 64;
        const std::uint64_t highMask = highBits == 0 ? 0 : (~0ull >> (64 - highBits));
        return v.Low != 0 || (v.High & highMask) != 0;
    }
    return (v.Low & (~0ull >> (64 - position))) != 0;
}

// The top 64 bits of a value of more than 64 bits.
std::uint64_t Top64(const TUInt128& v, int shift) {
    if (shift >= 64) {
        return v.High >> (shift - 64);
    }
    return (v.High << (64 - shift)) | (v.Low >> shift);
}

// m * 2^e with m in [2^63, 2^64) rounded to double, nearest-even, as a
// store of an extended value does (subnormal results included).
double ExtendedToDouble(bool negative, std::uint64_t m, long long e) {
    const long long top = e + 63;
    const double sign = negative ? -1.0 : 1.0;
    if (top > 1023) {
        return sign * std::numeric_limits<double>::infinity();
    }
    const long long shift = top >= -1022 ? 11 : -1074 - e;
    if (shift > 64) {
        return sign * 0.0;
    }
    std::uint64_t q = 0;
    bool half = false;
    bool below = false;
    if (shift == 64) {
        half = (m >> 63) != 0;
        below = (m << 1) != 0;
    } else {
        q = m >> shift;
        half = ((m >> (shift - 1)) & 1u) != 0;
        below = (m & (~0ull >> (65 - shift))) != 0;
    }
    if (half && (below || (q & 1u) != 0)) {
        ++q;
    }
    return sign * std::ldexp(static_cast<double>(q), static_cast<int>(e + shift));
}

struct TSignificand {
    std::uint64_t Value; // an integer below 2^53
    int Exponent;
};

// |x| = Value * 2^Exponent exactly, for a finite nonzero x.
TSignificand SplitDouble(double x) {
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(x), &exponent);
    return {static_cast<std::uint64_t>(std::ldexp(fraction, 53)), exponent - 53};
}

double MulSignificands(bool negative, std::uint64_t a, int ea, std::uint64_t b, int eb) {
    const TUInt128 product = Multiply(a, b);
    return portable::RoundViaExtended(negative, product.High, product.Low, ea + eb, false);
}

} // namespace

namespace portable {

double RoundViaExtended(bool negative, std::uint64_t high, std::uint64_t low, int exponent,
                        bool sticky) {
    const TUInt128 v{high, low};
    const int length = BitLength(v);
    if (length == 0) {
        return negative ? -0.0 : 0.0;
    }
    if (length <= 64) {
        return ExtendedToDouble(negative, low << (64 - length),
                                static_cast<long long>(exponent) - (64 - length));
    }
    int shift = length - 64;
    std::uint64_t m = Top64(v, shift);
    const bool round = Bit(v, shift - 1);
    const bool rest = sticky || AnyBitBelow(v, shift - 1);
    if (round && (rest || (m & 1u) != 0)) {
        ++m;
        if (m == 0) {
            m = 1ull << 63;
            ++shift;
        }
    }
    return ExtendedToDouble(negative, m, static_cast<long long>(exponent) + shift);
}

double MulExtended(double a, double b) {
    if (!std::isfinite(a) || !std::isfinite(b) || a == 0 || b == 0) {
        return a * b; // exact for zeros, infinities and NaN
    }
    const TSignificand sa = SplitDouble(a);
    const TSignificand sb = SplitDouble(b);
    return MulSignificands(std::signbit(a) != std::signbit(b), sa.Value, sa.Exponent, sb.Value,
                           sb.Exponent);
}

double MulExtendedTenth(double x) {
    if (!std::isfinite(x) || x == 0) {
        return x * 0.1;
    }
    const TSignificand sx = SplitDouble(x);
    return MulSignificands(std::signbit(x), sx.Value, sx.Exponent, TenthSignificand, TenthExponent);
}

} // namespace portable

double MulExtended(double a, double b) {
    if constexpr (HardwareExtended) {
        return static_cast<double>(static_cast<long double>(a) * static_cast<long double>(b));
    } else {
        return portable::MulExtended(a, b);
    }
}

double MulExtendedTenth(double x) {
    if constexpr (HardwareExtended) {
        constexpr long double tenth = 0xC.CCCCCCCCCCCCCCDp-7L;
        return static_cast<double>(static_cast<long double>(x) * tenth);
    } else {
        return portable::MulExtendedTenth(x);
    }
}

} // namespace ostrel
