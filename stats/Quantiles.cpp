// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/Quantiles.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace ostrel {
namespace {

constexpr double Epsilon = std::numeric_limits<double>::epsilon();
// Near a = x = 1e6 both expansions need about sqrt(a) terms.
constexpr int MaxTerms = 1000000;

void Require(bool holds, const char* what) {
    if (!holds) {
        throw std::domain_error(what);
    }
}

// x^a e^-x / Gamma(a), the factor both expansions share.
double GammaPrefactor(double a, double x) {
    return std::exp(a * std::log(x) - x - std::lgamma(a));
}

// P(a, x) by its series, for x < a + 1.
double GammaSeries(double a, double x) {
    double term = 1.0 / a;
    double sum = term;
    for (int n = 1; n < MaxTerms; ++n) {
        term *= x / (a + n);
        sum += term;
        if (std::fabs(term) < std::fabs(sum) * Epsilon) {
            break;
        }
    }
    return sum * GammaPrefactor(a, x);
}

// Q(a, x) by its continued fraction (modified Lentz), for x >= a + 1.
double GammaContinuedFraction(double a, double x) {
    constexpr double Tiny = std::numeric_limits<double>::min() / Epsilon;
    double b = x + 1.0 - a;
    double c = 1.0 / Tiny;
    double d = 1.0 / b;
    double h = d;
    for (int i = 1; i < MaxTerms; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        d = std::fabs(d) < Tiny ? Tiny : d;
        c = b + an / c;
        c = std::fabs(c) < Tiny ? Tiny : c;
        d = 1.0 / d;
        const double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1.0) < Epsilon) {
            break;
        }
    }
    return h * GammaPrefactor(a, x);
}

double ChiSquareDensity(double x, double dof) {
    const double k = dof / 2;
    return std::exp((k - 1) * std::log(x / 2) - x / 2 - std::lgamma(k)) / 2;
}

} // namespace

double RegularizedGammaP(double a, double x) {
    Require(a > 0 && x >= 0, "RegularizedGammaP: a > 0 and x >= 0");
    if (x == 0) {
        return 0;
    }
    return x < a + 1 ? GammaSeries(a, x) : 1.0 - GammaContinuedFraction(a, x);
}

double RegularizedGammaQ(double a, double x) {
    Require(a > 0 && x >= 0, "RegularizedGammaQ: a > 0 and x >= 0");
    if (x == 0) {
        return 1;
    }
    return x < a + 1 ? 1.0 - GammaSeries(a, x) : GammaContinuedFraction(a, x);
}

double ChiSquareCdf(double x, double dof) {
    Require(dof > 0, "ChiSquareCdf: dof > 0");
    return x <= 0 ? 0.0 : RegularizedGammaP(dof / 2, x / 2);
}

double ChiSquareSurvival(double x, double dof) {
    Require(dof > 0, "ChiSquareSurvival: dof > 0");
    return x <= 0 ? 1.0 : RegularizedGammaQ(dof / 2, x / 2);
}

double ChiSquareQuantile(double p, double dof) {
    Require(dof > 0 && p >= 0 && p <= 1, "ChiSquareQuantile: dof > 0 and 0 <= p <= 1");
    if (p == 0) {
        return 0;
    }
    if (p == 1) {
        return std::numeric_limits<double>::infinity();
    }
    // Solved on the smaller tail, where its probability keeps its digits:
    // f(x) rises from negative to positive through the root.
    const bool lower = p <= 0.5;
    const double q = 1 - p; // exact for p > 0.5
    auto f = [&](double x) {
        return lower ? ChiSquareCdf(x, dof) - p : q - ChiSquareSurvival(x, dof);
    };
    // Newton's steps from the middle of a bracket, which halves instead
    // where a step would leave it.
    double lo = 0;
    double hi = std::max(dof, 1.0);
    while (f(hi) < 0) {
        lo = hi;
        hi *= 2;
    }
    double x = (lo + hi) / 2;
    for (int i = 0; i < 400; ++i) {
        const double fx = f(x);
        if (fx == 0) {
            return x;
        }
        (fx < 0 ? lo : hi) = x;
        double next = x - fx / ChiSquareDensity(x, dof);
        if (!(next > lo && next < hi)) {
            next = (lo + hi) / 2;
        }
        if (std::fabs(next - x) <= 4 * Epsilon * x || hi - lo <= 4 * Epsilon * hi) {
            return next;
        }
        x = next;
    }
    return x;
}

double PoissonPmf(std::uint64_t k, double mean) {
    Require(mean >= 0, "PoissonPmf: mean >= 0");
    if (mean == 0) {
        return k == 0 ? 1.0 : 0.0;
    }
    const double n = static_cast<double>(k);
    return std::exp(n * std::log(mean) - mean - std::lgamma(n + 1));
}

} // namespace ostrel
