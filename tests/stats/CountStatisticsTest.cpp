// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/CountStatistics.h"
#include "stats/Quantiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

namespace ostrel {
namespace {

// Reference values from SciPy 1.10 (scipy.stats.chi2.ppf / chi2.sf /
// chisquare / poisson), copied as printed. Quantiles and intervals are held
// to a relative 1e-9, the span's figures to 1e-12.
constexpr double QuantileTolerance = 1e-9;
constexpr double SpanTolerance = 1e-12;

void ExpectNear(double actual, double expected, double relative) {
    EXPECT_NEAR(actual, expected, relative * expected) << "expected " << expected;
}

TEST(QuantilesTest, ChiSquareQuantileAndSurvival) {
    struct TCase {
        double P;
        double Dof;
        double X;
    };
    const TCase cases[] = {
        {0.025, 2, 0.05063561596857975},   {0.975, 2, 7.377758908227871},
        {0.5, 1, 0.454936423119572},       {0.001, 1, 1.5707971492624921e-06},
        {0.025, 10, 3.2469727802368413},   {0.975, 52, 73.80986339506073},
        {0.999, 3, 16.26623619623813},     {1e-06, 4, 0.0028297613229586872},
        {0.025, 2000, 1877.9460368153905}, {0.975, 2002, 2127.904272032604},
        {0.3, 0.5, 0.010982604948550948},  {0.9, 100000, 100573.55382698908},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "p " << c.P << " dof " << c.Dof);
        ExpectNear(ChiSquareQuantile(c.P, c.Dof), c.X, QuantileTolerance);
        // The same point read back from the tail that the quantile solved on.
        const double tail = c.P <= 0.5 ? ChiSquareCdf(c.X, c.Dof) : ChiSquareSurvival(c.X, c.Dof);
        ExpectNear(tail, c.P <= 0.5 ? c.P : 1 - c.P, QuantileTolerance);
    }
    ExpectNear(ChiSquareSurvival(3.0, 5), 0.6999858358786276, QuantileTolerance);
    ExpectNear(ChiSquareSurvival(50.0, 20), 0.0002214766382487835, QuantileTolerance);
    EXPECT_EQ(ChiSquareQuantile(0, 3), 0);
    EXPECT_EQ(ChiSquareQuantile(1, 3), std::numeric_limits<double>::infinity());
    EXPECT_THROW(ChiSquareQuantile(1.5, 3), std::domain_error);
    EXPECT_THROW(ChiSquareQuantile(0.5, 0), std::domain_error);
    EXPECT_THROW(PoissonInterval(5, 1.0), std::domain_error);
}

TEST(CountStatisticsTest, PoissonIntervalIsGarwoods) {
    struct TCase {
        std::uint64_t Count;
        double Lower;
        double Upper;
    };
    const TCase cases[] = {
        {0, 0.0, 3.6888794541139354},
        {1, 0.025317807984289876, 5.571643390938898},
        {5, 1.6234863901184207, 11.66833207932267},
        {25, 16.178681847829328, 36.904931697530365},
        {100, 81.36399125092314, 121.62679379242638},
        {1000, 938.9730184076952, 1063.952136016302},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.Count);
        const TCountInterval interval = PoissonInterval(c.Count);
        ExpectNear(interval.Lower, c.Lower, QuantileTolerance);
        ExpectNear(interval.Upper, c.Upper, QuantileTolerance);
    }
}

TEST(CountStatisticsTest, DoseRateIntervalMapsTheSummedCounts) {
    TRecords records;
    for (int i = 0; i < 12; ++i) {
        records.Append({0, i < 10 ? 10 : 1000}); // 100 counts before line 10
    }
    // Line 10: 100 counts in ten minutes, (x / 10 - 2) * 0.5.
    const auto line = DoseRateInterval(records, 10, 0.5, 2);
    ASSERT_TRUE(line);
    EXPECT_DOUBLE_EQ(line->Value, 4.0);
    ExpectNear(line->Lower, (81.36399125092314 / 10 - 2) * 0.5, QuantileTolerance);
    ExpectNear(line->Upper, (121.62679379242638 / 10 - 2) * 0.5, QuantileTolerance);
    // A background above the upper end leaves the interval at 0.
    const auto above = DoseRateInterval(records, 10, 0.5, 13);
    ASSERT_TRUE(above);
    EXPECT_EQ(above->Lower, 0);
    EXPECT_EQ(above->Upper, 0);
    EXPECT_FALSE(DoseRateInterval(records, 9, 0.5, 2));
    EXPECT_FALSE(DoseRateInterval(records, 13, 0.5, 2));
}

// 40 minutes of a Poisson source of mean 25 (numpy default_rng(7)); SciPy's
// chisquare(ddof=1) over the bins 0-20, 21-23, 24-26, 27-28, 29-31, 32-.
const std::vector<std::int32_t> SpanCounts = {
    29, 22, 30, 22, 21, 25, 20, 27, 24, 27, 25, 28, 23, 30, 25, 27, 17, 25, 23, 15,
    22, 30, 27, 28, 24, 23, 39, 28, 32, 35, 26, 26, 32, 26, 24, 24, 22, 24, 32, 26};

std::vector<TMinuteRecord> Minutes(const std::vector<std::int32_t>& counts) {
    std::vector<TMinuteRecord> minutes;
    for (const std::int32_t count : counts) {
        minutes.push_back({1000.0 + static_cast<double>(minutes.size()) / 1440, count});
    }
    return minutes;
}

TEST(CountStatisticsTest, SpanMatchesReference) {
    const std::vector<TMinuteRecord> minutes = Minutes(SpanCounts);
    const TSpanStatistics s = SpanStatistics(minutes);
    EXPECT_EQ(s.Minutes, 40u);
    EXPECT_EQ(s.TotalCount, 1035);
    EXPECT_EQ(s.MeanCount, 25.875);
    ASSERT_TRUE(s.MeanInterval);
    ExpectNear(s.MeanInterval->Lower, 24.322440369912403, QuantileTolerance);
    ExpectNear(s.MeanInterval->Upper, 27.500675399931147, QuantileTolerance);
    EXPECT_EQ(s.Median, 25.5);
    EXPECT_FALSE(s.MedianTime);
    EXPECT_EQ(s.Minimum.Count, 15);
    EXPECT_EQ(s.Minimum.Time, minutes[19].StartTime);
    EXPECT_EQ(s.Maximum.Count, 39);
    EXPECT_EQ(s.Maximum.Time, minutes[26].StartTime);
    ExpectNear(s.StandardDeviation.value_or(0), 4.552753463846258, SpanTolerance);
    ExpectNear(s.SpreadRatio.value_or(0), 0.8950225021339682, SpanTolerance);
    ASSERT_TRUE(s.Fit);
    EXPECT_EQ(s.Fit->Bins, 6u);
    EXPECT_EQ(s.Spread, TSpread::AsChance);
    EXPECT_EQ(s.Fit->DegreesOfFreedom, 4);
    ExpectNear(s.Fit->Statistic, 4.039196806772488, SpanTolerance);
    ExpectNear(s.Fit->PValue, 0.4007271289041248, SpanTolerance);
    ASSERT_EQ(s.Histogram.size(), 25u); // 15 .. 39
    EXPECT_EQ(s.Histogram[10].Count, 25);
    EXPECT_EQ(s.Histogram[10].Minutes, 4u);
    ExpectNear(s.Histogram[10].Expected, 3.1336721281617996, SpanTolerance);
    ExpectNear(s.Histogram[24].Expected, 0.14369417900383638, SpanTolerance);
}

TEST(CountStatisticsTest, SpansWithoutTest) {
    struct TCase {
        std::vector<std::int32_t> Counts;
        std::size_t HistogramValues;
    };
    // No minutes; all zero (one bin); too few minutes for three bins; a
    // negative count; counts too far apart for every value between.
    const TCase cases[] = {
        {{}, 0}, {{0, 0, 0}, 1}, {{3, 5, 4, 6, 2, 5}, 5}, {{-1, 3}, 5}, {{0, 5000, 1}, 3},
    };
    for (const TCase& c : cases) {
        const TSpanStatistics s = SpanStatistics(Minutes(c.Counts));
        EXPECT_FALSE(s.Fit);
        EXPECT_EQ(s.Histogram.size(), c.HistogramValues);
    }
    EXPECT_FALSE(SpanStatistics(Minutes({-1, 3})).MeanInterval);
    EXPECT_FALSE(SpanStatistics(Minutes({7})).StandardDeviation);
    EXPECT_EQ(SpanStatistics(Minutes({4, 7, 4})).MedianTime, 1000.0);
    // Indices of dispersion: 18 21: 0.231, within 0.00098 .. 5.02 (chi2.ppf
    // of 0.025 and 0.975 on 1); 10 60: 35.7 above; 10 10 10 10 11: 0.078,
    // below 0.484 (on 4).
    EXPECT_EQ(SpanStatistics(Minutes({18, 21})).Spread, TSpread::AsChance);
    EXPECT_EQ(SpanStatistics(Minutes({10, 60})).Spread, TSpread::Above);
    EXPECT_EQ(SpanStatistics(Minutes({10, 10, 10, 10, 11})).Spread, TSpread::Below);
}

} // namespace
} // namespace ostrel
