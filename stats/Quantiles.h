// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The distribution functions that the statistics of counts are made of: the
// regularized incomplete gamma functions, the chi-square distribution and the
// Poisson distribution. Arguments outside a function's domain throw
// std::domain_error.

#include <cstdint>

namespace ostrel {

// P(a, x) and Q(a, x) = 1 - P(a, x), a > 0, x >= 0: by the series below
// x < a + 1 and by the continued fraction above, each computing the smaller
// one directly (Numerical Recipes, 3rd ed., section 6.2; Abramowitz & Stegun
// 6.5.29 and 6.5.31).
double RegularizedGammaP(double a, double x);
double RegularizedGammaQ(double a, double x);

// The chi-square distribution with dof > 0 degrees of freedom: probability
// of a value <= x, of a value > x, and the x whose CDF is p (0 <= p <= 1).
double ChiSquareCdf(double x, double dof);
double ChiSquareSurvival(double x, double dof);
double ChiSquareQuantile(double p, double dof);

// The probability of k counts where mean are expected (mean >= 0).
double PoissonPmf(std::uint64_t k, double mean);

} // namespace ostrel
