// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the counts of minutes say as Poisson counts: the interval of a count,
// of a dose rate and of a span's mean, and a span's spread set beside the
// spread that chance alone gives.

#include "platform/DateTime.h"
#include "records/MinuteRecords.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ostrel {

struct TCountInterval {
    double Lower = 0;
    double Upper = 0;
};

// The exact (Garwood) interval of the mean of a Poisson count at the given
// confidence level (0 < level < 1): half the chi-square quantiles of a/2 on
// 2 count and of 1 - a/2 on 2 count + 2 degrees of freedom, a = 1 - level;
// the lower end of 0 counts is 0.
TCountInterval PoissonInterval(std::uint64_t count, double level = 0.95);

struct TDoseRateInterval {
    double Value = 0; // the line's dose rate, as DoseRateBefore gives it
    double Lower = 0;
    double Upper = 0;
};

// The dose rate of record k's line (the DoseRateWindow records before it)
// with its interval at the level: the Poisson interval of their summed
// counts, per minute, less the background, times the coefficient, and no
// less than 0 as no minute below the background lowers the dose rate.
// None for a line without a dose rate (k < DoseRateWindow or past the
// records) or when one of the minutes has a negative count.
std::optional<TDoseRateInterval> DoseRateInterval(const TRecords& records, std::size_t k,
                                                  double graphCoefficient,
                                                  std::int32_t graphBackground,
                                                  double level = 0.95);

struct TCountAt {
    std::int32_t Count = 0;
    TDateTime Time = 0; // the first minute of the span with this count
};

// The chi-square test of a span's counts against the Poisson distribution
// of their mean.
struct TPoissonFit {
    std::size_t Bins = 0;
    double Statistic = 0;
    int DegreesOfFreedom = 0; // bins - 2: the mean is taken from the counts
    double PValue = 0;
};

struct THistogramValue {
    std::int32_t Count = 0;  // a count per minute
    std::size_t Minutes = 0; // the span's minutes with that count
    double Expected = 0;     // as many minutes as the Poisson mean expects
};

// What the spread of a span's counts says beside the spread of chance: the
// index of dispersion (n - 1) s^2 / mean against the chi-square quantiles
// of 2.5 % and 97.5 % on n - 1 degrees of freedom.
enum class TSpread {
    Unknown, // fewer than two minutes, or no counts
    AsChance,
    Above, // a changing source or a faulty counter
    Below, // more even than chance: a faulty counter
};

struct TSpanStatistics {
    std::size_t Minutes = 0;
    std::int64_t TotalCount = 0;
    double MeanCount = 0;
    // The 95 % interval of the mean; none when a count is negative.
    std::optional<TCountInterval> MeanInterval;
    double Median = 0;
    // The first minute whose count is the median (none when the median of
    // an even span falls between two counts).
    std::optional<TDateTime> MedianTime;
    TCountAt Minimum;
    TCountAt Maximum;
    // The sample standard deviation (n - 1); none below two minutes.
    std::optional<double> StandardDeviation;
    double RootMean = 0; // the standard deviation of a Poisson count of the mean
    // StandardDeviation / RootMean; none without either.
    std::optional<double> SpreadRatio;
    TSpread Spread = TSpread::Unknown;
    // None when fewer than three bins of at least five expected minutes can
    // be made, or a count is negative.
    std::optional<TPoissonFit> Fit;
    // From the smallest to the largest count: every value between when they
    // are at most HistogramValuesMax apart, else only the counts that occur.
    std::vector<THistogramValue> Histogram;
};

inline constexpr std::int64_t HistogramValuesMax = 4096;
// The fewest minutes a bin of the chi-square test is expected to hold.
inline constexpr double FitBinMinimum = 5;

// The statistics of the minutes (all zero and none for no minutes).
TSpanStatistics SpanStatistics(std::span<const TMinuteRecord> minutes);

} // namespace ostrel
