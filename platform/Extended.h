// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Arithmetic with a 64-bit significand (the x87 extended format), rounded to
// nearest, then stored as a double. An exact integer path gives the results;
// where long double is that format the hardware gives the same, and is the
// reference the integer path is tested against.

#include <cstdint>

namespace ostrel {

class TBigUInt;

// a * b formed with a 64-bit significand, then rounded to double.
double MulExtended(double a, double b);

// x times the extended-precision constant nearest 0.1, then rounded to double.
double MulExtendedTenth(double x);

namespace portable {
// The exact-integer implementations, always available (tested against the
// hardware path where there is one).
double MulExtended(double a, double b);
double MulExtendedTenth(double x);

// The exact value (high * 2^64 + low) * 2^exponent, negated when negative,
// rounded to a 64-bit significand and then to double, both to nearest-even.
// sticky says that nonzero bits follow below low; the integer must then have
// at least 65 significant bits, so that they decide only ties. Overflow gives
// an infinity, underflow a zero or a subnormal double.
double RoundViaExtended(bool negative, std::uint64_t high, std::uint64_t low, int exponent,
                        bool sticky);
// The same for an integer of any size; sticky then only when it has more
// than 64 significant bits.
double RoundViaExtended(bool negative, const TBigUInt& n, int exponent, bool sticky);
} // namespace portable

namespace hardware {
// Whether long double is the x87 format; without it these are the portable
// functions.
bool Available();
double MulExtended(double a, double b);
double MulExtendedTenth(double x);
} // namespace hardware

} // namespace ostrel
