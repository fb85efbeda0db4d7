#pragma once
// Arithmetic with a 64-bit significand (the x87 extended format), rounded to
// nearest, then stored as a double. Where long double is that format the
// hardware does it; elsewhere an exact integer path gives the same results.

namespace ostrel {

// a * b formed with a 64-bit significand, then rounded to double.
double MulExtended(double a, double b);

// x times the extended-precision constant nearest 0.1, then rounded to double.
double MulExtendedTenth(double x);

namespace portable {
// The exact-integer implementations, always available (tested against the
// hardware path where there is one).
double MulExtended(double a, double b);
double MulExtendedTenth(double x);
} // namespace portable

} // namespace ostrel
