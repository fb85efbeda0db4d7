// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Extended.h"

#include "platform/BigUInt.h"

#include <bit>
#include <cmath>
#include <limits>

namespace ostrel {

namespace {

// long double is the x87 format here, so the processor rounds exactly as the
// extended arithmetic does.
constexpr bool HardwareExtended = std::numeric_limits<long double>::digits == 64;

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
// The x87 unit rounds to the precision its control word says: Windows starts
// a process at 53 bits, and a host program may set any. Each product is
// formed at 64 bits, rounding to nearest, whatever was set.
class TExtendedPrecision {
public:
    TExtendedPrecision() {
        asm volatile("fnstcw %0" : "=m"(Saved) : : "memory");
        const std::uint16_t wanted = static_cast<std::uint16_t>((Saved | 0x0300u) & ~0x0C00u);
        Changed = wanted != Saved;
        if (Changed) {
            asm volatile("fldcw %0" : : "m"(wanted) : "memory");
        }
    }
    ~TExtendedPrecision() {
        if (Changed) {
            asm volatile("fldcw %0" : : "m"(Saved) : "memory");
        }
    }
    TExtendedPrecision(const TExtendedPrecision&) = delete;
    TExtendedPrecision& operator=(const TExtendedPrecision&) = delete;

private:
    std::uint16_t Saved = 0;
    bool Changed = false;
};
#else
struct TExtendedPrecision {};
#endif

// The product at the hardware's extended precision, rounded to double;
// volatile keeps both roundings inside the precision's scope.
double HardwareProduct(long double a, long double b) {
    volatile double result = 0;
    {
        const TExtendedPrecision precision;
        const volatile long double x = a;
        const volatile long double y = b;
        result = static_cast<double>(x * y);
    }
    return result;
}

// The extended constant nearest 0.1: 0xCCCCCCCCCCCCCCCD * 2^-67.
constexpr std::uint64_t TenthSignificand = 0xCCCC'CCCC'CCCC'CCCDull;
constexpr int TenthExponent = -67;

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
    if (shift == 11) {
        // A normal double, put together from its fields: q has 53 bits, or
        // 54 when the rounding carried.
        long long exponent = top;
        if ((q >> 53) != 0) {
            q >>= 1;
            ++exponent;
        }
        if (exponent > 1023) {
            return sign * std::numeric_limits<double>::infinity();
        }
        const std::uint64_t bits = (negative ? 1ull << 63 : 0) |
                                   (static_cast<std::uint64_t>(exponent + 1023) << 52) |
                                   (q & 0x000F'FFFF'FFFF'FFFFull);
        return std::bit_cast<double>(bits);
    }
    return sign * std::ldexp(static_cast<double>(q), static_cast<int>(e + shift));
}

struct TSignificand {
    std::uint64_t Value; // an integer below 2^53
    int Exponent;
};

// |x| = Value * 2^Exponent exactly, for a finite nonzero x.
TSignificand SplitDouble(double x) {
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & 0x000F'FFFF'FFFF'FFFFull;
    if (biased == 0) {
        return {fraction, -1074}; // subnormal
    }
    return {fraction | (1ull << 52), biased - 1075};
}

#ifdef __SIZEOF_INT128__
// The product fits 128 bits (a below 2^53, b below 2^64): rounded to 64
// bits here, several times quicker than the big-integer path below.
double MulSignificands(bool negative, std::uint64_t a, int ea, std::uint64_t b, int eb) {
    __extension__ typedef unsigned __int128 TUInt128;
    const TUInt128 product = static_cast<TUInt128>(a) * b;
    const auto high = static_cast<std::uint64_t>(product >> 64);
    const auto low = static_cast<std::uint64_t>(product);
    const int length = high != 0 ? 128 - std::countl_zero(high) : 64 - std::countl_zero(low);
    const long long exponent = static_cast<long long>(ea) + eb;
    if (length <= 64) {
        return ExtendedToDouble(negative, low << (64 - length), exponent - (64 - length));
    }
    int shift = length - 64;
    auto m = static_cast<std::uint64_t>(product >> shift);
    const bool round = ((product >> (shift - 1)) & 1u) != 0;
    const bool rest = (product & ((TUInt128{1} << (shift - 1)) - 1)) != 0;
    if (round && (rest || (m & 1u) != 0)) {
        ++m;
        if (m == 0) {
            m = 1ull << 63;
            ++shift;
        }
    }
    return ExtendedToDouble(negative, m, exponent + shift);
}
#else
double MulSignificands(bool negative, std::uint64_t a, int ea, std::uint64_t b, int eb) {
    const TBigUInt product = TBigUInt::FromWords(0, a).Times(TBigUInt::FromWords(0, b));
    return portable::RoundViaExtended(negative, product, ea + eb, false);
}
#endif

} // namespace

namespace portable {

double RoundViaExtended(bool negative, const TBigUInt& n, int exponent, bool sticky) {
    const int length = n.BitLength();
    if (length == 0) {
        return negative ? -0.0 : 0.0;
    }
    if (length <= 64) {
        return ExtendedToDouble(negative, n.Bits64(0) << (64 - length),
                                static_cast<long long>(exponent) - (64 - length));
    }
    int shift = length - 64;
    std::uint64_t m = n.Bits64(shift);
    const bool round = n.Bit(shift - 1);
    const bool rest = sticky || n.AnyBitBelow(shift - 1);
    if (round && (rest || (m & 1u) != 0)) {
        ++m;
        if (m == 0) {
            m = 1ull << 63;
            ++shift;
        }
    }
    return ExtendedToDouble(negative, m, static_cast<long long>(exponent) + shift);
}

double RoundViaExtended(bool negative, std::uint64_t high, std::uint64_t low, int exponent,
                        bool sticky) {
    return RoundViaExtended(negative, TBigUInt::FromWords(high, low), exponent, sticky);
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

namespace hardware {

bool Available() {
    return HardwareExtended;
}

double MulExtended(double a, double b) {
    if constexpr (HardwareExtended) {
        return HardwareProduct(a, b);
    } else {
        return portable::MulExtended(a, b);
    }
}

double MulExtendedTenth(double x) {
    if constexpr (HardwareExtended) {
        constexpr long double tenth = 0xC.CCCCCCCCCCCCCCDp-7L;
        return HardwareProduct(x, tenth);
    } else {
        return portable::MulExtendedTenth(x);
    }
}

} // namespace hardware

// With 128-bit integers the exact path is the quicker one; without them the
// processor's, where it has the format.
#ifdef __SIZEOF_INT128__
constexpr bool PreferPortable = true;
#else
constexpr bool PreferPortable = !HardwareExtended;
#endif

double MulExtended(double a, double b) {
    return PreferPortable ? portable::MulExtended(a, b) : hardware::MulExtended(a, b);
}

double MulExtendedTenth(double x) {
    return PreferPortable ? portable::MulExtendedTenth(x) : hardware::MulExtendedTenth(x);
}

} // namespace ostrel
