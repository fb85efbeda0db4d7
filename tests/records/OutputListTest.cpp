// SPDX-License-Identifier: GPL-3.0-or-later
// What the output list works out once for every output: the dose of the log
// so far, the alarm's state after each minute, and the mean count behind a
// dose rate.

#include "records/OutputList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrel {
namespace {

// One token a call: its kind, then the alarm ("-" without one; upper case
// where the call switched it).
class TRecorder final : public TLogOutput {
public:
    std::string Heard;
    double Dose = -1;
    double MeanCount = -1;

    void LogBegan() noexcept override { Add("n", {}); }
    void LogOpened(const TOpenedLog& log) noexcept override {
        Add("o", log.Alarm);
        Dose = log.Dose;
    }
    void DoseRatesChanged(const TOpenedLog& log) noexcept override {
        Add("c", log.Alarm);
        Dose = log.Dose;
    }
    void MinuteFinished(const TFinishedMinute& minute) noexcept override {
        Add("m", minute.Alarm);
        Dose = minute.Dose;
        MeanCount = minute.MeanCount;
    }

private:
    void Add(const char* kind, const TAlarmState& alarm) {
        const char* state = !alarm.Used ? "-"
                            : alarm.On  ? (alarm.Switched ? "ON" : "on")
                                        : (alarm.Switched ? "OFF" : "off");
        Heard += std::string(Heard.empty() ? "" : " ") + kind + ":" + state;
    }
};

struct TStep {
    char Kind; // o: open these records, n: a new log, m: these minutes, c: another coefficient
    std::vector<std::int32_t> Counts;
    double Coefficient = 0.01;
};

std::vector<std::int32_t> Runs(std::initializer_list<std::pair<int, std::int32_t>> runs) {
    std::vector<std::int32_t> counts;
    for (const auto& [minutes, count] : runs) {
        counts.insert(counts.end(), static_cast<std::size_t>(minutes), count);
    }
    return counts;
}

TEST(OutputListTest, DoseAlarmAndMeanCountAreWorkedOutOnceForEveryMinute) {
    const TAlarmLevels alarm{0.45, 0.35};
    const std::string tenOff = "m:off m:off m:off m:off m:off m:off m:off m:off m:off m:off ";
    // With a coefficient of 0.01 a line's dose rate is a thousandth of the
    // counts of its ten minutes.
    const struct {
        TAlarmLevels Alarm;
        std::vector<TStep> Steps;
        std::string Heard;
        double Dose;
        double MeanCount;
    } cases[] = {
        // Many minutes in one tick: each switch on its own minute.
        {alarm,
         {{'m', Runs({{10, 0}, {6, 100}, {8, 0}})}},
         tenOff + "m:off m:off m:off m:off m:ON m:on m:on m:on m:on m:on m:on m:on m:OFF",
         5.7 / 60,
         30},
        // A log taken up again (after a crash): its dose goes on.
        {alarm,
         {{'o', Runs({{10, 0}, {3, 100}, {1, 20}})}, {'m', {30}}},
         "o:off m:off",
         0.92 / 60,
         32},
        // A new log starts the dose again and keeps the alarm.
        {alarm,
         {{'o', Runs({{10, 0}, {5, 100}, {1, 0}})}, {'n', {}}, {'m', {7, 8}}},
         "o:ON n:- m:on",
         0,
         7},
        // Another coefficient switches the alarm at once; the dose stays.
        {alarm,
         {{'o', Runs({{10, 0}, {5, 100}, {1, 0}})}, {'c', {}, 0.005}},
         "o:ON c:OFF",
         1.5 / 60,
         -1},
        {{}, {{'o', Runs({{10, 0}, {5, 100}, {1, 0}})}, {'m', {1}}}, "o:- m:-", 2.0 / 60, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Heard);
        TRecords records;
        TLogOutputs outputs;
        outputs.push_back(std::make_unique<TRecorder>());
        TOutputList list(records, std::move(outputs), c.Alarm);
        const TRecorder& heard = *list.Find<TRecorder>();
        const TFormatSettings fs;
        for (const TStep& step : c.Steps) {
            if (step.Kind == 'o') {
                records.Clear();
                for (const std::int32_t count : step.Counts) {
                    records.Append({0, count});
                }
                list.LogOpened({records, step.Coefficient, 0, fs});
            } else if (step.Kind == 'n') {
                records.Clear();
                list.LogBegan();
            } else if (step.Kind == 'c') {
                list.DoseRatesChanged({records, step.Coefficient, 0, fs});
            }
            for (std::size_t i = 0; step.Kind == 'm' && i < step.Counts.size(); ++i) {
                records.Append({0, step.Counts[i]});
                // As the live loop does: the minute before the new one ends.
                const std::size_t k = records.Count() - 1;
                if (k == 0) {
                    continue;
                }
                std::optional<double> rate;
                if (k > DoseRateWindow) {
                    rate = DoseRateBefore(records, k, step.Coefficient, 0);
                }
                list.MinuteFinished({records[k - 1], rate, "", k - 1});
            }
        }
        EXPECT_EQ(heard.Heard, c.Heard);
        EXPECT_NEAR(heard.Dose, c.Dose, 1e-15);
        EXPECT_EQ(heard.MeanCount, c.MeanCount);
    }
}

} // namespace
} // namespace ostrel
