// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/CountStatistics.h"

#include "stats/Quantiles.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace ostrel {
namespace {

constexpr std::int64_t Unbounded = std::numeric_limits<std::int64_t>::max();

// Consecutive count values from Low to High (Unbounded: all above).
struct TBin {
    std::int64_t Low = 0;
    std::int64_t High = 0;
    double Expected = 0;
    std::size_t Observed = 0;
};

// The bins of the chi-square test for n minutes of the Poisson mean (> 0):
// from each tail towards the mode, values are gathered until a bin expects
// FitBinMinimum minutes; the remainder on both sides of the mode is one bin
// when it expects as many, else joins its neighbour. The outer bins hold
// the tails to 0 and to infinity.
std::vector<TBin> FitBins(double n, double mean) {
    const std::int64_t mode = static_cast<std::int64_t>(std::floor(mean));
    auto expectedAt = [&](std::int64_t v) {
        return n * PoissonPmf(static_cast<std::uint64_t>(v), mean);
    };
    // Below the mode: the first value whose lower tail expects fewer than
    // FitBinMinimum minutes (-1: none), found in growing steps so that a
    // large mean does not walk every value from 0.
    std::int64_t below = mode;
    for (std::int64_t step = std::max<std::int64_t>(1, std::llround(std::sqrt(mean)));
         below >= 0 && n * RegularizedGammaQ(below + 1.0, mean) >= FitBinMinimum; step *= 2) {
        below -= step;
    }
    below = std::max<std::int64_t>(below, -1);
    std::vector<TBin> left;
    TBin open{0, 0, below >= 0 ? n * RegularizedGammaQ(below + 1.0, mean) : 0.0, 0};
    for (std::int64_t v = below + 1; v <= mode; ++v) {
        open.Expected += expectedAt(v);
        if (open.Expected >= FitBinMinimum) {
            open.High = v;
            left.push_back(open);
            open = {v + 1, 0, 0.0, 0};
        }
    }
    const bool leftOpen = open.Low <= mode;
    const TBin leftRest = open;

    std::int64_t above = mode + 1;
    for (std::int64_t step = std::max<std::int64_t>(1, std::llround(std::sqrt(mean)));
         n * RegularizedGammaP(static_cast<double>(above), mean) >= FitBinMinimum; step *= 2) {
        above += step;
    }
    std::vector<TBin> right; // from the top down
    open = {0, Unbounded, n * RegularizedGammaP(static_cast<double>(above), mean), 0};
    for (std::int64_t v = above - 1; v > mode; --v) {
        open.Expected += expectedAt(v);
        if (open.Expected >= FitBinMinimum) {
            open.Low = v;
            right.push_back(open);
            open = {0, v - 1, 0.0, 0};
        }
    }
    const bool rightOpen = right.empty() || right.back().Low > mode + 1;

    std::vector<TBin> bins = std::move(left);
    if (leftOpen || rightOpen) {
        TBin rest{leftOpen ? leftRest.Low : mode + 1, rightOpen ? open.High : mode,
                  (leftOpen ? leftRest.Expected : 0.0) + (rightOpen ? open.Expected : 0.0), 0};
        if (rest.Expected >= FitBinMinimum || (bins.empty() && right.empty())) {
            bins.push_back(rest);
        } else if (!bins.empty()) {
            bins.back().High = rest.High;
            bins.back().Expected += rest.Expected;
        } else {
            right.back().Low = rest.Low;
            right.back().Expected += rest.Expected;
        }
    }
    bins.insert(bins.end(), right.rbegin(), right.rend());
    return bins;
}

std::optional<TPoissonFit> PoissonFit(std::span<const TMinuteRecord> minutes, double mean) {
    if (mean <= 0) {
        return std::nullopt;
    }
    std::vector<TBin> bins = FitBins(static_cast<double>(minutes.size()), mean);
    if (bins.size() < 3) {
        return std::nullopt;
    }
    for (const TMinuteRecord& r : minutes) {
        const auto after =
            std::upper_bound(bins.begin(), bins.end(), std::int64_t{r.Count},
                             [](std::int64_t c, const TBin& b) { return c < b.Low; });
        ++std::prev(after)->Observed;
    }
    TPoissonFit fit;
    fit.Bins = bins.size();
    for (const TBin& b : bins) {
        const double d = static_cast<double>(b.Observed) - b.Expected;
        fit.Statistic += d * d / b.Expected;
    }
    fit.DegreesOfFreedom = static_cast<int>(bins.size()) - 2;
    fit.PValue = ChiSquareSurvival(fit.Statistic, fit.DegreesOfFreedom);
    return fit;
}

TSpread SpreadOf(double ratio, std::size_t minutes) {
    const double dof = static_cast<double>(minutes - 1);
    const double index = dof * ratio * ratio;
    if (index > ChiSquareQuantile(0.975, dof)) {
        return TSpread::Above;
    }
    return index < ChiSquareQuantile(0.025, dof) ? TSpread::Below : TSpread::AsChance;
}

std::vector<THistogramValue> Histogram(const std::vector<std::int32_t>& sorted, double mean,
                                       bool poisson) {
    const double n = static_cast<double>(sorted.size());
    auto value = [&](std::int32_t count, std::size_t minutes) {
        const double expected =
            poisson ? n * PoissonPmf(static_cast<std::uint64_t>(count), mean) : 0.0;
        return THistogramValue{count, minutes, expected};
    };
    std::vector<THistogramValue> histogram;
    const bool every = std::int64_t{sorted.back()} - sorted.front() <= HistogramValuesMax;
    auto at = sorted.begin();
    for (std::int64_t c = sorted.front(); c <= sorted.back();) {
        const auto end = std::upper_bound(at, sorted.end(), c);
        histogram.push_back(value(static_cast<std::int32_t>(c), end - at));
        at = end;
        c = every || at == sorted.end() ? c + 1 : *at;
    }
    return histogram;
}

} // namespace

TCountInterval PoissonInterval(std::uint64_t count, double level) {
    if (!(level > 0 && level < 1)) {
        throw std::domain_error("PoissonInterval: 0 < level < 1");
    }
    const double alpha = 1 - level;
    const double k = static_cast<double>(count);
    const double lower = count == 0 ? 0.0 : ChiSquareQuantile(alpha / 2, 2 * k) / 2;
    return {lower, ChiSquareQuantile(1 - alpha / 2, 2 * k + 2) / 2};
}

std::optional<TDoseRateInterval> DoseRateInterval(const TRecords& records, std::size_t k,
                                                  double graphCoefficient,
                                                  std::int32_t graphBackground, double level) {
    if (k < DoseRateWindow || k > records.Count()) {
        return std::nullopt;
    }
    std::uint64_t sum = 0;
    for (std::size_t j = k - DoseRateWindow; j < k; ++j) {
        if (records[j].Count < 0) {
            return std::nullopt;
        }
        sum += static_cast<std::uint64_t>(records[j].Count);
    }
    const TCountInterval counts = PoissonInterval(sum, level);
    auto doseRate = [&](double total) {
        const double perMinute = total / static_cast<double>(DoseRateWindow);
        return graphCoefficient * std::max(perMinute - graphBackground, 0.0);
    };
    const double a = doseRate(counts.Lower);
    const double b = doseRate(counts.Upper);
    return TDoseRateInterval{DoseRateBefore(records, k, graphCoefficient, graphBackground),
                             std::min(a, b), std::max(a, b)};
}

TSpanStatistics SpanStatistics(std::span<const TMinuteRecord> minutes) {
    TSpanStatistics s;
    s.Minutes = minutes.size();
    if (minutes.empty()) {
        return s;
    }
    s.Minimum = s.Maximum = {minutes[0].Count, minutes[0].StartTime};
    std::vector<std::int32_t> sorted;
    sorted.reserve(minutes.size());
    for (const TMinuteRecord& r : minutes) {
        s.TotalCount += r.Count;
        sorted.push_back(r.Count);
        if (r.Count < s.Minimum.Count) {
            s.Minimum = {r.Count, r.StartTime};
        }
        if (r.Count > s.Maximum.Count) {
            s.Maximum = {r.Count, r.StartTime};
        }
    }
    const double n = static_cast<double>(s.Minutes);
    s.MeanCount = static_cast<double>(s.TotalCount) / n;
    const bool poisson = s.Minimum.Count >= 0;
    if (poisson) {
        const TCountInterval total = PoissonInterval(static_cast<std::uint64_t>(s.TotalCount));
        s.MeanInterval = TCountInterval{total.Lower / n, total.Upper / n};
    }

    std::sort(sorted.begin(), sorted.end());
    const std::size_t half = sorted.size() / 2;
    s.Median = sorted.size() % 2 ? sorted[half]
                                 : (static_cast<double>(sorted[half - 1]) + sorted[half]) / 2;
    for (const TMinuteRecord& r : minutes) {
        if (r.Count == s.Median) {
            s.MedianTime = r.StartTime;
            break;
        }
    }

    if (s.Minutes >= 2) {
        double squares = 0;
        for (const TMinuteRecord& r : minutes) {
            squares += (r.Count - s.MeanCount) * (r.Count - s.MeanCount);
        }
        s.StandardDeviation = std::sqrt(squares / (n - 1));
    }
    s.RootMean = std::sqrt(std::max(s.MeanCount, 0.0));
    if (s.StandardDeviation && s.RootMean > 0) {
        s.SpreadRatio = *s.StandardDeviation / s.RootMean;
        s.Spread = SpreadOf(*s.SpreadRatio, s.Minutes);
    }
    if (poisson) {
        s.Fit = PoissonFit(minutes, s.MeanCount);
    }
    s.Histogram = Histogram(sorted, s.MeanCount, poisson);
    return s;
}

} // namespace ostrel
