// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Extended.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace ostrel {
namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();

using TMul = double (*)(double, double);
using TTenth = double (*)(double);

struct TPath {
    const char* Name;
    TMul Mul;
    TTenth Tenth;
};

const TPath Paths[] = {
    {"dispatching", &MulExtended, &MulExtendedTenth},
    {"portable", &portable::MulExtended, &portable::MulExtendedTenth},
    {"hardware", &hardware::MulExtended, &hardware::MulExtendedTenth},
};

// Bitwise, so that -0 differs from +0.
void ExpectSameDouble(double expected, double actual, const char* what) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(expected), std::bit_cast<std::uint64_t>(actual))
        << what << ": expected " << std::hexfloat << expected << ", got " << actual;
}

struct TMulCase {
    double A;
    double B;
    double Expected; // exact product rounded to 64 bits, then to 53
};

// Expected values worked out separately with exact rational arithmetic.
const TMulCase MulCases[] = {
    // Double rounding: the plain double product is one unit lower or higher.
    {0x1.1905dc5b2e75ap+0, 0x1.73c1c81f98b52p+0, 0x1.981837728891cp+0},
    {0x1.ee59bcd751e08p+0, 0x1.4da60bd0d8cfep+0, 0x1.4225afd2d7ea0p+1},
    {0x1.9e066392a45acp+0, 0x1.54131865b3e6bp+0, 0x1.12ffaf169d7cap+1},
    {0x1.1905dc5b2e75ap+0, -0x1.73c1c81f98b52p+0, -0x1.981837728891cp+0},
    // The same in the subnormal range.
    {0x1.a54f1054fdacfp-520, 0x1.6fe62272dfb8fp-504, 0x0.975dc5890465ep-1022},
    {0x1.c05bc50a5dbfcp-520, 0x1.8ea6524d0792dp-504, 0x0.ae8c7dff0c1d0p-1022},
    // Subnormal and underflowing results.
    {0x1p-1000, 0x1.8p-69, 0x0.0000000000030p-1022},
    {0x1p-537, 0x1p-537, 0x0.0000000000001p-1022},
    {-0x0.0000000000001p-1022, 0.5, -0.0},
    {0x0.0000000000001p-1022, 0.75, 0x0.0000000000001p-1022},
    {0x1p-1022, 0x1.0000000000001p-1, 0x0.8p-1022},
    {0x1.0000000000001p-1022, 0x1.fffffffffffffp-1, 0x1p-1022},
    // Overflow and the largest double.
    {1e200, 1e200, Inf},
    {-1e200, 1e200, -Inf},
    {0x1.fffffffffffffp+1023, 0x1.0000000000001p+0, Inf},
    {0x1.fffffffffffffp+1023, 1.0, 0x1.fffffffffffffp+1023},
    // Zeros keep their signs, infinities pass.
    {0.0, -5.0, -0.0},
    {-0.0, -5.0, 0.0},
    {Inf, -2.0, -Inf},
    {0.00158, 200.0, 0x1.4395810624dd3p-2},
};

TEST(MulExtendedTest, TableOnBothPaths) {
    for (const TPath& path : Paths) {
        for (const TMulCase& c : MulCases) {
            SCOPED_TRACE(path.Name);
            ExpectSameDouble(c.Expected, path.Mul(c.A, c.B), "a*b");
            ExpectSameDouble(c.Expected, path.Mul(c.B, c.A), "b*a");
        }
    }
}

TEST(MulExtendedTest, NotANumber) {
    for (const TPath& path : Paths) {
        EXPECT_TRUE(std::isnan(path.Mul(Inf, 0.0))) << path.Name;
        EXPECT_TRUE(std::isnan(path.Mul(std::nan(""), 1.0))) << path.Name;
        EXPECT_TRUE(std::isnan(path.Tenth(std::nan("")))) << path.Name;
    }
}

struct TTenthCase {
    double X;
    double Expected;
};

const TTenthCase TenthCases[] = {
    {3.0, 0.3}, // 3.0 * 0.1 in doubles is one unit above
    {6.0, 0x1.3333333333333p-1},
    {7.0, 0x1.6666666666666p-1},
    {-7.0, -0x1.6666666666666p-1},
    {28.0, 2.8},
    {150.0, 15.0},
    {42949672950.0, 4294967295.0},
    {0x1.4395810624dd3p-2, 0x1.02de00d1b7176p-5}, // 0.00158 * 200, then a tenth
    {0x1.fffffffffffffp+1023, 0x1.9999999999999p+1020},
    {0x0.0000000000010p-1022, 0x0.0000000000002p-1022},
    {0x0.0000000000001p-1022, 0.0},
    {0.0, 0.0},
    {-0.0, -0.0},
    {-Inf, -Inf},
};

TEST(MulExtendedTenthTest, TableOnBothPaths) {
    for (const TPath& path : Paths) {
        for (const TTenthCase& c : TenthCases) {
            SCOPED_TRACE(path.Name);
            ExpectSameDouble(c.Expected, path.Tenth(c.X), "x*tenth");
        }
    }
}

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
// The x87 control word as a 32-bit Windows process starts with it (or as a
// host program may set it): 53-bit precision, and then rounding upward.
TEST(MulExtendedTest, WhateverTheX87PrecisionAndRounding) {
    std::uint16_t saved = 0;
    asm volatile("fnstcw %0" : "=m"(saved) : : "memory");
    for (const std::uint16_t control : {std::uint16_t((saved & ~0x0F00u) | 0x0200u),
                                        std::uint16_t((saved & ~0x0F00u) | 0x0B00u)}) {
        asm volatile("fldcw %0" : : "m"(control) : "memory");
        for (const TMulCase& c : MulCases) {
            ExpectSameDouble(c.Expected, MulExtended(c.A, c.B), "a*b");
        }
        for (const TTenthCase& c : TenthCases) {
            ExpectSameDouble(c.Expected, MulExtendedTenth(c.X), "x*tenth");
        }
        std::uint16_t after = 0;
        asm volatile("fnstcw %0" : "=m"(after) : : "memory");
        EXPECT_EQ(control, after) << "the caller's control word is left as it was";
    }
    asm volatile("fldcw %0" : : "m"(saved) : "memory");
}
#endif

TEST(MulExtendedTenthTest, DiffersFromTheDoubleTenth) {
    EXPECT_EQ(0.3, MulExtendedTenth(3.0));
    EXPECT_EQ(std::nextafter(0.3, 1.0), 3.0 * 0.1);
}

TEST(RoundViaExtendedTest, StickyBitsAndTies) {
    // 2^64 + 2^11 + 1: the 64-bit step drops the last bit as a tie to even,
    // leaving a double tie that goes to the even 2^64. Bits below the last
    // one break the first tie upwards, and then the double rounds up too.
    EXPECT_EQ(0x1p64, portable::RoundViaExtended(false, 1, (1ull << 11) + 1, 0, false));
    EXPECT_EQ(0x1.0000000000001p64,
              portable::RoundViaExtended(false, 1, (1ull << 11) + 1, 0, true));
    EXPECT_EQ(-0x1.0000000000008p0,
              portable::RoundViaExtended(true, 0, 0x10000000000008ull, -52, false));
    EXPECT_EQ(0x1p-1074, portable::RoundViaExtended(false, 0, 3, -1076, false));
    EXPECT_EQ(0.0, portable::RoundViaExtended(false, 0, 1, -1075, false));
    EXPECT_EQ(Inf, portable::RoundViaExtended(false, 1, 0, 960, false));
    EXPECT_EQ(0.0, portable::RoundViaExtended(false, 0, 0, 5, false));
}

// Random doubles over the whole range, from their bit patterns, so that
// overflow, underflow and subnormal operands come up too.
double RandomDouble(std::mt19937_64& random, bool wide) {
    const std::uint64_t bits = random();
    if (wide) {
        return std::bit_cast<double>(bits);
    }
    // Exponents around 1, where the results stay normal.
    const std::uint64_t exponent = 1023 - 40 + (bits >> 52) % 80;
    return std::bit_cast<double>((bits & 0x800F'FFFF'FFFF'FFFFull) | (exponent << 52));
}

TEST(MulExtendedTest, PortablePathMatchesHardware) {
    if (!hardware::Available()) {
        GTEST_SKIP() << "no extended long double on this target";
    }
    std::mt19937_64 random(20110716);
    int differences = 0;
    for (int i = 0; i < 100'000; ++i) {
        const double a = RandomDouble(random, i % 2 == 0);
        const double b = RandomDouble(random, i % 4 < 2);
        const double hardware = hardware::MulExtended(a, b);
        const double portable = portable::MulExtended(a, b);
        const double hardwareTenth = hardware::MulExtendedTenth(a);
        const double portableTenth = portable::MulExtendedTenth(a);
        if (std::isnan(hardware) && std::isnan(portable)) {
            continue;
        }
        if (std::bit_cast<std::uint64_t>(hardware) != std::bit_cast<std::uint64_t>(portable) ||
            std::bit_cast<std::uint64_t>(hardwareTenth) !=
                std::bit_cast<std::uint64_t>(portableTenth)) {
            ADD_FAILURE() << std::hexfloat << a << " * " << b << ": " << hardware << " vs "
                          << portable << "; tenth " << hardwareTenth << " vs " << portableTenth;
            if (++differences > 10) {
                return;
            }
        }
    }
}

} // namespace
} // namespace ostrel
